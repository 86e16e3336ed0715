// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window thread's handles and the small window functions the rest of
// the Windows shell uses. All texts are cp1251 bytes (the program's narrow
// literals are compiled to cp1251), passed to the ...A calls unchanged.

#include <windows.h>

#include <cstdint>
#include <string>

#include "shell/Settings.h"

namespace quillon {

// Child window ids (the status bar has id 0).
constexpr int kUpperPaneId = 551;
constexpr int kLowerPaneId = 552;
constexpr int kTransmitButtonId = 601;
constexpr int kArchiveButtonId = 602;

extern HINSTANCE hInst;
extern HWND Glhwnd;            // the main window, once it exists
extern char HomeDirect[1024];  // the current directory at start
extern HWND hwndStEd1;         // upper pane: the text to send
extern HWND hwndStEd2;         // lower pane: the received text
extern HWND hwndKn1;           // "Передать"
extern HWND hwndKn2;           // "Архив"
extern HWND hwndSb;            // status bar
extern SettingsRecord move_v;  // the settings, saved as init.ini at exit
extern std::string ArchiveEditor;  // what "Архив" starts on log.txt: notepad.exe

// Moves a window to (x, y) in its parent's client coordinates, keeping its
// size and Z order.
void SetWindowPos(HWND window, uint16_t x, uint16_t y);
// Resizes a window, keeping its position and Z order.
void SetWindowSize(HWND window, uint16_t width, uint16_t height);
// Types each byte into the lower pane at its caret, as the keyboard would.
void WindowPuts_PRM(const char* text);
// Replaces the whole lower pane text.
void WindowPutsAll_PRM(const char* text);

}  // namespace quillon
