// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Received frames for other programs (loggers, maps, bots): each one a UDP
// datagram to a configured host and port. Datagrams are fire and forget; a
// listener that is not there costs nothing and loses only what it missed.
// BSD sockets on Linux, winsock2 on Windows (ws2_32, a system DLL).

#include <cstdint>
#include <memory>
#include <string>

namespace quillon {

// "HOST:PORT" split, the port 1..65535; false with the reason otherwise.
// An IPv6 address goes in brackets: "[::1]:2237".
bool ParseHostPort(const std::string& text, std::string& host, int& port, std::string& error);

class UdpSender {
 public:
  // Resolves `host_port` ("HOST:PORT") and opens a socket towards it;
  // nullptr with the reason in `error` when the text or the host is wrong.
  static std::unique_ptr<UdpSender> Open(const std::string& host_port, std::string& error);

  // Only Open makes one (the key is private).
  struct Key {
   private:
    friend class UdpSender;
    Key() = default;
  };
  explicit UdpSender(Key) {}
  ~UdpSender();
  UdpSender(const UdpSender&) = delete;
  UdpSender& operator=(const UdpSender&) = delete;

  // One datagram; false with the reason when the system refused it (a
  // refused datagram is not retried).
  bool Send(const std::string& datagram, std::string& error);
  const std::string& Destination() const { return destination_; }

 private:
  std::intptr_t socket_ = -1;  // wide enough for a winsock SOCKET; -1 = none
  std::string destination_;    // HOST:PORT, for messages
};

}  // namespace quillon
