// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The "Передатчик" dialog of the Windows window: how the transmitter is
// keyed. The frame is the resource "PTT_DIALOG"; its rows (the method list,
// one edit per field, greyed out when the method does not read it) are made
// when it opens. A wrong field gets its message beside it and OK keeps the
// dialog open; a good OK saves quillon.conf and gives the station's keyer
// the new keying at once. Hamlib is listed but cannot be chosen: this build
// has no Hamlib library, rigctld reaches the same radios.

#include <windows.h>

#include <string>

#include "modem/ptt/PttKeyer.h"

namespace quillon {

constexpr char kPttDialogResource[] = "PTT_DIALOG";

// Control ids inside the dialog (OK and Cancel are IDOK and IDCANCEL).
constexpr int kPttMethodListId = 1001;
constexpr int kPttFirstFieldId = 1010;  // + PttField
constexpr int kPttMessageId = 1030;     // the message beside the wrong field
constexpr int kPttCheckResultId = 1031;
constexpr int kPttCheckButtonId = 1032;

// Shows the dialog and returns once it is closed: IDOK when the keying was
// saved, IDCANCEL otherwise.
INT_PTR ShowPttDialog(HWND owner, HINSTANCE instance, PttKeyer& keyer, const std::string& home_directory);

// The same dialog without its own message loop (for tests): closing it
// destroys the window. nullptr when the resource is missing.
HWND OpenPttDialog(HWND owner, HINSTANCE instance, PttKeyer& keyer, const std::string& home_directory);

}  // namespace quillon
