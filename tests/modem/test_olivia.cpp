// SPDX-License-Identifier: GPL-3.0-or-later
// The Olivia adapter on its own, driven step by step as the playback thread
// and the driver thread drive it: modes, carrier placement, tone bursts,
// the worked transmissions, escaping and the receive-side filter.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <thread>
#include <vector>

#include "engine/Receiver.h"
#include "engine/Transmitter.h"
#include "modem/Olivia.h"
#include "modem/SampleLevels.h"
#include "modem/SoundCard.h"

namespace quillon {
namespace {

constexpr double kPi = 3.14159265358979323846;
const double kGain = std::pow(10.0, -3.0 / 20.0);  // the -3 dB transmit level

struct Station {
  LinkState link;
  StationState state{link, 1000};
};

// Builds the adapter as the driver thread does.
std::unique_ptr<olivia> Build(unsigned mode, StationState& state) {
  auto adapter = std::make_unique<olivia>(mode, state);
  adapter->init();
  adapter->set_freq(1500.0);
  adapter->tx_init();
  return adapter;
}

struct Transmission {
  std::vector<double> samples;  // everything staged, in order
  int steps = 0;
  int last_result = 0;
};

// Queues the entries as the link controller would, starts the adapter and
// runs tx_process until the transmission ends, as the playback thread does.
Transmission Transmit(olivia& adapter, Station& station, const std::vector<int>& entries) {
  for (int entry : entries) station.link.CBufer.Put(entry);
  adapter.Start();
  station.link.start_prd = 1;
  Transmission result;
  while (station.link.start_prd.load() != 0 && result.steps < 100000) {
    result.last_result = adapter.tx_process();
    ++result.steps;
  }
  TransmitAudioRing& ring = station.state.PBuferG;
  while (const double* block = ring.Front()) {
    result.samples.insert(result.samples.end(), block, block + kAudioBlockSamples);
    ring.Pop();
  }
  result.samples.insert(result.samples.end(), station.state.GLbuf.begin(),
                        station.state.GLbuf.begin() + station.state.markerGL);
  return result;
}

// What a transmitter configured like the adapter's sends for the given code
// blocks, then its decaying half window, at the adapter's output level.
std::vector<double> ReferenceBlocks(const MFSK_Transmitter<double>& like,
                                    const std::vector<std::vector<int>>& blocks) {
  MFSK_Transmitter<double> tx;
  tx.Tones = like.Tones;
  tx.Bandwidth = like.Bandwidth;
  tx.SampleRate = tx.OutputSampleRate = 8000;
  tx.BandEdge = like.BandEdge;
  tx.Reverse = 0;
  EXPECT_EQ(tx.Preset(), 0);
  tx.Start();
  std::vector<double> out;
  std::vector<double> buffer(tx.MaxOutLen);
  for (const std::vector<int>& block : blocks) {
    for (int c : block) tx.PutChar(static_cast<uint8_t>(c));
    for (unsigned s = 0; s < tx.SymbolsPerBlock; ++s) {
      const int n = tx.Output(buffer.data());
      for (int i = 0; i < n; ++i) out.push_back(buffer[i] * kGain);
    }
  }
  tx.Stop();
  const int n = tx.Output(buffer.data());
  for (int i = 0; i < n; ++i) out.push_back(buffer[i] * kGain);
  EXPECT_EQ(tx.Running(), 0);
  return out;
}

// The frequency with the most energy between lo and hi (1 Hz steps).
double PeakFrequency(const double* x, int n, double lo, double hi) {
  double best = lo, best_power = -1.0;
  for (double f = lo; f <= hi; f += 1.0) {
    double re = 0.0, im = 0.0;
    for (int i = 0; i < n; ++i) {
      re += x[i] * std::cos(2 * kPi * f * i / 8000.0);
      im += x[i] * std::sin(2 * kPi * f * i / 8000.0);
    }
    if (re * re + im * im > best_power) {
      best_power = re * re + im * im;
      best = f;
    }
  }
  return best;
}

void ExpectSame(const std::vector<double>& got, std::size_t from, const std::vector<double>& want) {
  ASSERT_GE(got.size(), from + want.size());
  for (std::size_t i = 0; i < want.size(); ++i)
    ASSERT_NEAR(got[from + i], want[i], 1e-12) << "sample " << from + i;
}

TEST(OliviaModes, UnknownNumbersFallBackTo64TonesIn250HzSilently) {
  for (unsigned mode : {0u, 92u, 112u, 1000u}) {
    Station station;
    testing::internal::CaptureStdout();
    auto adapter = Build(mode, station.state);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "") << mode;
    EXPECT_EQ(adapter->Transmitter().Tones, 64u) << mode;
    EXPECT_EQ(adapter->Transmitter().Bandwidth, 250u) << mode;
    EXPECT_EQ(adapter->Receiver().Tones, 64u) << mode;
    EXPECT_EQ(adapter->Receiver().Bandwidth, 250u) << mode;
    EXPECT_EQ(adapter->get_mode(), mode);
    EXPECT_EQ(adapter->signal_width, 247.0);
  }
}

TEST(OliviaModes, Mode93PrintsTheRecordAsItStoodBefore) {
  Station station;
  testing::internal::CaptureStdout();
  auto first = Build(93, station.state);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "tones 0    0    0    0    0    0\n");
  first.reset();
  auto other = Build(101, station.state);
  other.reset();
  testing::internal::CaptureStdout();
  auto again = Build(93, station.state);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "tones 0    0    2    2    8    4\n");
  EXPECT_EQ(again->Transmitter().Tones, 64u);
  EXPECT_EQ(again->Receiver().Bandwidth, 250u);
}

TEST(OliviaModes, EveryModeOfTheTableConfiguresBothChains) {
  for (const OliviaMode& mode : kOliviaModes) {
    Station station;
    testing::internal::CaptureStdout();
    auto adapter = Build(static_cast<unsigned>(mode.number), station.state);
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(adapter->Transmitter().Tones, static_cast<unsigned>(mode.Tones())) << mode.label;
    EXPECT_EQ(adapter->Transmitter().Bandwidth, static_cast<unsigned>(mode.Bandwidth())) << mode.label;
    EXPECT_EQ(station.state.progdefaults.sync_margin, 8);
    // The receiver narrows the search where the band lies close to 0 Hz.
    EXPECT_LE(adapter->Receiver().SearchMargin, 8u) << mode.label;
    EXPECT_GE(adapter->Receiver().SearchMargin, 2u) << mode.label;
    EXPECT_EQ(adapter->Receiver().SyncBlocks, 4u) << mode.label;
    EXPECT_EQ(adapter->signal_width, mode.Bandwidth() - mode.Bandwidth() / mode.Tones()) << mode.label;
    EXPECT_EQ(station.state.progdefaults.tx_level_db, -3.0);
  }
}

TEST(OliviaPlacement, ReceiverTruncatesTheHalfBandTransmitterDoesNot) {
  Station station;
  auto adapter = std::make_unique<olivia>(101, station.state);
  adapter->init();
  EXPECT_FLOAT_EQ(adapter->Receiver().BandEdge, 2.532f);
  EXPECT_FLOAT_EQ(adapter->Transmitter().BandEdge, 2.532f);  // restart truncates too
  adapter->tx_init();
  EXPECT_FLOAT_EQ(adapter->Transmitter().BandEdge, 2.53125f);
  EXPECT_EQ(adapter->signal_width, 438.0);
  EXPECT_EQ(adapter->Transmitter().Tones, 8u);
  EXPECT_EQ(adapter->Transmitter().Bandwidth, 500u);

  Station wide;
  auto narrow = Build(93, wide.state);
  EXPECT_FLOAT_EQ(narrow->Receiver().BandEdge, 2.752f);
  EXPECT_FLOAT_EQ(narrow->Transmitter().BandEdge, static_cast<float>((1500 - 124.0234375) / 500));
}

TEST(OliviaBurst, LowHighLowHighAtTheBandEdgesAtMinus3dB) {
  Station station;
  auto adapter = Build(101, station.state);
  const Transmission sent = Transmit(*adapter, station, {-3});
  const std::vector<double>& x = sent.samples;
  ASSERT_GE(x.size(), 8192u);
  const double lows[] = {0, 4096}, highs[] = {2048, 6144};
  for (double at : lows) EXPECT_NEAR(PeakFrequency(&x[at + 256], 1536, 1200, 1800), 1281.0, 1.0);
  for (double at : highs) EXPECT_NEAR(PeakFrequency(&x[at + 256], 1536, 1200, 1800), 1719.0, 1.0);
  double peak = 0.0;
  for (int i = 0; i < 8192; ++i) peak = std::max(peak, std::fabs(x[i]));
  EXPECT_NEAR(peak, kGain, 1e-3);
  // Each tone starts one phase step in and rises from almost nothing.
  EXPECT_NEAR(x[0], 0.0, 1e-9);
  EXPECT_NEAR(x[2048], 0.0, 1e-9);
  EXPECT_NEAR(x[1], kGain * (1 - std::cos(kPi / 256)) / 2 * std::cos(2 * 2 * kPi * 1281 / 8000), 1e-12);
  // The mirror image at the end of each tone.
  for (int i = 0; i < 256; ++i) ASSERT_LE(std::fabs(x[2047 - i]), kGain * (1 - std::cos(kPi * i / 256)) / 2 + 1e-12);
}

TEST(OliviaTransmission, Mode93ThreeEntriesMakeTwoBlocksBetweenTheBursts) {
  Station station;
  testing::internal::CaptureStdout();
  auto adapter = Build(93, station.state);
  testing::internal::GetCapturedStdout();
  const Transmission sent = Transmit(*adapter, station, {65, 66, 67, -3});
  EXPECT_EQ(sent.last_result, -1);
  EXPECT_EQ(station.link.start_prd.load(), 0);
  EXPECT_EQ(sent.steps, 2 * 64 + 1);
  // Opening burst, 2 blocks of 64 symbols of 2048 samples, the half window,
  // closing burst, silence.
  ASSERT_EQ(sent.samples.size(), 8192u + 2 * 64 * 2048 + 2048 + 8192 + 512);
  const std::vector<double> blocks =
      ReferenceBlocks(adapter->Transmitter(), {{65, 0, 0, 0, 0, 0}, {66, 67, 0, 0, 0, 0}});
  ExpectSame(sent.samples, 8192, blocks);
  const std::vector<double> opening(sent.samples.begin(), sent.samples.begin() + 8192);
  ExpectSame(sent.samples, 8192 + blocks.size(), opening);
  for (std::size_t i = sent.samples.size() - 512; i < sent.samples.size(); ++i) ASSERT_EQ(sent.samples[i], 0.0);
}

TEST(OliviaTransmission, Mode101AbcTakesAbout6Point2Seconds) {
  Station station;
  auto adapter = Build(101, station.state);
  const std::vector<int> frame = {22, 15, 15, 97, 98, 99, 22, 62, -3};
  const Transmission sent = Transmit(*adapter, station, frame);
  EXPECT_EQ(sent.steps, 4 * 64 + 1);
  ASSERT_EQ(sent.samples.size(), 8192u + 4 * 8192 + 128 + 8192 + 512);
  EXPECT_NEAR(sent.samples.size() / 8000.0, 6.2, 0.05);
  EXPECT_EQ(station.state.markerGL, 128);  // the tail stays staged for the next transmission
  EXPECT_TRUE(station.link.CBufer.Empty());
  ExpectSame(sent.samples, 8192,
             ReferenceBlocks(adapter->Transmitter(), {{22, 0, 0}, {15, 15, 97}, {98, 99, 22}, {62, 0, 0}}));

  // The next message starts after the staged tail, with its own bursts.
  const Transmission next = Transmit(*adapter, station, {65, -3});
  EXPECT_EQ(next.steps, 64 + 1);
  EXPECT_EQ(next.samples.size(), 8192u + 8192 + 128 + 8192 + 512 + 128);
}

TEST(OliviaEscaping, EightBitEntriesGoAsEscapePairsAndLargeOnesAsDots) {
  Station station;
  auto adapter = Build(101, station.state);
  EXPECT_FALSE(station.state.progdefaults.eight_bit.load());
  const Transmission sent = Transmit(*adapter, station, {200, 300, -3});
  EXPECT_TRUE(station.state.progdefaults.eight_bit.load());
  ExpectSame(sent.samples, 8192, ReferenceBlocks(adapter->Transmitter(), {{127, 72, 0}, {46, 0, 0}}));
}

TEST(OliviaEscaping, UnescapeOnlyOnceThisStationHasSent) {
  Station station;
  auto adapter = Build(101, station.state);
  EXPECT_EQ(adapter->unescape(127), 127);
  EXPECT_EQ(adapter->unescape(72), 72);
  station.state.progdefaults.eight_bit = true;
  EXPECT_EQ(adapter->unescape(127), -1);
  EXPECT_EQ(adapter->unescape(72), 200);
  EXPECT_EQ(adapter->unescape(72), 72);
  EXPECT_EQ(adapter->unescape(127), -1);
  EXPECT_EQ(adapter->unescape(127), 255);
}

TEST(OliviaTransmission, EmptyRingAfterStartSendsNulBlocksWhileAsked) {
  Station station;
  auto adapter = Build(103, station.state);
  adapter->Start();
  station.link.start_prd = 1;
  for (int step = 0; step < 3 * 64; ++step) ASSERT_EQ(adapter->tx_process(), 0);
  EXPECT_EQ(station.link.start_prd.load(), 1);
  EXPECT_TRUE(adapter->Transmitter().Running());
}

TEST(OliviaPlayback, TheTransmitChainIsPulledOnlyWhenTheRingRunsDry) {
  Station station;
  auto adapter = Build(101, station.state);
  station.state.modem = adapter.get();
  for (int entry : {65, -3}) station.link.CBufer.Put(entry);
  adapter->Start();
  station.link.start_prd = 1;
  int16_t block[kAudioBlockSamples];
  // The first block pulls one step: the 16-block opening burst and one
  // symbol period of 128 samples, staged.
  ASSERT_TRUE(FillPlaybackBlock(station.state, block));
  EXPECT_EQ(station.state.PBuferG.Pending(), 15);
  EXPECT_EQ(station.state.markerGL, 128);
  for (int left = 14; left >= 0; --left) {
    ASSERT_TRUE(FillPlaybackBlock(station.state, block));
    EXPECT_EQ(station.state.PBuferG.Pending(), left);
    EXPECT_EQ(station.state.markerGL, 128);  // no step taken
  }
  // Dry again: steps until one more block is full (3 more periods of 128).
  ASSERT_TRUE(FillPlaybackBlock(station.state, block));
  EXPECT_EQ(station.state.PBuferG.Pending(), 0);
  EXPECT_EQ(station.state.markerGL, 0);
  EXPECT_EQ(station.link.ZeroYes.load(), 0);
}

TEST(OliviaPlayback, TheRingNeverHoldsMoreThanOneStepOf22Blocks) {
  Station station;
  testing::internal::CaptureStdout();
  auto adapter = Build(93, station.state);
  testing::internal::GetCapturedStdout();
  station.state.modem = adapter.get();
  for (int entry : {65, 66, 67, -3}) station.link.CBufer.Put(entry);
  adapter->Start();
  station.link.start_prd = 1;
  int16_t block[kAudioBlockSamples];
  int most = 0, played = 0;
  while (FillPlaybackBlock(station.state, block)) {
    most = std::max(most, station.state.PBuferG.Pending() + 1);
    ++played;
  }
  EXPECT_EQ(station.link.start_prd.load(), 0);
  EXPECT_EQ(station.link.ZeroYes.load(), 1);  // the first silent block after the end
  EXPECT_EQ(played, 549);                      // 281088 samples, see the worked transmission
  EXPECT_LE(most, 22);
  EXPECT_GE(most, 21);  // the last step: 4 blocks of output, 16 of burst, 1 of silence
}

// Plays the adapter's audio to receivers through the sound card levels.
std::vector<int> Receive(const std::vector<double>& audio, bool eight_bit, unsigned mode) {
  Station station;
  auto adapter = Build(mode, station.state);
  station.state.progdefaults.eight_bit = eight_bit;
  std::vector<double> padded = audio;
  padded.resize(audio.size() + 8 * 8192, 0.0);  // silence brings the last blocks to a decision
  double block[kAudioBlockSamples];
  for (std::size_t at = 0; at + kAudioBlockSamples <= padded.size(); at += kAudioBlockSamples) {
    for (int i = 0; i < kAudioBlockSamples; ++i) block[i] = CaptureSample(PlaybackSample(padded[at + i]));
    adapter->rx_process(block, kAudioBlockSamples);
  }
  std::vector<int> got;
  int v = 0;
  while (station.link.Bufer_Olivia.Take(v)) got.push_back(v);
  return got;
}

bool Contains(const std::vector<int>& haystack, const std::vector<int>& needle) {
  return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

TEST(OliviaReceive, ControlCodesNeverReachTheRingAndEscapesAreUndone) {
  Station station;
  auto adapter = Build(103, station.state);  // 8/2000: a block every 256 ms
  const Transmission sent = Transmit(*adapter, station, {1, 2, 3, 7, 8, 9, 65, 200, 66, -3});
  const std::vector<int> heard = Receive(sent.samples, true, 103);
  EXPECT_TRUE(Contains(heard, {8, 9, 65, 200, 66}));
  const std::vector<int> raw = Receive(sent.samples, false, 103);
  EXPECT_TRUE(Contains(raw, {8, 9, 65, 127, 72, 66}));
  for (int v : heard) EXPECT_GT(v, 7);
  for (int v : raw) EXPECT_GT(v, 7);
}

TEST(OliviaReceive, NoiseDecodesToCharactersAboveSeven) {
  Station station;
  auto adapter = Build(103, station.state);
  std::mt19937 random(7);
  std::normal_distribution<double> noise(0.0, 0.2);
  double block[kAudioBlockSamples];
  for (int b = 0; b < 60; ++b) {
    for (double& x : block) x = noise(random);
    adapter->rx_process(block, kAudioBlockSamples);
  }
  int v = 0, count = 0;
  while (station.link.Bufer_Olivia.Take(v)) {
    ++count;
    EXPECT_GT(v, 7);
    EXPECT_LT(v, 256);
  }
  EXPECT_GT(count, 0);
}

TEST(OliviaReceive, FlushHandsOverWhatIsLeftUnfiltered) {
  Station station;
  auto adapter = Build(103, station.state);
  const Transmission sent = Transmit(*adapter, station, {65, 66, 67, -3});
  Station listener;
  auto receiver = Build(103, listener.state);
  double block[kAudioBlockSamples];
  for (std::size_t at = 0; at + kAudioBlockSamples <= sent.samples.size(); at += kAudioBlockSamples) {
    std::copy(sent.samples.begin() + at, sent.samples.begin() + at + kAudioBlockSamples, block);
    receiver->rx_process(block, kAudioBlockSamples);
  }
  receiver->rx_flush();
  std::vector<int> got;
  int v = 0;
  while (listener.link.Bufer_Olivia.Take(v)) got.push_back(v);
  EXPECT_TRUE(Contains(got, {65, 66, 67}));
}

TEST(OliviaThreads, ReceiverThatCannotBePresetAgainEndsTheTransmissionOnThePlaybackThread) {
  Station station;
  auto adapter = Build(103, station.state);
  // The receiver's next preset fails, as when memory runs out: a zero input
  // rate leaves it nothing to size its converter by.
  adapter->Receiver().InputSampleRate = 0;
  adapter->Start();
  station.link.start_prd = 1;
  // The playback thread steps the transmission (an empty ring sends NUL
  // blocks for as long as it is asked) while the driver thread hands the
  // receiver its first block, which presets it again. Under ThreadSanitizer
  // this also checks that the two threads share the adapter's readiness
  // safely.
  std::thread playback([&] {
    for (int step = 0; step < 1000000 && station.link.start_prd.load() != 0; ++step) adapter->tx_process();
  });
  std::thread driver([&] {
    double silence[kAudioBlockSamples] = {};
    adapter->rx_process(silence, kAudioBlockSamples);
  });
  driver.join();
  playback.join();
  EXPECT_EQ(station.link.start_prd.load(), 0);
  EXPECT_EQ(adapter->tx_process(), -1);
}

}  // namespace
}  // namespace quillon
