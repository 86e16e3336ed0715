// SPDX-License-Identifier: GPL-3.0-or-later
// The end signals close the program through its event loop, so that it still
// writes init.ini; without the handlers each of them would end this test
// program at once.

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <csignal>

#include "shell/qt/QuitOnSignals.h"

using namespace quillon;

namespace {

volatile std::sig_atomic_t g_seen = 0;
void Remember(int signal_number) { g_seen = signal_number; }

// The watchdog's exit code: the loop did not end within 10 s.
constexpr int kTimedOut = 99;

}  // namespace

class QuitOnSignalsTest : public QObject {
  Q_OBJECT

 private slots:
  void EachEndSignalClosesTheWindowsAndEndsTheLoops() {
    for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
      QuitOnSignals quit_on_signals;
      QWidget window;
      window.show();
      // A modal dialog runs its own event loop inside the program's; the
      // signal must end both.
      QDialog dialog(&window);
      bool dialog_ended = false;
      QTimer::singleShot(0, &window, [&] {
        QTimer::singleShot(50, [signal_number] { std::raise(signal_number); });
        dialog.exec();
        dialog_ended = true;
      });
      QTimer watchdog;
      watchdog.setSingleShot(true);
      QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(kTimedOut); });
      watchdog.start(10000);
      QCOMPARE(QApplication::exec(), 0);
      QVERIFY(dialog_ended);
      QVERIFY(!window.isVisible());
    }
  }

  void ThePreviousHandlersAreBackAfterwards() {
    struct sigaction mine = {};
    mine.sa_handler = Remember;
    sigemptyset(&mine.sa_mask);
    struct sigaction before = {};
    sigaction(SIGTERM, &mine, &before);
    { QuitOnSignals quit_on_signals; }
    g_seen = 0;
    std::raise(SIGTERM);
    QCOMPARE(static_cast<int>(g_seen), SIGTERM);
    sigaction(SIGTERM, &before, nullptr);
  }
};

QTEST_MAIN(QuitOnSignalsTest)
#include "test_quit_on_signals.moc"
