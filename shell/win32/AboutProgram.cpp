// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/win32/AboutProgram.h"

#include <windows.h>

#include <cstring>

#include "QuillonVersion.h"
#include "shell/Texts.h"

namespace quillon {
namespace {

constexpr char kVersionLabel[] = "Версия ";
// The same words the Linux programs print for --version.
constexpr char kVersionLinePrefix[] = "quillon ";
constexpr char kVersionBoxTitle[] = "Quillon";

bool WriteAll(HANDLE file, const std::string& text) {
  DWORD written = 0;
  return WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != 0 &&
         written == text.size();
}

// The handle a starter that redirected the output passed on; a program of
// the Windows subsystem started plainly has none (null, or a handle of no
// known type).
bool WriteToStandardOutput(const std::string& text) {
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (output == nullptr || output == INVALID_HANDLE_VALUE) return false;
  if (GetFileType(output) == FILE_TYPE_UNKNOWN) return false;
  return WriteAll(output, text);
}

bool WriteToParentConsole(const std::string& text) {
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
  HANDLE console = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               0, nullptr);
  bool written = false;
  if (console != INVALID_HANDLE_VALUE) {
    written = WriteAll(console, text);
    CloseHandle(console);
  }
  FreeConsole();
  return written;
}

}  // namespace

std::string AuthorBoxText() { return std::string(kAuthorText) + kVersionLabel + kProgramVersionFull + "\n"; }

void ShowAuthorBox() { MessageBoxA(nullptr, AuthorBoxText().c_str(), kAuthorTitle, MB_OK); }

bool AsksForVersion(const char* command_line) {
  constexpr char kSeparators[] = " \t";
  constexpr char kVersionOption[] = "--version";
  const char* word = command_line;
  while (*word != '\0') {
    word += std::strspn(word, kSeparators);
    const std::size_t length = std::strcspn(word, kSeparators);
    if (length == std::strlen(kVersionOption) && std::strncmp(word, kVersionOption, length) == 0) return true;
    word += length;
  }
  return false;
}

void ReportVersion() {
  const std::string line = std::string(kVersionLinePrefix) + kProgramVersionFull;
  if (WriteToStandardOutput(line + "\r\n") || WriteToParentConsole(line + "\r\n")) return;
  MessageBoxA(nullptr, line.c_str(), kVersionBoxTitle, MB_OK | MB_ICONINFORMATION);
}

}  // namespace quillon
