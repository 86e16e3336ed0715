// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sound devices chosen in the menus, kept by name in quillon.conf
// (input_device, output_device) beside their menu ids in init.ini, so that a
// card plugged in or taken away does not move the choice to another card.
// At start the name is looked up in the current device list; a name that is
// not there (or none) leaves init.ini's menu id as it is.

#include <string>

#include "modem/audio/AudioDevice.h"
#include "shell/Settings.h"

namespace quillon {

namespace config_key {
constexpr char kInputDevice[] = "input_device";    // a name `quillon-cli devices` lists
constexpr char kOutputDevice[] = "output_device";
}  // namespace config_key

// Sets the record's device menu ids to where the remembered devices are now.
void UseRememberedDevices(const std::string& home, AudioBackend& devices, SettingsRecord& record);

// Remembers the device of a device menu item (401..417, 501..517) by its
// name. The file is read, changed and written at once, keeping whatever else
// it holds. A file that cannot be written is reported on standard error.
void RememberDevice(const std::string& home, AudioBackend* devices, int menu_id);

}  // namespace quillon
