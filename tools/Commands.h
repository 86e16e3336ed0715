#pragma once
// The subcommands of quillon-cli. Each takes the words after its name and
// returns the exit status; user errors are thrown as CliError.

#include <string>
#include <vector>

namespace quillon {

class Args;
struct ChannelSettings;

using Words = std::vector<std::string>;

int RunEncode(const Words& words);
int RunDecode(const Words& words);
int RunChannel(const Words& words);
int RunSensitivity(const Words& words);
int RunSpeed(const Words& words);
int RunDemo(const Words& words);

// The channel options shared by channel and demo: --snr, --noise-bw,
// --offset, --fading, --drift-ppm, --lead, --tail, --seed.
ChannelSettings ChannelSettingsFrom(const Args& args);

}  // namespace quillon
