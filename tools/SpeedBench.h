// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Real-time factors of the program's transmit and receive sides: seconds of
// audio handled per second of work, on this machine.

#include <vector>

#include "engine/ModeTable.h"
#include "engine/kernels/DecoderKernel.h"

namespace quillon {

struct ModeSpeed {
  const OliviaMode* mode = nullptr;
  double audio_s = 0.0;     // length of the transmission measured
  double transmit_rtf = 0.0;
  double receive_rtf = 0.0;
};

// Each mode on its own, one thread: one transmission of a fixed 40-character
// text through the link controller and tx_process, and its reception (with
// noise at -5 dB, lead and tail) through rx_process and the frame receiver,
// whose decoder bank runs `kernel`; with `deep`, the deep receiver's.
std::vector<ModeSpeed> MeasureModeSpeeds(const std::vector<const OliviaMode*>& modes,
                                         DecoderKernel kernel = DecoderKernel::Auto, bool deep = false);

// All 19 receivers over the same recording at once on `threads` threads,
// in seconds of audio per second of work: `listening` counts the hearing
// alone, as a station that listens on (the window, listen) spends it;
// `with_flush` also the quiet channel and flush that decode adds at the end
// of a recording (4 blocks of every mode: 65 s of audio in 64/250), over the
// same `audio_s`.
struct AllReceiversSpeed {
  double audio_s = 0.0;
  double listening = 0.0;
  double with_flush = 0.0;
};
AllReceiversSpeed MeasureAllReceivers(int threads, DecoderKernel kernel = DecoderKernel::Auto, bool deep = false);

// Throws CliError naming the kernel when this build or this processor
// cannot run it.
void RequireDecoderKernel(DecoderKernel kernel);

}  // namespace quillon
