// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The 19 Olivia modes: menu id, menu label, the mode number stored in the
// settings (menu id - 208) and the tones and width codes of the adapter
// (tones = 2 << tones_code, bandwidth = 125 << width_code), with the two
// numbers every mode shares: the audio rate and the band centre.

#include <array>
#include <string>

namespace quillon {

constexpr int kSampleRateHz = 8000;             // both chains and the sound card, both directions
constexpr double kCentreFrequencyHz = 1500.0;  // every mode's band is centred here

struct OliviaMode {
  int menu_id;        // 301..319
  const char* label;  // "OLIVIA_<tones>_<bandwidth>"
  int number;         // 93..111
  int tones_code;     // 1..5
  int width_code;     // 0..4
  int Tones() const { return 2 << tones_code; }
  int Bandwidth() const { return 125 << width_code; }
  int BitsPerSymbol() const { return tones_code + 1; }  // also characters per block
  // One block of 64 symbols, each half an FFT of 2^(bits - width code + 7) samples.
  double BlockSeconds() const { return 64.0 * (1 << (BitsPerSymbol() - width_code + 6)) / kSampleRateHz; }
};

constexpr int kFirstModeMenuId = 301;
constexpr int kModeMenuIdToNumber = 208;
constexpr int kDefaultModeNumber = 101;  // OLIVIA_8_500

extern const std::array<OliviaMode, 19> kOliviaModes;

// The row of a mode number; any number outside 93..111 falls back to the
// codes of 64 tones in 250 Hz (the row of mode 93), as the adapter does.
const OliviaMode& ModeByNumber(int number);
// nullptr when the number is not one of the 19.
const OliviaMode* FindModeByNumber(int number);
const OliviaMode* FindModeByLabel(const std::string& label);
const OliviaMode* FindModeByTonesAndBandwidth(int tones, int bandwidth);

}  // namespace quillon
