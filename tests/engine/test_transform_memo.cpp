// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/Receiver.h"
#include "engine/TransformMemo.h"
#include "engine/Transmitter.h"

namespace quillon {
namespace {

using Memo = TransformMemo<double>;
using Complex = Cmpx<double>;

const double kRate = 8000;

struct Mode {
  unsigned tones;
  unsigned bandwidth;
};

// Modes whose symbols are 512 samples long (they share the limiter and
// the demodulator's spectra), one of 2048 (its demodulator shares the burst
// detector's transform length) and one of 64.
const Mode kModes[] = {{4, 125}, {8, 250}, {16, 500}, {32, 1000}, {64, 2000}, {64, 500}, {8, 2000}};

float BandEdge(const Mode& mode) {
  return static_cast<float>((1500 - std::trunc(mode.bandwidth * (1 - 0.5 / mode.tones) / 2)) / 500);
}

// A transmission in 16/500 behind a second of noise, the noise running on.
std::vector<double> NoisyTransmission() {
  MFSK_Transmitter<double> transmitter;
  transmitter.Tones = 16;
  transmitter.Bandwidth = 500;
  transmitter.SampleRate = transmitter.OutputSampleRate = kRate;
  transmitter.BandEdge = static_cast<float>((1500 - 500 * (1 - 0.5 / 16) / 2) / 500);
  EXPECT_EQ(transmitter.Preset(), 0);
  std::vector<double> audio(8000, 0.0);
  std::vector<double> block(transmitter.MaxOutLen);
  const std::string text = "shared transforms, same decisions 0123456789";
  std::size_t next = 0;
  transmitter.Start();
  for (;;) {
    while (next < text.size() && transmitter.GetReadReady() < static_cast<int>(transmitter.BitsPerSymbol))
      transmitter.PutChar(static_cast<uint8_t>(text[next++]));
    if (next == text.size()) transmitter.Stop();
    const int n = transmitter.Output(block.data());
    audio.insert(audio.end(), block.begin(), block.begin() + n);
    if (!transmitter.Running()) break;
  }
  audio.resize(audio.size() + 16000, 0.0);
  std::mt19937 random(5);
  std::normal_distribution<double> gauss(0.0, 0.3);
  for (double& x : audio) x += gauss(random);
  return audio;
}

// Everything a receiver put out, each value by its bits.
struct Heard {
  std::vector<uint8_t> chars;
  std::vector<uint32_t> strengths;
  std::vector<uint64_t> signals;
};

void Collect(MFSK_Receiver<double>& receiver, Heard& heard) {
  uint8_t c = 0;
  float strength = 0;
  MFSK_BlockSignal signal;
  while (receiver.GetChar(c, strength, signal)) {
    heard.chars.push_back(c);
    uint32_t strength_bits = 0;
    std::memcpy(&strength_bits, &strength, sizeof strength_bits);
    heard.strengths.push_back(strength_bits);
    for (const double value : {signal.signal, signal.noise, signal.offset_hz, signal.measured ? 1.0 : 0.0}) {
      uint64_t bits = 0;
      std::memcpy(&bits, &value, sizeof bits);
      heard.signals.push_back(bits);
    }
  }
}

std::unique_ptr<MFSK_Receiver<double>> MakeReceiver(const Mode& mode, Memo* memo) {
  auto receiver = std::make_unique<MFSK_Receiver<double>>();
  receiver->Tones = mode.tones;
  receiver->Bandwidth = mode.bandwidth;
  receiver->BandEdge = BandEdge(mode);
  receiver->DecodeThreshold = 0;  // every block decided: noise too must come out alike
  receiver->ShareTransforms(memo);
  EXPECT_EQ(receiver->Preset(), 0);
  receiver->Reset();
  return receiver;
}

// All modes over the audio in rounds of `round` samples, in blocks of 512,
// the receivers one after another; then each hears a different length of
// extra noise (the streams part) and is flushed.
std::vector<Heard> HearAll(const std::vector<double>& audio, Memo* memo, std::size_t round, std::size_t memo_room) {
  std::vector<std::unique_ptr<MFSK_Receiver<double>>> receivers;
  for (const Mode& mode : kModes) receivers.push_back(MakeReceiver(mode, memo));
  std::vector<Heard> heard(receivers.size());
  for (std::size_t at = 0; at < audio.size(); at += round)
    for (std::size_t r = 0; r < receivers.size(); ++r)
      for (std::size_t i = at; i < std::min(at + round, audio.size()); i += 512) {
        const unsigned n = static_cast<unsigned>(std::min<std::size_t>(512, audio.size() - i));
        EXPECT_EQ(receivers[r]->Process(audio.data() + i, n), 0);
        Collect(*receivers[r], heard[r]);
      }
  // Five receivers share every limiter window and symbol spectrum, all
  // seven every burst spectrum: with room for a round, most lookups hit
  // (about four hits a miss; the streams part below, and then all miss).
  if (memo != nullptr && round <= memo_room) {
    EXPECT_GT(memo->Hits(), 2 * memo->Misses());
  }
  for (std::size_t r = 0; r < receivers.size(); ++r) {
    const std::size_t extra = 3000 * (r + 1);
    EXPECT_EQ(receivers[r]->Process(audio.data(), static_cast<unsigned>(extra)), 0);
    receivers[r]->Flush();
    Collect(*receivers[r], heard[r]);
  }
  return heard;
}

// The receivers decide to the bit as they do alone, whether the memo keeps
// everything a round needs (4096 samples behind) or far less than the
// rounds ask (512 behind, rounds of 8192: most lookups miss and the
// receivers compute for themselves), and when their streams part.
TEST(TransformMemo, ReceiversSharingTransformsDecideAsAlone) {
  const std::vector<double> audio = NoisyTransmission();
  const std::vector<Heard> alone = HearAll(audio, nullptr, 4096, 0);
  ASSERT_GT(alone[2].chars.size(), 40u);
  struct Case {
    unsigned lag;
    std::size_t round;
  };
  for (const Case& c : {Case{4096, 4096}, Case{512, 8192}}) {
    Memo memo(c.lag);
    const std::vector<Heard> shared = HearAll(audio, &memo, c.round, c.lag);
    for (std::size_t r = 0; r < alone.size(); ++r) {
      SCOPED_TRACE("mode " + std::to_string(kModes[r].tones) + "/" + std::to_string(kModes[r].bandwidth) +
                   ", memo lag " + std::to_string(c.lag));
      EXPECT_EQ(shared[r].chars, alone[r].chars);
      EXPECT_EQ(shared[r].strengths, alone[r].strengths);
      EXPECT_EQ(shared[r].signals, alone[r].signals);
    }
  }
}

// A kept result comes back only for the same input to the bit, of the same
// transform and length; a transform with one consumer keeps nothing.
TEST(TransformMemo, ReturnsAKeptResultOnlyForTheSameInput) {
  Memo memo(1024);
  Memo::Cursor first, second, lone;
  memo.Join(Memo::Kind::kTwoSpectra, 4, &first);
  memo.Join(Memo::Kind::kTwoSpectra, 4, &second);
  memo.Join(Memo::Kind::kTwoSpectra, 4, &second);  // joining twice counts once
  memo.Join(Memo::Kind::kLimiter, 4, &lone);
  int computed = 0;
  auto run = [&](Memo::Kind kind, std::vector<Complex> input, Memo::Cursor& cursor) {
    std::vector<Complex> out(4);
    memo.Apply(kind, input.data(), 4, {out.data(), 2}, {out.data() + 2, 2}, cursor, [&] {
      ++computed;
      for (int i = 0; i < 4; ++i) out[i] = Complex{input[i].Re * 2 + computed, -input[i].Im};
    });
    return out;
  };
  const std::vector<Complex> a = {{1, 2}, {3, 4}, {5, 6}, {7, 8}};
  std::vector<Complex> b = a;
  b[3].Im = std::nextafter(8.0, 9.0);  // differs in one bit of one value
  const std::vector<Complex> from_a = run(Memo::Kind::kTwoSpectra, a, first);
  EXPECT_EQ(computed, 1);
  const std::vector<Complex> again = run(Memo::Kind::kTwoSpectra, a, second);
  EXPECT_EQ(computed, 1);  // kept: the computation would have added 2, not 1
  EXPECT_EQ(std::memcmp(again.data(), from_a.data(), sizeof(Complex) * 4), 0);
  run(Memo::Kind::kTwoSpectra, b, second);
  EXPECT_EQ(computed, 2);
  run(Memo::Kind::kLimiter, a, lone);
  run(Memo::Kind::kLimiter, a, lone);
  EXPECT_EQ(computed, 4);
  EXPECT_EQ(memo.Hits(), 1u);
}

}  // namespace
}  // namespace quillon
