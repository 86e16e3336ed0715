// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the Olivia code itself allows, as a yardstick for the receivers: a
// model receiver that knows every symbol's exact timing and the exact tone
// frequencies. The engine's encoder and modulator make the audio; white
// Gaussian noise is added at an SNR counted in 2500 Hz the way the channel
// simulator counts it; the engine's demodulator, fed in step with the
// symbols, gives each tone's energy through its matched filter (the
// transmitted symbol shape over the exact symbol span); there is no limiter
// and no synchroniser. Each symbol's energies become soft bits by one of two
// metrics, and the engine's soft decoder decodes the blocks.

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/ModeTable.h"

namespace quillon {

enum class SoftMetric {
  // The receiver's own: (sum of E^2 over tones with the bit 0 - with bit 1) /
  // sum of E^2, E the tone energies, tone numbers Gray codes of the values.
  kSquaredEnergies,
  // Bit log-likelihood ratios of non-coherent MFSK from the known signal
  // and noise levels.
  kLikelihood,
};
constexpr int kSoftMetrics = 2;
const char* SoftMetricName(SoftMetric metric);

// The receiver's soft bits of one symbol from its 2^bits tone energies E,
// tone t carrying the value whose Gray code is t: for each bit, (sum of E^2
// over the tones with the bit 0 - with the bit 1) / sum of E^2.
void SquaredEnergySoftBits(const double* tone_energy, unsigned bits_per_symbol, double* soft);

// ln I0(x) for x >= 0, within 2e-7 of the exact value relative to I0.
double LogBesselI0(double x);

// Soft bits (positive: bit 0) of one symbol from its 2^bits tone energies,
// tone t carrying the value whose Gray code is t: for each bit, the log of
// the summed likelihoods of the tones with the bit 0 minus that with bit 1.
// A tone of energy E holds the signal with likelihood ratio
// exp(-S/N0) I0(2 sqrt(E S) / N0); the common factor cancels.
void LikelihoodSoftBits(const double* tone_energy, unsigned bits_per_symbol, double signal_energy,
                        double noise_energy, double* soft);

class PerfectSyncModel {
 public:
  explicit PerfectSyncModel(const OliviaMode& mode);

  const OliviaMode& Mode() const { return mode_; }
  unsigned CharactersPerBlock() const { return static_cast<unsigned>(mode_.BitsPerSymbol()); }

  // The audio, at 8000 samples/s and a tone amplitude of 1, of `characters`
  // (7-bit codes, a whole number of blocks), with one block of random
  // characters before and one after, so that every symbol of the frame has
  // the neighbours it has on air.
  std::vector<double> Modulate(const std::vector<std::uint8_t>& characters, std::mt19937_64& random) const;

  // The standard deviation per sample of the white noise that puts `clean`
  // at `snr_db` with the noise counted in 2500 Hz, as the channel simulator
  // counts it: the signal's power over its non-silent part against the
  // share of the noise power that falls in 2500 Hz of 0..4000 Hz.
  static double NoiseDeviation(const std::vector<double>& clean, double snr_db);

  // The matched filter's energies of the 2^bits tones of `count` symbols
  // from symbol `first` (counted from the audio's start, at least 1) on,
  // symbol after symbol.
  std::vector<double> ToneEnergies(const std::vector<double>& heard, std::size_t first, std::size_t count) const;

  // The characters of the `blocks` framed blocks of `heard` (laid out as
  // Modulate lays them out), once per metric in SoftMetric order; the
  // likelihoods take the noise's deviation as known.
  std::array<std::vector<std::uint8_t>, kSoftMetrics> Decode(const std::vector<double>& heard, std::size_t blocks,
                                                             double noise_deviation) const;

  // The levels at the matched filter's output, in its units: the energy of
  // the sent tone without noise, and the mean noise energy of any tone.
  double SignalEnergy() const { return signal_energy_; }
  double NoiseEnergy(double noise_deviation) const { return noise_gain_ * noise_deviation * noise_deviation; }
  // Samples from one symbol's start to the next.
  unsigned SymbolStep() const { return symbol_len_ / 2; }

 private:
  const OliviaMode& mode_;
  unsigned symbol_len_;  // the symbol window, two symbol periods
  int first_carrier_;    // tone 0 in units of 8000 / symbol_len_ Hz
  double signal_energy_ = 0.0;
  double noise_gain_ = 0.0;
};

struct ModelSettings {
  double from_db = -20.0;
  double to_db = 0.0;
  double step_db = 0.5;
  int trials = 100;
  int length = 40;  // characters per frame
  std::uint64_t seed = 1;
  int threads = 1;
  bool progress = false;  // frames done, on standard error
};

struct ModelPoint {
  double snr_db = 0.0;
  int frames = 0;
  int characters = 0;
  std::array<int, kSoftMetrics> character_errors{};
  std::array<int, kSoftMetrics> good{};  // frames with every character right
};

struct ModelCurve {
  const OliviaMode* mode = nullptr;
  std::vector<ModelPoint> points;  // ascending SNR
};

std::vector<ModelCurve> MeasureModel(const std::vector<const OliviaMode*>& modes, const ModelSettings& settings);

// Where a metric's curve first reaches 1 % character errors, and 90 % good
// frames, interpolated between the points around it as the sensitivity
// benchmark does. False when no point reaches it.
bool SnrAtCharacterErrorRate(const ModelCurve& curve, SoftMetric metric, double rate, double* snr_db);
bool SnrAtGoodFrames(const ModelCurve& curve, SoftMetric metric, double share, double* snr_db);

// quillon-cli bench model: the words after "model".
int RunModelBench(const std::vector<std::string>& words);

}  // namespace quillon
