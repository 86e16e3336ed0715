// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/Sensitivity.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>

#include "engine/Receiver.h"
#include "tools/Console.h"
#include "tools/FrameDecoder.h"
#include "tools/ModeArg.h"
#include "tools/Station.h"

namespace quillon {
namespace {

constexpr double kMaxOffsetBins = 4.0;
constexpr double kMaxLeadSeconds = 2.0;
constexpr double kTailSeconds = 1.0;

// Seeds for independent trials from one user seed (SplitMix64 steps).
std::uint64_t Mix(std::uint64_t value) {
  value += 0x9E3779B97F4A7C15ull;
  value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
  value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
  return value ^ (value >> 31);
}

// Trial number `index` of the whole run, counted mode by mode, then SNR by
// SNR; worked out from the index so that no list of trials is kept.
struct Trial {
  Trial(std::size_t index, std::size_t points, int trials)
      : curve(index / (points * static_cast<std::size_t>(trials))),
        point(index / static_cast<std::size_t>(trials) % points),
        index(static_cast<int>(index % static_cast<std::size_t>(trials))) {}
  std::size_t curve;
  std::size_t point;
  int index;
};

struct Outcome {
  bool good = false;
  bool false_good = false;
  // Frames the confidence gate held back (check character agreed, weakest
  // character below the gate): with the text sent, and with another.
  bool doubtful_right = false;
  bool doubtful_wrong = false;
  double character_errors = 1.0;
};

// Offsets of up to 4 bins, but never beyond the receiver's own search range:
// in the widest modes the scanned band reaches the bottom of the spectrum and
// the receiver narrows its search (to 3 bins for 4/2000), and an offset of 4
// bins (1000 Hz there) would push tones below 0 Hz. One bin is kept spare.
double MaxOffsetBins(const OliviaMode& mode) {
  Station station(mode);
  const double margin = static_cast<double>(station.Adapter().Receiver().SearchMargin);
  return std::min(kMaxOffsetBins, margin - 1.0);
}

// How the frames decoded from a recording meet the texts sent: a text
// arrived when a trusted frame (verified, or unverified and firm) carries it
// exactly; a trusted frame with any other text is a false good.
std::vector<Outcome> Judge(const std::vector<std::string>& texts, const std::vector<DecodedFrame>& frames) {
  std::vector<Outcome> outcomes(texts.size());
  for (std::size_t t = 0; t < texts.size(); ++t) {
    for (const DecodedFrame& decoded : frames) {
      const ReceivedFrame& frame = decoded.frame;
      if (frame.Trusted() && frame.text == texts[t]) outcomes[t].good = true;
      if (frame.integrity == FrameIntegrity::kDoubtful && frame.text == texts[t]) outcomes[t].doubtful_right = true;
      const double errors = std::min(1.0, double(EditDistance(frame.text, texts[t])) / double(texts[t].size()));
      outcomes[t].character_errors = std::min(outcomes[t].character_errors, errors);
    }
  }
  for (const DecodedFrame& decoded : frames) {
    const bool doubtful = decoded.frame.integrity == FrameIntegrity::kDoubtful;
    if (!decoded.frame.Trusted() && !doubtful) continue;
    const auto sent = std::find(texts.begin(), texts.end(), decoded.frame.text);
    // Charged to the nearest trial in order: the one whose text it most resembles.
    if (sent == texts.end()) {
      std::size_t nearest = 0;
      int best = -1;
      for (std::size_t t = 0; t < texts.size(); ++t) {
        const int distance = EditDistance(decoded.frame.text, texts[t]);
        if (best < 0 || distance < best) best = distance, nearest = t;
      }
      (doubtful ? outcomes[nearest].doubtful_wrong : outcomes[nearest].false_good) = true;
    }
  }
  return outcomes;
}

ChannelSettings RandomChannel(const OliviaMode& mode, const SensitivitySettings& settings, double snr_db,
                              double max_offset_bins, std::mt19937_64& random) {
  ChannelSettings channel;
  channel.add_noise = true;
  channel.snr_db = snr_db;
  channel.fading = settings.fading;
  channel.clicks_per_s = settings.clicks_per_s;
  channel.click_db = settings.click_db;
  channel.offset_hz = std::uniform_real_distribution<double>(-max_offset_bins, max_offset_bins)(random) * ModeBinHz(mode);
  channel.lead_s = std::uniform_real_distribution<double>(0.0, kMaxLeadSeconds)(random);
  channel.tail_s = kTailSeconds;
  channel.seed = random();
  return channel;
}

std::vector<DecodedFrame> Decode(const OliviaMode& mode, const Audio& heard, bool deep) {
  FrameDecoder decoder(mode, deep);
  decoder.HearAll(heard);
  return decoder.TakeFrames();
}

Outcome RunTrial(const OliviaMode& mode, const SensitivitySettings& settings, double snr_db, double max_offset_bins,
                 std::uint64_t seed) {
  std::mt19937_64 random(seed);
  const std::string text = RandomMixedText(settings.length, random);
  const ChannelSettings channel = RandomChannel(mode, settings, snr_db, max_offset_bins, random);
  const Audio heard = ChannelSimulator(channel).Apply(EncodeMessage(mode, text, !settings.legacy));
  return Judge({text}, Decode(mode, heard, settings.deep))[0];
}

// Every trial's transmission of one SNR, joined with no pause, through one channel.
std::vector<Outcome> RunBackToBack(const OliviaMode& mode, const SensitivitySettings& settings, double snr_db,
                                   double max_offset_bins, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  std::vector<std::string> texts;
  Audio sent;
  for (int t = 0; t < settings.trials; ++t) {
    texts.push_back(RandomMixedText(settings.length, random));
    const Audio audio = EncodeMessage(mode, texts.back(), !settings.legacy);
    sent.insert(sent.end(), audio.begin(), audio.end());
  }
  // The channel takes its input whole and makes at most kMaxChannelSamples:
  // a long run goes through it in pieces of a quarter of that, each with
  // noise of its own, the offset the same, the lead only before the first.
  ChannelSettings channel = RandomChannel(mode, settings, snr_db, max_offset_bins, random);
  const std::size_t piece = kMaxChannelSamples / 4;
  Audio heard;
  for (std::size_t at = 0; at < sent.size(); at += piece) {
    const std::size_t end = std::min(sent.size(), at + piece);
    ChannelSettings this_piece = channel;
    this_piece.lead_s = at == 0 ? channel.lead_s : 0.0;
    this_piece.tail_s = end == sent.size() ? channel.tail_s : 0.0;
    this_piece.seed = channel.seed + at;
    const Audio out = ChannelSimulator(this_piece).Apply(Audio(sent.begin() + static_cast<std::ptrdiff_t>(at),
                                                               sent.begin() + static_cast<std::ptrdiff_t>(end)));
    heard.insert(heard.end(), out.begin(), out.end());
  }
  return Judge(texts, Decode(mode, heard, settings.deep));
}

}  // namespace

std::string RandomMixedText(int length, std::mt19937_64& random) {
  static const std::string alphabet = [] {
    std::string letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,:;!?-+@/()";
    for (int code = 0xC0; code <= 0xFF; ++code) letters.push_back(static_cast<char>(code));  // А..я
    letters.push_back('\xA8');  // Ё
    letters.push_back('\xB8');  // ё
    letters += "    ";          // words
    return letters;
  }();
  std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
  std::string text;
  while (static_cast<int>(text.size()) < length) text.push_back(alphabet[pick(random)]);
  return text;
}

int EditDistance(const std::string& a, const std::string& b) {
  std::vector<int> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = static_cast<int>(j);
  for (std::size_t i = 1; i <= a.size(); ++i) {
    int diagonal = row[0];
    row[0] = static_cast<int>(i);
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const int above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::vector<SensitivityCurve> MeasureSensitivity(const std::vector<const OliviaMode*>& modes,
                                                 const SensitivitySettings& settings) {
  std::vector<double> snrs;
  for (int k = 0;; ++k) {
    const double snr = settings.from_db + k * settings.step_db;
    if (snr > settings.to_db + 1e-9) break;
    snrs.push_back(snr);
  }
  std::vector<SensitivityCurve> curves(modes.size());
  for (std::size_t c = 0; c < modes.size(); ++c) {
    curves[c].mode = modes[c];
    curves[c].max_offset_bins = MaxOffsetBins(*modes[c]);
    for (std::size_t p = 0; p < snrs.size(); ++p) {
      SensitivityPoint point;
      point.snr_db = snrs[p];
      point.trials = settings.trials;
      point.character_errors = 0.0;
      curves[c].points.push_back(point);
    }
  }

  std::mutex results;
  std::size_t done = 0;
  const std::size_t trials = modes.size() * snrs.size() * static_cast<std::size_t>(settings.trials);
  auto record = [&](std::size_t curve, std::size_t point_index, const std::vector<Outcome>& outcomes) {
    std::lock_guard<std::mutex> lock(results);
    SensitivityPoint& point = curves[curve].points[point_index];
    for (const Outcome& outcome : outcomes) {
      point.good += outcome.good ? 1 : 0;
      point.false_good += outcome.false_good ? 1 : 0;
      // A frame both held back and good (sent twice back to back) counts as good only.
      point.doubtful_right += outcome.doubtful_right && !outcome.good ? 1 : 0;
      point.doubtful_wrong += outcome.doubtful_wrong ? 1 : 0;
      point.character_errors += outcome.character_errors;
    }
    done += outcomes.size();
    // On a terminal the count is rewritten in place; in a log, every tenth.
    if (settings.progress && (StandardErrorIsTerminal() || done % std::max<std::size_t>(1, trials / 10) < outcomes.size()))
      std::fprintf(stderr, StandardErrorIsTerminal() ? "\rbench sensitivity: %zu of %zu trials" : "bench sensitivity: %zu of %zu trials\n", done,
                   trials);
  };
  // The same trial gets the same text, offset, lead and noise whatever the
  // thread count or the other modes measured alongside.
  auto seed_of = [&](const OliviaMode& mode, double snr, int index) {
    return Mix(Mix(Mix(settings.seed) ^ static_cast<std::uint64_t>(mode.number)) ^
               Mix(static_cast<std::uint64_t>(std::llround(snr * 1000.0)) ^ (std::uint64_t(index) << 32)));
  };
  if (settings.back_to_back) {
    ParallelFor(modes.size() * snrs.size(), settings.threads, [&](std::size_t index) {
      const std::size_t curve = index / snrs.size();
      const std::size_t point = index % snrs.size();
      const OliviaMode& mode = *modes[curve];
      record(curve, point, RunBackToBack(mode, settings, snrs[point], curves[curve].max_offset_bins,
                                         seed_of(mode, snrs[point], -1)));
    });
  } else {
    ParallelFor(trials, settings.threads, [&](std::size_t index) {
      const Trial trial(index, snrs.size(), settings.trials);
      const OliviaMode& mode = *modes[trial.curve];
      const double snr = snrs[trial.point];
      record(trial.curve, trial.point,
             {RunTrial(mode, settings, snr, curves[trial.curve].max_offset_bins, seed_of(mode, snr, trial.index))});
    });
  }
  if (settings.progress && StandardErrorIsTerminal()) std::fprintf(stderr, "\n");
  return curves;
}

bool SnrAtGoodShare(const SensitivityCurve& curve, double share, double* snr_db) {
  const auto& points = curve.points;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (points[i].GoodShare() < share) continue;
    if (i == 0) {
      *snr_db = points[0].snr_db;
    } else {
      const double below = points[i - 1].GoodShare();
      const double above = points[i].GoodShare();
      const double fraction = (share - below) / (above - below);
      *snr_db = points[i - 1].snr_db + fraction * (points[i].snr_db - points[i - 1].snr_db);
    }
    return true;
  }
  return false;
}

}  // namespace quillon
