// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The deep receiver's decisions. The search of the described receiver runs
// unchanged (every time slice and whole-bin trial offset, integrated over
// SyncBlocks blocks); what comes out differs:
// - a candidate that reaches the threshold is held (HeldCandidate.h), and
//   every block of it is emitted, with a firm block or two before it;
// - its blocks come out kLookBehind blocks later than the described
//   receiver decides them, so that the first blocks of a transmission are
//   decided with the candidate the search settles on;
// - each emitted block is decoded again from the converted input, its
//   impulses clipped (BlockRedecoder.h), at the held frequency to a fraction of a bin, with
//   bit likelihoods, at the slice's timing and a quarter symbol either
//   side of it: the slices lie half a symbol apart, and the timing whose
//   decision is firmest is taken.
// The receiver holds one decider and calls it at every slice pass instead
// of its own decision. (The station's adapter sets the decode threshold to
// 0, so there the hold is taken at once and follows the search's best
// candidate; bursts still end one hold and start the next.)

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/deep/BlockRedecoder.h"
#include "engine/deep/HeldCandidate.h"

namespace quillon {

template <class Receiver>
class MFSK_DeepDecider {
 public:
  // The limiter in front of the search clips at this many standard
  // deviations of the noise.
  static constexpr double kImpulseClip = 4.0;
  // Blocks before the first decision of a hold that are still decoded, when
  // their own decision is at least this firm (RedecodedBlock::quality).
  // Noise alone decodes to a quality near sqrt(2 ln 128) = 3.1; a block
  // near the threshold, to well above 4.
  static constexpr unsigned kBackfillBlocks = 2;
  static constexpr double kBackfillQuality = 4.0;
  // A hold lets go after this many decisions in a row with its candidate's
  // ratio below this share of the decode threshold, or once this many
  // blocks in a row decode no firmer than noise does (below the backfill's
  // quality) while the ratio is below the threshold itself: noise that
  // reached the threshold for a moment is not held for long.
  static constexpr unsigned kReleaseAfter = 2;
  static constexpr double kHoldShare = 0.6;
  static constexpr unsigned kWeakBlocksToRelease = 3;
  // The held candidate's blocks come out this many blocks later than the
  // described receiver decides them: the search has then seen that much
  // more of the signal, so the first blocks of a transmission, decided
  // before the search has settled on its candidate, are decoded with the
  // candidate it settles on. A hold moving to a later slice catches up at
  // most kMaxCatchUp skipped blocks.
  static constexpr unsigned kLookBehind = 2;
  static constexpr unsigned kMaxCatchUp = 2;
  // Blocks decoded at least this firmly (RedecodedBlock::quality; noise
  // gives about 3, a block near the threshold 4 to 6) are not tried at the
  // other timings.
  static constexpr double kFirmQuality = 10.0;

  // Audio to keep: the decided history, the blocks before a hold, and the
  // windows around them.
  int Preset(const Receiver& rx) {
    const int64_t blocks = rx.SyncBlocks + kLookBehind + kBackfillBlocks + 2;
    const int64_t history = blocks * rx.BlockSamples() + 2 * rx.Demodulator.SymbolLen + rx.InputProcessor.WindowSize;
    return redecoder_.Preset(rx.Demodulator, rx.ReferenceDecoder, static_cast<unsigned>(history),
                             rx.InputProcessor.WindowSize);
  }
  void Reset() {
    redecoder_.Reset();
    held_.Reset();
  }
  void Store(const double* samples, unsigned count, int64_t start) { redecoder_.Store(samples, count, start); }

  // At the pass of slice s: the held candidate's next block at its own
  // slice's pass; half a block after the best slice, the decision to take
  // hold, follow, or let go (with the ratio the receiver reports).
  void Pass(Receiver& rx, unsigned s) {
    if (held_.locked && s == held_.slice) EmitHeldBlocks(rx);
    int d = static_cast<int>(s) - static_cast<int>(rx.BestSlice);
    if (d < 0) d += static_cast<int>(rx.SliceCount);
    if (static_cast<unsigned>(d) != rx.SliceCount / 2) return;
    const unsigned next = (s + 1 < rx.SliceCount) ? s + 1 : 0;
    const double noise_energy = rx.NoiseTable.AbsPtr(next)[0].Stage3;
    if (!(noise_energy > 0)) {
      rx.SnrValue = 0;
      return;
    }
    rx.SnrValue = rx.BestSignal / std::sqrt(noise_energy);
    const bool firm = rx.SnrValue >= rx.DecodeThreshold;
    if (!held_.locked) {
      if (firm && rx.Epochs.InCurrent(rx.OldestRowEnd(rx.BestSlice), rx.EpochOverlap())) TakeHold(rx);
    } else if (!held_.closing) {
      if (firm) {
        held_.slice = rx.BestSlice;
        held_.Track(rx.BestOffset, rx.OffsetBins(rx.BestSlice, rx.BestOffset));
      }
      const double held_snr = rx.SignalTable.AbsPtr(held_.slice)[held_.offset].Stage3 / std::sqrt(noise_energy);
      held_.low_decisions = held_snr < kHoldShare * rx.DecodeThreshold ? held_.low_decisions + 1 : 0;
      const bool weak = held_.weak_blocks >= kWeakBlocksToRelease && held_snr < rx.DecodeThreshold;
      if (held_.low_decisions >= kReleaseAfter || weak) held_.Release();
    }
    if (rx.SnrValue > 100) rx.SnrValue = 0;  // as the described receiver reports it
  }

  // The burst that closes a transmission has ended at `burst_end`: a hold
  // decides the blocks before it and then lets go (true); without one, the
  // closed epoch decides them as the described receiver does.
  bool EpochClosed(const Receiver& rx, int64_t burst_end) {
    if (!held_.locked) return false;
    held_.closing = true;
    held_.closing_end = burst_end + rx.EpochOverlap();
    return true;
  }

  // A block the closed epoch decided, in its slice's oldest row: decoded
  // again at its whole-bin offset (the epoch's integrators no longer tell
  // the fraction), unless it already came out.
  void EmitClosedEpochBlock(Receiver& rx, unsigned slice, unsigned offset) {
    const int64_t end = rx.OldestRowEnd(slice);
    if (!NotYetEmitted(rx, end)) return;
    EmitBlock(rx, end, slice, offset, static_cast<int>(offset) - static_cast<int>(rx.SearchWidth / 2), 0);
  }

 private:
  void TakeHold(Receiver& rx) {
    held_.Lock(rx.BestSlice, rx.BestOffset, rx.OffsetBins(rx.BestSlice, rx.BestOffset));
    held_.epoch_start = rx.Epochs.CurrentStart();
    // What an earlier epoch emitted overlaps this one's first blocks by up
    // to the epochs' overlap, and was decided with that epoch's timing.
    if (held_.last_emitted_end < held_.epoch_start + rx.EpochOverlap())
      held_.last_emitted_end = HeldCandidate::kNothingEmitted;
    const int64_t target = HeldTarget(rx);
    for (unsigned k = kBackfillBlocks; k > 0; --k) {
      const int64_t earlier = target - static_cast<int64_t>(k) * rx.BlockSamples();
      if (InHeldEpoch(rx, earlier) && NotYetEmitted(rx, earlier)) EmitHeldBlock(rx, earlier, kBackfillQuality);
    }
    if (InHeldEpoch(rx, target) && NotYetEmitted(rx, target)) EmitHeldBlock(rx, target, kBackfillQuality);
    // Decided, whether it came out or not: the blocks after it follow
    // without a gate.
    held_.last_emitted_end = std::max(held_.last_emitted_end, target);
  }

  // The held slice's block LookBehind blocks before its oldest row, after
  // any block of the same slice skipped since the last one emitted (the
  // hold moved to a later slice).
  void EmitHeldBlocks(Receiver& rx) {
    const int64_t target = HeldTarget(rx);
    if (held_.closing && target >= held_.closing_end) {
      held_.Release();
      return;
    }
    int64_t first = target;
    for (unsigned n = 0; n < kMaxCatchUp && NotYetEmitted(rx, first - rx.BlockSamples()); ++n)
      first -= rx.BlockSamples();
    for (int64_t block_end = first; block_end <= target; block_end += rx.BlockSamples())
      if (InHeldEpoch(rx, block_end) && NotYetEmitted(rx, block_end)) EmitHeldBlock(rx, block_end, 0);
  }

  int64_t HeldTarget(const Receiver& rx) const {
    return rx.OldestRowEnd(held_.slice) - static_cast<int64_t>(kLookBehind) * rx.BlockSamples();
  }

  // Blocks of the epoch the hold was taken in, and before the burst that
  // closed it.
  bool InHeldEpoch(const Receiver& rx, int64_t end) const {
    return end >= held_.epoch_start + rx.EpochOverlap() && !(held_.closing && end >= held_.closing_end);
  }

  bool NotYetEmitted(const Receiver& rx, int64_t end) const {
    return end - held_.last_emitted_end >= rx.BlockSamples() / 2;
  }

  // The held slice's block whose pass ended at `end`, decoded again at the
  // held frequency; nothing when it is below `least_quality`.
  void EmitHeldBlock(Receiver& rx, int64_t end, double least_quality) {
    EmitBlock(rx, end, held_.slice, held_.offset, held_.offset_bins, least_quality);
  }

  // The block of `slice` whose pass ended at `end`, decoded again at
  // `offset_bins`; nothing when it is below `least_quality`.
  void EmitBlock(Receiver& rx, int64_t end, unsigned slice, unsigned offset, double offset_bins,
                 double least_quality) {
    // A slice of phase 0 is the earlier spectrum of its symbol period.
    const int64_t slice_step = rx.Demodulator.SliceStep;
    const int64_t window_end = end - ((slice % 2 == 0) ? slice_step : 0);
    RedecodedBlock block = redecoder_.Decode(window_end, offset_bins);
    // A block this firm at the slice's own timing is decided: another
    // timing could only agree with it.
    if (block.quality < kFirmQuality)
      for (const int64_t shift : {-slice_step / 2, slice_step / 2}) {
        const RedecodedBlock other = redecoder_.Decode(window_end + shift, offset_bins);
        if (other.decoded && other.quality > block.quality) block = other;
      }
    if (block.silent) held_.last_emitted_end = end;  // decided: nothing to say
    if (!block.decoded || block.quality < least_quality) return;
    held_.last_emitted_end = end;
    held_.weak_blocks = block.quality < kBackfillQuality ? held_.weak_blocks + 1 : 0;
    rx.EmittedOffset = offset;
    rx.EmitWord(block.word, block.strength, rx.MeasureBlock(end, offset_bins));
  }

  MFSK_BlockRedecoder redecoder_;
  HeldCandidate held_;
};

}  // namespace quillon
