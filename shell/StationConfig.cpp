// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/StationConfig.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace quillon {
namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";  // some Windows editors put it first; it is dropped

std::string Trim(const std::string& text) {
  const char* blanks = " \t\r";
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// Well-formed UTF-8: no stray continuation bytes, no overlong forms, nothing
// beyond U+10FFFF, no surrogates.
bool IsUtf8(const std::string& text) {
  std::size_t at = 0;
  while (at < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    std::size_t more = 0;
    unsigned long code = 0;
    if (lead < 0x80) {
      ++at;
      continue;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
      more = 1, code = lead & 0x1Fu;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      more = 2, code = lead & 0x0Fu;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      more = 3, code = lead & 0x07u;
    } else {
      return false;
    }
    if (text.size() - at <= more) return false;
    for (std::size_t index = 1; index <= more; ++index) {
      const unsigned char next = static_cast<unsigned char>(text[at + index]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3Fu);
    }
    const unsigned long lowest[] = {0, 0x80, 0x800, 0x10000};
    if (code < lowest[more] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    at += more + 1;
  }
  return true;
}

void Warn(std::vector<std::string>* warnings, const std::string& message) {
  if (warnings != nullptr) warnings->push_back(message);
}

}  // namespace

bool StationConfig::IsValidKey(const std::string& key) {
  if (key.empty()) return false;
  for (const char c : key) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                         c == '-' || c == '.';
    if (!allowed) return false;
  }
  return true;
}

StationConfig StationConfig::FromText(const std::string& text, std::vector<std::string>* warnings) {
  StationConfig config;
  const std::size_t skip = text.rfind(kByteOrderMark, 0) == 0 ? 3 : 0;
  std::size_t start = skip;
  int number = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    Line line;
    line.text = text.substr(start, end - start);
    if (!line.text.empty() && line.text.back() == '\r') line.text.pop_back();
    start = end + 1;
    ++number;
    const std::string trimmed = Trim(line.text);
    if (!trimmed.empty() && trimmed[0] != '#') {
      const std::size_t equals = trimmed.find('=');
      const std::string key = equals == std::string::npos ? std::string() : Trim(trimmed.substr(0, equals));
      const std::string where = "quillon.conf line " + std::to_string(number) + ": ";
      if (equals == std::string::npos) {
        Warn(warnings, where + "no '=' (want key = value), ignored");
      } else if (!IsValidKey(key)) {
        Warn(warnings, where + "the key '" + key + "' is not letters, digits, '_', '-' or '.', ignored");
      } else if (!IsUtf8(trimmed)) {
        Warn(warnings, where + "not UTF-8 text, ignored");
      } else {
        line.key = key;
        line.value = Trim(trimmed.substr(equals + 1));
      }
    }
    config.lines_.push_back(std::move(line));
  }
  return config;
}

StationConfig StationConfig::Load(const std::string& path, std::vector<std::string>* warnings) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    if (errno != ENOENT) Warn(warnings, path + ": cannot be read (" + std::strerror(errno) + "), defaults used");
    return StationConfig();
  }
  std::string text;
  char buffer[4096];
  std::size_t count;
  while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, count);
  const bool failed = std::ferror(file) != 0;
  std::fclose(file);
  if (failed) Warn(warnings, path + ": read error, what was read is used");
  return FromText(text, warnings);
}

std::size_t StationConfig::LastLineOf(const std::string& key) const {
  for (std::size_t index = lines_.size(); index > 0; --index) {
    if (lines_[index - 1].key == key) return index - 1;
  }
  return lines_.size();
}

std::optional<std::string> StationConfig::Get(const std::string& key) const {
  const std::size_t index = LastLineOf(key);
  if (index == lines_.size()) return std::nullopt;
  return lines_[index].value;
}

std::string StationConfig::GetOr(const std::string& key, const std::string& fallback) const {
  return Get(key).value_or(fallback);
}

long long StationConfig::GetInt(const std::string& key, long long fallback, long long low, long long high,
                                std::vector<std::string>* warnings) const {
  const std::optional<std::string> value = Get(key);
  if (!value) return fallback;
  char* end = nullptr;
  errno = 0;
  const long long number = std::strtoll(value->c_str(), &end, 10);
  if (value->empty() || *end != '\0' || errno == ERANGE || number < low || number > high) {
    Warn(warnings, "quillon.conf: " + key + " = " + *value + " is not a whole number from " + std::to_string(low) +
                       " to " + std::to_string(high) + ", " + std::to_string(fallback) + " used");
    return fallback;
  }
  return number;
}

bool StationConfig::Set(const std::string& key, const std::string& value) {
  if (!IsValidKey(key) || value.find_first_of("\r\n") != std::string::npos || !IsUtf8(value)) return false;
  const std::string trimmed = Trim(value);
  const std::size_t index = LastLineOf(key);
  if (index == lines_.size()) lines_.push_back(Line{});
  lines_[index] = Line{key + " = " + trimmed, key, trimmed};
  return true;
}

void StationConfig::Remove(const std::string& key) {
  std::vector<Line> kept;
  for (Line& line : lines_) {
    if (line.key != key) kept.push_back(std::move(line));
  }
  lines_ = std::move(kept);
}

std::string StationConfig::ToText() const {
  std::string text;
  for (const Line& line : lines_) text += line.text + "\n";
  return text;
}

bool StationConfig::Save(const std::string& path, std::string* error) const {
  const std::string temporary = path + ".new";
  const auto fail = [&](const std::string& what) {
    if (error != nullptr) *error = what + " (" + std::strerror(errno) + ")";
    std::remove(temporary.c_str());
    return false;
  };
  std::FILE* file = std::fopen(temporary.c_str(), "wb");
  if (file == nullptr) return fail(temporary + ": cannot be created");
  const std::string text = ToText();
  bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size() && std::fflush(file) == 0;
#ifndef _WIN32
  written = written && fsync(fileno(file)) == 0;  // on disk before the rename makes it the file
#endif
  if (std::fclose(file) != 0 || !written) return fail(temporary + ": cannot be written");
#ifdef _WIN32
  // rename() on Windows refuses an existing target.
  if (!MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    errno = EACCES;
    return fail(path + ": cannot be replaced");
  }
#else
  if (std::rename(temporary.c_str(), path.c_str()) != 0) return fail(path + ": cannot be replaced");
#endif
  return true;
}

}  // namespace quillon
