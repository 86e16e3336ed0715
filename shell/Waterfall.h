// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The waterfall picture of the band: one row per spectrogram line, the newest
// on top, as 32-bit pixels 0x00RRGGBB, row after row from the top with no
// padding, which both windows blit as they are (Qt as a QImage of format
// RGB32 over the buffer, Win32 as a top-down 32-bit DIB).
//
// Each column is one spectrogram bin (7.8 Hz), from 101.6 Hz to 2906 Hz. The
// colours follow the noise floor, the median of the recent lines, so that a
// weak signal stands out whatever the level: the floor is dark blue, 30 dB
// above it white, through blue, cyan and yellow. Where there is hardly any
// noise (a sound card's digital silence, the loopback device) the floor is
// held no lower than 40 dB below the strongest recent bin, so a clean strong
// signal shows as its tones instead of its window's faint skirts. Each row carries the marks of the band plan it was drawn
// with: the mode's band edges as green lines, the receiver's search range as
// magenta dashes.

#include <cstdint>
#include <deque>
#include <vector>

#include "shell/BandPlan.h"

namespace quillon {

class Waterfall {
 public:
  static constexpr int kFirstBin = 13;      // 101.6 Hz
  static constexpr int kColumns = 360;      // up to bin 372, 2906 Hz
  static constexpr int kRows = 90;          // 9 s at 10 lines a second
  static constexpr double kBelowFloorDb = 6.0;  // black this far below the floor
  static constexpr double kAboveFloorDb = 30.0; // white this far above it
  static constexpr double kMaxSpanDb = 40.0;    // the floor's lowest, below the strongest bin
  static constexpr uint32_t kBandMark = 0x40FF40;
  static constexpr uint32_t kSearchMark = 0xFF40FF;

  Waterfall();

  // The marks of rows added from now on.
  void SetBandPlan(const BandPlan& plan) { plan_ = plan; }
  // One spectrogram line (bin powers in dB, at least kFirstBin + kColumns of
  // them) becomes the top row; the others move down one row and the bottom
  // one goes.
  void AddLine(const std::vector<float>& power_db);

  const uint32_t* Pixels() const { return pixels_.data(); }
  int Width() const { return kColumns; }
  int Height() const { return kRows; }
  // The level the colours are placed around, in the spectrogram's dB.
  double NoiseFloorDb() const { return floor_db_; }

  // Where a frequency lies in a picture of the waterfall stretched to `width`
  // pixels: the x of the column that holds it. Outside 0..width-1 when the
  // frequency is outside the picture. Every mark and scale label uses this.
  static int XForFrequency(double hz, int width);
  // The colour for a level relative to the noise floor (dB).
  static uint32_t ColourFor(double above_floor_db);

 private:
  void MarkRow(uint32_t* row) const;

  std::vector<uint32_t> pixels_;
  std::deque<float> recent_medians_;   // of the last lines, newest last
  std::deque<float> recent_peaks_;     // the strongest bin of the same lines
  double floor_db_ = 0;
  long lines_ = 0;                     // lines added, for the dash pattern
  BandPlan plan_;
};

}  // namespace quillon
