// SPDX-License-Identifier: GPL-3.0-or-later
// quillon-cli devices: the sound devices by the names the options and the
// settings file take.

#include <cstdio>
#include <string>
#include <vector>

#include "modem/audio/AudioDevices.h"
#include "modem/audio/DeviceByName.h"
#include "tools/Args.h"
#include "tools/CliError.h"
#include "tools/Commands.h"

namespace quillon {
namespace {

const char kDevicesHelp[] =
    "usage: quillon-cli devices [--input | --output]\n"
    "\n"
    "Lists the sound devices by the names a device is chosen by (`send --output\n"
    "NAME`, and input_device / output_device in quillon.conf), each with what\n"
    "the system says about it. \"default\" is the system's default device;\n"
    "\"Quillon loopback\" plays into its own input (a station hears itself),\n"
    "\"Quillon null (silence)\" hears silence and plays into nothing. A name\n"
    "stays with its device when others are plugged in or taken away.\n"
    "\n"
    "  --input    only the input (capture) devices\n"
    "  --output   only the output (playback) devices\n";

// What the menu label says beyond the name ("NAME - DESCRIPTION" from ALSA).
std::string Description(const std::string& name, const std::string& label) {
  if (label.rfind(name, 0) != 0) return label == name ? std::string() : label;
  std::string rest = label.substr(name.size());
  if (rest.rfind(" - ", 0) == 0) rest.erase(0, 3);
  return rest;
}

void PrintDevices(AudioDevices& devices, AudioDirection direction, const char* heading) {
  std::printf("%s\n", heading);
  const std::vector<std::string> names = devices.DeviceNames(direction);
  const std::vector<std::string> labels = devices.ListDevices(direction);
  bool default_listed = false;
  for (const std::string& name : names) default_listed = default_listed || name == kDefaultDeviceName;
  if (!default_listed) std::printf("  %-28s  %s\n", kDefaultDeviceName, "the system's default device");
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string description = i < labels.size() ? Description(names[i], labels[i]) : std::string();
    if (description.empty())
      std::printf("  %s\n", names[i].c_str());
    else
      std::printf("  %-28s  %s\n", names[i].c_str(), description.c_str());
  }
}

}  // namespace

int RunDevices(const Words& words) {
  const Args args(words, {{"input", 0, false}, {"output", 0, false}});
  if (args.Help()) {
    std::fputs(kDevicesHelp, stdout);
    return kExitOk;
  }
  if (!args.Positionals().empty()) throw CliError("devices takes no file or name (see --help)");
  if (args.Has("input") && args.Has("output")) throw CliError("give --input or --output, not both");
  AudioDevices devices;
  if (!args.Has("output")) PrintDevices(devices, AudioDirection::Capture, "input devices (capture):");
  if (!args.Has("input")) PrintDevices(devices, AudioDirection::Playback, "output devices (playback):");
  return kExitOk;
}

}  // namespace quillon
