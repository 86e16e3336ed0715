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
    "                          [--rate HZ] [--lead SECONDS] [--tail SECONDS]\n"
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
    "  --lead SECONDS      silence before the transmission (default 0)\n"
    "  --tail SECONDS      silence after it (default 0)\n";

const char kDecodeHelp[] =
    "usage: quillon-cli decode -m MODE|all [--json] IN.wav\n"
    "\n"
    "Feeds a recording to the program's receiver in blocks of 512 samples and\n"
    "prints every finished frame, one line each:\n"
    "  GOOD  CRC 3E = 3E  00:01.23  abc     (BAD and != when the check fails)\n"
    "with the time of the frame's start marker; backslash and control characters\n"
    "of the text appear as \\\\, \\n, \\r, \\t, \\xHH. With -m all the 19 receivers run\n"
    "over the same audio and each line begins with the mode that decoded it.\n"
    "\n"
    "  -m, --mode MODE   OLIVIA_8_500, 8/500, 101, or all\n"
    "  --json            one JSON object per frame and line: mode, mode_number,\n"
    "                    good, expected, received, text, text_cp1251_hex,\n"
    "                    link_bytes, start_s, end_s (seconds into the audio where\n"
    "                    the start marker and the check byte were decided), snr\n"
    "                    (the receiver's own signal-to-noise figure, a ratio, mean\n"
    "                    over the frame) and freq_offset_hz (its frequency offset)\n"
    "  IN.wav            any WAV rate and channel count (mixed to mono and\n"
    "                    resampled to 8000); '-' reads raw 16-bit 8000 Hz mono\n"
    "\n"
    "Exit status 0 when the audio was read, frames or not; 2 when it was not.\n";

const char kChannelHelp[] =
    "usage: quillon-cli channel IN.wav -o OUT.wav [--snr DB] [--noise-bw HZ]\n"
    "                           [--offset HZ] [--fading good|moderate|poor|flutter]\n"
    "                           [--drift-ppm PPM] [--lead S] [--tail S] [--seed N]\n"
    "\n"
    "An HF channel between two stations. IN and OUT may be '-' (raw 16-bit 8000 Hz).\n"
    "\n"
    "  --snr DB          add white Gaussian noise: signal power over the non-silent\n"
    "                    part to noise power in the noise bandwidth (default: none)\n"
    "  --noise-bw HZ     the noise bandwidth of --snr (default 2500, at most 4000)\n"
    "  --offset HZ       frequency offset\n"
    "  --fading PROFILE  Watterson two-path fading: good (0.5 ms, 0.1 Hz),\n"
    "                    moderate (1 ms, 0.5 Hz), poor (2 ms, 1 Hz),\n"
    "                    flutter (0.5 ms, 10 Hz) delay and Doppler spread\n"
    "  --drift-ppm PPM   the sender's sample clock fast by PPM (resampled)\n"
    "  --lead S, --tail S  silence added before and after\n"
    "  --seed N          random seed (default 1); the same seed, the same output\n"
    "\n"
    "The SNR actually produced, measured, goes to standard error.\n";

void PrintHelp(const char* help) { std::fputs(help, ToolOutput()); }

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

Audio WithSilence(const Audio& audio, double lead_s, double tail_s) {
  if (lead_s < 0.0 || tail_s < 0.0) throw CliError("--lead and --tail are seconds, not negative");
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

int RunEncode(const Words& words) {
  const Args args(words, {{"mode", 'm', true}, {"text", 't', true}, {"input", 'i', true}, {"charset", 0, true},
                          {"output", 'o', true}, {"rate", 0, true}, {"lead", 0, true}, {"tail", 0, true}});
  if (args.Help()) return PrintHelp(kEncodeHelp), kExitOk;
  if (!args.Positionals().empty()) throw CliError("unexpected '" + args.Positionals()[0] + "' (see --help)");
  if (!args.Has("mode")) throw CliError("encode needs -m MODE");
  if (!args.Has("output")) throw CliError("encode needs -o OUT.wav (or -o - for raw samples)");
  const OliviaMode& mode = ParseMode(args.Text("mode"));
  const long rate = args.Integer("rate", kSampleRateHz);
  if (rate < 1000 || rate > 384000) throw CliError("--rate must be 1000..384000 samples per second");
  const std::string text = MessageText(args);
  const Audio audio = WithSilence(EncodeMessage(mode, text), args.Number("lead", 0.0), args.Number("tail", 0.0));
  WriteAudio(args.Text("output"), audio, static_cast<int>(rate));
  return kExitOk;
}

int RunDecode(const Words& words) {
  const Args args(words, {{"mode", 'm', true}, {"json", 0, false}});
  if (args.Help()) return PrintHelp(kDecodeHelp), kExitOk;
  if (!args.Has("mode")) throw CliError("decode needs -m MODE or -m all");
  const std::vector<const OliviaMode*> modes = ParseModes(args.Text("mode"));
  const Audio audio = ReadAudio(OnePositional(args, "input file"));
  const bool json = args.Has("json");
  const bool with_mode = modes.size() > 1;
  std::FILE* output = ToolOutput();
  for (const DecodedFrame& frame : DecodeRecording(modes, audio, WorkerThreads())) {
    const std::string line = json ? JsonFrameLine(frame) : PlainFrameLine(frame, with_mode);
    std::fprintf(output, "%s\n", line.c_str());
  }
  std::fflush(output);
  return kExitOk;
}

ChannelSettings ChannelSettingsFrom(const Args& args) {
  ChannelSettings settings;
  settings.add_noise = args.Has("snr");
  settings.snr_db = args.Number("snr", 0.0);
  settings.noise_bandwidth_hz = args.Number("noise-bw", 2500.0);
  if (!(settings.noise_bandwidth_hz > 0.0 && settings.noise_bandwidth_hz <= kSampleRateHz / 2.0))
    throw CliError("--noise-bw must be above 0 and at most 4000 Hz");
  settings.offset_hz = args.Number("offset", 0.0);
  settings.fading = ParseFading(args.Text("fading", "none"));
  settings.drift_ppm = args.Number("drift-ppm", 0.0);
  if (std::fabs(settings.drift_ppm) > 100000.0) throw CliError("--drift-ppm must be within +-100000");
  settings.lead_s = args.Number("lead", 0.0);
  settings.tail_s = args.Number("tail", 0.0);
  if (settings.lead_s < 0.0 || settings.tail_s < 0.0) throw CliError("--lead and --tail are seconds, not negative");
  settings.seed = static_cast<std::uint64_t>(args.Integer("seed", 1));
  return settings;
}

int RunChannel(const Words& words) {
  const Args args(words, {{"output", 'o', true}, {"snr", 0, true}, {"noise-bw", 0, true}, {"offset", 0, true},
                          {"fading", 0, true}, {"drift-ppm", 0, true}, {"lead", 0, true}, {"tail", 0, true},
                          {"seed", 0, true}});
  if (args.Help()) return PrintHelp(kChannelHelp), kExitOk;
  if (!args.Has("output")) throw CliError("channel needs -o OUT.wav (or -o - for raw samples)");
  const ChannelSettings settings = ChannelSettingsFrom(args);
  const Audio input = ReadAudio(OnePositional(args, "input file"));
  ChannelSimulator channel(settings);
  const Audio output = channel.Apply(input);
  WriteAudio(args.Text("output"), output);
  const ChannelReport& report = channel.Report();
  if (settings.add_noise)
    std::fprintf(stderr, "channel: SNR %.2f dB in %.0f Hz produced (%.2f dB asked), signal over %.2f s\n",
                 report.measured_snr_db, settings.noise_bandwidth_hz, settings.snr_db, report.signal_seconds);
  if (report.output_gain < 1.0)
    std::fprintf(stderr, "channel: output scaled by %.3f to stay within 16 bits\n", report.output_gain);
  return kExitOk;
}

}  // namespace quillon
