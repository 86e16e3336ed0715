// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/Modem.h"

#include <cmath>

namespace quillon {

namespace {
constexpr double kClipLimit = 0.95;  // also the largest gain
}

modem::modem(StationState& station_state) : station(station_state) {}

modem::~modem() = default;

void modem::init() { stop_requested = false; }

void modem::set_freq(double freq) {
  tx_freq = freq;
  rx_freq = tx_freq;
}

int modem::ModulateXmtr(double* samples, int count) {
  double gain = std::pow(10.0, station.progdefaults.tx_level_db / 20.0);
  if (gain > kClipLimit) gain = kClipLimit;
  for (int i = 0; i < count; ++i) {
    double v = samples[i] * gain;
    if (v < -kClipLimit) v = -kClipLimit;
    if (v > kClipLimit) v = kClipLimit;
    samples[i] = v;
  }
  for (int i = 0; i < count; ++i) {
    station.GLbuf[station.markerGL] = samples[i];
    station.markerGL += 1;
    if (station.markerGL == kAudioBlockSamples) {
      station.PBuferG.Put(station.GLbuf.data());
      station.markerGL = 0;
    }
  }
  return count;
}

}  // namespace quillon
