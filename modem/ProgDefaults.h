// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The adapter's mode record progdefaults: zero when the station starts,
// written and read only by the Olivia adapter.

#include <atomic>

namespace quillon {

struct ProgDefaults {
  int tones_code = 0;
  int width_code = 0;
  // Set by the transmit side (playback thread) before every character it
  // queues, read by the receive side (driver thread): once this station has
  // sent, 127 is taken as the escape of an 8-bit character.
  std::atomic<bool> eight_bit{false};
  int sync_margin = 0;       // receiver SearchMargin
  int sync_integration = 0;  // receiver SyncBlocks
  double tx_level_db = 0.0;  // applied by ModulateXmtr

  void Reset() {
    tones_code = width_code = sync_margin = sync_integration = 0;
    eight_bit.store(false);
    tx_level_db = 0.0;
  }
};

}  // namespace quillon
