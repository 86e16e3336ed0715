// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The message text of encode and demo: UTF-8 from the command line or a
// file, converted to the link's cp1251, or a file of raw cp1251 bytes.

#include <string>

namespace quillon {

// Throws CliError naming the first character cp1251 lacks, or the first
// byte that is not UTF-8.
std::string Utf8ToCp1251Strict(const std::string& utf8);

// Reads a whole file ("-": standard input); throws CliError when it cannot.
std::string ReadTextFile(const std::string& path);

// The text as the upper pane would hand it to the link: throws CliError
// when it is empty, holds a zero byte, or is longer than one message
// carries (the link would refuse it).
void CheckUpperPaneText(const std::string& cp1251);

}  // namespace quillon
