// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/net/UdpSender.h"

#include <cstdlib>
#include <cerrno>

#include "modem/net/Sockets.h"

namespace quillon {
namespace {

#ifdef _WIN32
bool LastWasRefused() { return WSAGetLastError() == WSAECONNRESET; }
#else
bool LastWasRefused() { return errno == ECONNREFUSED; }
#endif

std::string LastErrorText() { return SocketErrorText(LastSocketError()); }

}  // namespace

bool ParseHostPort(const std::string& text, std::string& host, int& port, std::string& error) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) {
    error = "'" + text + "' is not HOST:PORT";
    return false;
  }
  host = text.substr(0, colon);
  if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  const std::string digits = text.substr(colon + 1);
  char* end = nullptr;
  const long value = digits.empty() ? 0 : std::strtol(digits.c_str(), &end, 10);
  if (digits.empty() || *end != '\0' || value < 1 || value > 65535) {
    error = "the port in '" + text + "' must be 1..65535";
    return false;
  }
  port = static_cast<int>(value);
  return true;
}

std::unique_ptr<UdpSender> UdpSender::Open(const std::string& host_port, std::string& error) {
  std::string host;
  int port = 0;
  if (!ParseHostPort(host_port, host, port, error)) return nullptr;
  if (!StartSockets(error)) return nullptr;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const int status = getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (status != 0 || found == nullptr) {
    error = "cannot find the host '" + host + "'";
    return nullptr;
  }
  auto sender = std::make_unique<UdpSender>(Key{});
  sender->destination_ = host_port;
  for (addrinfo* address = found; address != nullptr; address = address->ai_next) {
    const Socket s = socket(address->ai_family, address->ai_socktype, address->ai_protocol);
    if (s == kNoSocket) continue;
    // A connected datagram socket: send() needs no address, and the host is
    // resolved once, not for every frame.
    if (connect(s, address->ai_addr, static_cast<int>(address->ai_addrlen)) == 0) {
      sender->socket_ = static_cast<std::intptr_t>(s);
      break;
    }
    CloseSocket(s);
  }
  freeaddrinfo(found);
  if (sender->socket_ == -1) {
    error = "cannot open a UDP socket to " + host_port + ": " + LastErrorText();
    return nullptr;
  }
  return sender;
}

UdpSender::~UdpSender() {
  if (socket_ != -1) CloseSocket(static_cast<Socket>(socket_));
}

bool UdpSender::Send(const std::string& datagram, std::string& error) {
  const auto send_once = [&] {
    return send(static_cast<Socket>(socket_), datagram.data(), static_cast<int>(datagram.size()), 0) ==
           static_cast<long long>(datagram.size());
  };
  if (send_once()) return true;
  // "Refused" is the system passing on that the previous datagram found no
  // listener at the port (an ICMP reply): this one was not sent, and a
  // listener that is not there is no fault, so it goes once more.
  if (LastWasRefused() && send_once()) return true;
  error = "UDP datagram to " + destination_ + " not sent: " + LastErrorText();
  return false;
}

}  // namespace quillon
