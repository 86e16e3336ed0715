// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Choosing a sound device by its name rather than by its place in the list,
// so that a device plugged in or taken away does not move the choice to
// another card. The empty name stands for "no name known"; "default" is
// always the backend's default device (-1).

#include <optional>
#include <string>

#include "modem/audio/AudioDevice.h"

namespace quillon {

constexpr char kDefaultDeviceName[] = "default";

// The number of the device called `name` now (its name or its menu label),
// -1 for "default"; nothing when the name is empty or no device has it.
std::optional<int> FindDevice(AudioBackend& devices, AudioDirection direction, const std::string& name);

// The name of device `number` now: "default" for -1, empty when there is no
// such device.
std::string DeviceNameOf(AudioBackend& devices, AudioDirection direction, int number);

// The device to open at start: the one called `stored_name` when it is there,
// else `stored_number` (the menu position kept in init.ini).
int ChooseDevice(AudioBackend& devices, AudioDirection direction, const std::string& stored_name,
                 int stored_number);

}  // namespace quillon
