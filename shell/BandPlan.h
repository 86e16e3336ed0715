// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where a mode's signal lies in the audio band and where the receiver looks
// for it, in Hz, for the band strip's marks.

namespace quillon {

struct BandPlan {
  double centre_hz = 0;       // the band centre every mode shares (1500 Hz)
  double band_low_hz = 0;     // the mode's band: centre -+ half its bandwidth
  double band_high_hz = 0;
  // The receiver tries offsets of up to this many Hz either side of the
  // centre: a signal is found when its centre lies within centre -+ this.
  double search_margin_hz = 0;
  // The band widened by the search margin: a signal whose whole band lies
  // inside is found.
  double search_low_hz = 0;
  double search_high_hz = 0;
};

// For a settings mode number; a number outside 93..111 is taken the way the
// adapter takes it (the codes of mode 93).
BandPlan BandPlanForMode(int mode_number);

}  // namespace quillon
