// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A rigctld with Hamlib's dummy rig (model 1, keyed by command) on 127.0.0.1 and a free port,
// started for one test and stopped (by its own process id) afterwards.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

namespace quillon {

constexpr char kRigctldPath[] = "/usr/bin/rigctld";

inline bool RigctldInstalled() { return access(kRigctldPath, X_OK) == 0; }

// A port nobody listens on now. Not the kernel's pick for a socket bound to
// 0: that comes from the ephemeral range, where a port a test's server has
// just let go can be handed to another test's server running in parallel,
// whose rigctld would then answer in its place. Each test process takes its
// ports below that range (32768 and up), from a block of 20 of its own
// chosen by its process id, and skips any port that is in use.
inline int FreeTcpPort() {
  static int next = 0;
  const int block = 20000 + static_cast<int>(getpid() % 600) * 20;
  for (int tried = 0; tried < 12000; ++tried, ++next) {
    const int port = 20000 + (block - 20000 + next % 12000) % 12000;
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    const bool free = bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    close(s);
    if (free) {
      ++next;
      return port;
    }
  }
  return 0;
}

inline bool Accepts(int port) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  const bool ok = connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(s);
  return ok;
}

class RigctldProcess {
 public:
  explicit RigctldProcess(int port = FreeTcpPort()) : port_(port) { Start(); }
  ~RigctldProcess() { Stop(); }
  RigctldProcess(const RigctldProcess&) = delete;
  RigctldProcess& operator=(const RigctldProcess&) = delete;

  // True once it takes connections (it starts within a second or so).
  bool Start() {
    const std::string port = std::to_string(port_);
    pid_ = fork();
    if (pid_ == 0) {
      // -P RIG: the dummy rig has no PTT unless told to take it by command.
      execl(kRigctldPath, "rigctld", "-m", "1", "-P", "RIG", "-T", "127.0.0.1", "-t", port.c_str(),
            static_cast<char*>(nullptr));
      _exit(127);
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < until) {
      // A rigctld that could not have the port ends at once; whatever then
      // answers there is somebody else's.
      if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return false;
      }
      if (Accepts(port_)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    Stop();
    return false;
  }
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  int Port() const { return port_; }
  bool Running() const { return pid_ > 0; }

 private:
  int port_;
  pid_t pid_ = -1;
};

}  // namespace quillon
