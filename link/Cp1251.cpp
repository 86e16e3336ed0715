// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/Cp1251.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

namespace quillon {
namespace {

#ifdef _WIN32
// Windows has no iconv: convert through UTF-16 with the system code pages.
// MB_ERR_INVALID_CHARS is left off, so invalid input becomes U+FFFD or '?'.
std::wstring ToWide(unsigned code_page, const std::string& input) {
  if (input.empty()) return std::wstring();
  const int size = MultiByteToWideChar(code_page, 0, input.data(), static_cast<int>(input.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(code_page, 0, input.data(), static_cast<int>(input.size()), &wide[0], size);
  return wide;
}

std::string FromWide(unsigned code_page, const std::wstring& wide) {
  if (wide.empty()) return std::string();
  const int size =
      WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string output(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(code_page, 0, wide.data(), static_cast<int>(wide.size()), &output[0], size, nullptr, nullptr);
  return output;
}
#else

// Converts with one iconv descriptor per call, so that any thread may call.
// An input sequence iconv cannot convert is replaced by `replacement` and
// skipped: one byte for cp1251, one whole UTF-8 sequence when `from_utf8`.
std::string Convert(const char* to, const char* from, const std::string& input, const std::string& replacement,
                    bool from_utf8) {
  iconv_t descriptor = iconv_open(to, from);
  if (descriptor == reinterpret_cast<iconv_t>(-1)) return input;
  std::string output;
  std::string in = input;
  char* in_at = in.empty() ? nullptr : &in[0];
  std::size_t in_left = in.size();
  char chunk[256];
  while (in_left > 0) {
    char* out_at = chunk;
    std::size_t out_left = sizeof chunk;
    const std::size_t result = iconv(descriptor, &in_at, &in_left, &out_at, &out_left);
    output.append(chunk, static_cast<std::size_t>(out_at - chunk));
    if (result != static_cast<std::size_t>(-1) || errno == E2BIG) continue;
    // EILSEQ or EINVAL (a UTF-8 sequence cut short): skip one character.
    std::size_t skip = 1;
    if (from_utf8) {
      while (skip < in_left && (static_cast<unsigned char>(in_at[skip]) & 0xC0) == 0x80) ++skip;
    }
    in_at += skip;
    in_left -= skip;
    output += replacement;
  }
  iconv_close(descriptor);
  return output;
}
#endif

}  // namespace

#ifdef _WIN32
std::string Cp1251ToUtf8(const std::string& cp1251) { return FromWide(CP_UTF8, ToWide(1251, cp1251)); }

std::string Utf8ToCp1251(const std::string& utf8) { return FromWide(1251, ToWide(CP_UTF8, utf8)); }
#else
std::string Cp1251ToUtf8(const std::string& cp1251) {
  return Convert("UTF-8", "CP1251", cp1251, "\xEF\xBF\xBD", false);
}

std::string Utf8ToCp1251(const std::string& utf8) { return Convert("CP1251", "UTF-8", utf8, "?", true); }
#endif

std::string FirstCharacterCp1251Lacks(const std::string& utf8) {
  std::size_t at = 0;
  while (at < utf8.size()) {
    // One character: its lead byte and the continuation bytes after it.
    std::size_t end = at + 1;
    while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) ++end;
    const std::string character = utf8.substr(at, end - at);
    if (character != "?" && Utf8ToCp1251(character) == "?") return character;
    at = end;
  }
  return {};
}

}  // namespace quillon
