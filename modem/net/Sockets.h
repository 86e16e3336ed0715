// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the program's network clients (the rigctld line, the UDP events)
// need of the system's sockets, the same on both systems: BSD sockets on
// Linux, winsock2 on Windows (ws2_32, a system DLL). Include it only from
// .cpp files: on Windows it brings in winsock2.h.

#include <string>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

namespace quillon {

#ifdef _WIN32
using Socket = SOCKET;
constexpr Socket kNoSocket = INVALID_SOCKET;
#else
using Socket = int;
constexpr Socket kNoSocket = -1;
#endif

// The last socket call's error code (errno, or WSAGetLastError).
int LastSocketError();
// The system's words for a socket error code.
std::string SocketErrorText(int code);
// Starts winsock once for the whole process (it is left running); always
// true on Linux. False with the reason in `error`.
bool StartSockets(std::string& error);
void CloseSocket(Socket socket);

}  // namespace quillon
