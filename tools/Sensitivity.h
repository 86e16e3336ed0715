// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sensitivity benchmark: for each SNR, random texts are encoded, passed
// through the channel simulator with random lead silence and a random
// frequency offset within +-4 receiver bins (fewer where the receiver's own
// search range is narrower), and decoded by the program's
// receiving station.

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/ModeTable.h"
#include "tools/channel/ChannelSimulator.h"

namespace quillon {

struct SensitivitySettings {
  Fading fading = Fading::kNone;
  double from_db = -16.0;
  double to_db = 0.0;
  double step_db = 1.0;
  int trials = 20;
  int length = 40;  // characters per text
  std::uint64_t seed = 1;
  int threads = 1;
  bool progress = false;  // trials done, on standard error
  // Frames as a station that knows only the frame sends them: no check extension.
  bool legacy = false;
  // The deep receiver decodes.
  bool deep = false;
  // Impulse noise: clicks a second (0: none) at a peak this many dB over the
  // signal power, in every trial's channel.
  double clicks_per_s = 0.0;
  double click_db = 20.0;
  // All trials of one SNR as one recording, each transmission right after
  // the one before (one offset for them all, lead silence before the first).
  bool back_to_back = false;
};

struct SensitivityPoint {
  double snr_db = 0.0;
  int trials = 0;
  int good = 0;        // a frame marked good with exactly the text sent
  int false_good = 0;  // a frame marked good with another text
  // Frames without the check extension that the confidence gate held back as
  // doubtful: with the text sent, and with another. Without the gate they
  // would have been good and false good.
  int doubtful_right = 0;
  int doubtful_wrong = 0;
  double character_errors = 0.0;  // edit distance over the text length, summed (1 per lost frame)
  double GoodShare() const { return trials > 0 ? double(good) / trials : 0.0; }
  double FalseGoodShare() const { return trials > 0 ? double(false_good) / trials : 0.0; }
  double CharacterErrorRate() const { return trials > 0 ? character_errors / trials : 0.0; }
};

struct SensitivityCurve {
  const OliviaMode* mode = nullptr;
  double max_offset_bins = 4.0;  // the random offsets lie within +- this many receiver bins
  std::vector<SensitivityPoint> points;  // ascending SNR
};

std::vector<SensitivityCurve> MeasureSensitivity(const std::vector<const OliviaMode*>& modes,
                                                 const SensitivitySettings& settings);

// The SNR where the share of good frames first reaches `share`, linearly
// interpolated between the two points around it. False when no point
// reaches it; when the lowest point already does, its SNR is given.
bool SnrAtGoodShare(const SensitivityCurve& curve, double share, double* snr_db);

// A random cp1251 text of Latin and Cyrillic letters, digits, spaces and
// punctuation.
std::string RandomMixedText(int length, std::mt19937_64& random);

// Edit distance between two byte strings.
int EditDistance(const std::string& a, const std::string& b);

}  // namespace quillon
