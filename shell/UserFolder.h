// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which folder the desktop program keeps init.ini, log.txt and quillon.conf
// in. Started from a terminal it uses the folder it starts in, as it always
// has; started from the desktop menu (which asks for the per-user folder) it
// would otherwise scatter those files over whatever folder the menu starts it
// in, so there it uses one folder per user:
//   1. the start folder, when it already holds init.ini (an operator who keeps
//      a station folder goes on using it, menu or not);
//   2. else the per-user folder, when asked for, created when missing;
//   3. else the start folder.

#include <functional>
#include <string>

namespace quillon {

// Reads one environment variable; empty when it is not set.
using EnvironmentLookup = std::function<std::string(const char* name)>;
std::string ProcessEnvironment(const char* name);

// The per-user folder: $XDG_DATA_HOME/quillon, or ~/.local/share/quillon when
// XDG_DATA_HOME is unset or not absolute (such a value is to be ignored);
// %APPDATA%\Quillon on Windows. Empty when the environment names no home.
std::string PerUserFolder(const EnvironmentLookup& environment);

struct HomeFolderChoice {
  std::string folder;  // empty when `error` is set
  std::string error;   // a sentence for the operator: the per-user folder cannot be named or made
};

HomeFolderChoice ChooseHomeFolder(const std::string& start_folder, bool per_user_asked,
                                  const EnvironmentLookup& environment);

}  // namespace quillon
