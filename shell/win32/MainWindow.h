// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window: its class, its creation, and WndProc with the layout and
// the menu and button commands.

#include <windows.h>

namespace quillon {

// Sent by worker threads (synchronously) to give the archive button the
// keyboard focus, which only the window thread can do.
constexpr UINT kFocusArchiveMessage = WM_APP + 1;

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

// Registers "WindowClassQUILLON"; false on failure.
bool RegisterMainWindowClass(HINSTANCE instance);
// Creates the main window at the stored position, 400 x 200; nullptr on
// failure.
HWND CreateMainWindow(HINSTANCE instance, int left, int top);

}  // namespace quillon
