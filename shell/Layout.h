// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's geometry: its size limits and where the two panes, the
// two buttons and the band strip go for a given client area. The strip runs
// along the bottom of the client area, above the status bar; the panes and
// buttons share what is left above it as they always have.

#include "shell/Settings.h"

namespace quillon {

// The band strip's height, in pixels: the waterfall (90 rows, one per line),
// its frequency scale, and two lines of text.
constexpr int kBandStripHeight = 140;

// Whole window, in pixels. Without the strip the window opened at 400 x 200
// and went down to 230 x 130; the strip adds its height to both, and the
// width grows so that the waterfall (the width less the meter's 100-pixel
// column) keeps at least 260 pixels, 11 Hz a pixel, where the tones of the
// narrowest modes (31.25 Hz apart) still stand apart.
constexpr int kInitialWindowWidth = 480;
constexpr int kInitialWindowHeight = 200 + kBandStripHeight;
constexpr int kMinWindowWidth = 360;
constexpr int kMinWindowHeight = 130 + kBandStripHeight;
constexpr int kMaxWindowWidth = 900;
constexpr int kMaxWindowHeight = 600;

struct ControlRect {
  int x;
  int y;
  int width;
  int height;
};

struct ControlLayout {
  ControlRect upper_pane;
  ControlRect lower_pane;
  ControlRect transmit_button;
  ControlRect archive_button;
  ControlRect band_strip;
};

// What the whole client area holds: `client_width` is its width,
// `usable_height` its height less the status bar's. The strip takes the
// bottom kBandStripHeight pixels of the usable height, the panes and buttons
// the rest (ComputeControlLayout). This is what a window lays out by.
ControlLayout ComputeWindowLayout(int client_width, int usable_height);

// The panes and buttons in the part above the strip: `client_width` is the
// client area's width, `pane_area_height` the height above the strip (the
// usable height less kBandStripHeight); the strip is placed right below it.
// The panes fill the left part, one above the other; each button is 90
// pixels wide, 5 pixels from the right edge, centred beside its pane and four
// fifths of half the pane area's height tall, never below 20.
// A size that would come out negative (a minimised window reports a client
// area of 0 x 0) is 0 instead, so no control is given a wrapped-around size.
// A size outside the 16-bit range the window messages carry is taken as the
// nearest size inside it, so no arithmetic here can overflow.
ControlLayout ComputeControlLayout(int client_width, int pane_area_height);

// Inside the band strip: the waterfall with its frequency scale below, the
// two text lines (signal report; mode and devices) under them, and in the
// 100-pixel column on the right (under the buttons) the level meter: a
// vertical bar beside its dBFS scale, the reading and the verdict below.
struct BandStripLayout {
  ControlRect waterfall;
  ControlRect frequency_scale;
  ControlRect report_line;
  ControlRect station_line;
  ControlRect meter_bar;
  ControlRect meter_scale;
  ControlRect meter_reading;  // two lines: the level and the verdict
};
BandStripLayout ComputeBandStripLayout(const ControlRect& strip);

// Where the window opens, from the settings record. Whatever its 36 bytes
// hold, the window system is given coordinates within the 16-bit range the
// window messages carry and a size within the limits above, worked out
// without overflow (a rectangle from a damaged file may span more than an
// int).
struct WindowOpening {
  bool default_position;  // no place stored: the platform chooses
  int left;               // otherwise the window is created here
  int top;
  bool has_rectangle;     // a rectangle was stored: the window then goes there
  ControlRect rectangle;
};
WindowOpening WindowOpeningFor(const SettingsRecord& record);

}  // namespace quillon
