// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The keying settings as the settings file keeps them (ptt, ptt_lead_ms,
// ptt_tail_ms, tx_time_limit_s), and putting them into a station's keyer.
// The window's "Передатчик" dialog edits these; quillon-cli reads them too.

#include <string>
#include <vector>

#include "modem/ptt/PttKeyer.h"
#include "modem/ptt/PttChoice.h"
#include "shell/StationConfig.h"

namespace quillon {

struct PttSettings {
  PttChoice choice;  // none unless the file says otherwise
  PttTiming timing;
};

// The ranges the file's numbers must lie in: a lead or tail beyond two
// seconds is a mistake rather than a radio's need; a day is longer than any
// message takes in the slowest mode.
constexpr long long kMostPttDelayMs = 2000;
constexpr long long kMostTimeLimitS = 86400;

// A value that does not parse is reported in `warnings` and its default used.
PttSettings PttSettingsFromConfig(const StationConfig& config, std::vector<std::string>* warnings = nullptr);
void StorePttSettings(const PttSettings& settings, StationConfig& config);

// Gives the keyer the backend and timing of `settings`. When this build
// cannot have the backend (hamlib on Windows), false with `error`, and the
// keyer refuses every transmission with that error rather than transmitting
// unkeyed.
bool ConfigureKeyer(PttKeyer& keyer, const PttSettings& settings, std::string& error);

}  // namespace quillon
