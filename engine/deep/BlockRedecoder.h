// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Decodes one block again from the converted input, at the timing and the
// frequency the synchroniser settled on, but to a fraction of a bin: the
// search tries whole bins only (half a tone spacing), and a tone between two
// of them loses up to a dB in its filter. Each symbol's window is
// transformed after turning the audio down by the fractional part of the
// offset, so every tone lands on the centre of a bin, and the tone energies
// become bit log-likelihood ratios (ToneLikelihoods.h) from the noise and
// signal levels the block itself shows. The audio skips the limiter, whose
// whitening and clipping cost a few tenths of a dB on Gaussian noise; only
// impulses are clipped here.
//
// Times are the receiver's converted-sample counts: the audio kept is the
// last HistorySamples samples stored, and a block is named by where the
// window of its last symbol ends.

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/Containers.h"
#include "engine/Demodulator.h"
#include "engine/Fft.h"
#include "engine/SoftDecoder.h"
#include "engine/deep/ToneLikelihoods.h"

namespace quillon {

struct RedecodedBlock {
  uint64_t word = 0;     // the characters, the first in the lowest byte
  float strength = 0;    // the decoder's Weakest: how firmly its weakest character was decided
  double quality = 0;    // mean winning transform magnitude over the rms of the losing ones
  bool decoded = false;  // false: the audio for the block is no longer (or not yet) kept, or silent
  bool silent = false;   // digital silence: nothing to decide
};

class MFSK_BlockRedecoder {
 public:
  using Complex = Cmpx<double>;
  using Decoder = MFSK_SoftDecoder<double, double>;

  // The signal-to-noise ratio per tone assumed when a block shows none it
  // can be sure of; 6 dB is about where every mode decides its blocks near
  // its threshold, and the likelihoods change little within a few dB of it.
  static constexpr double kDefaultToneSnr = 4.0;
  // Samples beyond this many standard deviations of the noise are clipped.
  static constexpr double kImpulseClip = 4.0;

  // `piece_samples`: the most samples Store is given at once.
  int Preset(const MFSK_Demodulator<double>& demodulator, const Decoder& reference, unsigned history_samples,
             unsigned piece_samples) {
    clip_scratch_len_ = piece_samples;
    symbol_len_ = demodulator.SymbolLen;
    symbol_step_ = demodulator.SymbolStep;
    tones_ = demodulator.Symbols;
    bits_ = demodulator.BitsPerSymbol;
    gray_ = demodulator.UseGrayCode != 0;
    symbols_per_block_ = reference.SymbolsPerBlock;
    // Tone t of trial offset o lies at bin base + direction (o + 2 t).
    direction_ = demodulator.Reverse ? -1 : 1;
    base_bin_ = static_cast<int>(demodulator.FirstCarrier);
    if (demodulator.Reverse) base_bin_ -= static_cast<int>(demodulator.BinMargin);
    unsigned ring = 1;
    while (ring < history_samples) ring *= 2;
    ring_mask_ = ring - 1;
    decoder_.ReducedCharset = reference.ReducedCharset;
    if (ReallocArray(ring_, ring) < 0 || ReallocArray(window_, symbol_len_) < 0 ||
        ReallocArray(buffer_, symbol_len_) < 0 || ReallocArray(rotation_, symbol_len_) < 0 ||
        ReallocArray(energy_, static_cast<size_t>(tones_) * symbols_per_block_) < 0 ||
        ReallocArray(scratch_, tones_) < 0 || ReallocArray(noise_, tones_) < 0 || ReallocArray(losses_, tones_) < 0 ||
        ReallocArray(clip_scratch_, piece_samples) < 0 || fft_.Preset(static_cast<int>(symbol_len_)) < 0 ||
        decoder_.Preset(reference) < 0)
      return -1;
    std::copy(demodulator.Window.get(), demodulator.Window.get() + symbol_len_, window_.get());
    Reset();
    return 0;
  }

  void Reset() {
    ClearArray(ring_, ring_mask_ + 1);
    stored_end_ = 0;
  }

  // `count` samples that begin at converted sample `start`, which must
  // continue where the last ones ended (or start the record afresh); they
  // are kept with their impulses clipped.
  void Store(const double* samples, unsigned count, int64_t start) {
    if (start != stored_end_) ClearArray(ring_, ring_mask_ + 1);
    for (unsigned i = 0; i < count; ++i) ring_[static_cast<size_t>(start + i) & ring_mask_] = samples[i];
    // The ring is longer than any piece, and the piece lies in it in at
    // most two runs.
    const size_t first = static_cast<size_t>(start) & ring_mask_;
    const unsigned head = static_cast<unsigned>(std::min<size_t>(count, ring_mask_ + 1 - first));
    ClipImpulses(ring_.get() + first, head);
    if (head < count) ClipImpulses(ring_.get(), count - head);
    stored_end_ = start + count;
  }

  // The block whose last symbol's window ends at `last_window_end`, at a
  // trial offset of `offset_bins` (whole and fractional) from the centre.
  RedecodedBlock Decode(int64_t last_window_end, double offset_bins) {
    RedecodedBlock block;
    const int64_t first = last_window_end - static_cast<int64_t>(symbol_step_) * (symbols_per_block_ - 1) - symbol_len_;
    if (first < stored_end_ - static_cast<int64_t>(ring_mask_ + 1) || last_window_end > stored_end_) return block;
    // All tones share one fractional bin position; the audio is turned down
    // by it before the transform.
    const double position = base_bin_ + direction_ * offset_bins;
    const double whole = std::floor(position + 0.5);
    const double fraction = position - whole;
    for (unsigned n = 0; n < symbol_len_; ++n)
      rotation_[n].SetPhase(-6.283185307179586 * fraction * n / symbol_len_, window_[n]);
    for (unsigned i = 0; i < symbols_per_block_; ++i)
      ToneEnergies(first + static_cast<int64_t>(i) * symbol_step_, static_cast<int>(whole),
                   energy_.get() + static_cast<size_t>(i) * tones_);
    DecodeEnergies(block);
    return block;
  }

 private:
  void ToneEnergies(int64_t start, int first_tone_bin, double* energy) {
    for (unsigned n = 0; n < symbol_len_; ++n) {
      const double x = ring_[static_cast<size_t>(start + n) & ring_mask_];
      buffer_[n] = Complex{x * rotation_[n].Re, x * rotation_[n].Im};
    }
    fft_.Process(buffer_.get());
    for (unsigned t = 0; t < tones_; ++t) {
      const int bin = first_tone_bin + direction_ * 2 * static_cast<int>(t);
      energy[t] = bin >= 0 && bin < static_cast<int>(symbol_len_) ? buffer_[static_cast<unsigned>(bin)].Energy() : 0.0;
    }
  }

  // Each tone's noise energy is its mean over the symbols it loses: the
  // audio comes straight from the converter, so the noise need not be
  // white across the band (the radio's filters), and a steady carrier on a
  // tone wins nearly every symbol and is then measured by its own mean,
  // which turns it into no more than noise. The signal is the mean winning
  // energy less its tone's noise. Near the threshold a few winners are
  // noise, which raises the signal estimate a little: the likelihoods are
  // flat enough in it not to matter.
  void DecodeEnergies(RedecodedBlock& block) {
    double* noise = noise_.get();
    unsigned* losses = losses_.get();
    double total = 0, winners = 0;
    for (unsigned t = 0; t < tones_; ++t) noise[t] = 0, losses[t] = 0;
    for (unsigned i = 0; i < symbols_per_block_; ++i) {
      const double* e = energy_.get() + static_cast<size_t>(i) * tones_;
      unsigned top = 0;
      for (unsigned t = 1; t < tones_; ++t)
        if (e[t] > e[top]) top = t;
      winners += e[top];
      for (unsigned t = 0; t < tones_; ++t) {
        total += e[t];
        if (t != top) noise[t] += e[t], ++losses[t];
      }
    }
    if (!(total > 0)) {  // digital silence decides nothing
      block.silent = true;
      return;
    }
    const double mean_energy = total / (static_cast<double>(symbols_per_block_) * tones_);
    double mean_noise = 0;
    for (unsigned t = 0; t < tones_; ++t) {
      noise[t] = losses[t] >= symbols_per_block_ / 4 ? noise[t] / losses[t] : mean_energy;
      // A tone without energy (a band edge beyond the converter's passband)
      // still gets a unit to count in.
      if (!(noise[t] > 0)) noise[t] = mean_energy;
      mean_noise += noise[t] / tones_;
    }
    const double signal = winners / symbols_per_block_ - mean_noise;
    const double snr = signal > 0 ? std::min(30.0, std::max(0.5, signal / mean_noise)) : kDefaultToneSnr;
    double soft[8];
    double normalised[256];
    decoder_.Reset();
    for (unsigned i = 0; i < symbols_per_block_; ++i) {
      const double* e = energy_.get() + static_cast<size_t>(i) * tones_;
      for (unsigned t = 0; t < tones_; ++t) normalised[t] = e[t] / noise[t];
      ToneBitLikelihoods(normalised, tones_, bits_, gray_, snr, soft, scratch_.get());
      decoder_.Input(soft);
    }
    decoder_.Process();
    decoder_.Output(block.word);
    block.strength = decoder_.Weakest;
    block.quality = decoder_.NoiseEnergy > 0 ? decoder_.Signal / std::sqrt(decoder_.NoiseEnergy) : 0.0;
    block.decoded = true;
  }

  // Cuts the samples beyond ImpulseClip standard deviations of the piece,
  // as the median magnitude (0.6745 sigma for Gaussian noise) implies:
  // clicks, which the RMS would follow, lose their weight while noise and
  // signal pass untouched. A piece mostly of digital silence is left alone.
  // The median is taken over every fourth sample, as the limiter does.
  void ClipImpulses(double* samples, unsigned count) {
    const unsigned taken = count / 4;
    if (taken == 0 || taken > clip_scratch_len_) return;
    for (unsigned i = 0; i < taken; ++i) clip_scratch_[i] = std::abs(samples[4 * i]);
    double* middle = clip_scratch_.get() + taken / 2;
    std::nth_element(clip_scratch_.get(), middle, clip_scratch_.get() + taken);
    if (!(*middle > 0)) return;
    const double bound = kImpulseClip / 0.6745 * *middle;
    for (unsigned i = 0; i < count; ++i) samples[i] = std::max(-bound, std::min(bound, samples[i]));
  }

  unsigned symbol_len_ = 0, symbol_step_ = 0, tones_ = 0, bits_ = 0, symbols_per_block_ = 0;
  bool gray_ = true;
  int direction_ = 1;
  int base_bin_ = 0;
  unsigned ring_mask_ = 0;
  Array<double> ring_;
  int64_t stored_end_ = 0;
  Array<double> window_;
  Array<Complex> buffer_;
  Array<Complex> rotation_;  // the window times the turn by the fractional bin
  Array<double> energy_;     // symbols_per_block_ rows of tones_
  Array<double> scratch_;
  Array<double> noise_;      // per tone
  Array<unsigned> losses_;   // per tone
  Array<double> clip_scratch_;
  unsigned clip_scratch_len_ = 0;
  r2FFT<Complex> fft_;
  Decoder decoder_;
};

}  // namespace quillon
