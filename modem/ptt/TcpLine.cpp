// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/ptt/TcpLine.h"

#include "modem/net/Sockets.h"

#ifndef _WIN32
#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace quillon {
namespace {

#ifdef _WIN32
bool InProgress(int code) { return code == WSAEWOULDBLOCK; }
bool SetNonBlocking(Socket s) {
  u_long on = 1;
  return ioctlsocket(s, FIONBIO, &on) == 0;
}
// select() on Windows takes any socket value; the first argument is ignored.
int WaitFor(Socket s, bool writable, int milliseconds) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  fd_set failed;
  FD_ZERO(&failed);
  FD_SET(s, &failed);
  timeval limit{milliseconds / 1000, (milliseconds % 1000) * 1000};
  return select(0, writable ? nullptr : &set, writable ? &set : nullptr, &failed, &limit);
}
constexpr int kSendFlags = 0;
#else
bool InProgress(int code) { return code == EINPROGRESS; }
bool SetNonBlocking(Socket s) {
  const int flags = fcntl(s, F_GETFL, 0);
  return flags >= 0 && fcntl(s, F_SETFL, flags | O_NONBLOCK) == 0;
}
int WaitFor(Socket s, bool writable, int milliseconds) {
  pollfd entry{s, static_cast<short>(writable ? POLLOUT : POLLIN), 0};
  int ready;
  do {
    ready = poll(&entry, 1, milliseconds);
  } while (ready < 0 && errno == EINTR);
  return ready;
}
constexpr int kSendFlags = MSG_NOSIGNAL;  // a closed peer is an error, not a signal
#endif

Socket AsSocket(std::intptr_t value) { return static_cast<Socket>(value); }

}  // namespace

TcpLine::TcpLine() = default;

TcpLine::~TcpLine() { Close(); }

bool TcpLine::IsOpen() const { return socket_ != -1; }

void TcpLine::Close() {
  if (socket_ != -1) CloseSocket(AsSocket(socket_));
  socket_ = -1;
  pending_.clear();
}

bool TcpLine::Connect(const std::string& host, int port, Milliseconds timeout, std::string& error) {
  Close();
  peer_ = host + ":" + std::to_string(port);
  if (!StartSockets(error)) return false;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int lookup = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (lookup != 0 || found == nullptr) {
    error = "cannot find the host '" + host + "'";
    return false;
  }
  std::string last = "no address";
  for (addrinfo* address = found; address != nullptr && socket_ == -1; address = address->ai_next) {
    Socket s = socket(address->ai_family, address->ai_socktype, address->ai_protocol);
    if (s == kNoSocket) {
      last = SocketErrorText(LastSocketError());
      continue;
    }
    bool connected = false;
    if (SetNonBlocking(s)) {
      if (connect(s, address->ai_addr, static_cast<int>(address->ai_addrlen)) == 0) {
        connected = true;
      } else if (InProgress(LastSocketError())) {
        if (WaitFor(s, true, static_cast<int>(timeout.count())) > 0) {
          int code = 0;
          socklen_t length = sizeof code;
          getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&code), &length);
          connected = code == 0;
          last = connected ? last : SocketErrorText(code);
        } else {
          last = "no answer within " + std::to_string(timeout.count()) + " ms";
        }
      } else {
        last = SocketErrorText(LastSocketError());
      }
    }
    if (!connected) {
      CloseSocket(s);
      continue;
    }
    // One short command per key press: send each at once.
    int on = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    socket_ = static_cast<std::intptr_t>(s);
  }
  freeaddrinfo(found);
  if (socket_ == -1) error = "cannot connect to " + peer_ + ": " + last;
  return socket_ != -1;
}

bool TcpLine::SendLine(const std::string& line, Milliseconds timeout, std::string& error) {
  if (!IsOpen()) {
    error = "not connected to " + peer_;
    return false;
  }
  const std::string data = line + "\n";
  std::size_t sent = 0;
  while (sent < data.size()) {
    if (WaitFor(AsSocket(socket_), true, static_cast<int>(timeout.count())) <= 0) {
      error = peer_ + " takes no data (" + std::to_string(timeout.count()) + " ms)";
      Close();
      return false;
    }
    const auto n = send(AsSocket(socket_), data.data() + sent, static_cast<int>(data.size() - sent), kSendFlags);
    if (n <= 0) {
      error = "lost the connection to " + peer_ + ": " + SocketErrorText(LastSocketError());
      Close();
      return false;
    }
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

bool TcpLine::ReadLine(std::string& line, Milliseconds timeout, std::string& error) {
  if (!IsOpen()) {
    error = "not connected to " + peer_;
    return false;
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::size_t end;
  while ((end = pending_.find('\n')) == std::string::npos) {
    const auto left = std::chrono::duration_cast<Milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || WaitFor(AsSocket(socket_), false, static_cast<int>(left.count())) <= 0) {
      error = peer_ + " did not answer within " + std::to_string(timeout.count()) + " ms";
      Close();
      return false;
    }
    char buffer[256];
    const auto n = recv(AsSocket(socket_), buffer, sizeof buffer, 0);
    if (n <= 0) {
      error = n == 0 ? peer_ + " closed the connection" : "lost the connection to " + peer_ + ": " + SocketErrorText(LastSocketError());
      Close();
      return false;
    }
    pending_.append(buffer, static_cast<std::size_t>(n));
  }
  line = pending_.substr(0, end);
  pending_.erase(0, end + 1);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

}  // namespace quillon
