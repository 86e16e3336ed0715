// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A line-oriented TCP client with time limits on connecting, sending and
// receiving: enough for a rigctld server's text protocol. BSD sockets on
// Linux, winsock2 on Windows (ws2_32, a system DLL).

#include <chrono>
#include <cstdint>
#include <string>

namespace quillon {

class TcpLine {
 public:
  using Milliseconds = std::chrono::milliseconds;

  TcpLine();
  ~TcpLine();
  TcpLine(const TcpLine&) = delete;
  TcpLine& operator=(const TcpLine&) = delete;

  // Resolves `host` and connects within `timeout`; any earlier connection is
  // closed first.
  bool Connect(const std::string& host, int port, Milliseconds timeout, std::string& error);
  bool IsOpen() const;
  void Close();

  // Sends `line` and a newline.
  bool SendLine(const std::string& line, Milliseconds timeout, std::string& error);
  // The next line without its newline (and carriage return).
  bool ReadLine(std::string& line, Milliseconds timeout, std::string& error);

 private:
  // The socket as an integer wide enough for a winsock SOCKET; -1 = none.
  std::intptr_t socket_ = -1;
  std::string pending_;  // bytes received after the last line handed out
  std::string peer_;     // host:port, for messages
};

}  // namespace quillon
