// SPDX-License-Identifier: GPL-3.0-or-later
// quillon-cli send: one message through the sound card in real time, keyed
// as the window keys it: the program's own driver, link controller and
// playback thread run exactly as for "Передать", with the text in place of
// the upper pane and standard error in place of the status bar.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/Cp1251.h"
#include "link/LinkView.h"
#include "modem/Driver.h"
#include "modem/SoundCard.h"
#include "modem/audio/AudioDevices.h"
#include "modem/audio/DeviceByName.h"
#include "modem/ptt/PttSettings.h"
#include "shell/StationConfig.h"
#include "tools/Args.h"
#include "tools/CliError.h"
#include "tools/Commands.h"
#include "tools/ModeArg.h"

namespace quillon {
namespace {

const char kSendHelp[] =
    "usage: quillon-cli send -m MODE (-t TEXT | -i FILE) [--charset utf8|cp1251]\n"
    "                        [--output DEVICE] [--ptt KEYING] [--ptt-lead MS] [--ptt-tail MS]\n"
    "                        [--time-limit S] [-v]\n"
    "\n"
    "Plays one message through the sound card in real time, as the window's\n"
    "\"Передать\" does: keys the transmitter, waits the lead, plays the framed\n"
    "message, and releases the transmitter once the device has played the last\n"
    "sample and the tail has passed. What is not given comes from quillon.conf in\n"
    "the current folder (the program's settings file), else the defaults below.\n"
    "\n"
    "  -m, --mode MODE     OLIVIA_8_500, 8/500 or 101 (the 19 menu modes)\n"
    "  -t, --text TEXT     the message, UTF-8\n"
    "  -i, --input FILE    the message from a file ('-': standard input)\n"
    "  --charset CHARSET   utf8 (default) or cp1251 (the file's raw bytes)\n"
    "  --output DEVICE     a name `quillon-cli devices` lists (default: quillon.conf's\n"
    "                      output_device, else \"default\")\n"
    "  --ptt KEYING          none (default) or vox: nothing is keyed;\n"
    "                      rigctld:HOST:PORT: a rigctld server;\n"
    "                      hamlib:MODEL:PORT[:SPEED]: the Hamlib library (Linux);\n"
    "                      rts:PORT, dtr:PORT: a serial port's line (/dev/ttyUSB0, COM3)\n"
    "  --ptt-lead MS       keyed this long before the first sample (default 50)\n"
    "  --ptt-tail MS       held this long after the last one (default 20)\n"
    "  --time-limit S      the transmission is cut off after S seconds (0: never)\n"
    "  -v, --verbose       the status bar's texts on standard error as they come\n"
    "\n"
    "Exit status 0 once the message has been played; 2 with the reason when the\n"
    "device or the transmitter cannot be had, or the transmission was cut short.\n";

// The window the link controller talks to: the message in the upper pane,
// the status texts kept (and shown with -v).
class SendView : public LinkView {
 public:
  SendView(std::string text, bool verbose) : text_(std::move(text)), verbose_(verbose) {}

  std::string FetchUpperText(int max_bytes) override {
    return text_.substr(0, static_cast<std::size_t>(max_bytes < 0 ? 0 : max_bytes));
  }
  void SetLowerText(const std::string&) override {}
  void InsertLowerChar(unsigned char) override {}
  void SetStatusText(const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    // The countdown repeats its text every tick: a text is shown once.
    if (verbose_ && (statuses_.empty() || statuses_.back() != text))
      std::fprintf(stderr, "status: %s\n", Cp1251ToUtf8(text).c_str());
    statuses_.push_back(text);
  }
  void FocusArchiveButton() override {}
  void Iconki() override {}
  void ShowSignalReport(const SignalReport&) override {}

  bool Shown(const std::string& cp1251) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const std::string& status : statuses_)
      if (status == cp1251) return true;
    return false;
  }
  std::string Last() {
    std::lock_guard<std::mutex> lock(mutex_);
    return statuses_.empty() ? std::string() : Cp1251ToUtf8(statuses_.back());
  }

 private:
  const std::string text_;
  const bool verbose_;
  std::mutex mutex_;
  std::vector<std::string> statuses_;
};

PttSettings KeyingFrom(const Args& args, const StationConfig& config) {
  std::vector<std::string> warnings;
  PttSettings settings = PttSettingsFromConfig(config, &warnings);
  for (const std::string& warning : warnings) std::fprintf(stderr, "quillon-cli: %s\n", warning.c_str());
  if (args.Has("ptt")) {
    std::string error;
    if (!ParsePttChoice(args.Text("ptt"), settings.choice, error)) throw CliError("--ptt: " + error);
  }
  const WholeRange delay{0, kMostPttDelayMs};
  settings.timing.lead = std::chrono::milliseconds(args.Integer("ptt-lead", settings.timing.lead.count(), delay));
  settings.timing.tail = std::chrono::milliseconds(args.Integer("ptt-tail", settings.timing.tail.count(), delay));
  settings.timing.time_limit = std::chrono::seconds(
      args.Integer("time-limit", settings.timing.time_limit.count(), WholeRange{0, kMostTimeLimitS}));
  return settings;
}

// The driver thread and the audio threads of one station, stopped as the
// window stops them when it goes.
class RunningStation {
 public:
  RunningStation(StationState& station, DriverContext& context) : station_(station) {
    driver_ = std::thread([&context] { Play(context); });
  }
  ~RunningStation() {
    station_.link.STOP = 1;
    station_.link.STOPTIM = 1;
    driver_.join();
    CloseWaveOut(station_);
    CloseWaveIn(station_);
  }

 private:
  StationState& station_;
  std::thread driver_;
};

void WaitUntil(const std::function<bool()>& done) {
  while (!done()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

}  // namespace

int RunSend(const Words& words) {
  const Args args(words, {{"mode", 'm', true}, {"text", 't', true}, {"input", 'i', true}, {"charset", 0, true},
                          {"output", 0, true}, {"ptt", 0, true}, {"ptt-lead", 0, true}, {"ptt-tail", 0, true},
                          {"time-limit", 0, true}, {"verbose", 'v', false}});
  if (args.Help()) return std::fputs(kSendHelp, stdout), kExitOk;
  if (!args.Positionals().empty()) throw CliError("unexpected '" + args.Positionals()[0] + "' (see --help)");
  if (!args.Has("mode")) throw CliError("send needs -m MODE");
  const OliviaMode& mode = ParseMode(args.Text("mode"));
  const std::string text = MessageText(args);

  std::vector<std::string> warnings;
  const StationConfig config = StationConfig::Load(kStationConfigFileName, &warnings);
  for (const std::string& warning : warnings) std::fprintf(stderr, "quillon-cli: %s\n", warning.c_str());
  const PttSettings keying = KeyingFrom(args, config);

  AudioDevices devices;
  // The window keeps its output device under this key too.
  const std::string output = args.Text("output", config.GetOr("output_device", kDefaultDeviceName));
  const std::optional<int> output_number = FindDevice(devices, AudioDirection::Playback, output);
  if (!output_number) throw CliError("no output device '" + output + "' (quillon-cli devices lists them)");

  LinkState link;
  StationState station(link);
  station.diagnostic_output = nullptr;
  std::string error;
  if (!ConfigureKeyer(station.ptt, keying, error) || !station.ptt.Check(error))
    throw CliError("the transmitter cannot be keyed: " + error);

  station.mode_number = mode.number;
  station.OutDECSW = *output_number;
  station.InDECSW = devices.NullNumber(AudioDirection::Capture);  // nothing is received
  if (InitWaveOut(station, devices, station.OutDECSW) != 1) {
    CloseWaveOut(station);
    throw CliError("the output device '" + output + "' does not open");
  }
  InitWaveIn(station, devices, station.InDECSW);

  SendView view(text, args.Has("verbose"));
  DriverContext context{station, view, devices, ".", {}};
  std::string failure;
  {
    RunningStation running(station, context);
    WaitUntil([&] { return station.modem.load() != nullptr; });
    link.Ura = 1;
    WaitUntil([&] { return link.Ura.load() == 0; });  // the link controller has taken the request
    if (link.PRD_R.load() == 0) {
      failure = view.Last();  // refused: the status bar says why
    } else {
      // Sent once the transmit indicator is out (the last block has gone to
      // the device) and the keyer has released the radio.
      bool lost = false;
      WaitUntil([&] {
        lost = lost || station.buf_sound_out.state.load() == kWaveLost;
        return link.PRD_R.load() == 0 && !station.ptt.Keyed();
      });
      if (lost) failure = "the output device '" + output + "' failed during the transmission";
      const PttNotice limit{ReleaseCause::kTimeLimit, std::string()};
      if (view.Shown(PttNoticeText(limit, keying.timing)))
        failure = "cut off after the time limit of " + std::to_string(keying.timing.time_limit.count()) + " s";
    }
  }
  if (const std::optional<PttNotice> notice = station.ptt.TakeNotice(); notice && !notice->failure.empty())
    failure = "the transmitter did not release: " + notice->failure;
  if (!failure.empty()) throw CliError(failure);
  return kExitOk;
}

}  // namespace quillon
