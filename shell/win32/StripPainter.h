// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Draws the band strip with GDI: the waterfall picture stretched over its
// place, the frequency scale under it, the report and station lines, and the
// level meter with its dBFS scale, the good region, the reading and the
// verdict. Everything is drawn into a memory bitmap first and copied to the
// window in one piece, so the strip never flickers.

#include <windows.h>

#include <string>

#include "shell/LevelMeter.h"

namespace quillon {

class Waterfall;

// What one picture of the strip shows. Texts are cp1251.
struct StripContent {
  const Waterfall& waterfall;
  const LevelReading& level;
  const std::string& report_line;
  const std::string& station_line;
  bool has_report;          // a frame has been decided: its offset is marked
  double report_offset_hz;  // from the 1500 Hz centre
};

class StripPainter {
 public:
  StripPainter();
  ~StripPainter();
  StripPainter(const StripPainter&) = delete;
  StripPainter& operator=(const StripPainter&) = delete;

  // Paints the whole strip, `width` x `height` pixels, onto `target` at
  // (0, 0).
  void Paint(HDC target, int width, int height, const StripContent& content) const;

 private:
  void PaintInto(HDC dc, int width, int height, const StripContent& content) const;

  HFONT text_font_;   // the report, station and meter lines
  HFONT scale_font_;  // the small numbers of the two scales
};

}  // namespace quillon
