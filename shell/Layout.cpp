// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/Layout.h"

#include <algorithm>
#include <cstdint>

namespace quillon {
namespace {

constexpr int kButtonColumn = 100;  // room right of the panes
constexpr int kButtonInset = 95;    // button's left edge from the right edge
constexpr int kButtonWidth = 90;
constexpr int kMinButtonHeight = 20;

int NotNegative(int value) { return value < 0 ? 0 : value; }

int Clamp(int64_t value, int lowest, int highest) {
  return static_cast<int>(std::clamp<int64_t>(value, lowest, highest));
}

int Coordinate(int64_t value) { return Clamp(value, INT16_MIN, INT16_MAX); }

}  // namespace

ControlLayout ComputeControlLayout(int client_width, int pane_area_height) {
  client_width = Coordinate(client_width);
  const int usable_height = Coordinate(pane_area_height);
  const int half = usable_height / 2;
  const int pane_width = NotNegative(client_width - kButtonColumn);
  const int pane_height = NotNegative(half - 4);
  int button_height = 4 * (half / 5);
  if (button_height < kMinButtonHeight) button_height = kMinButtonHeight;
  const int offset = (half - button_height) / 2;
  const int button_x = client_width - kButtonInset;
  ControlLayout layout{};
  layout.upper_pane = {0, 0, pane_width, pane_height};
  layout.lower_pane = {0, half + 2, pane_width, pane_height};
  layout.transmit_button = {button_x, offset, kButtonWidth, button_height};
  layout.archive_button = {button_x, half + offset, kButtonWidth, button_height};
  layout.band_strip = {0, NotNegative(usable_height), NotNegative(client_width), kBandStripHeight};
  return layout;
}

ControlLayout ComputeWindowLayout(int client_width, int usable_height) {
  return ComputeControlLayout(client_width, Coordinate(usable_height) - kBandStripHeight);
}

BandStripLayout ComputeBandStripLayout(const ControlRect& strip) {
  constexpr int kTop = 4;            // gap below the lower pane
  constexpr int kWaterfallHeight = 90;
  constexpr int kScaleHeight = 14;
  constexpr int kLineHeight = 16;
  constexpr int kTextInset = 4;
  constexpr int kBarWidth = 14;
  const int x = strip.x;
  const int top = strip.y + kTop;
  const int left_width = NotNegative(strip.width - kButtonColumn);
  const int meter_x = x + strip.width - kButtonInset;
  const int lines_y = top + kWaterfallHeight + kScaleHeight;
  const int text_width = NotNegative(left_width - 2 * kTextInset);
  BandStripLayout layout{};
  layout.waterfall = {x, top, left_width, kWaterfallHeight};
  layout.frequency_scale = {x, top + kWaterfallHeight, left_width, kScaleHeight};
  layout.report_line = {x + kTextInset, lines_y, text_width, kLineHeight};
  layout.station_line = {x + kTextInset, lines_y + kLineHeight, text_width, kLineHeight};
  layout.meter_bar = {meter_x, top, kBarWidth, kWaterfallHeight + kScaleHeight};
  layout.meter_scale = {meter_x + kBarWidth + 2, top, kButtonWidth - kBarWidth - 2, kWaterfallHeight + kScaleHeight};
  layout.meter_reading = {meter_x, lines_y, kButtonWidth, 2 * kLineHeight};
  return layout;
}

WindowOpening WindowOpeningFor(const SettingsRecord& record) {
  const WindowPosition position = record.StoredWindowPosition();
  const WindowRectangle stored = record.StoredWindowRectangle();
  WindowOpening opening{};
  opening.default_position = position.IsDefault();
  opening.left = Coordinate(position.left);
  opening.top = Coordinate(position.top);
  opening.has_rectangle = stored.IsSet();
  opening.rectangle = {Coordinate(stored.left), Coordinate(stored.top),
                       Clamp(int64_t{stored.right} - stored.left, kMinWindowWidth, kMaxWindowWidth),
                       Clamp(int64_t{stored.bottom} - stored.top, kMinWindowHeight, kMaxWindowHeight)};
  return opening;
}

}  // namespace quillon
