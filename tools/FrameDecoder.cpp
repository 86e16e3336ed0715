// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/FrameDecoder.h"

#include <algorithm>
#include <atomic>
#include <limits>
#include <memory>
#include <thread>

#include "engine/Receiver.h"
#include "tools/ModeArg.h"

namespace quillon {
namespace {
// Blocks of the block code: the sync integration of 4 blocks, which with rx_flush
// covers the decision delay of the last block.
constexpr int kQuietBlocksAfter = 4;
// Samples every receiver of a thread hears before the next one: whole audio
// blocks, so each receiver still gets its blocks as before, and the lead of
// the first over the last that the transform memo must cover.
constexpr std::size_t kSharedRound = 8 * kAudioBlockSamples;
}  // namespace

FrameDecoder::FrameDecoder(const OliviaMode& mode, bool deep_receiver)
    : station_(mode, deep_receiver), receiver_(LinkReceiveSettings(mode)) {
  // The adapter's first receive-ring entries come from tx_init's flush of
  // the new receiver, before any audio.
  DrainReceiveRing(0.0, 0.0);
}

void FrameDecoder::Hear(const int16_t* samples, int count) {
  while (count > 0) {
    const int n = std::min(count, kAudioBlockSamples);
    station_.Hear(samples, n);
    samples_heard_ += n;
    samples += n;
    count -= n;
    DrainReceiveRing(static_cast<double>(samples_heard_) / kSampleRateHz, static_cast<double>(n) / kSampleRateHz);
  }
}

void FrameDecoder::Finish() {
  // On air the receiver goes on listening after a transmission, and its last
  // blocks are decided several blocks later. rx_flush alone leaves the last
  // decisions of a short transmission in the slower modes unmade, so the
  // recording is followed by a quiet channel first.
  const double audio_s = static_cast<double>(samples_heard_) / kSampleRateHz;
  HearQuiet(std::numeric_limits<long long>::max());
  station_.Flush();
  DrainReceiveRing(audio_s, 0.0);
  // A frame still waiting for its check extension is judged with what came.
  Note(receiver_.Finish(), audio_s);
}

bool FrameDecoder::HearQuiet(long long count) {
  if (quiet_due_ < 0) quiet_due_ = kQuietBlocksAfter * ModeBlockSamples(station_.Mode());
  const double audio_s = static_cast<double>(samples_heard_) / kSampleRateHz;
  static const std::vector<int16_t> quiet(kAudioBlockSamples, 0);
  for (; quiet_due_ > 0 && count > 0; quiet_due_ -= kAudioBlockSamples, count -= kAudioBlockSamples) {
    station_.Hear(quiet.data(), kAudioBlockSamples);
    DrainReceiveRing(audio_s, static_cast<double>(kAudioBlockSamples) / kSampleRateHz);
  }
  return quiet_due_ > 0;
}

void FrameDecoder::HearAll(const Audio& audio) {
  Hear(audio.data(), static_cast<int>(audio.size()));
  Finish();
}

std::vector<DecodedFrame> FrameDecoder::TakeFrames() {
  std::vector<DecodedFrame> frames;
  frames.swap(frames_);
  return frames;
}

double FrameDecoder::EarliestStartToCome() const {
  return collecting_ ? start_s_ : static_cast<double>(samples_heard_) / kSampleRateHz;
}

void FrameDecoder::DrainReceiveRing(double now_s, double elapsed_s) {
  MFSK_Receiver<double>& receiver = station_.Adapter().Receiver();
  // The receiver's ratio belongs to its latest decision; a ratio above 100
  // is reported as 0 once that decision is out, so zeros are left out.
  auto note_snr = [&] {
    const double snr = receiver.SignalToNoiseRatio();
    if (snr <= 0.0) return;
    snr_sum_ += snr;
    ++snr_count_;
  };
  int entry = 0;
  float strength = 0;
  ReceivedSignal signal;
  frame_heard_ = false;
  while (station_.Link().Bufer_Olivia.Take(entry, strength, signal)) {
    const ReceiveEvents events = receiver_.Feed(entry, strength);
    // A frame's figures are taken at its check byte's decision, before the
    // wait for its check extension.
    if (collecting_ && receiver_.AwaitingExtension() && !check_noted_) {
      if (!frame_heard_) note_snr();
      end_s_ = now_s;
      freq_offset_hz_ = receiver.FrequencyOffset();
      check_noted_ = true;
    }
    Note(events, now_s);
    signal_.Follow(signal, receiver_.AwaitingExtension());
  }
  Note(receiver_.Elapse(elapsed_s), now_s);
  if (collecting_ && !frame_heard_) note_snr();
}

void FrameDecoder::Note(const ReceiveEvents& events, double now_s) {
  for (const ReceiveEvent& event : events) {
    if (event.kind == ReceiveEvent::Kind::kFrameStart) {
      collecting_ = true;
      check_noted_ = false;
      start_s_ = now_s;
      signal_.Start();
      snr_sum_ = 0.0;
      snr_count_ = 0;
    } else if (event.kind == ReceiveEvent::Kind::kFrameEnd) {
      DecodedFrame decoded;
      decoded.mode = &station_.Mode();
      decoded.frame = event.frame;
      decoded.start_s = start_s_;
      decoded.end_s = check_noted_ ? end_s_ : now_s;
      decoded.snr = snr_count_ > 0 ? snr_sum_ / snr_count_ : 0.0;
      const SignalReport report = signal_.Report();
      decoded.snr_db = report.snr_db;
      if (signal_.Measured())
        decoded.freq_offset_hz = report.offset_hz;
      else
        decoded.freq_offset_hz = check_noted_ ? freq_offset_hz_ : station_.Adapter().Receiver().FrequencyOffset();
      frames_.push_back(decoded);
      collecting_ = false;
      frame_heard_ = true;
    }
  }
}

int WorkerThreads() {
  const unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(cores);
}

void ParallelFor(std::size_t count, int threads, const std::function<void(std::size_t)>& work) {
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    for (std::size_t index = next++; index < count; index = next++) work(index);
  };
  const std::size_t wanted = std::min<std::size_t>(count, static_cast<std::size_t>(std::max(1, threads)));
  std::vector<std::thread> pool;
  for (std::size_t t = 1; t < wanted; ++t) pool.emplace_back(worker);
  worker();
  for (std::thread& thread : pool) thread.join();
}

ModeDecoders::ModeDecoders(const std::vector<const OliviaMode*>& modes, int threads, Order order, Report report,
                           bool deep_receiver)
    : decoders_(modes.size()), threads_(threads), order_(order), report_(std::move(report)) {
  ParallelFor(modes.size(), threads_, [&](std::size_t index) {
    decoders_[index] = std::make_unique<FrameDecoder>(*modes[index], deep_receiver);
  });
  AssignShards(threads_);
}

void ModeDecoders::AssignShards(int threads) {
  // Groups of receivers whose symbols are equally long share the most; the
  // largest group goes first to the thread with the fewest receivers.
  std::vector<std::vector<FrameDecoder*>> groups;
  std::vector<unsigned> lengths;
  for (const auto& decoder : decoders_) {
    const unsigned length = decoder->Adapter().Receiver().Demodulator.SymbolLen;
    const auto found = std::find(lengths.begin(), lengths.end(), length);
    if (found == lengths.end()) {
      lengths.push_back(length);
      groups.emplace_back();
    }
    groups[static_cast<std::size_t>(std::find(lengths.begin(), lengths.end(), length) - lengths.begin())].push_back(
        decoder.get());
  }
  std::stable_sort(groups.begin(), groups.end(),
                   [](const auto& a, const auto& b) { return a.size() > b.size(); });
  shards_.resize(std::min<std::size_t>(std::max(1, threads), std::max<std::size_t>(1, groups.size())));
  for (const auto& group : groups) {
    Shard& lightest = *std::min_element(shards_.begin(), shards_.end(), [](const Shard& a, const Shard& b) {
      return a.decoders.size() < b.decoders.size();
    });
    lightest.decoders.insert(lightest.decoders.end(), group.begin(), group.end());
  }
  for (Shard& shard : shards_) {
    shard.memo = std::make_unique<TransformMemo<double>>(static_cast<unsigned>(kSharedRound));
    for (FrameDecoder* decoder : shard.decoders) decoder->Adapter().Receiver().ShareTransforms(shard.memo.get());
  }
}

ModeDecoders::~ModeDecoders() = default;

void ModeDecoders::Hear(const int16_t* samples, std::size_t count) {
  ParallelFor(shards_.size(), threads_, [&](std::size_t index) {
    for (std::size_t at = 0; at < count; at += kSharedRound) {
      const int round = static_cast<int>(std::min(kSharedRound, count - at));
      for (FrameDecoder* decoder : shards_[index].decoders) decoder->Hear(samples + at, round);
    }
  });
  double before_s = std::numeric_limits<double>::infinity();
  if (order_ == Order::kByStart)
    for (const auto& decoder : decoders_) before_s = std::min(before_s, decoder->EarliestStartToCome());
  ReportBefore(before_s);
}

bool ModeDecoders::UseBankKernel(DecoderKernel kernel) {
  if (!SoftDecoderBank::Supports(kernel)) return false;
  for (const auto& decoder : decoders_) decoder->Adapter().Receiver().UseBankKernel(kernel);
  return true;
}

void ModeDecoders::Finish() {
  ParallelFor(shards_.size(), threads_, [&](std::size_t index) {
    // The quiet channel in rounds too, while any receiver still has some due.
    for (bool due = true; due;) {
      due = false;
      for (FrameDecoder* decoder : shards_[index].decoders)
        due = decoder->HearQuiet(static_cast<long long>(kSharedRound)) || due;
    }
    for (FrameDecoder* decoder : shards_[index].decoders) decoder->Finish();
  });
  ReportBefore(std::numeric_limits<double>::infinity());
}

void ModeDecoders::ReportBefore(double before_s) {
  for (std::size_t place = 0; place < decoders_.size(); ++place)
    for (DecodedFrame& frame : decoders_[place]->TakeFrames()) waiting_.push_back({std::move(frame), place});
  std::stable_sort(waiting_.begin(), waiting_.end(), [](const Waiting& a, const Waiting& b) {
    if (a.frame.start_s != b.frame.start_s) return a.frame.start_s < b.frame.start_s;
    return a.mode_place < b.mode_place;
  });
  std::size_t reported = 0;
  for (; reported < waiting_.size() && waiting_[reported].frame.start_s < before_s; ++reported)
    report_(waiting_[reported].frame);
  waiting_.erase(waiting_.begin(), waiting_.begin() + static_cast<std::ptrdiff_t>(reported));
}

void DecodeRecording(const std::vector<const OliviaMode*>& modes, AudioReader& audio, int threads,
                     const ModeDecoders::Report& report, bool deep_receiver) {
  const bool live = audio.Live();
  ModeDecoders decoders(modes, threads, live ? ModeDecoders::Order::kAsDecided : ModeDecoders::Order::kByStart,
                        report, deep_receiver);
  const std::size_t piece_size = live ? kLivePieceSamples : kDecodePieceSamples;
  Audio piece;
  for (audio.Read(piece_size, piece); !piece.empty(); audio.Read(piece_size, piece))
    decoders.Hear(piece.data(), piece.size());
  decoders.Finish();
}

}  // namespace quillon
