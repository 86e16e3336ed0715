// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/Commands.h"

#include <cmath>
#include <cstdio>

#include "link/Cp1251.h"
#include "tools/Args.h"
#include "tools/channel/ChannelSimulator.h"
#include "tools/CliError.h"
#include "tools/Console.h"
#include "tools/FrameDecoder.h"
#include "tools/FrameOutput.h"
#include "tools/ModeArg.h"
#include "tools/Station.h"
#include "tools/TextInput.h"

namespace quillon {
namespace {

const char kEncodeHelp[] =
    "usage: quillon-cli encode -m MODE (-t TEXT | -i FILE) [--charset utf8|cp1251] -o OUT.wav\n"
    "                          [--rate HZ] [--lead SECONDS] [--tail SECONDS] [--legacy] [-v]\n"
    "\n"
    "Writes the audio the program plays for one press of the transmit button with\n"
    "TEXT in the upper pane: the framed message, the opening tone burst, the Olivia\n"
    "blocks, the closing burst and a block of silence, at the sound card's level.\n"
    "\n"
    "  -m, --mode MODE     OLIVIA_8_500, 8/500 or 101 (the 19 menu modes)\n"
    "  -t, --text TEXT     the message, UTF-8\n"
    "  -i, --input FILE    the message from a file ('-': standard input)\n"
    "  --charset CHARSET   utf8 (default) or cp1251 (the file's raw bytes)\n"
    "  -o, --output FILE   WAV file, 16-bit mono; '-' writes raw 16-bit samples\n"
    "  --rate HZ           sample rate of the output (default 8000, resampled)\n"
    "  --lead SECONDS      silence before the transmission (default 0, at most 600)\n"
    "  --tail SECONDS      silence after it (default 0, at most 600)\n"
    "  --legacy            no check extension after the check character: the frame\n"
    "                      as a station that knows only the frame sends it\n"
    "  -v, --verbose       the adapter's diagnostic line of mode 93 (\"tones ...\")\n"
    "                      on standard error\n"
    "\n"
    "One message carries at most 9989 link bytes: one per character, and one more\n"
    "for each change between Latin and Cyrillic letters.\n";

const char kDecodeHelp[] =
    "usage: quillon-cli decode -m MODE|all [--deep] [--json] [-v] IN.wav\n"
    "\n"
    "Feeds a recording to the program's receiver in blocks of 512 samples and\n"
    "prints every finished frame, one line each:\n"
    "  GOOD  CRC 3E = 3E  verified  00:01.23  SNR -8 dB  +23 Hz  abc\n"
    "(BAD and != when the check fails) with the verdict, the time of the frame's\n"
    "start marker, its signal-to-noise ratio in 2500 Hz (as `channel --snr` sets\n"
    "it; \"?\" when nothing measured it) and how far above (+) or below (-) the\n"
    "band centre it came, to an eighth of its tone spacing. Backslash and control\n"
    "characters of the text appear as \\\\, \\n, \\r, \\t, \\xHH. With -m all the 19\n"
    "receivers run over the same audio and each line begins with the mode that\n"
    "decoded it.\n"
    "\n"
    "  -m, --mode MODE   OLIVIA_8_500, 8/500, 101, or all\n"
    "  --deep            the deep receiver: finer frequency, likelihood decisions,\n"
    "                    impulse-only limiter, held timing\n"
    "  --json            one JSON object per frame and line: mode, mode_number,\n"
    "                    good, expected, received, text, text_cp1251_hex,\n"
    "                    link_bytes, start_s, end_s (seconds into the audio where\n"
    "                    the start marker and the check byte were decided), snr\n"
    "                    (the receiver's own signal-to-noise figure, a ratio, mean\n"
    "                    over the frame), snr_db (dB in 2500 Hz, the band's power\n"
    "                    over the noise beside it across the frame's blocks; null\n"
    "                    when nothing measured it) and freq_offset_hz (the frame's\n"
    "                    offset from the band centre, refined within the\n"
    "                    receiver's half-spacing steps)\n"
    "  -v, --verbose     the adapter's diagnostic line of mode 93 (\"tones ...\") on\n"
    "                    standard error\n"
    "  IN.wav            any WAV rate and channel count (mixed to mono and\n"
    "                    resampled to 8000), read piece by piece, so of any\n"
    "                    length; '-' reads raw 16-bit 8000 Hz mono from standard\n"
    "                    input as it arrives and prints each frame as soon as it\n"
    "                    is decided (arecord -f S16_LE -r 8000 -c 1 | quillon-cli\n"
    "                    decode -m all -)\n"
    "\n"
    "A recording cut short, or holding samples that are not numbers (read as\n"
    "silence), is decoded as far as it goes, with a warning on standard error.\n"
    "Exit status 0 when the audio was read, frames or not; 2 when it was not.\n";

const char kChannelHelp[] =
    "usage: quillon-cli channel IN.wav -o OUT.wav [--snr DB] [--noise-bw HZ]\n"
    "                           [--offset HZ] [--fading good|moderate|poor|flutter]\n"
    "                           [--drift-ppm PPM] [--clicks RATE[:DB]] [--lead S]\n"
    "                           [--tail S] [--seed N]\n"
    "\n"
    "An HF channel between two stations. IN and OUT may be '-' (raw 16-bit 8000 Hz).\n"
    "\n"
    "  --snr DB          add white Gaussian noise: signal power over the non-silent\n"
    "                    part to noise power in the noise bandwidth (default: none),\n"
    "                    -60..60\n"
    "  --noise-bw HZ     the noise bandwidth of --snr (default 2500, at most 4000)\n"
    "  --offset HZ       frequency offset, -4000..4000\n"
    "  --fading PROFILE  Watterson two-path fading: good (0.5 ms, 0.1 Hz),\n"
    "                    moderate (1 ms, 0.5 Hz), poor (2 ms, 1 Hz),\n"
    "                    flutter (0.5 ms, 10 Hz) delay and Doppler spread\n"
    "  --drift-ppm PPM   the sender's sample clock fast by PPM (resampled), at most\n"
    "                    100000 either way\n"
    "  --clicks RATE[:DB]  impulse noise: RATE clicks a second on average (0..1000,\n"
    "                    at random times), each a 1 ms decaying burst whose peak\n"
    "                    power is DB over the signal power (default 20, -60..60)\n"
    "  --lead S, --tail S  silence added before and after, at most 600 s each\n"
    "  --seed N          random seed (default 1); the same seed, the same output\n"
    "\n"
    "The SNR actually produced, measured, goes to standard error (the signal over\n"
    "the Gaussian noise; clicks are not counted), and the number of clicks added.\n"
    "The channel works on the whole signal at once and makes at most 2^24 samples\n"
    "(35 minutes).\n";

void PrintHelp(const char* help) { std::fputs(help, stdout); }

Audio WithSilence(const Audio& audio, double lead_s, double tail_s) {
  Audio padded(static_cast<std::size_t>(std::lround(lead_s * kSampleRateHz)), 0);
  padded.insert(padded.end(), audio.begin(), audio.end());
  padded.resize(padded.size() + static_cast<std::size_t>(std::lround(tail_s * kSampleRateHz)), 0);
  return padded;
}

std::string OnePositional(const Args& args, const char* what) {
  if (args.Positionals().size() != 1) throw CliError(std::string("give exactly one ") + what + " (see --help)");
  return args.Positionals()[0];
}

}  // namespace

std::string MessageText(const Args& args) {
  const std::string charset = args.Text("charset", "utf8");
  if (charset != "utf8" && charset != "cp1251") throw CliError("--charset is utf8 or cp1251, not '" + charset + "'");
  if (args.Has("text") == args.Has("input")) throw CliError("give the message with either -t TEXT or -i FILE");
  if (args.Has("text") && charset == "cp1251") throw CliError("--charset cp1251 applies to -i FILE only");
  const std::string raw = args.Has("text") ? args.Text("text") : ReadTextFile(args.Text("input"));
  const std::string cp1251 = charset == "cp1251" ? raw : Utf8ToCp1251Strict(raw);
  CheckUpperPaneText(cp1251);
  return cp1251;
}

int RunEncode(const Words& words) {
  const Args args(words, {{"mode", 'm', true}, {"text", 't', true}, {"input", 'i', true}, {"charset", 0, true},
                          {"output", 'o', true}, {"rate", 0, true}, {"lead", 0, true}, {"tail", 0, true},
                          {"legacy", 0, false}, {"verbose", 'v', false}});
  if (args.Help()) return PrintHelp(kEncodeHelp), kExitOk;
  ShowAdapterDiagnostics(args.Has("verbose"));
  if (!args.Positionals().empty()) throw CliError("unexpected '" + args.Positionals()[0] + "' (see --help)");
  if (!args.Has("mode")) throw CliError("encode needs -m MODE");
  if (!args.Has("output")) throw CliError("encode needs -o OUT.wav (or -o - for raw samples)");
  const OliviaMode& mode = ParseMode(args.Text("mode"));
  const auto rate = static_cast<int>(args.Integer("rate", kSampleRateHz, {kLowestWavRate, kHighestWavRate}));
  const double lead_s = args.Number("lead", 0.0, kSilenceRange);
  const double tail_s = args.Number("tail", 0.0, kSilenceRange);
  const std::string text = MessageText(args);
  WriteAudio(args.Text("output"), WithSilence(EncodeMessage(mode, text, !args.Has("legacy")), lead_s, tail_s), rate);
  return kExitOk;
}

int RunDecode(const Words& words) {
  const Args args(words, {{"mode", 'm', true}, {"deep", 0, false}, {"json", 0, false}, {"verbose", 'v', false}});
  if (args.Help()) return PrintHelp(kDecodeHelp), kExitOk;
  ShowAdapterDiagnostics(args.Has("verbose"));
  if (!args.Has("mode")) throw CliError("decode needs -m MODE or -m all");
  const std::vector<const OliviaMode*> modes = ParseModes(args.Text("mode"));
  AudioReader audio(OnePositional(args, "input file"));
  const bool json = args.Has("json");
  const bool with_mode = modes.size() > 1;
  DecodeRecording(modes, audio, WorkerThreads(), [&](const DecodedFrame& frame) {
    const std::string line = json ? JsonFrameLine(frame) : PlainFrameLine(frame, with_mode);
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
  }, args.Has("deep"));
  return kExitOk;
}

ChannelSettings ChannelSettingsFrom(const Args& args, const ChannelSettings& defaults) {
  ChannelSettings settings = defaults;
  settings.add_noise = defaults.add_noise || args.Has("snr");
  settings.snr_db = args.Number("snr", defaults.snr_db, kSnrRange);
  // White noise fills 0..4000 Hz at 8000 samples/s; no band can be wider.
  settings.noise_bandwidth_hz = args.Number("noise-bw", defaults.noise_bandwidth_hz, {1.0, kSampleRateHz / 2.0, "Hz"});
  // A shift beyond half the sample rate wraps around to a smaller one.
  settings.offset_hz = args.Number("offset", defaults.offset_hz, {-kSampleRateHz / 2.0, kSampleRateHz / 2.0, "Hz"});
  settings.fading = ParseFading(args.Text("fading", FadingName(defaults.fading)));
  // 10 % either way: far beyond any sound card's clock, and the resampler's
  // output stays within 1.1 times the input.
  settings.drift_ppm = args.Number("drift-ppm", defaults.drift_ppm, {-100000.0, 100000.0, "ppm"});
  settings.lead_s = args.Number("lead", defaults.lead_s, kSilenceRange);
  settings.tail_s = args.Number("tail", defaults.tail_s, kSilenceRange);
  if (args.Has("clicks")) ParseClicks(args.Text("clicks"), settings);
  settings.seed = static_cast<std::uint64_t>(args.Integer("seed", static_cast<long long>(defaults.seed), kSeedRange));
  return settings;
}

int RunChannel(const Words& words) {
  const Args args(words, {{"output", 'o', true}, {"snr", 0, true}, {"noise-bw", 0, true}, {"offset", 0, true},
                          {"fading", 0, true}, {"drift-ppm", 0, true}, {"clicks", 0, true}, {"lead", 0, true},
                          {"tail", 0, true}, {"seed", 0, true}});
  if (args.Help()) return PrintHelp(kChannelHelp), kExitOk;
  if (!args.Has("output")) throw CliError("channel needs -o OUT.wav (or -o - for raw samples)");
  const ChannelSettings settings = ChannelSettingsFrom(args, ChannelSettings{});
  const Audio input = ReadAudio(OnePositional(args, "input file"), kMaxChannelSamples);
  ChannelSimulator channel(settings);
  const Audio output = channel.Apply(input);
  WriteAudio(args.Text("output"), output);
  const ChannelReport& report = channel.Report();
  if (settings.add_noise)
    std::fprintf(stderr, "channel: SNR %.2f dB in %.0f Hz produced (%.2f dB asked), signal over %.2f s\n",
                 report.measured_snr_db, settings.noise_bandwidth_hz, settings.snr_db, report.signal_seconds);
  if (settings.clicks_per_s > 0.0)
    std::fprintf(stderr, "channel: %d clicks added (%.1f a second asked), peak %+.1f dB over the signal\n",
                 report.clicks, settings.clicks_per_s, settings.click_db);
  if (report.output_gain < 1.0)
    std::fprintf(stderr, "channel: output scaled by %.3f to stay within 16 bits\n", report.output_gain);
  return kExitOk;
}

}  // namespace quillon
