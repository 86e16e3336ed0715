// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The link's view of the main window. Each operation is carried out on the
// GUI thread: called from a worker thread it waits until the GUI thread has
// done it, so the GUI thread must keep processing events for as long as a
// worker thread may call (the program does so until its threads have ended).
// The link's cp1251 texts are converted here, at the pane boundary.

#include "link/LinkView.h"
#include "shell/qt/MainWindow.h"

namespace quillon {

class WindowView : public LinkView {
 public:
  explicit WindowView(MainWindow& window) : window_(window) {}

  std::string FetchUpperText(int max_bytes) override;
  void SetLowerText(const std::string& text) override;
  void InsertLowerChar(unsigned char character) override;
  void SetStatusText(const std::string& text) override;
  void FocusArchiveButton() override;
  void Iconki() override;
  void ShowSignalReport(const SignalReport& report) override;

 private:
  MainWindow& window_;
};

}  // namespace quillon
