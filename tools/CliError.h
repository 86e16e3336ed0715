// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one failure the command-line tool reports to its user: a clear one-line
// message on standard error and exit status 2. Only the tool throws it; the
// program's own code never throws.

#include <stdexcept>
#include <string>

namespace quillon {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 2;

class CliError : public std::runtime_error {
 public:
  explicit CliError(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace quillon
