// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/ModeTable.h"

namespace quillon {

const std::array<OliviaMode, 19> kOliviaModes = {{
    {301, "OLIVIA_64_250", 93, 5, 1},   {302, "OLIVIA_4_125", 94, 1, 0},
    {303, "OLIVIA_4_250", 95, 1, 1},    {304, "OLIVIA_4_500", 96, 1, 2},
    {305, "OLIVIA_4_1000", 97, 1, 3},   {306, "OLIVIA_4_2000", 98, 1, 4},
    {307, "OLIVIA_8_125", 99, 2, 0},    {308, "OLIVIA_8_250", 100, 2, 1},
    {309, "OLIVIA_8_500", 101, 2, 2},   {310, "OLIVIA_8_1000", 102, 2, 3},
    {311, "OLIVIA_8_2000", 103, 2, 4},  {312, "OLIVIA_16_500", 104, 3, 2},
    {313, "OLIVIA_16_1000", 105, 3, 3}, {314, "OLIVIA_16_2000", 106, 3, 4},
    {315, "OLIVIA_32_1000", 107, 4, 3}, {316, "OLIVIA_32_2000", 108, 4, 4},
    {317, "OLIVIA_64_500", 109, 5, 2},  {318, "OLIVIA_64_1000", 110, 5, 3},
    {319, "OLIVIA_64_2000", 111, 5, 4},
}};

const OliviaMode* FindModeByNumber(int number) {
  for (const OliviaMode& mode : kOliviaModes)
    if (mode.number == number) return &mode;
  return nullptr;
}

const OliviaMode& ModeByNumber(int number) {
  const OliviaMode* mode = FindModeByNumber(number);
  return mode != nullptr ? *mode : kOliviaModes[0];
}

const OliviaMode* FindModeByLabel(const std::string& label) {
  for (const OliviaMode& mode : kOliviaModes)
    if (label == mode.label) return &mode;
  return nullptr;
}

const OliviaMode* FindModeByTonesAndBandwidth(int tones, int bandwidth) {
  for (const OliviaMode& mode : kOliviaModes)
    if (mode.Tones() == tones && mode.Bandwidth() == bandwidth) return &mode;
  return nullptr;
}

}  // namespace quillon
