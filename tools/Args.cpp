// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/Args.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "tools/CliError.h"

namespace quillon {
namespace {

const OptionSpec* FindOption(const std::vector<OptionSpec>& options, const std::string& word) {
  for (const OptionSpec& option : options) {
    if (word == std::string("--") + option.name) return &option;
    if (option.alias != 0 && word.size() == 2 && word[0] == '-' && word[1] == option.alias) return &option;
  }
  return nullptr;
}

}  // namespace

Args::Args(const std::vector<std::string>& words, const std::vector<OptionSpec>& options) {
  for (std::size_t index = 0; index < words.size(); ++index) {
    const std::string& word = words[index];
    if (word == "--help" || word == "-h") {
      help_ = true;
      continue;
    }
    if (word.size() < 2 || word[0] != '-') {
      positionals_.push_back(word);
      continue;
    }
    const OptionSpec* option = FindOption(options, word);
    if (option == nullptr) throw CliError("unknown option '" + word + "' (see --help)");
    if (!option->takes_value) {
      values_[option->name] = "1";
      continue;
    }
    if (index + 1 >= words.size()) throw CliError("option '" + word + "' needs a value");
    values_[option->name] = words[++index];
  }
}

std::string Args::Text(const std::string& name, const std::string& fallback) const {
  const auto found = values_.find(name);
  return found == values_.end() ? fallback : found->second;
}

double Args::Number(const std::string& name, double fallback, const NumberRange& range) const {
  const auto found = values_.find(name);
  if (found == values_.end()) return fallback;
  const char* begin = found->second.c_str();
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(begin, &end);
  // strtod also reads "nan" and "inf", which no option means.
  if (end == begin || *end != '\0' || errno == ERANGE || !std::isfinite(value))
    throw CliError("--" + name + " wants a number, not '" + found->second + "'");
  if (value < range.low || value > range.high) {
    char limits[96];
    std::snprintf(limits, sizeof limits, "%g..%g%s%s", range.low, range.high, *range.unit ? " " : "", range.unit);
    throw CliError("--" + name + " must be within " + limits + ", not '" + found->second + "'");
  }
  return value;
}

long long Args::Integer(const std::string& name, long long fallback, const WholeRange& range) const {
  const auto found = values_.find(name);
  if (found == values_.end()) return fallback;
  const char* begin = found->second.c_str();
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(begin, &end, 10);
  if (end == begin || *end != '\0')
    throw CliError("--" + name + " wants a whole number, not '" + found->second + "'");
  if (errno == ERANGE || value < range.low || value > range.high)
    throw CliError("--" + name + " must be within " + std::to_string(range.low) + ".." + std::to_string(range.high) +
                   ", not '" + found->second + "'");
  return value;
}

}  // namespace quillon
