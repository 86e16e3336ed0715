// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The band strip under the panes: the waterfall of the captured audio with
// the mode's band and the receiver's search range, the level meter, the last
// signal report, the mode and the chosen devices. It is a child window of its
// own, so that its ten repaints a second redraw it alone; its own 100 ms
// timer drains the station's monitor tap, while receiving and while
// transmitting alike (the capture device runs in both).

#include <windows.h>

namespace quillon {

struct StationState;

// Child id of the strip (the panes are 551 and 552).
constexpr int kBandStripId = 553;

// Sent synchronously to the strip by the link's thread; LPARAM points at the
// SignalReport to show, which need live only until the call returns.
constexpr UINT kShowSignalReportMessage = WM_APP + 2;

// How often the strip takes the captured audio: 100 ms is about 1.5 blocks
// of 512 samples at 8000 samples/s, and the waterfall gains a line every
// 100 ms, so each tick has about one line to show.
constexpr UINT kBandStripTickMs = 100;
// The id of that timer's WM_TIMER.
constexpr UINT_PTR kBandStripTimerId = 1;

// Registers the strip's window class; false on failure.
bool RegisterBandStripClass(HINSTANCE instance);

// Creates the strip in `parent`, fed from `station`'s monitor tap; the
// parent lays it out. nullptr on failure.
HWND CreateBandStrip(HWND parent, HINSTANCE instance, StationState& station);

}  // namespace quillon
