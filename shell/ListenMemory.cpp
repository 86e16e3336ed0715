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

// Sets one key to 0 or 1, keeping whatever else the file holds.
bool RememberSwitch(const std::string& home, const char* key, bool on, const char* what) {
  std::vector<std::string> warnings;
  StationConfig config = StationConfig::Load(ConfigPath(home), &warnings);
  Warn(warnings);
  std::string error;
  if (config.Set(key, on ? "1" : "0") && config.Save(ConfigPath(home), &error)) return true;
  std::fprintf(stderr, "quillon: %s is not remembered: %s\n", what, error.c_str());
  return false;
}

}  // namespace

ListenChoice StoredListenChoice(const std::string& home) {
  std::vector<std::string> warnings;
  const StationConfig config = StationConfig::Load(ConfigPath(home), &warnings);
  ListenChoice choice;
  choice.all_modes = config.GetInt(config_key::kListenAllModes, 0, 0, 1, &warnings) == 1;
  choice.deep = config.GetInt(config_key::kDeepReceive, 0, 0, 1, &warnings) == 1;
  choice.udp_events = config.GetOr(config_key::kUdpEvents, "");
  Warn(warnings);
  return choice;
}

bool RememberListenAllModes(const std::string& home, bool all_modes) {
  return RememberSwitch(home, config_key::kListenAllModes, all_modes, "listening in all modes");
}

bool RememberDeepReceive(const std::string& home, bool deep) {
  return RememberSwitch(home, config_key::kDeepReceive, deep, "deep reception");
}

}  // namespace quillon
