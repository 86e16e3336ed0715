// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Command-line options of one subcommand: long names ("--snr"), optional
// one-letter aliases ("-m"), flags without a value, and positional arguments
// ("-" alone is a positional: standard input or output). A value is always
// the next word, so "--snr -5" works.

#include <map>
#include <string>
#include <vector>

namespace quillon {

struct OptionSpec {
  const char* name;        // long name without the dashes, e.g. "snr"
  char alias;              // one-letter alias, or 0
  bool takes_value;
};

// The values a numeric option accepts, both ends included, and the unit
// its message names ("s", "Hz", "dB" or "" for a plain count).
struct NumberRange {
  double low;
  double high;
  const char* unit;
};

struct WholeRange {
  long long low;
  long long high;
};

class Args {
 public:
  // Throws CliError for an unknown option or a missing value. "--help" and
  // "-h" are always accepted.
  Args(const std::vector<std::string>& words, const std::vector<OptionSpec>& options);

  bool Help() const { return help_; }
  bool Has(const std::string& name) const { return values_.count(name) != 0; }
  std::string Text(const std::string& name, const std::string& fallback = "") const;
  // The option's value, or `fallback` when it was not given. Every numeric
  // option has a range, so that no value reaches the program that it
  // cannot carry out (a lead of 1e9 s would ask for terabytes of silence).
  // Throws CliError when the value is not a finite number, or not a whole
  // one, or lies outside the range.
  double Number(const std::string& name, double fallback, const NumberRange& range) const;
  long long Integer(const std::string& name, long long fallback, const WholeRange& range) const;
  const std::vector<std::string>& Positionals() const { return positionals_; }

 private:
  std::map<std::string, std::string> values_;
  std::vector<std::string> positionals_;
  bool help_ = false;
};

}  // namespace quillon
