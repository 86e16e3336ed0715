// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/audio/DeviceByName.h"

#include <algorithm>
#include <vector>

namespace quillon {

namespace {

std::optional<int> IndexIn(const std::vector<std::string>& list, const std::string& name) {
  const auto at = std::find(list.begin(), list.end(), name);
  if (at == list.end()) return std::nullopt;
  return static_cast<int>(at - list.begin());
}

}  // namespace

std::optional<int> FindDevice(AudioBackend& devices, AudioDirection direction, const std::string& name) {
  if (name.empty()) return std::nullopt;
  // ALSA lists its "default" too; it is the same device as -1, and -1 keeps
  // the menus' default item checked.
  if (name == kDefaultDeviceName) return -1;
  if (std::optional<int> number = IndexIn(devices.DeviceNames(direction), name)) return number;
  // The label a menu shows is accepted too (copied from there, say).
  if (std::optional<int> number = IndexIn(devices.ListDevices(direction), name)) return number;
  return std::nullopt;
}

std::string DeviceNameOf(AudioBackend& devices, AudioDirection direction, int number) {
  if (number == -1) return kDefaultDeviceName;
  if (number < 0) return {};
  const std::vector<std::string> names = devices.DeviceNames(direction);
  return number < static_cast<int>(names.size()) ? names[number] : std::string();
}

int ChooseDevice(AudioBackend& devices, AudioDirection direction, const std::string& stored_name,
                 int stored_number) {
  return FindDevice(devices, direction, stored_name).value_or(stored_number);
}

}  // namespace quillon
