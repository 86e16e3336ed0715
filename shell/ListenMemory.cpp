// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ListenMemory.h"

#include <cstdio>
#include <vector>

#include "shell/Settings.h"
#include "shell/StationConfig.h"

namespace quillon {
namespace {

std::string ConfigPath(const std::string& home) { return HomeFilePath(home, kStationConfigFileName); }

void Warn(const std::vector<std::string>& warnings) {
  for (const std::string& warning : warnings) std::fprintf(stderr, "quillon: %s\n", warning.c_str());
}

}  // namespace

ListenChoice StoredListenChoice(const std::string& home) {
  std::vector<std::string> warnings;
  const StationConfig config = StationConfig::Load(ConfigPath(home), &warnings);
  ListenChoice choice;
  choice.all_modes = config.GetInt(config_key::kListenAllModes, 0, 0, 1, &warnings) == 1;
  choice.udp_events = config.GetOr(config_key::kUdpEvents, "");
  Warn(warnings);
  return choice;
}

void RememberListenAllModes(const std::string& home, bool all_modes) {
  std::vector<std::string> warnings;
  StationConfig config = StationConfig::Load(ConfigPath(home), &warnings);
  Warn(warnings);
  std::string error;
  if (!config.Set(config_key::kListenAllModes, all_modes ? "1" : "0") || !config.Save(ConfigPath(home), &error))
    std::fprintf(stderr, "quillon: listening in all modes is not remembered: %s\n", error.c_str());
}

}  // namespace quillon
