// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the Windows program says about itself: the "Автор" box with the
// version, and `quillon.exe --version`.

#include <string>

namespace quillon {

// The author credit followed by a line with the version and the checkout the
// program was built from.
std::string AuthorBoxText();

// The "Автор" box: no owner, an OK button; returns when it is closed.
void ShowAuthorBox();

// True when one of the whitespace-separated words of the command line (the
// part after the program name, as WinMain receives it) is "--version".
bool AsksForVersion(const char* command_line);

// "quillon 0.9.0 (3b6fa3b)": written to the standard output when the program
// was started with one (redirected to a file or a pipe), else to the console
// of the program that started it, else shown in a message box, since a
// program of the Windows subsystem gets no console of its own.
void ReportVersion();

}  // namespace quillon
