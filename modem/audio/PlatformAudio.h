// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sound system of the platform: ALSA on Linux (AlsaAudio.cpp), winmm on
// Windows (WinmmAudio.cpp). Exactly one of them is compiled in.

#include <memory>

#include "modem/audio/AudioDevice.h"

namespace quillon {

std::unique_ptr<AudioBackend> CreatePlatformAudioBackend();

}  // namespace quillon
