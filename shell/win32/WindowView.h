// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The link's view of the main window: every operation is a synchronous
// message to a window of the window thread, so it has been carried out when
// the call returns, whichever thread calls.

#include "link/LinkView.h"

namespace quillon {

class WindowView : public LinkView {
 public:
  std::string FetchUpperText(int max_bytes) override;
  void SetLowerText(const std::string& text) override;
  void InsertLowerChar(unsigned char character) override;
  void SetStatusText(const std::string& text) override;
  void FocusArchiveButton() override;
  void Iconki() override;
  void ShowSignalReport(const SignalReport& report) override;
};

}  // namespace quillon
