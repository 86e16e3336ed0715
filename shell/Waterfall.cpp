// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/Waterfall.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "shell/Spectrogram.h"

namespace quillon {
namespace {

// The floor is the median of the medians of this many lines (2 s): steady
// enough not to flicker, quick enough to follow the radio's AGC.
constexpr std::size_t kFloorLines = 20;

struct ColourStop {
  double at;  // 0..1 along the scale
  int red, green, blue;
};

// Black below the floor, dark blue at it, then blue (4 dB above), cyan
// (9 dB), yellow (17 dB) and white (30 dB): the first few dB above the noise
// get the largest change of colour, where a weak signal lies. Each colour is
// brighter than the one before, so the eye reads strength straight off the
// picture.
constexpr ColourStop kStops[] = {{0.0, 0, 0, 0},     {0.17, 0, 0, 100},   {0.28, 0, 60, 230},
                                 {0.42, 0, 200, 230}, {0.65, 250, 230, 0}, {1.0, 255, 255, 255}};
constexpr int kStopCount = sizeof kStops / sizeof kStops[0];

std::array<uint32_t, 256> BuildPalette() {
  std::array<uint32_t, 256> palette{};
  for (int i = 0; i < 256; ++i) {
    const double at = i / 255.0;
    int stop = 1;
    while (stop < kStopCount - 1 && kStops[stop].at < at) ++stop;
    const ColourStop& a = kStops[stop - 1];
    const ColourStop& b = kStops[stop];
    const double t = (at - a.at) / (b.at - a.at);
    auto mix = [t](int from, int to) { return static_cast<uint32_t>(std::lround(from + (to - from) * t)); };
    palette[i] = mix(a.red, b.red) << 16 | mix(a.green, b.green) << 8 | mix(a.blue, b.blue);
  }
  return palette;
}

const std::array<uint32_t, 256>& Palette() {
  static const std::array<uint32_t, 256> palette = BuildPalette();
  return palette;
}

float Median(std::vector<float> values) {
  const auto middle = values.begin() + values.size() / 2;
  std::nth_element(values.begin(), middle, values.end());
  return *middle;
}

}  // namespace

Waterfall::Waterfall() : pixels_(static_cast<std::size_t>(kColumns) * kRows, ColourFor(-kBelowFloorDb)) {}

int Waterfall::XForFrequency(double hz, int width) {
  const double column = hz / Spectrogram::kBinHz - kFirstBin + 0.5;
  return static_cast<int>(std::floor(column * width / kColumns));
}

uint32_t Waterfall::ColourFor(double above_floor_db) {
  const double at = (above_floor_db + kBelowFloorDb) / (kBelowFloorDb + kAboveFloorDb);
  const int index = static_cast<int>(std::lround(std::clamp(at, 0.0, 1.0) * 255));
  return Palette()[index];
}

void Waterfall::AddLine(const std::vector<float>& power_db) {
  if (power_db.size() < static_cast<std::size_t>(kFirstBin + kColumns)) return;
  const std::vector<float> shown(power_db.begin() + kFirstBin, power_db.begin() + kFirstBin + kColumns);
  // A signal fills far less than half the band, so each line's median is
  // its noise; the median over recent lines rides out a burst of static.
  recent_medians_.push_back(Median(shown));
  recent_peaks_.push_back(*std::max_element(shown.begin(), shown.end()));
  if (recent_medians_.size() > kFloorLines) {
    recent_medians_.pop_front();
    recent_peaks_.pop_front();
  }
  floor_db_ = std::max<double>(Median(std::vector<float>(recent_medians_.begin(), recent_medians_.end())),
                               *std::max_element(recent_peaks_.begin(), recent_peaks_.end()) - kMaxSpanDb);

  std::memmove(pixels_.data() + kColumns, pixels_.data(), (pixels_.size() - kColumns) * sizeof(uint32_t));
  uint32_t* top = pixels_.data();
  for (int c = 0; c < kColumns; ++c) top[c] = ColourFor(shown[c] - floor_db_);
  MarkRow(top);
  ++lines_;
}

// The band edges as solid lines (no tone of the mode lies on them), the
// search range as dashes (two rows of four), so the two kinds of line look
// different even where they meet.
void Waterfall::MarkRow(uint32_t* row) const {
  if (plan_.band_high_hz <= plan_.band_low_hz) return;
  auto mark = [row](double hz, uint32_t colour) {
    const int x = XForFrequency(hz, kColumns);
    if (x >= 0 && x < kColumns) row[x] = colour;
  };
  if (lines_ % 4 < 2) {
    mark(plan_.search_low_hz, kSearchMark);
    mark(plan_.search_high_hz, kSearchMark);
  }
  mark(plan_.band_low_hz, kBandMark);
  mark(plan_.band_high_hz, kBandMark);
}

}  // namespace quillon
