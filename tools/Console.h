// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The tool's meeting points with the operating system: its standard streams,
// its command line and the names of its files. Console.cpp is the one file of
// the tool with code for each platform.

#include <cstdio>
#include <string>
#include <vector>

namespace quillon {

bool StandardErrorIsTerminal();

// Bytes pass through `stream` unchanged. Windows opens the standard streams
// in text mode, which turns every byte 10 written into 13 10, drops 13 before
// 10 on reading and ends reading at byte 26.
void SetBinaryMode(std::FILE* stream);

// Text printed to a console is UTF-8 and shown as such: on Windows the
// console's output code page is UTF-8 (65001) until the tool ends. Text
// written to files and pipes is UTF-8 on every platform.
void UseUtf8Console();

// The words after the program's name, in UTF-8. Windows hands `main` its
// arguments in the ANSI code page, so there they are taken from the UTF-16
// command line.
std::vector<std::string> CommandLineWords(int argc, char** argv);

// A text file the program writes for the platform's own editor (the archive
// log.txt: cp1251 with CR LF on Windows, UTF-8 with LF on Linux) as the UTF-8
// with LF line ends the tool prints.
std::string PlatformTextToUtf8(const std::string& text);

// std::fopen for a file named in UTF-8 (on Windows through its UTF-16 name).
std::FILE* OpenFile(const std::string& path, const char* mode);

}  // namespace quillon
