// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/Console.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#define QUILLON_ISATTY _isatty
#else
#include <unistd.h>
#define QUILLON_ISATTY isatty
#endif

#include "link/Cp1251.h"

namespace quillon {
namespace {

#ifdef _WIN32
std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return std::wstring();
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], size);
  return wide;
}

std::string Utf8(const wchar_t* wide) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return std::string();
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, &utf8[0], size, nullptr, nullptr);
  utf8.pop_back();  // the terminating zero
  return utf8;
}

// Puts the console's code page back when the tool ends, for the shell that
// shares the console.
struct ConsoleCodePage {
  UINT saved = 0;
  ~ConsoleCodePage() {
    if (saved != 0) SetConsoleOutputCP(saved);
  }
};
ConsoleCodePage console_code_page;
#endif

}  // namespace

bool StandardErrorIsTerminal() { return QUILLON_ISATTY(2) != 0; }

#ifdef _WIN32
void SetBinaryMode(std::FILE* stream) { _setmode(_fileno(stream), _O_BINARY); }

void UseUtf8Console() {
  const UINT current = GetConsoleOutputCP();
  if (current == 0 || current == CP_UTF8) return;  // no console, or already UTF-8
  if (SetConsoleOutputCP(CP_UTF8)) console_code_page.saved = current;
}

std::vector<std::string> CommandLineWords(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
  std::vector<std::string> words;
  for (int index = 1; index < count; ++index) words.push_back(Utf8(wide[index]));
  LocalFree(wide);
  return words;
}

std::string PlatformTextToUtf8(const std::string& text) {
  std::string lf;
  for (std::size_t index = 0; index < text.size(); ++index)
    if (text[index] != '\r' || index + 1 == text.size() || text[index + 1] != '\n') lf.push_back(text[index]);
  return Cp1251ToUtf8(lf);
}

std::FILE* OpenFile(const std::string& path, const char* mode) {
  return _wfopen(Wide(path).c_str(), Wide(mode).c_str());
}
#else
void SetBinaryMode(std::FILE*) {}

void UseUtf8Console() {}

std::vector<std::string> CommandLineWords(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::string PlatformTextToUtf8(const std::string& text) { return text; }

std::FILE* OpenFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }
#endif

}  // namespace quillon
