// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/SpeedBench.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>

#include "engine/Receiver.h"
#include "tools/CliError.h"

#include "tools/channel/ChannelSimulator.h"
#include "tools/FrameDecoder.h"
#include "tools/ModeArg.h"
#include "tools/Station.h"

namespace quillon {
namespace {

const char kBenchText[] = "CQ CQ de Quillon \xCF\xF0\xE8\xE2\xE5\xF2 test 0123456789 +-/@";  // "Привет" inside

using Clock = std::chrono::steady_clock;

constexpr int kReceiveRuns = 5;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

Audio Recording(const Audio& sent) {
  ChannelSettings channel;
  channel.add_noise = true;
  channel.snr_db = -5.0;
  channel.lead_s = 1.0;
  channel.tail_s = 1.0;
  return ChannelSimulator(channel).Apply(sent);
}

void UseKernel(FrameDecoder& decoder, DecoderKernel kernel) {
  if (decoder.Adapter().Receiver().UseBankKernel(kernel) < 0) RequireDecoderKernel(kernel);
}

}  // namespace

std::vector<ModeSpeed> MeasureModeSpeeds(const std::vector<const OliviaMode*>& modes, DecoderKernel kernel,
                                         bool deep) {
  std::vector<ModeSpeed> speeds;
  for (const OliviaMode* mode : modes) {
    ModeSpeed speed;
    speed.mode = mode;
    Station station(*mode);
    QuietView view;
    auto started = Clock::now();
    const Audio sent = station.Transmit(kBenchText, view);
    const double transmit_s = Seconds(started);
    speed.audio_s = double(sent.size()) / kSampleRateHz;
    speed.transmit_rtf = speed.audio_s / transmit_s;

    // The fastest of a few runs: a recording of a few seconds is decoded in
    // milliseconds, which a moment of other work on the machine can double.
    const Audio heard = Recording(sent);
    double fastest_s = 0;
    for (int run = 0; run < kReceiveRuns; ++run) {
      FrameDecoder decoder(*mode, deep);
      UseKernel(decoder, kernel);
      started = Clock::now();
      decoder.HearAll(heard);
      const double elapsed_s = Seconds(started);
      if (run == 0 || elapsed_s < fastest_s) fastest_s = elapsed_s;
    }
    speed.receive_rtf = double(heard.size()) / kSampleRateHz / fastest_s;
    speeds.push_back(speed);
  }
  return speeds;
}

AllReceiversSpeed MeasureAllReceivers(int threads, DecoderKernel kernel, bool deep) {
  const Audio heard = Recording(EncodeMessage(ModeByNumber(kDefaultModeNumber), kBenchText));
  std::vector<const OliviaMode*> modes;
  for (const OliviaMode& mode : kOliviaModes) modes.push_back(&mode);
  // Built first, as the driver builds its adapter before audio arrives;
  // the factors cover the hearing only, as for the single modes. The
  // receivers run as decode -m all runs them, in its pieces.
  ModeDecoders decoders(modes, threads, ModeDecoders::Order::kByStart, [](const DecodedFrame&) {}, deep);
  if (!decoders.UseBankKernel(kernel)) RequireDecoderKernel(kernel);
  const auto started = Clock::now();
  for (std::size_t at = 0; at < heard.size(); at += kDecodePieceSamples)
    decoders.Hear(heard.data() + at, std::min(kDecodePieceSamples, heard.size() - at));
  const double hearing_s = Seconds(started);
  decoders.Finish();
  AllReceiversSpeed speed;
  speed.audio_s = double(heard.size()) / kSampleRateHz;
  speed.listening = speed.audio_s / hearing_s;
  speed.with_flush = speed.audio_s / Seconds(started);
  return speed;
}

void RequireDecoderKernel(DecoderKernel kernel) {
  if (!SoftDecoderBank::Supports(kernel))
    throw CliError(std::string("decoder kernel '") + DecoderKernelName(kernel) + "' cannot run here: " +
                   (kernel == DecoderKernel::Avx2 || kernel == DecoderKernel::Avx512
                        ? "this processor lacks its instructions, or this build is not for x86-64"
                        : "not in this build") +
                   "; the fastest here is '" + DecoderKernelName(FastestDecoderKernel()) + "'");
}

}  // namespace quillon
