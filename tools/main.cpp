// SPDX-License-Identifier: GPL-3.0-or-later
// quillon-cli: the program's Olivia link without its window and sound card.

#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "QuillonVersion.h"
#include "tools/CliError.h"
#include "tools/Commands.h"
#include "tools/Console.h"
#include "tools/ModelBench.h"

namespace {

const char kHelp[] =
    "usage: quillon-cli COMMAND [OPTIONS]   (quillon-cli COMMAND --help for each)\n"
    "\n"
    "  encode             a text to the audio one transmission plays\n"
    "  decode             the frames in a recording (one mode, or all 19)\n"
    "  channel            an HF channel: noise, Watterson fading, offset, drift\n"
    "  bench sensitivity  share of good frames against SNR, per mode and channel\n"
    "  bench speed        receive and transmit real-time factors per mode\n"
    "  bench report       how well the frames' signal reports tell SNR and offset\n"
    "  bench model        a perfect-sync model of the code: the yardstick for the receivers\n"
    "  demo               one message from one station to another over the channel\n"
    "  devices            the sound devices by the names the options take\n"
    "  send               one message through the sound card, keying the transmitter\n"
    "  listen             a sound card in one mode or all 19, frames as they come\n"
    "\n"
    "  --version          the version and the checkout it was built from\n";

int Dispatch(const std::string& command, const quillon::Words& rest) {
  using namespace quillon;
  if (command == "encode") return RunEncode(rest);
  if (command == "decode") return RunDecode(rest);
  if (command == "channel") return RunChannel(rest);
  if (command == "demo") return RunDemo(rest);
  if (command == "devices") return RunDevices(rest);
  if (command == "send") return RunSend(rest);
  if (command == "listen") return RunListen(rest);
  if (command == "bench") {
    const std::string which = rest.empty() ? "" : rest[0];
    const Words bench_rest(rest.empty() ? rest.end() : rest.begin() + 1, rest.end());
    if (which == "sensitivity") return RunSensitivity(bench_rest);
    if (which == "speed") return RunSpeed(bench_rest);
    if (which == "report") return RunReportBench(bench_rest);
    if (which == "model") return RunModelBench(bench_rest);
    if (which == "--help" || which == "-h") {
      std::fputs("usage: quillon-cli bench sensitivity|speed|report|model [OPTIONS]\n", stdout);
      return kExitOk;
    }
    throw CliError("bench wants 'sensitivity', 'speed', 'report' or 'model' (see --help)");
  }
  if (command == "--version") {
    std::printf("quillon-cli %s\n", kProgramVersionFull);
    return kExitOk;
  }
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kHelp, stdout);
    return kExitOk;
  }
  throw CliError("unknown command '" + command + "' (see quillon-cli --help)");
}

}  // namespace

int main(int argc, char** argv) {
  quillon::UseUtf8Console();
  quillon::SetBinaryMode(stdin);  // raw audio and cp1251 text files both come in unchanged
  const quillon::Words words = quillon::CommandLineWords(argc, argv);
  if (words.empty()) {
    std::fputs(kHelp, stderr);
    return quillon::kExitFailure;
  }
  const quillon::Words rest(words.begin() + 1, words.end());
  try {
    const int status = Dispatch(words[0], rest);
    std::fflush(stdout);
    return status;
  } catch (const quillon::CliError& error) {
    std::fprintf(stderr, "quillon-cli: %s\n", error.what());
  } catch (const std::exception& error) {
    std::fprintf(stderr, "quillon-cli: %s\n", error.what());
  }
  return quillon::kExitFailure;
}
