// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/qt/QuitOnSignals.h"

#include <QApplication>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace quillon {

namespace {

// The handler's end of the socket pair; -1 when no object is installed.
volatile std::sig_atomic_t g_write_end = -1;

void WriteOneByte(int) {
  const int saved_errno = errno;  // the interrupted code may be about to read errno
  const char byte = 1;
  // Nothing can be done about a failed write here; a full socket already
  // holds a byte that will end the program.
  if (g_write_end >= 0 && write(g_write_end, &byte, 1) < 0) {
  }
  errno = saved_errno;
}

}  // namespace

QuitOnSignals::QuitOnSignals() {
  if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, sockets_) != 0) {
    std::fprintf(stderr, "quillon: no socket pair for the end signals (%s); SIGTERM ends without saving init.ini\n",
                 std::strerror(errno));
    return;
  }
  g_write_end = sockets_[1];
  notifier_ = std::make_unique<QSocketNotifier>(sockets_[0], QSocketNotifier::Read);
  QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] {
    char byte = 0;
    if (read(sockets_[0], &byte, 1) < 0) return;
    // Closing the windows stores the window's place as "&Выход" does; quit
    // then also ends any dialog's own event loop.
    QApplication::closeAllWindows();
    QCoreApplication::quit();
  });
  struct sigaction action = {};
  action.sa_handler = WriteOneByte;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t n = 0; n < std::size(kSignals); ++n) sigaction(kSignals[n], &action, &previous_[n]);
}

QuitOnSignals::~QuitOnSignals() {
  if (notifier_ == nullptr) return;
  for (std::size_t n = 0; n < std::size(kSignals); ++n) sigaction(kSignals[n], &previous_[n], nullptr);
  g_write_end = -1;
  notifier_.reset();
  close(sockets_[0]);
  close(sockets_[1]);
}

}  // namespace quillon
