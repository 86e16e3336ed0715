// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/win32/ShellWindows.h"

namespace quillon {

HINSTANCE hInst = nullptr;
HWND Glhwnd = nullptr;
char HomeDirect[1024] = {};
HWND hwndStEd1 = nullptr;
HWND hwndStEd2 = nullptr;
HWND hwndKn1 = nullptr;
HWND hwndKn2 = nullptr;
HWND hwndSb = nullptr;
SettingsRecord move_v;
std::string ArchiveEditor = "notepad.exe";

void SetWindowPos(HWND window, uint16_t x, uint16_t y) {
  ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

void SetWindowSize(HWND window, uint16_t width, uint16_t height) {
  ::SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

void WindowPuts_PRM(const char* text) {
  // Zero-extended, so that cp1251 letters (bytes >= 128) are not sent as
  // negative character codes.
  for (const unsigned char* at = reinterpret_cast<const unsigned char*>(text); *at != 0; ++at)
    SendMessageA(hwndStEd2, WM_CHAR, static_cast<WPARAM>(*at), 0);
}

void WindowPutsAll_PRM(const char* text) { SendMessageA(hwndStEd2, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)); }

}  // namespace quillon
