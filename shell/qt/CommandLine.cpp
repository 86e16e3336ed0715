// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/qt/CommandLine.h"

#include "QuillonVersion.h"

namespace quillon {

const char kProgramHelp[] =
    "usage: quillon [--user-folder] [Qt options]\n"
    "       quillon --version | --help\n"
    "\n"
    "Sends and receives short texts over the radio as an Olivia MFSK signal.\n"
    "init.ini (the settings), log.txt (the archive) and quillon.conf live in the\n"
    "folder the program starts in.\n"
    "\n"
    "  --user-folder  keep them in $XDG_DATA_HOME/quillon (~/.local/share/quillon)\n"
    "                 instead, unless the start folder already holds init.ini;\n"
    "                 the desktop menu entry starts the program this way\n"
    "  --version      print the version and end\n"
    "  --help         print this text and end\n";

ProgramOptions ReadProgramOptions(const std::vector<std::string>& words) {
  ProgramOptions options;
  for (const std::string& word : words) {
    if (word == "--version") {
      options.version = true;
    } else if (word == "--help" || word == "-h") {
      options.help = true;
    } else if (word == "--user-folder") {
      options.user_folder = true;
    } else if (options.error.empty()) {
      options.error = "unknown option '" + word + "' (see quillon --help)";
    }
  }
  return options;
}

std::string ProgramVersionLine() { return std::string("quillon ") + kProgramVersionFull; }

}  // namespace quillon
