// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the last received message came in: the report the window shows beside
// the band and `quillon-cli decode` prints for each frame.

#include <ctime>

namespace quillon {

struct SignalReport {
  // Signal-to-noise ratio in dB, the noise measured in 2500 Hz (the measure
  // the channel simulator and the sensitivity benchmark use).
  double snr_db = 0.0;
  // Hz above (+) or below (-) the mode's centre frequency of 1500 Hz.
  double offset_hz = 0.0;
  int mode_number = 0;    // the settings record's mode number, 93..111
  std::time_t time = 0;   // when the frame was decided (wall clock)
};

}  // namespace quillon
