// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The deep receiver's hold on a transmission. The described receiver emits
// a block only while the integrated signal-to-noise ratio of the best
// candidate reaches its threshold, so a frame loses the blocks decided
// before the integrators have risen and those that fall below it for a
// moment. Once a candidate has reached the threshold, the deep receiver
// holds its timing and frequency and emits every block of it, one per
// block period: the blocks just before it still in the audio kept, the
// blocks after it until the ratio stays low or the closing tone burst ends
// the transmission. While the ratio is high the hold follows the search's
// best candidate (a slowly drifting clock, a frame sent after another).

#include <cmath>
#include <cstdint>
#include <limits>

namespace quillon {

struct HeldCandidate {
  bool locked = false;
  bool closing = false;          // the closing burst has been heard: emit up to closing_end, then let go
  unsigned slice = 0;            // the search's time slice held
  unsigned offset = 0;           // the search's trial offset index held
  double offset_bins = 0;        // the frequency held, from the centre, in bins (whole and fraction)
  std::int64_t epoch_start = 0;  // the synchroniser's epoch the hold was taken in
  std::int64_t closing_end = 0;
  unsigned low_decisions = 0;    // decisions in a row with the held ratio below the hold threshold
  unsigned weak_blocks = 0;      // blocks in a row emitted no firmer than noise decodes
  // Where the last block emitted ended (its slice's pass), so that no block
  // comes out twice and a block skipped when the hold moves is filled in.
  std::int64_t last_emitted_end = kNothingEmitted;

  static constexpr std::int64_t kNothingEmitted = std::numeric_limits<std::int64_t>::min() / 4;

  void Reset() { *this = HeldCandidate{}; }

  void Lock(unsigned new_slice, unsigned new_offset, double new_offset_bins) {
    locked = true;
    closing = false;
    low_decisions = 0;
    weak_blocks = 0;
    slice = new_slice;
    offset = new_offset;
    offset_bins = new_offset_bins;
  }

  void Release() {
    locked = false;
    closing = false;
  }

  // A fresh measurement of the frequency: the held value moves a quarter of
  // the way towards it, which averages the fraction over about four blocks;
  // a jump of most of a bin is a new frequency, taken as it is.
  void Track(unsigned new_offset, double measured_bins) {
    offset = new_offset;
    if (std::abs(measured_bins - offset_bins) > 0.75)
      offset_bins = measured_bins;
    else
      offset_bins += 0.25 * (measured_bins - offset_bins);
  }
};

}  // namespace quillon
