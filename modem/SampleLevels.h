// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The two level conversions at the sound card: transmit values (already
// clipped to +-0.95) leave as value x 20000 truncated toward zero, so the clip
// limit gives at most +-19000; captured samples reach the receiver as
// sample / 32767, so -32768 gives -1.0000305 and 32767 gives 1.0.

#include <cstdint>

namespace quillon {

constexpr double kPlaybackScale = 20000.0;
constexpr double kCaptureScale = 32767.0;

inline int16_t PlaybackSample(double value) {
  double scaled = value * kPlaybackScale;
  // Values are clipped long before this; the bounds only keep a stray value
  // from wrapping around.
  if (scaled > 32767.0) scaled = 32767.0;
  if (scaled < -32768.0) scaled = -32768.0;
  return static_cast<int16_t>(scaled);
}

inline double CaptureSample(int16_t sample) { return sample / kCaptureScale; }

}  // namespace quillon
