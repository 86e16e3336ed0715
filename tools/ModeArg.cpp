// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ModeArg.h"

#include <cctype>
#include <cstdlib>

#include "modem/audio/AudioDevice.h"
#include "tools/CliError.h"

namespace quillon {
namespace {

constexpr int kSymbolsPerBlock = 64;

std::string Upper(std::string word) {
  for (char& c : word) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return word;
}

// A whole non-negative decimal number, or -1.
long WholeNumber(const std::string& word) {
  if (word.empty() || word.size() > 9) return -1;
  for (char c : word)
    if (!std::isdigit(static_cast<unsigned char>(c))) return -1;
  return std::strtol(word.c_str(), nullptr, 10);
}

}  // namespace

const OliviaMode& ParseMode(const std::string& word) {
  const OliviaMode* mode = FindModeByLabel(Upper(word));
  const std::size_t slash = word.find('/');
  if (mode == nullptr && slash != std::string::npos) {
    const long tones = WholeNumber(word.substr(0, slash));
    const long bandwidth = WholeNumber(word.substr(slash + 1));
    if (tones > 0 && bandwidth > 0) mode = FindModeByTonesAndBandwidth(static_cast<int>(tones), static_cast<int>(bandwidth));
  }
  if (mode == nullptr) {
    const long number = WholeNumber(word);
    if (number >= 0) mode = FindModeByNumber(static_cast<int>(number));
  }
  if (mode == nullptr)
    throw CliError("unknown mode '" + word + "': give a label such as OLIVIA_8_500, tones/bandwidth such as 8/500, "
                   "or a mode number 93..111");
  return *mode;
}

std::vector<const OliviaMode*> ParseModes(const std::string& word) {
  std::vector<const OliviaMode*> modes;
  if (Upper(word) == "ALL") {
    for (const OliviaMode& mode : kOliviaModes) modes.push_back(&mode);
  } else {
    modes.push_back(&ParseMode(word));
  }
  return modes;
}

int ModeSymbolLen(const OliviaMode& mode) {
  const int bits_per_symbol = mode.tones_code + 1;
  return 1 << (bits_per_symbol - mode.width_code + 7);
}

double ModeBinHz(const OliviaMode& mode) { return static_cast<double>(kSampleRateHz) / ModeSymbolLen(mode); }

int ModeBlockSamples(const OliviaMode& mode) { return kSymbolsPerBlock * ModeSymbolLen(mode) / 2; }

}  // namespace quillon
