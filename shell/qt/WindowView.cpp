#include "shell/qt/WindowView.h"

#include <QMetaObject>
#include <QThread>

#include <atomic>

#include "link/Cp1251.h"
#include "shell/qt/PaneText.h"

namespace quillon {
namespace {

template <typename Operation>
void OnWindowThread(QObject& window, Operation operation) {
  if (QThread::currentThread() == window.thread()) {
    operation();
    return;
  }
  // Qt hands the call over with its own futex-based primitives; the flag
  // makes the hand-back of the operation's results an ordering that the
  // thread sanitizer sees too.
  std::atomic<bool> done{false};
  QMetaObject::invokeMethod(
      &window,
      [&operation, &done] {
        operation();
        done.store(true, std::memory_order_release);
      },
      Qt::BlockingQueuedConnection);
  done.load(std::memory_order_acquire);
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

}  // namespace quillon
