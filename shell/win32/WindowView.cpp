// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/win32/WindowView.h"

#include <windows.h>
#include <commctrl.h>

#include <vector>

#include "shell/win32/BandStrip.h"
#include "shell/win32/MainWindow.h"
#include "shell/win32/ShellWindows.h"
#include "shell/win32/StatusIcon.h"

namespace quillon {

std::string WindowView::FetchUpperText(int max_bytes) {
  if (max_bytes <= 0) return std::string();
  // WM_GETTEXT counts the terminating zero in its buffer size.
  std::vector<char> text(static_cast<std::size_t>(max_bytes) + 1, '\0');
  const LRESULT length =
      SendMessageA(hwndStEd1, WM_GETTEXT, static_cast<WPARAM>(text.size()), reinterpret_cast<LPARAM>(text.data()));
  if (length <= 0) return std::string();
  return std::string(text.data(), static_cast<std::size_t>(length < max_bytes ? length : max_bytes));
}

void WindowView::SetLowerText(const std::string& text) { WindowPutsAll_PRM(text.c_str()); }

void WindowView::InsertLowerChar(unsigned char character) {
  const char text[2] = {static_cast<char>(character), '\0'};
  WindowPuts_PRM(text);
}

void WindowView::SetStatusText(const std::string& text) {
  SendMessageA(hwndSb, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void WindowView::FocusArchiveButton() { SendMessageA(Glhwnd, kFocusArchiveMessage, 0, 0); }

void WindowView::Iconki() { quillon::Iconki(); }

void WindowView::ShowSignalReport(const SignalReport& report) {
  SendMessageA(GetDlgItem(Glhwnd, kBandStripId), kShowSignalReportMessage, 0, reinterpret_cast<LPARAM>(&report));
}

}  // namespace quillon
