// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/Demo.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <random>
#include <thread>

#include "engine/ModeTable.h"
#include "link/Cp1251.h"
#include "link/LinkController.h"
#include "tools/Args.h"
#include "tools/channel/ChannelSimulator.h"
#include "tools/CliError.h"
#include "tools/Commands.h"
#include "tools/Console.h"
#include "tools/FrameOutput.h"
#include "tools/ModeArg.h"
#include "tools/Sensitivity.h"
#include "tools/Station.h"
#include "tools/TextInput.h"

namespace quillon {
namespace {

const char kDemoHelp[] =
    "usage: quillon-cli demo [-m MODE] [--snr DB] [--fading good|moderate|poor|flutter]\n"
    "                        [-t TEXT] [--offset HZ] [--drift-ppm PPM] [--noise-bw HZ]\n"
    "                        [--lead S] [--tail S] [--seed N] [--realtime] [-v]\n"
    "\n"
    "The program's main job without a display or sound card: one station sends a\n"
    "message, the channel simulator carries it, the other station receives it. Shows\n"
    "what the receiving window's lower pane, status bar and icon show as characters\n"
    "arrive, the archive record, and the verdict. Exit status 0 when the text\n"
    "arrived intact and marked good, 1 when not.\n"
    "\n"
    "  -m, --mode MODE   default OLIVIA_8_500\n"
    "  --snr DB          default -5 (noise in --noise-bw, default 2500 Hz)\n"
    "  --fading PROFILE  default none\n"
    "  -t, --text TEXT   default a Russian and English message with an e-mail\n"
    "                    address and a telephone number\n"
    "  --lead S, --tail S  channel noise before and after (default 1.5 and 2 s)\n"
    "  --seed N          channel seed (default 1)\n"
    "  --realtime        pace the receiving side at the audio's own speed\n"
    "  -v, --verbose     the adapter's diagnostic line of mode 93 (\"tones ...\") on\n"
    "                    standard error\n";

// u8: UTF-8 also where narrow literals are compiled to cp1251 (Windows).
const char kDefaultText[] =
    u8"Привет! Встречаемся завтра в 18:30 у вокзала. Write to ivan.petrov@example.ru "
    u8"or call +7 912 345-67-89. 73!";

constexpr double kTickSeconds = LinkController::kTickMilliseconds / 1000.0;

std::string Utf8(const std::string& cp1251) { return Cp1251ToUtf8(cp1251); }

// A fresh folder for the receiving station's log.txt, removed afterwards.
class TemporaryHome {
 public:
  TemporaryHome() {
    std::random_device seed;
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
      const auto candidate = base / ("quillon-demo-" + std::to_string(seed()));
      std::error_code error;
      if (std::filesystem::create_directory(candidate, error)) path_ = candidate.string();
    }
  }
  ~TemporaryHome() {
    std::error_code error;
    if (!path_.empty()) std::filesystem::remove_all(path_, error);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

std::string ReadArchive(const std::string& home) {
  if (home.empty()) return "";
  try {
    return PlatformTextToUtf8(ReadTextFile((std::filesystem::path(home) / "log.txt").string()));
  } catch (const CliError&) {
    return "";
  }
}

}  // namespace

void TerminalView::EndLine() {
  if (!mid_line_) return;
  std::fputc('\n', stdout);
  mid_line_ = false;
}

void TerminalView::Stamp(const char* what) {
  EndLine();
  std::fprintf(stdout, "  [%s] %s", ClockTime(now_s_).c_str(), what);
}

void TerminalView::SetLowerText(const std::string& text) {
  lower_ = text;
  if (text.empty()) {
    finished_ = false;
    return;  // the pane is cleared at a frame start and before the final text
  }
  finished_ = true;
  Stamp("lower pane holds: ");
  std::fprintf(stdout, "%s\n", Utf8(text).c_str());
  std::fflush(stdout);
}

void TerminalView::InsertLowerChar(unsigned char character) {
  lower_.push_back(static_cast<char>(character));
  if (!mid_line_) {
    Stamp("lower pane: ");
    mid_line_ = true;
  }
  if (character == '\r') return;
  if (character == '\n') {
    std::fputs("\n                        ", stdout);
  } else {
    std::fputs(Utf8(std::string(1, static_cast<char>(character))).c_str(), stdout);
  }
  std::fflush(stdout);
}

void TerminalView::SetStatusText(const std::string& text) {
  status_ = text;
  Stamp("status bar: ");
  std::fprintf(stdout, "%s\n", Utf8(text).c_str());
  std::fflush(stdout);
}

void TerminalView::ShowSignalReport(const SignalReport& report) {
  char when[16] = "";
  const std::tm* local = std::localtime(&report.time);
  if (local != nullptr) std::strftime(when, sizeof when, "%H:%M:%S", local);
  Stamp("signal report: ");
  std::fprintf(stdout, "SNR %.0f dB in 2500 Hz, offset %+.0f Hz, %s, at %s\n", report.snr_db, report.offset_hz,
               ModeByNumber(report.mode_number).label, when);
  std::fflush(stdout);
}

void TerminalView::Iconki() {
  // The rules of the window icon: transmitting outranks everything, then a
  // frame in progress while no good result stands, then the good result.
  std::string icon;
  if (link_.PRD_R.load() == 0 && link_.PRM_R.load() == 0 && link_.USPESHNO.load() == 0) icon = "idle";
  else if (link_.PRD_R.load() != 0) icon = "red (transmitting)";
  else if (link_.PRM_R.load() != 0 && link_.USPESHNO.load() == 0) icon = "yellow (receiving a frame)";
  else icon = "green (last frame good)";
  if (icon == icon_) return;
  icon_ = icon;
  const bool was_mid_line = mid_line_;
  Stamp("icon: ");
  std::fprintf(stdout, "%s\n", icon.c_str());
  if (was_mid_line) {
    Stamp("lower pane: ");
    std::fputs(Utf8(lower_).c_str(), stdout);
    mid_line_ = true;
  }
  std::fflush(stdout);
}

int RunDemo(const Words& words) {
  const Args args(words, {{"mode", 'm', true}, {"snr", 0, true}, {"fading", 0, true}, {"text", 't', true},
                          {"offset", 0, true}, {"drift-ppm", 0, true}, {"noise-bw", 0, true}, {"lead", 0, true},
                          {"tail", 0, true}, {"seed", 0, true}, {"realtime", 0, false}, {"verbose", 'v', false}});
  if (args.Help()) {
    std::fputs(kDemoHelp, stdout);
    return kExitOk;
  }
  ShowAdapterDiagnostics(args.Has("verbose"));
  if (!args.Positionals().empty()) throw CliError("unexpected '" + args.Positionals()[0] + "' (see --help)");
  const OliviaMode& mode = ParseMode(args.Text("mode", "OLIVIA_8_500"));
  ChannelSettings defaults;
  defaults.add_noise = true;
  defaults.snr_db = -5.0;
  defaults.lead_s = 1.5;
  defaults.tail_s = 2.0;
  const ChannelSettings channel_settings = ChannelSettingsFrom(args, defaults);
  const std::string text = Utf8ToCp1251Strict(args.Text("text", kDefaultText));
  CheckUpperPaneText(text);
  std::FILE* out = stdout;

  std::fprintf(out, "Quillon demo: %s, SNR %.1f dB in %.0f Hz, fading %s, offset %.1f Hz, seed %llu\n\n",
               mode.label, channel_settings.snr_db, channel_settings.noise_bandwidth_hz,
               FadingName(channel_settings.fading), channel_settings.offset_hz,
               static_cast<unsigned long long>(channel_settings.seed));
  std::fprintf(out, "Sending station\n  upper pane: %s\n", Utf8(text).c_str());
  Station sender(mode);
  QuietView sender_view;
  const Audio sent = sender.Transmit(text, sender_view);
  if (sent.empty()) throw CliError("the link controller sent nothing: " + Utf8(sender_view.Status()));
  std::fprintf(out, "  status bar: %s\n  on air: %.2f s of audio (opening tone burst, Olivia blocks, closing tone burst)\n\n",
               Utf8(sender_view.Status()).c_str(), sent.size() / double(kSampleRateHz));

  ChannelSimulator channel(channel_settings);
  const Audio heard = channel.Apply(sent);
  std::fprintf(out, "Channel: SNR %.2f dB measured in %.0f Hz\n\n", channel.Report().measured_snr_db,
               channel_settings.noise_bandwidth_hz);

  std::fprintf(out, "Receiving station (its window, as the characters arrive)\n");
  std::fflush(out);
  Station receiver(mode);
  TemporaryHome home;
  double now_s = 0.0;
  TerminalView view(receiver.Link(), now_s);
  LinkControllerContext context{receiver.Link(), view, {}, home.Path(), {}};
  context.mode_number = mode.number;
  LinkController controller(context);
  const bool realtime = args.Has("realtime");
  const auto started = std::chrono::steady_clock::now();
  double next_tick_s = 0.0;
  for (std::size_t at = 0; at < heard.size(); at += kAudioBlockSamples) {
    const int count = static_cast<int>(std::min<std::size_t>(kAudioBlockSamples, heard.size() - at));
    receiver.Hear(heard.data() + at, count);
    now_s = static_cast<double>(at + count) / kSampleRateHz;
    while (next_tick_s <= now_s) {
      controller.Tick();
      next_tick_s += kTickSeconds;
    }
    if (realtime) std::this_thread::sleep_until(started + std::chrono::duration<double>(now_s));
  }
  receiver.Flush();
  controller.Tick();

  const std::string archive = ReadArchive(home.Path());
  if (!archive.empty()) std::fprintf(out, "\n  log.txt gets:\n%s", archive.c_str());

  const bool good = receiver.Link().USPESHNO.load() != 0;
  const bool arrived = view.FrameFinished();
  const bool same = view.LowerText() == text;
  std::fprintf(out, "\nVerdict: ");
  int status = 1;
  if (!arrived) {
    std::fprintf(out, "NOT RECEIVED - no complete frame was recognised.\n");
  } else if (good && same) {
    std::fprintf(out, "DELIVERED - the check passed (%s) and the lower pane holds exactly the text sent.\n",
                 Utf8(view.StatusText()).c_str());
    status = 0;
  } else if (good) {
    std::fprintf(out, "FALSE GOOD - the check passed (%s) but %d characters differ from the text sent.\n",
                 Utf8(view.StatusText()).c_str(), EditDistance(view.LowerText(), text));
  } else {
    std::fprintf(out, "DAMAGED - the check failed (%s); %d characters differ from the text sent.\n",
                 Utf8(view.StatusText()).c_str(), EditDistance(view.LowerText(), text));
  }
  std::fflush(out);
  return status;
}

}  // namespace quillon
