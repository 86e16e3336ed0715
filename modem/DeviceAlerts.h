// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The status-bar messages about the sound devices: a device that would not
// open or went away (the audio thread keeps trying to open it again), and the
// same device working again. The driver asks once per pass; each change of a
// direction's state gives one message, so a device that stays away does not
// keep covering the link's own messages.

#include <string>

#include "modem/StationState.h"

namespace quillon {

class DeviceAlerts {
 public:
  explicit DeviceAlerts(const StationState& station) : station_(station) {}

  // The message (cp1251) for what changed since the last call; empty when
  // nothing did. Both directions lost at once share one message.
  std::string Check();

 private:
  const StationState& station_;
  int last_in_ = kWaveOpen;
  int last_out_ = kWaveOpen;
};

}  // namespace quillon
