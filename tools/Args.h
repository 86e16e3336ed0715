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

class Args {
 public:
  // Throws CliError for an unknown option or a missing value. "--help" and
  // "-h" are always accepted.
  Args(const std::vector<std::string>& words, const std::vector<OptionSpec>& options);

  bool Help() const { return help_; }
  bool Has(const std::string& name) const { return values_.count(name) != 0; }
  std::string Text(const std::string& name, const std::string& fallback = "") const;
  // Throws CliError when the value is not a number.
  double Number(const std::string& name, double fallback) const;
  long Integer(const std::string& name, long fallback) const;
  const std::vector<std::string>& Positionals() const { return positionals_; }

 private:
  std::map<std::string, std::string> values_;
  std::vector<std::string> positionals_;
  bool help_ = false;
};

}  // namespace quillon
