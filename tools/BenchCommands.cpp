// SPDX-License-Identifier: GPL-3.0-or-later
// The benchmark subcommands: bench sensitivity, bench speed and bench report.

#include <cstdio>
#include <string>

#include "tools/Args.h"
#include "tools/CliError.h"
#include "tools/Commands.h"
#include "tools/Console.h"
#include "tools/FrameDecoder.h"
#include "tools/FrameOutput.h"
#include "tools/ModeArg.h"
#include "tools/ReportBench.h"
#include "tools/Sensitivity.h"
#include "tools/SpeedBench.h"
#include "tools/Station.h"

namespace quillon {
namespace {

const char kSensitivityHelp[] =
    "usage: quillon-cli bench sensitivity -m MODE|all [--channel awgn|good|moderate|poor|flutter]\n"
    "                       [--clicks RATE[:DB]] [--deep] [--from DB] [--to DB] [--step DB]\n"
    "                       [--trials N] [--length CHARS] [--seed N] [--threads N] [--legacy]\n"
    "                       [--back-to-back] [--json] [-v]\n"
    "\n"
    "For each SNR (noise in 2500 Hz) N random texts of Latin and Cyrillic letters are\n"
    "encoded, sent through the channel with 0..2 s of lead silence and an offset\n"
    "within +-4 receiver bins (within the receiver's search range where that is\n"
    "narrower: +-2 bins for 4/2000), and decoded. Per SNR: the share of frames marked good\n"
    "(verified, or unverified and firmly decided) with the right text, marked good\n"
    "with a wrong text (false good), and the\n"
    "character error rate; then the SNR where 50 % and 90 % of frames are good\n"
    "(interpolated). Progress goes to standard error.\n"
    "\n"
    "  --channel         default awgn\n"
    "  --clicks RATE[:DB]  impulse noise in the channel besides the Gaussian noise:\n"
    "                    RATE clicks a second, peak DB over the signal (default\n"
    "                    20), as `channel --clicks`; the SNR stays the signal over\n"
    "                    the Gaussian noise\n"
    "  --deep            the deep receiver: finer frequency, likelihood decisions,\n"
    "                    impulse-only limiter, held timing\n"
    "  --from, --to, --step  default -16, 0, 1 dB; -60..60 dB, at most 1000 points\n"
    "  --trials N        texts per SNR (default 20, at most 10000)\n"
    "  --length CHARS    characters per text (default 40, at most 2000)\n"
    "  --seed N          default 1; the same seed gives the same figures\n"
    "  --threads N       worker threads (default: all cores, at most 256)\n"
    "  --legacy          frames without the check extension, as a station that\n"
    "                    knows only the frame sends them; also shows what the\n"
    "                    confidence gate held back (right and wrong texts) and\n"
    "                    where 90 % good would lie without it\n"
    "  --back-to-back    the N transmissions of each SNR joined with no pause, as one\n"
    "                    recording through one channel (one offset for them all)\n"
    "  --json            one JSON object per mode (with \"deep\", \"clicks_per_s\"\n"
    "                    and \"click_db\")\n"
    "  -v, --verbose     the adapter's diagnostic line of mode 93 (\"tones ...\") on\n"
    "                    standard error\n";

const char kSpeedHelp[] =
    "usage: quillon-cli bench speed [-m MODE|all] [--kernel auto|plain|avx2|avx512]\n"
    "                               [--deep] [-v]\n"
    "\n"
    "Transmit and receive real-time factors (seconds of audio per second of work)\n"
    "per mode on one thread, and of all 19 receivers at once on one thread and\n"
    "on all cores: listening (the hearing alone, as the window and listen spend\n"
    "it) and with the quiet channel and flush decode adds at a recording's end.\n"
    "\n"
    "  -m, --mode MODE   one mode, or all (default)\n"
    "  --kernel KERNEL   the receivers' decoder kernel: auto (default, the fastest\n"
    "                    this processor runs), plain (portable C++), avx2, avx512;\n"
    "                    one the processor cannot run is refused\n"
    "  --deep            the deep receiver: finer frequency, likelihood decisions,\n"
    "                    impulse-only limiter, held timing\n"
    "  -v, --verbose     the adapter's diagnostic line of mode 93 (\"tones ...\") on\n"
    "                    standard error\n";

const char kReportHelp[] =
    "usage: quillon-cli bench report -m MODE|all [--channel awgn|good|moderate|poor|flutter]\n"
    "                       [--from DB] [--to DB] [--step DB] [--trials N] [--length CHARS]\n"
    "                       [--seed N] [--threads N] [-v]\n"
    "\n"
    "How well each decoded frame's signal report (snr_db and freq_offset_hz of\n"
    "`decode --json`) tells the channel it came through. For each SNR (noise in\n"
    "2500 Hz) N random texts are encoded, sent through the channel with 0..2 s of\n"
    "lead silence and an offset within +-4 receiver bins (as bench sensitivity),\n"
    "and decoded. Per SNR: how many frames came with a report, the mean, spread\n"
    "(standard deviation) and worst of snr_db minus the channel's SNR, and the same\n"
    "of the offset error in tone spacings. The report aims at 1.5 dB and 1/8 of a\n"
    "tone spacing (0.125). Progress goes to standard error.\n"
    "\n"
    "  --channel         default awgn\n"
    "  --clicks RATE[:DB]  impulse noise in the channel besides the Gaussian noise:\n"
    "                    RATE clicks a second, peak DB over the signal (default\n"
    "                    20), as `channel --clicks`; the SNR stays the signal over\n"
    "                    the Gaussian noise\n"
    "  --deep            the deep receiver: finer frequency, likelihood decisions,\n"
    "                    impulse-only limiter, held timing\n"
    "  --from, --to, --step  default -15, 10, 5 dB; -60..60 dB, at most 1000 points\n"
    "  --trials N        texts per SNR (default 10, at most 10000)\n"
    "  --length CHARS    characters per text (default 40, at most 2000)\n"
    "  --seed N          default 1; the same seed gives the same figures\n"
    "  --threads N       worker threads (default: all cores, at most 256)\n"
    "  -v, --verbose     the adapter's diagnostic line of mode 93 (\"tones ...\") on\n"
    "                    standard error\n";

const char* ChannelName(Fading fading) { return fading == Fading::kNone ? "awgn" : FadingName(fading); }

std::string Threshold(const SensitivityCurve& curve, double share, bool json) {
  double snr = 0.0;
  if (!SnrAtGoodShare(curve, share, &snr)) return json ? "null" : "not reached";
  char text[32];
  const bool at_lowest = snr == curve.points.front().snr_db;
  std::snprintf(text, sizeof text, json ? "%.2f" : (at_lowest ? "<= %.1f dB" : "%.1f dB"), snr);
  return text;
}

// " with 20 clicks/s at +20 dB", or nothing without clicks.
std::string ClicksText(const SensitivitySettings& settings) {
  if (settings.clicks_per_s <= 0.0) return "";
  char text[64];
  std::snprintf(text, sizeof text, " with %g clicks/s at %+g dB", settings.clicks_per_s, settings.click_db);
  return text;
}

// The curve as it would be without the confidence gate: the frames it held
// back counted as good and false good.
SensitivityCurve WithoutGate(SensitivityCurve curve) {
  for (SensitivityPoint& point : curve.points) {
    point.good += point.doubtful_right;
    point.false_good += point.doubtful_wrong;
  }
  return curve;
}

}  // namespace

int RunSensitivity(const Words& words) {
  const Args args(words, {{"mode", 'm', true}, {"channel", 0, true}, {"from", 0, true}, {"to", 0, true},
                          {"step", 0, true}, {"trials", 0, true}, {"length", 0, true}, {"seed", 0, true},
                          {"threads", 0, true}, {"legacy", 0, false}, {"back-to-back", 0, false},
                          {"clicks", 0, true}, {"deep", 0, false}, {"json", 0, false}, {"verbose", 'v', false}});
  if (args.Help()) {
    std::fputs(kSensitivityHelp, stdout);
    return kExitOk;
  }
  ShowAdapterDiagnostics(args.Has("verbose"));
  if (!args.Has("mode")) throw CliError("bench sensitivity needs -m MODE or -m all");
  const std::vector<const OliviaMode*> modes = ParseModes(args.Text("mode"));
  SensitivitySettings settings;
  settings.fading = ParseFading(args.Text("channel", "awgn"));
  settings.from_db = args.Number("from", -16.0, kSnrRange);
  settings.to_db = args.Number("to", 0.0, kSnrRange);
  settings.step_db = args.Number("step", 1.0, {0.01, kSnrRange.high - kSnrRange.low, "dB"});
  settings.trials = static_cast<int>(args.Integer("trials", 20, {1, 10000}));
  // A text of 2000 characters codes to at most 4000 link bytes (a Cyrillic
  // letter after a Latin one costs two), well inside one message.
  settings.length = static_cast<int>(args.Integer("length", 40, {1, 2000}));
  settings.seed = static_cast<std::uint64_t>(args.Integer("seed", 1, kSeedRange));
  settings.threads = static_cast<int>(args.Integer("threads", WorkerThreads(), {1, 256}));
  settings.progress = true;
  settings.legacy = args.Has("legacy");
  settings.back_to_back = args.Has("back-to-back");
  settings.deep = args.Has("deep");
  if (args.Has("clicks")) {
    ChannelSettings clicks;
    ParseClicks(args.Text("clicks"), clicks);
    settings.clicks_per_s = clicks.clicks_per_s;
    settings.click_db = clicks.click_db;
  }
  if (settings.to_db < settings.from_db) throw CliError("--to must not be below --from");
  if ((settings.to_db - settings.from_db) / settings.step_db >= 1000.0)
    throw CliError("--from, --to and --step give more than 1000 SNR points");
  const bool json = args.Has("json");

  std::FILE* out = stdout;
  for (const SensitivityCurve& curve : MeasureSensitivity(modes, settings)) {
    if (json) {
      std::fprintf(out, "{\"mode\":\"%s\",\"channel\":\"%s\",\"clicks_per_s\":%g,\"click_db\":%g,\"deep\":%s,"
                   "\"trials\":%d,\"length\":%d,\"seed\":%llu,\"max_offset_hz\":%.2f,\"points\":[",
                   curve.mode->label, ChannelName(settings.fading), settings.clicks_per_s, settings.click_db,
                   settings.deep ? "true" : "false", settings.trials, settings.length,
                   static_cast<unsigned long long>(settings.seed), curve.max_offset_bins * ModeBinHz(*curve.mode));
      for (std::size_t i = 0; i < curve.points.size(); ++i) {
        const SensitivityPoint& p = curve.points[i];
        std::fprintf(out, "%s{\"snr\":%.2f,\"good\":%.4f,\"false_good\":%.4f,\"cer\":%.4f", i ? "," : "", p.snr_db,
                     p.GoodShare(), p.FalseGoodShare(), p.CharacterErrorRate());
        if (settings.legacy)
          std::fprintf(out, ",\"held_back_right\":%.4f,\"held_back_wrong\":%.4f", double(p.doubtful_right) / p.trials,
                       double(p.doubtful_wrong) / p.trials);
        std::fputc('}', out);
      }
      std::fprintf(out, "],\"snr_50\":%s,\"snr_90\":%s", Threshold(curve, 0.5, true).c_str(),
                   Threshold(curve, 0.9, true).c_str());
      if (settings.legacy) std::fprintf(out, ",\"snr_90_without_gate\":%s", Threshold(WithoutGate(curve), 0.9, true).c_str());
      std::fprintf(out, "}\n");
      continue;
    }
    std::fprintf(out, "%s%s, channel %s%s, %d trials of %d characters per SNR, noise in 2500 Hz, offsets within "
                 "+-%g bins (+-%g Hz), seed %llu\n",
                 curve.mode->label, settings.deep ? " (deep receiver)" : "", ChannelName(settings.fading),
                 ClicksText(settings).c_str(), settings.trials, settings.length, curve.max_offset_bins,
                 curve.max_offset_bins * ModeBinHz(*curve.mode), static_cast<unsigned long long>(settings.seed));
    std::fprintf(out, settings.legacy ? "  SNR dB    good  false good    CER   held back: right  wrong\n"
                                      : "  SNR dB    good  false good    CER\n");
    for (const SensitivityPoint& p : curve.points) {
      std::fprintf(out, "  %6.1f  %5.1f %%    %5.1f %%  %6.3f", p.snr_db, 100.0 * p.GoodShare(),
                   100.0 * p.FalseGoodShare(), p.CharacterErrorRate());
      if (settings.legacy) std::fprintf(out, "             %5d  %5d", p.doubtful_right, p.doubtful_wrong);
      std::fputc('\n', out);
    }
    std::fprintf(out, "  50 %% good at %s, 90 %% good at %s", Threshold(curve, 0.5, false).c_str(),
                 Threshold(curve, 0.9, false).c_str());
    if (settings.legacy) std::fprintf(out, " (without the gate %s)", Threshold(WithoutGate(curve), 0.9, false).c_str());
    std::fprintf(out, "\n\n");
  }
  std::fflush(out);
  return kExitOk;
}

int RunReportBench(const Words& words) {
  const Args args(words, {{"mode", 'm', true}, {"channel", 0, true}, {"from", 0, true}, {"to", 0, true},
                          {"step", 0, true}, {"trials", 0, true}, {"length", 0, true}, {"seed", 0, true},
                          {"threads", 0, true}, {"verbose", 'v', false}});
  if (args.Help()) {
    std::fputs(kReportHelp, stdout);
    return kExitOk;
  }
  ShowAdapterDiagnostics(args.Has("verbose"));
  if (!args.Has("mode")) throw CliError("bench report needs -m MODE or -m all");
  const std::vector<const OliviaMode*> modes = ParseModes(args.Text("mode"));
  ReportBenchSettings settings;
  settings.fading = ParseFading(args.Text("channel", "awgn"));
  settings.from_db = args.Number("from", -15.0, kSnrRange);
  settings.to_db = args.Number("to", 10.0, kSnrRange);
  settings.step_db = args.Number("step", 5.0, {0.01, kSnrRange.high - kSnrRange.low, "dB"});
  settings.trials = static_cast<int>(args.Integer("trials", 10, {1, 10000}));
  settings.length = static_cast<int>(args.Integer("length", 40, {1, 2000}));
  settings.seed = static_cast<std::uint64_t>(args.Integer("seed", 1, kSeedRange));
  settings.threads = static_cast<int>(args.Integer("threads", WorkerThreads(), {1, 256}));
  if (settings.to_db < settings.from_db) throw CliError("--to must not be below --from");
  if ((settings.to_db - settings.from_db) / settings.step_db >= 1000.0)
    throw CliError("--from, --to and --step give more than 1000 SNR points");

  std::FILE* out = stdout;
  for (const ReportCurve& curve : MeasureReportCalibration(modes, settings)) {
    std::fprintf(out, "%s, channel %s, %d trials of %d characters per SNR, noise in 2500 Hz, offsets within "
                 "+-%g Hz, tone spacing %g Hz, seed %llu\n",
                 curve.mode->label, ChannelName(settings.fading), settings.trials, settings.length, curve.max_offset_hz,
                 ToneSpacingHz(*curve.mode), static_cast<unsigned long long>(settings.seed));
    std::fprintf(out, "  SNR dB  reports   snr_db - SNR: mean  spread   worst   offset error/spacing: mean  spread   worst\n");
    for (const ReportPoint& p : curve.points) {
      std::fprintf(out, "  %6.1f  %3d/%-3d           %+6.2f  %6.2f  %+6.2f                        %+6.3f  %6.3f  %+6.3f\n",
                   p.snr_db, p.measured, p.trials, p.snr_error.Mean(), p.snr_error.Spread(), p.snr_error.worst,
                   p.offset_error.Mean(), p.offset_error.Spread(), p.offset_error.worst);
    }
    std::fputc('\n', out);
  }
  std::fflush(out);
  return kExitOk;
}

int RunSpeed(const Words& words) {
  const Args args(words, {{"mode", 'm', true}, {"kernel", 0, true}, {"deep", 0, false}, {"verbose", 'v', false}});
  if (args.Help()) {
    std::fputs(kSpeedHelp, stdout);
    return kExitOk;
  }
  ShowAdapterDiagnostics(args.Has("verbose"));
  const std::vector<const OliviaMode*> modes = ParseModes(args.Text("mode", "all"));
  DecoderKernel kernel = DecoderKernel::Auto;
  if (!ParseDecoderKernel(args.Text("kernel", "auto"), kernel))
    throw CliError("--kernel wants auto, plain, avx2 or avx512, not '" + args.Text("kernel") + "'");
  RequireDecoderKernel(kernel);
  if (kernel == DecoderKernel::Auto) kernel = FastestDecoderKernel();
  std::FILE* out = stdout;
  const bool deep = args.Has("deep");
  std::fprintf(out, "decoder kernel: %s%s\n", DecoderKernelName(kernel), deep ? ", deep receiver" : "");
  std::fprintf(out, "mode              audio s   transmit x real time   receive x real time\n");
  for (const ModeSpeed& speed : MeasureModeSpeeds(modes, kernel, deep)) {
    std::fprintf(out, "%-16s  %7.1f   %20.0f   %19.1f\n", speed.mode->label, speed.audio_s, speed.transmit_rtf,
                 speed.receive_rtf);
    std::fflush(out);
  }
  for (const int threads : {1, WorkerThreads()}) {
    const AllReceiversSpeed all = MeasureAllReceivers(threads, kernel, deep);
    std::fprintf(out,
                 "all 19 receivers at once on %s over %.1f s of audio: %.1f x real time listening, %.1f x "
                 "with decode's end-of-recording flush\n",
                 threads == 1 ? "one thread" : (std::to_string(threads) + " threads").c_str(), all.audio_s,
                 all.listening, all.with_flush);
    std::fflush(out);
    if (WorkerThreads() == 1) break;
  }
  return kExitOk;
}

}  // namespace quillon
