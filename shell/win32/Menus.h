// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The device pop-up menus "MENU_WIn" / "MENU_WOut" and the check marks of the
// Olivia mode menu.

#include <windows.h>

namespace quillon {

class AudioBackend;

// The device list the pop-ups offer; set by WinMain before the window exists.
extern AudioBackend* ShellAudioDevices;

// Show the input (output) device pop-up at the mouse cursor: the default
// item 401 (501), then item 402 + n (502 + n) for device n, the stored
// choice checked. The chosen item comes back to the window as a command.
// Returns the pop-up's result, 0 when the menu resource did not load.
int ShowPopupMenuIn(HWND window, HINSTANCE instance);
int ShowPopupMenuOut(HWND window, HINSTANCE instance);

// Puts the check mark of the mode menu on the item of a mode number
// (93..111 -> items 301..319; any other number checks none), and on
// "Все режимы" (320) when listening in all modes, and redraws.
void OnOffMenu(int mode_number, bool all_modes = false);
// The check mark of "Глубокий приём" (321).
void CheckDeepReceive(bool deep);

}  // namespace quillon
