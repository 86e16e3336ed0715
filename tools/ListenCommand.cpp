// SPDX-License-Identifier: GPL-3.0-or-later
// quillon-cli listen: the station's receiving side on the command line,
// from a sound card until interrupted.

#include <atomic>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "modem/audio/AudioDevices.h"
#include "modem/audio/DeviceByName.h"
#include "shell/StationConfig.h"
#include "tools/Args.h"
#include "tools/CliError.h"
#include "tools/Commands.h"
#include "tools/Listener.h"
#include "tools/ModeArg.h"
#include "tools/Station.h"

namespace quillon {
namespace {

const char kListenHelp[] =
    "usage: quillon-cli listen -m MODE|all [--input DEVICE] [--deep] [--json]\n"
    "                          [--udp HOST:PORT] [-v]\n"
    "\n"
    "Listens to a sound card in one mode or in all 19 at once and prints each\n"
    "frame as soon as it is decided, as `decode` does, after the UTC time it was\n"
    "received, until interrupted (Ctrl-C, SIGINT or SIGTERM end it cleanly).\n"
    "\n"
    "  -m, --mode MODE     OLIVIA_8_500, 8/500, 101, or all\n"
    "  --input DEVICE      a name `quillon-cli devices --input` lists (default:\n"
    "                      quillon.conf's input_device, else \"default\")\n"
    "  --deep              the deep receiver: finer frequency, likelihood decisions,\n"
    "                      impulse-only limiter, held timing (default: as\n"
    "                      quillon.conf's deep_receive, which the window's\n"
    "                      \"Глубокий приём\" sets)\n"
    "  --json              decode --json's object per frame, with \"time\" (UTC)\n"
    "  --udp HOST:PORT     also send each frame's JSON object as one UDP datagram\n"
    "                      to HOST:PORT (default: quillon.conf's udp_events, else\n"
    "                      none)\n"
    "  -v, --verbose       the adapter's diagnostic line of mode 93 on standard error\n"
    "\n"
    "Exit status 0 when interrupted; 2 with the reason when the device cannot be\n"
    "opened or fails, or the UDP address is wrong.\n";

std::atomic<bool> g_stop{false};  // set by SIGINT/SIGTERM; lock-free, so safe in a handler

extern "C" void StopListening(int) { g_stop.store(true); }

}  // namespace

int RunListen(const Words& words) {
  const Args args(words, {{"mode", 'm', true}, {"input", 0, true}, {"deep", 0, false}, {"json", 0, false},
                          {"udp", 0, true}, {"verbose", 'v', false}});
  if (args.Help()) return std::fputs(kListenHelp, stdout), kExitOk;
  ShowAdapterDiagnostics(args.Has("verbose"));
  if (!args.Has("mode")) throw CliError("listen needs -m MODE or -m all");
  const std::vector<const OliviaMode*> modes = ParseModes(args.Text("mode"));

  std::vector<std::string> warnings;
  const StationConfig config = StationConfig::Load(kStationConfigFileName, &warnings);
  for (const std::string& warning : warnings) std::fprintf(stderr, "quillon-cli: %s\n", warning.c_str());

  std::unique_ptr<UdpSender> udp;
  const std::string udp_address = args.Text("udp", config.GetOr("udp_events", ""));
  if (!udp_address.empty()) {
    std::string error;
    udp = UdpSender::Open(udp_address, error);
    if (!udp) throw CliError("--udp: " + error);
  }

  AudioDevices devices;
  // The window keeps its input device under this key too.
  const std::string input = args.Text("input", config.GetOr("input_device", kDefaultDeviceName));
  const std::optional<int> number = FindDevice(devices, AudioDirection::Capture, input);
  if (!number) throw CliError("no input device '" + input + "' (quillon-cli devices --input lists them)");
  std::unique_ptr<AudioStream> stream = devices.Open(AudioDirection::Capture, *number);
  if (!stream) throw CliError("the input device '" + input + "' will not open");

  // The window keeps its deep reception under this key.
  std::vector<std::string> deep_warnings;
  const bool deep = args.Has("deep") || config.GetInt(config_key::kDeepReceive, 0, 0, 1, &deep_warnings) == 1;
  for (const std::string& warning : deep_warnings) std::fprintf(stderr, "quillon-cli: %s\n", warning.c_str());

  FrameAnnouncer announcer(stdout, args.Has("json"), modes.size() > 1, udp.get());
  ModeDecoders decoders(modes, WorkerThreads(), ModeDecoders::Order::kAsDecided,
                        [&](const DecodedFrame& frame) { announcer.Announce(frame, UtcNow()); }, deep);
  std::signal(SIGINT, StopListening);
  std::signal(SIGTERM, StopListening);
  if (!ListenUntil(*stream, decoders, g_stop))
    throw CliError("the input device '" + input + "' failed; listening ended");
  return kExitOk;
}

}  // namespace quillon
