// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/TextInput.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "link/Cp1251.h"
#include "link/Frame.h"
#include "tools/CliError.h"
#include "tools/Console.h"

namespace quillon {
namespace {

// Unicode code point of every cp1251 byte that has a character, from the
// link's own conversion table.
const std::map<unsigned, unsigned char>& CodePointToCp1251() {
  static const std::map<unsigned, unsigned char> table = [] {
    std::map<unsigned, unsigned char> built;
    for (int byte = 1; byte < 256; ++byte) {
      const std::string utf8 = Cp1251ToUtf8(std::string(1, static_cast<char>(byte)));
      if (utf8 == "\xEF\xBF\xBD") continue;  // U+FFFD: no character there
      const auto lead = static_cast<unsigned char>(utf8[0]);
      const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
      unsigned code = extra == 0 ? lead : lead & (0x3Fu >> extra);
      for (std::size_t at = 1; at < utf8.size(); ++at) code = (code << 6) | (static_cast<unsigned char>(utf8[at]) & 0x3Fu);
      built[code] = static_cast<unsigned char>(byte);
    }
    return built;
  }();
  return table;
}

std::string Hex(unsigned value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

}  // namespace

std::string Utf8ToCp1251Strict(const std::string& utf8) {
  const auto& table = CodePointToCp1251();
  std::string cp1251;
  std::size_t at = 0;
  while (at < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[at]);
    const int extra = lead < 0x80 ? 0 : (lead & 0xE0) == 0xC0 ? 1 : (lead & 0xF0) == 0xE0 ? 2 : (lead & 0xF8) == 0xF0 ? 3 : -1;
    bool valid = extra >= 0 && at + static_cast<std::size_t>(extra) < utf8.size();
    unsigned code = extra <= 0 ? lead : lead & (0x3Fu >> extra);
    for (int k = 1; valid && k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(utf8[at + static_cast<std::size_t>(k)]);
      valid = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3Fu);
    }
    if (!valid) throw CliError("the text is not UTF-8 (byte " + std::to_string(at + 1) + " is 0x" + Hex(lead, 2) + ")");
    const std::string character = utf8.substr(at, static_cast<std::size_t>(extra) + 1);
    at += static_cast<std::size_t>(extra) + 1;
    if (code == 0) {
      cp1251.push_back('\0');
      continue;
    }
    const auto found = table.find(code);
    if (found == table.end())
      throw CliError("the character '" + character + "' (U+" + Hex(code, 4) + ") has no cp1251 code");
    cp1251.push_back(static_cast<char>(found->second));
  }
  return cp1251;
}

std::string ReadTextFile(const std::string& path) {
  std::FILE* file = path == "-" ? stdin : OpenFile(path, "rb");
  if (file == nullptr) throw CliError("cannot open '" + path + "': " + std::strerror(errno));
  std::string text;
  char chunk[4096];
  std::size_t got = 0;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  const bool failed = std::ferror(file) != 0;
  if (file != stdin) std::fclose(file);
  if (failed) throw CliError("cannot read '" + path + "'");
  return text;
}

void CheckUpperPaneText(const std::string& cp1251) {
  if (cp1251.empty()) throw CliError("the text is empty: there is nothing to send");
  if (cp1251.find('\0') != std::string::npos) throw CliError("the text holds a zero byte, which the pane cannot hold");
  // The link refuses a frame whose coded text does not fit its transmit
  // ring (kMaxCodedBytes), and the pane hands it at most kMaxTextBytes; the
  // first is the limit a text meets unless the coder drops characters.
  const std::size_t coded = CodeText(cp1251).size();
  if (coded > static_cast<std::size_t>(kMaxCodedBytes) || cp1251.size() > static_cast<std::size_t>(kMaxTextBytes))
    throw CliError("the text has " + std::to_string(cp1251.size()) + " bytes and codes to " + std::to_string(coded) +
                   " link bytes; one message carries at most " + std::to_string(kMaxCodedBytes) +
                   " link bytes, from at most " + std::to_string(kMaxTextBytes) +
                   " bytes of text (a character takes one link byte, each change between Latin and Cyrillic letters "
                   "one more)");
}

}  // namespace quillon
