// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The subcommands of quillon-cli. Each takes the words after its name and
// returns the exit status; user errors are thrown as CliError.

#include <climits>
#include <string>
#include <vector>

#include "tools/Args.h"

namespace quillon {

struct ChannelSettings;

using Words = std::vector<std::string>;

int RunEncode(const Words& words);
int RunDecode(const Words& words);
int RunChannel(const Words& words);
int RunSensitivity(const Words& words);
int RunSpeed(const Words& words);
int RunReportBench(const Words& words);
int RunDemo(const Words& words);
int RunDevices(const Words& words);
int RunSend(const Words& words);
int RunListen(const Words& words);

// The message of -t TEXT or -i FILE (with --charset utf8|cp1251) as the
// upper pane would hand it to the link, in cp1251; throws CliError.
std::string MessageText(const Args& args);

// The ranges of the options that several subcommands share.
// Silence before and after a transmission: ten minutes each at most.
inline constexpr NumberRange kSilenceRange{0.0, 600.0, "s"};
// Beyond +-60 dB the signal or the noise is all that is left.
inline constexpr NumberRange kSnrRange{-60.0, 60.0, "dB"};
inline constexpr WholeRange kSeedRange{0, LLONG_MAX};

// The channel options shared by channel and demo: --snr, --noise-bw,
// --offset, --fading, --drift-ppm, --lead, --tail, --seed; what is not
// given stays as in `defaults`.
ChannelSettings ChannelSettingsFrom(const Args& args, const ChannelSettings& defaults);

}  // namespace quillon
