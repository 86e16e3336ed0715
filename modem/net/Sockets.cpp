// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/net/Sockets.h"

#ifndef _WIN32
#include <cerrno>
#include <cstring>
#include <unistd.h>
#endif

namespace quillon {

#ifdef _WIN32
int LastSocketError() { return WSAGetLastError(); }

std::string SocketErrorText(int code) {
  char text[256] = {};
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(code), 0,
                 text, sizeof text, nullptr);
  std::string message = text;
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == '.'))
    message.pop_back();
  return message.empty() ? "winsock error " + std::to_string(code) : message;
}

bool StartSockets(std::string& error) {
  static const int started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data);
  }();
  if (started != 0) error = "winsock did not start: " + SocketErrorText(started);
  return started == 0;
}

void CloseSocket(Socket socket) { closesocket(socket); }
#else
int LastSocketError() { return errno; }
std::string SocketErrorText(int code) { return std::strerror(code); }
bool StartSockets(std::string&) { return true; }
void CloseSocket(Socket socket) { close(socket); }
#endif

}  // namespace quillon
