// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The signal report's calibration: for each SNR, random texts are encoded,
// passed through the channel simulator with random lead silence and a random
// frequency offset, and decoded; each frame's snr_db is compared with the
// SNR the channel was asked for, and its offset with the one it applied.

#include <cstdint>
#include <vector>

#include "engine/ModeTable.h"
#include "tools/channel/ChannelSimulator.h"

namespace quillon {

struct ReportBenchSettings {
  Fading fading = Fading::kNone;
  double from_db = -15.0;
  double to_db = 10.0;
  double step_db = 5.0;
  int trials = 10;
  int length = 40;  // characters per text
  std::uint64_t seed = 1;
  int threads = 1;
};

// Mean, spread (standard deviation) and largest magnitude of a set of errors.
struct ErrorStats {
  int count = 0;
  double sum = 0.0;
  double sum_squares = 0.0;
  double worst = 0.0;  // the error of largest magnitude, with its sign
  void Add(double error);
  double Mean() const;
  double Spread() const;
};

struct ReportPoint {
  double snr_db = 0.0;
  int trials = 0;
  int measured = 0;      // trials whose frame came with a report
  ErrorStats snr_error;  // snr_db - the channel's SNR, dB
  ErrorStats offset_error;  // (reported - applied offset) / tone spacing
};

struct ReportCurve {
  const OliviaMode* mode = nullptr;
  double max_offset_hz = 0.0;  // the applied offsets lie within +- this
  std::vector<ReportPoint> points;  // ascending SNR
};

std::vector<ReportCurve> MeasureReportCalibration(const std::vector<const OliviaMode*>& modes,
                                                  const ReportBenchSettings& settings);

// Hz between neighbouring tones of a mode.
double ToneSpacingHz(const OliviaMode& mode);

}  // namespace quillon
