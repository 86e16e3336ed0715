// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/FrameSignal.h"

#include <algorithm>

namespace quillon {

void FrameSignal::Start() {
  *this = FrameSignal();
  open_ = true;
}

void FrameSignal::Add(const ReceivedSignal& signal) {
  if (!open_ || !signal.measured) return;
  ++characters_;
  signal_sum_ += signal.signal;
  noise_sum_ += signal.noise;
  offset_sum_ += signal.offset_hz;
}

double FrameSignal::SnrDb() const {
  if (characters_ == 0 || !(noise_sum_ > 0)) return std::numeric_limits<double>::quiet_NaN();
  if (!(signal_sum_ > 0)) return kNoSignalDb;
  return std::max(kNoSignalDb, 10.0 * std::log10(signal_sum_ / noise_sum_));
}

SignalReport FrameSignal::Report() const {
  SignalReport report;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  report.snr_db = Measured() ? SnrDb() : nan;
  report.offset_hz = Measured() ? OffsetHz() : nan;
  return report;
}

}  // namespace quillon
