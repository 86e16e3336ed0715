// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's icon as the link state: idle "ICON_0", receiving a frame
// "ICON_1", last frame good "ICON_2", transmitting "ICON_3".

namespace quillon {

// Chooses the icon from PRD_R, PRM_R and USPESHNO of the program's link
// state and sets it as the main window's small and big icon. Any thread may
// call it: the icon change is a synchronous message to the window.
void Iconki();

}  // namespace quillon
