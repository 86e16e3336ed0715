// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The signal report of one received frame, gathered from its characters:
// each carries the measurement of the block it was decided in (signal power
// and noise power in 2500 Hz in one unit, and the refined frequency offset).
// The blocks from the start marker to the check byte are summed, so that the
// ratio is taken once over the whole frame.

#include <cmath>
#include <limits>

#include "link/SignalReport.h"

namespace quillon {

// What the receiver measured for one character's block; `measured` is
// false where nothing was (characters pushed out at the end of the audio).
struct ReceivedSignal {
  float signal = 0;     // signal power
  float noise = 0;      // noise power in 2500 Hz, the same unit
  float offset_hz = 0;  // Hz, + above the band centre
  bool measured = false;
};

class FrameSignal {
 public:
  // A new frame begins: what was gathered is dropped.
  void Start();
  // One character of the frame (unmeasured ones count for nothing).
  void Add(const ReceivedSignal& signal);
  // The frame's characters are all in (its check byte came): later ones are
  // not added until the next Start.
  void Close() { open_ = false; }
  // One character just given to the frame receiver: added while the frame
  // is open, which its check byte closes.
  void Follow(const ReceivedSignal& signal, bool awaiting_extension) {
    Add(signal);
    if (awaiting_extension) Close();
  }
  bool Open() const { return open_; }

  // Whether any character was measured.
  bool Measured() const { return characters_ > 0; }
  // SNR in dB in 2500 Hz; with no signal above the noise, kNoSignalDb.
  double SnrDb() const;
  // Hz, the mean of the characters' refined offsets.
  double OffsetHz() const { return characters_ > 0 ? offset_sum_ / characters_ : 0.0; }
  // The report without mode and time; NaN figures when nothing was measured.
  SignalReport Report() const;

  // Below anything the receiver decodes: a frame whose band shows no power
  // above the noise beside it.
  static constexpr double kNoSignalDb = -30.0;

 private:
  bool open_ = false;
  int characters_ = 0;
  double signal_sum_ = 0;
  double noise_sum_ = 0;
  double offset_sum_ = 0;
};

}  // namespace quillon
