// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Ends the program the way "&Выход" does when the process is asked to end:
// SIGTERM (a session logging out, `kill`), SIGINT (Ctrl+C in the terminal)
// and SIGHUP (the terminal closing). Without it those end the process at
// once and init.ini is never written. The handler only writes a byte to a
// socket pair; the event loop reads it and closes the windows, so nothing
// unsafe runs inside the signal handler.

#include <csignal>
#include <iterator>
#include <memory>

class QSocketNotifier;

namespace quillon {

class QuitOnSignals {
 public:
  // Installs the handlers. One object at a time.
  QuitOnSignals();
  // Puts back the handlers that were there before.
  ~QuitOnSignals();
  QuitOnSignals(const QuitOnSignals&) = delete;
  QuitOnSignals& operator=(const QuitOnSignals&) = delete;

 private:
  static constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
  int sockets_[2] = {-1, -1};  // [0] read by the event loop, [1] written by the handler
  std::unique_ptr<QSocketNotifier> notifier_;
  struct sigaction previous_[std::size(kSignals)] = {};
};

}  // namespace quillon
