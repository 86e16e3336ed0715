// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ModelBench.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>
#include <new>
#include <stdexcept>

#include "engine/Demodulator.h"
#include "engine/Encoder.h"
#include "engine/Hadamard.h"
#include "engine/Modulator.h"
#include "engine/SoftDecoder.h"
#include "tools/Args.h"
#include "tools/channel/ChannelSimulator.h"
#include "tools/CliError.h"
#include "tools/Commands.h"
#include "tools/Console.h"
#include "tools/FrameDecoder.h"
#include "tools/ModeArg.h"
#include "tools/Sensitivity.h"

namespace quillon {
namespace {

constexpr double kNoiseBandwidthHz = 2500.0;
constexpr double kNyquistHz = kSampleRateHz / 2.0;
// The demodulator's two-real FFT split hands on each spectrum doubled, so
// its energies are four times |sum of x w e^-jwn|^2.
constexpr double kSpectrumEnergyGain = 4.0;

// Engine objects report a failed allocation by a negative Preset.
void Require(int preset_result) {
  if (preset_result < 0) throw std::bad_alloc();
}

// Tone 0 of a band centred on 1500 Hz, half a tone spacing above the band's
// lower edge, in units of 8000 / symbol_len Hz (a tone spacing is two).
int FirstCarrier(const OliviaMode& mode, unsigned symbol_len) {
  const double lower_edge_hz = kCentreFrequencyHz - mode.Bandwidth() / 2.0;
  return static_cast<int>(std::lround(lower_edge_hz * symbol_len / kSampleRateHz)) + 1;
}

void PresetDemodulator(MFSK_Demodulator<double>& demodulator, const OliviaMode& mode, unsigned symbol_len,
                       int first_carrier) {
  demodulator.SymbolLen = symbol_len;
  demodulator.FirstCarrier = static_cast<unsigned>(first_carrier);
  demodulator.BitsPerSymbol = static_cast<unsigned>(mode.BitsPerSymbol());
  demodulator.UseGrayCode = 1;
  demodulator.BinMargin = 0;  // the tones are exactly where they were sent
  demodulator.Reverse = 0;
  Require(demodulator.Preset());
}

// Log of a sum of exponentials, scaled by the largest term so that nothing
// overflows or vanishes.
double LogSumExp(const double* values, const unsigned* members, unsigned count) {
  double top = -std::numeric_limits<double>::infinity();
  for (unsigned i = 0; i < count; ++i) top = std::max(top, values[members[i]]);
  double sum = 0.0;
  for (unsigned i = 0; i < count; ++i) sum += std::exp(values[members[i]] - top);
  return top + std::log(sum);
}

// Seeds for independent frames from one user seed (SplitMix64 steps).
std::uint64_t Mix(std::uint64_t value) {
  value += 0x9E3779B97F4A7C15ull;
  value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
  value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
  return value ^ (value >> 31);
}

using FrameErrors = std::array<int, kSoftMetrics>;

// One frame of `length` random 7-bit characters through the model at
// `snr_db`: the character errors of each metric, both from the same noise.
FrameErrors RunFrame(const PerfectSyncModel& model, double snr_db, int length, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  const unsigned per_block = model.CharactersPerBlock();
  const std::size_t blocks = (static_cast<std::size_t>(length) + per_block - 1) / per_block;
  std::vector<std::uint8_t> characters(blocks * per_block);
  std::uniform_int_distribution<int> character(0, 127);
  for (std::uint8_t& c : characters) c = static_cast<std::uint8_t>(character(random));

  std::vector<double> audio = model.Modulate(characters, random);
  const double deviation = PerfectSyncModel::NoiseDeviation(audio, snr_db);
  std::normal_distribution<double> noise(0.0, deviation);
  for (double& sample : audio) sample += noise(random);

  const auto decoded = model.Decode(audio, blocks, deviation);
  FrameErrors errors{};
  for (int m = 0; m < kSoftMetrics; ++m)
    for (int i = 0; i < length; ++i) errors[m] += decoded[m][i] != characters[i] ? 1 : 0;
  return errors;
}

SensitivityCurve AsShares(const ModelCurve& curve, SoftMetric metric, bool per_character) {
  const int m = static_cast<int>(metric);
  SensitivityCurve shares;
  shares.mode = curve.mode;
  for (const ModelPoint& p : curve.points) {
    SensitivityPoint point;
    point.snr_db = p.snr_db;
    point.trials = per_character ? p.characters : p.frames;
    point.good = per_character ? p.characters - p.character_errors[m] : p.good[m];
    shares.points.push_back(point);
  }
  return shares;
}

}  // namespace

const char* SoftMetricName(SoftMetric metric) {
  return metric == SoftMetric::kSquaredEnergies ? "squared energies" : "likelihood";
}

void SquaredEnergySoftBits(const double* tone_energy, unsigned bits_per_symbol, double* soft) {
  for (unsigned b = 0; b < bits_per_symbol; ++b) soft[b] = 0.0;
  double total = 0.0;
  for (unsigned t = 0; t < (1u << bits_per_symbol); ++t) {
    const unsigned value = BinaryCode(static_cast<std::uint8_t>(t));
    const double e = tone_energy[t] * tone_energy[t];
    total += e;
    for (unsigned b = 0; b < bits_per_symbol; ++b) soft[b] += ((value >> b) & 1u) ? -e : e;
  }
  if (total > 0.0)
    for (unsigned b = 0; b < bits_per_symbol; ++b) soft[b] /= total;
}

// Polynomial fits of Abramowitz and Stegun 9.8.1 (x < 3.75) and 9.8.2
// (I0(x) sqrt(x) e^-x above), both within 2e-7 relative.
double LogBesselI0(double x) {
  const double t = x / 3.75;
  if (t < 1.0) {
    const double u = t * t;
    return std::log(1.0 + u * (3.5156229 + u * (3.0899424 + u * (1.2067492 + u * (0.2659732 + u * (0.0360768 +
                                                                                               u * 0.0045813))))));
  }
  const double v = 1.0 / t;
  const double scaled =
      0.39894228 + v * (0.01328592 + v * (0.00225319 + v * (-0.00157565 + v * (0.00916281 + v * (-0.02057706 +
                    v * (0.02635537 + v * (-0.01647633 + v * 0.00392377)))))));
  return x - 0.5 * std::log(x) + std::log(scaled);
}

void LikelihoodSoftBits(const double* tone_energy, unsigned bits_per_symbol, double signal_energy,
                        double noise_energy, double* soft) {
  const unsigned tones = 1u << bits_per_symbol;
  double log_ratio[256];
  for (unsigned t = 0; t < tones; ++t)
    log_ratio[t] = LogBesselI0(2.0 * std::sqrt(std::max(0.0, tone_energy[t]) * signal_energy) / noise_energy);
  unsigned with_zero[128];
  unsigned with_one[128];
  for (unsigned b = 0; b < bits_per_symbol; ++b) {
    unsigned zeros = 0;
    unsigned ones = 0;
    for (unsigned t = 0; t < tones; ++t) {
      if ((BinaryCode(static_cast<std::uint8_t>(t)) >> b) & 1u)
        with_one[ones++] = t;
      else
        with_zero[zeros++] = t;
    }
    soft[b] = LogSumExp(log_ratio, with_zero, zeros) - LogSumExp(log_ratio, with_one, ones);
  }
}

PerfectSyncModel::PerfectSyncModel(const OliviaMode& mode)
    : mode_(mode),
      symbol_len_(static_cast<unsigned>(ModeSymbolLen(mode))),
      first_carrier_(FirstCarrier(mode, symbol_len_)) {
  // The demodulator's window is the transmitted symbol shape w (1 - cos)
  // over symbol_len_: a tone cos(wn + phi) w[n] comes out at
  // (symbol_len_ / 2) sum of window^2, noise of variance s^2 at s^2 sum of
  // window^2, both in energy scaled by the FFT split's gain.
  MFSK_Demodulator<double> demodulator;
  PresetDemodulator(demodulator, mode_, symbol_len_, first_carrier_);
  double window_energy = 0.0;
  for (unsigned i = 0; i < symbol_len_; ++i) window_energy += demodulator.Window[i] * demodulator.Window[i];
  const double tone_amplitude = symbol_len_ / 2.0 * window_energy;
  signal_energy_ = kSpectrumEnergyGain * tone_amplitude * tone_amplitude;
  noise_gain_ = kSpectrumEnergyGain * window_energy;
}

std::vector<double> PerfectSyncModel::Modulate(const std::vector<std::uint8_t>& characters,
                                               std::mt19937_64& random) const {
  const unsigned per_block = CharactersPerBlock();
  if (characters.size() % per_block != 0)
    throw std::invalid_argument("the model modulates whole blocks of " + std::to_string(per_block) + " characters");
  MFSK_Encoder encoder;
  encoder.BitsPerSymbol = per_block;
  Require(encoder.Preset());
  MFSK_Modulator<double> modulator;
  modulator.SymbolLen = symbol_len_;
  modulator.FirstCarrier = first_carrier_;
  modulator.BitsPerSymbol = per_block;
  modulator.Seed = static_cast<unsigned>(random());
  Require(modulator.Preset());

  std::uniform_int_distribution<int> character(0, 127);
  std::vector<std::uint8_t> sent;
  for (unsigned i = 0; i < per_block; ++i) sent.push_back(static_cast<std::uint8_t>(character(random)));
  sent.insert(sent.end(), characters.begin(), characters.end());
  for (unsigned i = 0; i < per_block; ++i) sent.push_back(static_cast<std::uint8_t>(character(random)));

  // Symbol i's window starts at sample i * SymbolStep(); one more period
  // after the last symbol gives its second half.
  const std::size_t symbols = sent.size() / per_block * encoder.SymbolsPerBlock;
  std::vector<double> audio((symbols + 1) * SymbolStep());
  double* out = audio.data();
  for (std::size_t block = 0; block < sent.size(); block += per_block) {
    encoder.EncodeBlock(&sent[block]);
    for (unsigned s = 0; s < encoder.SymbolsPerBlock; ++s) {
      modulator.Send(encoder.SymbolBlock[s]);
      out += modulator.Output(out);
    }
  }
  modulator.Output(out);
  return audio;
}

double PerfectSyncModel::NoiseDeviation(const std::vector<double>& clean, double snr_db) {
  const double signal_power = ActiveSignalPower(clean, nullptr);
  const double in_band_share = kNoiseBandwidthHz / kNyquistHz;
  return std::sqrt(signal_power / std::pow(10.0, snr_db / 10.0) / in_band_share);
}

std::vector<double> PerfectSyncModel::ToneEnergies(const std::vector<double>& heard, std::size_t first,
                                                  std::size_t count) const {
  // Each call hands the demodulator one symbol period; its later slice then
  // covers the window of the symbol that started one period before the
  // call's samples. The call before the first symbol's fills the window's
  // first half.
  if (first == 0) throw std::invalid_argument("the model's first symbol has no period before it");
  if (heard.size() < (first + count + 1) * SymbolStep())
    throw std::invalid_argument("the audio is shorter than the symbols asked for");
  MFSK_Demodulator<double> demodulator;
  PresetDemodulator(demodulator, mode_, symbol_len_, first_carrier_);
  const unsigned tones = demodulator.Symbols;
  std::vector<double> energies;
  energies.reserve(count * tones);
  for (std::size_t call = first; call <= first + count; ++call) {
    demodulator.Process(heard.data() + call * SymbolStep());
    if (call == first) continue;
    for (unsigned t = 0; t < tones; ++t) energies.push_back(demodulator.BinEnergy[1][2 * t]);  // tones two bins apart
  }
  return energies;
}

std::array<std::vector<std::uint8_t>, kSoftMetrics> PerfectSyncModel::Decode(const std::vector<double>& heard,
                                                                             std::size_t blocks,
                                                                             double noise_deviation) const {
  const unsigned bits = CharactersPerBlock();
  std::array<MFSK_SoftDecoder<double>, kSoftMetrics> decoders;
  for (auto& decoder : decoders) {
    decoder.BitsPerSymbol = bits;
    Require(decoder.Preset());
  }
  const std::size_t per_block = decoders[0].SymbolsPerBlock;
  const unsigned tones = 1u << bits;
  // The frame's first symbol follows the lead block.
  const std::vector<double> energies = ToneEnergies(heard, per_block, blocks * per_block);
  const double noise_energy = NoiseEnergy(noise_deviation);
  std::array<std::vector<std::uint8_t>, kSoftMetrics> decoded;
  double soft[kSoftMetrics][8];
  for (std::size_t symbol = 0; symbol < blocks * per_block; ++symbol) {
    const double* energy = &energies[symbol * tones];
    SquaredEnergySoftBits(energy, bits, soft[0]);
    LikelihoodSoftBits(energy, bits, signal_energy_, noise_energy, soft[1]);
    for (int m = 0; m < kSoftMetrics; ++m) decoders[m].Input(soft[m]);
    if ((symbol + 1) % per_block != 0) continue;
    for (int m = 0; m < kSoftMetrics; ++m) {
      decoders[m].Process();
      for (unsigned f = 0; f < bits; ++f) decoded[m].push_back(decoders[m].DecodedBlock[f]);
    }
  }
  return decoded;
}

std::vector<ModelCurve> MeasureModel(const std::vector<const OliviaMode*>& modes, const ModelSettings& settings) {
  std::vector<double> snrs;
  for (int k = 0;; ++k) {
    const double snr = settings.from_db + k * settings.step_db;
    if (snr > settings.to_db + 1e-9) break;
    snrs.push_back(snr);
  }
  std::vector<PerfectSyncModel> models;
  std::vector<ModelCurve> curves(modes.size());
  for (std::size_t c = 0; c < modes.size(); ++c) {
    models.emplace_back(*modes[c]);
    curves[c].mode = modes[c];
    for (double snr : snrs) {
      ModelPoint point;
      point.snr_db = snr;
      point.frames = settings.trials;
      point.characters = settings.trials * settings.length;
      curves[c].points.push_back(point);
    }
  }

  std::mutex results;
  std::size_t done = 0;
  const std::size_t per_curve = snrs.size() * static_cast<std::size_t>(settings.trials);
  const std::size_t frames = modes.size() * per_curve;
  ParallelFor(frames, settings.threads, [&](std::size_t index) {
    const std::size_t c = index / per_curve;
    const std::size_t p = index % per_curve / static_cast<std::size_t>(settings.trials);
    const std::uint64_t trial = index % static_cast<std::size_t>(settings.trials);
    // The same frame gets the same characters and noise whatever the thread
    // count or the other modes measured alongside.
    const std::uint64_t seed = Mix(Mix(settings.seed ^ static_cast<std::uint64_t>(modes[c]->number)) ^
                                   Mix(static_cast<std::uint64_t>(std::llround(snrs[p] * 1000.0)) ^ (trial << 32)));
    const FrameErrors errors = RunFrame(models[c], snrs[p], settings.length, seed);

    std::lock_guard<std::mutex> lock(results);
    ModelPoint& point = curves[c].points[p];
    for (int m = 0; m < kSoftMetrics; ++m) {
      point.character_errors[m] += errors[m];
      point.good[m] += errors[m] == 0 ? 1 : 0;
    }
    ++done;
    const bool terminal = StandardErrorIsTerminal();
    if (settings.progress && (terminal || done % std::max<std::size_t>(1, frames / 10) == 0))
      std::fprintf(stderr, terminal ? "\rbench model: %zu of %zu frames" : "bench model: %zu of %zu frames\n", done,
                   frames);
  });
  if (settings.progress && StandardErrorIsTerminal()) std::fprintf(stderr, "\n");
  return curves;
}

bool SnrAtCharacterErrorRate(const ModelCurve& curve, SoftMetric metric, double rate, double* snr_db) {
  return SnrAtGoodShare(AsShares(curve, metric, true), 1.0 - rate, snr_db);
}

bool SnrAtGoodFrames(const ModelCurve& curve, SoftMetric metric, double share, double* snr_db) {
  return SnrAtGoodShare(AsShares(curve, metric, false), share, snr_db);
}

namespace {

const char kModelHelp[] =
    "usage: quillon-cli bench model -m MODE[,MODE..]|all [--from DB] [--to DB] [--step DB]\n"
    "                       [--trials N] [--length CHARS] [--seed N] [--threads N] [--json]\n"
    "\n"
    "What the Olivia code allows with perfect synchronisation: a model receiver\n"
    "that knows every symbol's timing and the exact tone frequencies takes each\n"
    "tone's energy through a filter matched to the symbol shape, with no limiter\n"
    "and no synchroniser, over white Gaussian noise (SNR in 2500 Hz, counted as\n"
    "the channel simulator counts it). A frame is CHARS random 7-bit characters\n"
    "(the characters alone: no frame markers or check character) and is good when\n"
    "every one arrives right. Two soft metrics decode the same noisy frames: the\n"
    "receiver's squared energies, and bit log-likelihood ratios from the known\n"
    "signal and noise levels. Per SNR: the character error rate and the share of\n"
    "good frames of each; then the SNR of 1 % character errors and of 90 % good\n"
    "frames (interpolated). Progress goes to standard error.\n"
    "\n"
    "  -m, --mode MODES  modes separated by commas (8/500,16/500), or all\n"
    "  --from, --to, --step  default -20, 0, 0.5 dB; -60..60 dB, at most 1000 points\n"
    "  --trials N        frames per SNR (default 100, at most 100000)\n"
    "  --length CHARS    characters per frame (default 40, at most 2000)\n"
    "  --seed N          default 1; the same seed gives the same figures\n"
    "  --threads N       worker threads (default: all cores, at most 256)\n"
    "  --json            one JSON object per mode\n";

constexpr SoftMetric kMetrics[kSoftMetrics] = {SoftMetric::kSquaredEnergies, SoftMetric::kLikelihood};
const char* const kJsonNames[kSoftMetrics] = {"squared_energies", "likelihood"};

std::vector<const OliviaMode*> ParseModeList(const std::string& list) {
  std::vector<const OliviaMode*> modes;
  std::size_t begin = 0;
  while (begin <= list.size()) {
    const std::size_t end = std::min(list.find(',', begin), list.size());
    if (end == begin) throw CliError("-m has an empty mode in '" + list + "'");
    for (const OliviaMode* mode : ParseModes(list.substr(begin, end - begin))) modes.push_back(mode);
    begin = end + 1;
  }
  return modes;
}

std::string Threshold(bool reached, double snr, bool at_lowest, bool json) {
  if (!reached) return json ? "null" : "not reached";
  char text[32];
  std::snprintf(text, sizeof text, json ? "%.2f" : (at_lowest ? "<= %.2f dB" : "%.2f dB"), snr);
  return text;
}

std::string CerThreshold(const ModelCurve& curve, SoftMetric metric, bool json) {
  double snr = 0.0;
  const bool reached = SnrAtCharacterErrorRate(curve, metric, 0.01, &snr);
  return Threshold(reached, snr, snr == curve.points.front().snr_db, json);
}

std::string FrameThreshold(const ModelCurve& curve, SoftMetric metric, bool json) {
  double snr = 0.0;
  const bool reached = SnrAtGoodFrames(curve, metric, 0.9, &snr);
  return Threshold(reached, snr, snr == curve.points.front().snr_db, json);
}

double Cer(const ModelPoint& p, int m) { return p.characters > 0 ? double(p.character_errors[m]) / p.characters : 0; }
double Good(const ModelPoint& p, int m) { return p.frames > 0 ? double(p.good[m]) / p.frames : 0; }

void PrintJson(std::FILE* out, const ModelCurve& curve, const ModelSettings& settings) {
  std::fprintf(out, "{\"mode\":\"%s\",\"channel\":\"awgn\",\"trials\":%d,\"length\":%d,\"seed\":%llu,\"points\":[",
               curve.mode->label, settings.trials, settings.length, static_cast<unsigned long long>(settings.seed));
  for (std::size_t i = 0; i < curve.points.size(); ++i) {
    const ModelPoint& p = curve.points[i];
    std::fprintf(out, "%s{\"snr\":%.2f", i ? "," : "", p.snr_db);
    for (int m = 0; m < kSoftMetrics; ++m)
      std::fprintf(out, ",\"%s\":{\"cer\":%.5f,\"good\":%.4f}", kJsonNames[m], Cer(p, m), Good(p, m));
    std::fputc('}', out);
  }
  std::fputc(']', out);
  for (int m = 0; m < kSoftMetrics; ++m)
    std::fprintf(out, ",\"%s\":{\"snr_cer_1\":%s,\"snr_90\":%s}", kJsonNames[m],
                 CerThreshold(curve, kMetrics[m], true).c_str(), FrameThreshold(curve, kMetrics[m], true).c_str());
  std::fprintf(out, "}\n");
}

void PrintTable(std::FILE* out, const ModelCurve& curve, const ModelSettings& settings) {
  std::fprintf(out, "%s, perfect sync, channel awgn, %d frames of %d random characters per SNR (no frame markers), "
               "noise in 2500 Hz, seed %llu\n",
               curve.mode->label, settings.trials, settings.length, static_cast<unsigned long long>(settings.seed));
  std::fprintf(out, "  SNR dB   squared energies: CER    good   likelihood: CER    good\n");
  for (const ModelPoint& p : curve.points)
    std::fprintf(out, "  %6.2f                   %7.4f %5.1f %%             %7.4f %5.1f %%\n", p.snr_db, Cer(p, 0),
                 100.0 * Good(p, 0), Cer(p, 1), 100.0 * Good(p, 1));
  for (int m = 0; m < kSoftMetrics; ++m)
    std::fprintf(out, "  %-16s  1 %% character errors at %s, 90 %% good at %s\n", SoftMetricName(kMetrics[m]),
                 CerThreshold(curve, kMetrics[m], false).c_str(), FrameThreshold(curve, kMetrics[m], false).c_str());
  std::fputc('\n', out);
}

}  // namespace

int RunModelBench(const std::vector<std::string>& words) {
  const Args args(words, {{"mode", 'm', true}, {"from", 0, true}, {"to", 0, true}, {"step", 0, true},
                          {"trials", 0, true}, {"length", 0, true}, {"seed", 0, true}, {"threads", 0, true},
                          {"json", 0, false}});
  if (args.Help()) {
    std::fputs(kModelHelp, stdout);
    return kExitOk;
  }
  if (!args.Has("mode")) throw CliError("bench model needs -m MODE[,MODE..] or -m all");
  const std::vector<const OliviaMode*> modes = ParseModeList(args.Text("mode"));
  ModelSettings settings;
  settings.from_db = args.Number("from", -20.0, kSnrRange);
  settings.to_db = args.Number("to", 0.0, kSnrRange);
  settings.step_db = args.Number("step", 0.5, {0.01, kSnrRange.high - kSnrRange.low, "dB"});
  settings.trials = static_cast<int>(args.Integer("trials", 100, {1, 100000}));
  settings.length = static_cast<int>(args.Integer("length", 40, {1, 2000}));
  settings.seed = static_cast<std::uint64_t>(args.Integer("seed", 1, kSeedRange));
  settings.threads = static_cast<int>(args.Integer("threads", WorkerThreads(), {1, 256}));
  settings.progress = true;
  if (settings.to_db < settings.from_db) throw CliError("--to must not be below --from");
  if ((settings.to_db - settings.from_db) / settings.step_db >= 1000.0)
    throw CliError("--from, --to and --step give more than 1000 SNR points");

  std::FILE* out = stdout;
  for (const ModelCurve& curve : MeasureModel(modes, settings)) {
    if (args.Has("json"))
      PrintJson(out, curve, settings);
    else
      PrintTable(out, curve, settings);
  }
  std::fflush(out);
  return kExitOk;
}

}  // namespace quillon
