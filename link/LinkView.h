// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The narrow window interface through which the link controller (and the
// modem driver, for "RESTART") reach the program's window. All texts are
// cp1251 bytes; a shell converts them to its own encoding at the boundary.
// Each operation is carried out on the window's own thread and has completed
// when the call returns.

#include <string>

#include "link/SignalReport.h"

namespace quillon {

class LinkView {
 public:
  virtual ~LinkView() = default;

  // The upper pane's text, at most max_bytes bytes (9994 for the link).
  virtual std::string FetchUpperText(int max_bytes) = 0;
  // Replaces the whole lower pane text.
  virtual void SetLowerText(const std::string& text) = 0;
  // Inserts one character at the lower pane's caret, as if typed.
  virtual void InsertLowerChar(unsigned char character) = 0;
  // Sets the status bar's text (its single part).
  virtual void SetStatusText(const std::string& text) = 0;
  // Gives the keyboard focus to the archive button.
  virtual void FocusArchiveButton() = 0;
  // Chooses the window icon from PRD_R, PRM_R and USPESHNO and sets it.
  virtual void Iconki() = 0;
  // Shows how the frame just decided came in (strength, offset, mode, time).
  virtual void ShowSignalReport(const SignalReport& report) = 0;
};

}  // namespace quillon
