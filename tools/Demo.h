// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The demo: one station sends a message, the channel simulator carries it,
// the other station receives it, and what the receiving window would show
// (lower pane, status bar, icon) is printed as it happens, then the verdict.

#include <string>

#include "link/LinkState.h"
#include "link/LinkView.h"

namespace quillon {

// The receiving window on a terminal: every change is printed at once,
// stamped with the receiving station's audio clock.
class TerminalView : public LinkView {
 public:
  TerminalView(LinkState& link, const double& now_s) : link_(link), now_s_(now_s) {}

  std::string FetchUpperText(int) override { return ""; }
  void SetLowerText(const std::string& text) override;
  void InsertLowerChar(unsigned char character) override;
  void SetStatusText(const std::string& text) override;
  void FocusArchiveButton() override {}
  void Iconki() override;
  void ShowSignalReport(const SignalReport& report) override;

  const std::string& LowerText() const { return lower_; }
  const std::string& StatusText() const { return status_; }
  bool FrameFinished() const { return finished_; }

 private:
  void EndLine();
  void Stamp(const char* what);

  LinkState& link_;
  const double& now_s_;
  std::string lower_;   // cp1251, as the pane holds it
  std::string status_;  // cp1251
  std::string icon_ = "idle";
  bool mid_line_ = false;
  bool finished_ = false;
};

}  // namespace quillon
