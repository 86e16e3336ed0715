// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/qt/WindowView.h"

#include <QMetaObject>
#include <QThread>

#include <deque>
#include <functional>
#include <mutex>

#include "link/Cp1251.h"
#include "shell/qt/PaneText.h"

namespace quillon {
namespace {

// A worker's operation waits here for the window thread. The calls that
// Qt's blocking connection carries only say "run what is waiting", so the
// operation itself, and what it captures, pass between the threads under a
// mutex: Qt's own futex-based hand-over is invisible to the thread
// sanitizer, this one is not. Each wake-up runs everything waiting, so an
// operation has run by the time its own wake-up has been handled, even
// when two workers call at once.
std::mutex hand_over;
std::deque<const std::function<void()>*> waiting;  // guarded by hand_over

void RunWaitingOperations() {
  for (;;) {
    const std::function<void()>* operation = nullptr;
    {
      std::lock_guard<std::mutex> lock(hand_over);
      if (waiting.empty()) return;
      operation = waiting.front();
      waiting.pop_front();
    }
    (*operation)();
  }
}

void OnWindowThread(QObject& window, const std::function<void()>& operation) {
  if (QThread::currentThread() == window.thread()) {
    operation();
    return;
  }
  {
    std::lock_guard<std::mutex> lock(hand_over);
    waiting.push_back(&operation);
  }
  QMetaObject::invokeMethod(&window, [] { RunWaitingOperations(); }, Qt::BlockingQueuedConnection);
  // Orders the operation's results before what this thread does next.
  std::lock_guard<std::mutex> lock(hand_over);
}

}  // namespace

std::string WindowView::FetchUpperText(int max_bytes) {
  QString text;
  OnWindowThread(window_, [this, &text] { text = window_.UpperText(); });
  return LinkTextFromPane(text, max_bytes);
}

void WindowView::SetLowerText(const std::string& text) {
  const QString pane_text = PaneTextFromLink(text);
  OnWindowThread(window_, [this, &pane_text] { window_.ReplaceLowerText(pane_text); });
}

void WindowView::InsertLowerChar(unsigned char character) {
  OnWindowThread(window_, [this, character] { window_.TypeIntoLowerPane(character); });
}

void WindowView::SetStatusText(const std::string& text) {
  const QString status = QString::fromStdString(Cp1251ToUtf8(text));
  OnWindowThread(window_, [this, &status] { window_.SetStatusText(status); });
}

void WindowView::FocusArchiveButton() {
  OnWindowThread(window_, [this] { window_.FocusArchiveButton(); });
}

void WindowView::Iconki() {
  OnWindowThread(window_, [this] { window_.Iconki(); });
}

void WindowView::ShowSignalReport(const SignalReport& report) {
  OnWindowThread(window_, [this, &report] { window_.ShowSignalReport(report); });
}

}  // namespace quillon
