// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The desktop program's own command-line words. Qt takes its options
// (-platform, -style, ...) out of the list first; what is left is read here.

#include <string>
#include <vector>

namespace quillon {

struct ProgramOptions {
  bool version = false;      // print the version and end
  bool help = false;         // print the usage and end
  bool user_folder = false;  // keep the files in the per-user folder (the menu entry asks for it)
  std::string error;         // an unknown word, for the operator
};

// The words after the program's name.
ProgramOptions ReadProgramOptions(const std::vector<std::string>& words);

// "quillon 0.9.0 (3b6fa3b)"
std::string ProgramVersionLine();
extern const char kProgramHelp[];

}  // namespace quillon
