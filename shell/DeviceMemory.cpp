// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/DeviceMemory.h"

#include <cstdio>
#include <vector>

#include "modem/audio/DeviceByName.h"
#include "shell/StationConfig.h"

namespace quillon {

namespace {

struct DeviceMenu {
  AudioDirection direction;
  const char* key;
  int default_id;
  int first_device_id;
  int last_id;
};

constexpr DeviceMenu kInputMenu{AudioDirection::Capture, config_key::kInputDevice, kDefaultInputMenuId,
                                kFirstInputDeviceMenuId, kLastInputMenuId};
constexpr DeviceMenu kOutputMenu{AudioDirection::Playback, config_key::kOutputDevice, kDefaultOutputMenuId,
                                 kFirstOutputDeviceMenuId, kLastOutputMenuId};

std::string ConfigPath(const std::string& home) { return HomeFilePath(home, kStationConfigFileName); }

void Warn(const std::vector<std::string>& warnings) {
  for (const std::string& warning : warnings) std::fprintf(stderr, "quillon: %s\n", warning.c_str());
}

// The menu id of a device number; 0 for a device the menu cannot show.
int MenuIdOf(const DeviceMenu& menu, int number) {
  if (number == -1) return menu.default_id;
  const int id = menu.first_device_id + number;
  return number >= 0 && id <= menu.last_id ? id : 0;
}

}  // namespace

void UseRememberedDevices(const std::string& home, AudioBackend& devices, SettingsRecord& record) {
  std::vector<std::string> warnings;
  const StationConfig config = StationConfig::Load(ConfigPath(home), &warnings);
  Warn(warnings);
  for (const DeviceMenu& menu : {kInputMenu, kOutputMenu}) {
    const bool input = menu.direction == AudioDirection::Capture;
    const int stored = input ? record.InputDeviceNumber() : record.OutputDeviceNumber();
    const int id = MenuIdOf(menu, ChooseDevice(devices, menu.direction, config.GetOr(menu.key, ""), stored));
    if (id == 0) continue;
    if (input)
      record.SetInputMenuId(id);
    else
      record.SetOutputMenuId(id);
  }
}

void RememberDevice(const std::string& home, AudioBackend* devices, int menu_id) {
  const DeviceMenu& menu = menu_id <= kLastInputMenuId ? kInputMenu : kOutputMenu;
  if (devices == nullptr || menu_id < menu.default_id || menu_id > menu.last_id) return;
  const int number = menu_id == menu.default_id ? -1 : menu_id - menu.first_device_id;
  const std::string name = DeviceNameOf(*devices, menu.direction, number);
  if (name.empty()) return;  // an item past the end of the list: nothing to remember
  std::vector<std::string> warnings;
  StationConfig config = StationConfig::Load(ConfigPath(home), &warnings);
  Warn(warnings);
  std::string error;
  if (!config.Set(menu.key, name) || !config.Save(ConfigPath(home), &error))
    std::fprintf(stderr, "quillon: the device \"%s\" is not remembered: %s\n", name.c_str(),
                 error.empty() ? "the name cannot be kept in the settings file" : error.c_str());
}

}  // namespace quillon
