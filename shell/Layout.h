#pragma once
// The main window's geometry: its size limits and where the two panes and
// the two buttons go for a given client area.

#include "shell/Settings.h"

namespace quillon {

// Whole window, in pixels.
constexpr int kInitialWindowWidth = 400;
constexpr int kInitialWindowHeight = 200;
constexpr int kMinWindowWidth = 230;
constexpr int kMinWindowHeight = 130;
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
};

// `client_width` is the client area's width, `usable_height` its height less
// the status bar's. The panes fill the left part, one above the other; each
// button is 90 pixels wide, 5 pixels from the right edge, centred beside its
// pane and four fifths of half the usable height tall, never below 20.
// A size that would come out negative (a minimised window reports a client
// area of 0 x 0) is 0 instead, so no control is given a wrapped-around size.
// A size outside the 16-bit range the window messages carry is taken as the
// nearest size inside it, so no arithmetic here can overflow.
ControlLayout ComputeControlLayout(int client_width, int usable_height);

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
