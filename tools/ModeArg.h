// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A MODE on the command line: the menu label ("OLIVIA_8_500", any letter
// case), tones/bandwidth ("8/500") or the mode number ("101"); "all" stands
// for the 19 modes where a command allows it.

#include <string>
#include <vector>

#include "engine/ModeTable.h"

namespace quillon {

// Throws CliError naming the word when it is none of the 19 modes.
const OliviaMode& ParseMode(const std::string& word);
// As ParseMode, or all 19 modes in menu order for "all".
std::vector<const OliviaMode*> ParseModes(const std::string& word);

// The receiver's SymbolLen at 8000 samples/s, 2^(bits per symbol -
// log2(B/125) + 7): its FFT length, twice the symbol period.
int ModeSymbolLen(const OliviaMode& mode);
// One FFT bin of the receiver, half the tone spacing, in Hz.
double ModeBinHz(const OliviaMode& mode);
// Samples of one block of the block code: 64 symbol periods.
int ModeBlockSamples(const OliviaMode& mode);

}  // namespace quillon
