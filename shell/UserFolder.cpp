// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/UserFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "shell/Settings.h"

namespace quillon {

namespace fs = std::filesystem;

std::string ProcessEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::string PerUserFolder(const EnvironmentLookup& environment) {
#ifdef _WIN32
  const std::string app_data = environment("APPDATA");
  return app_data.empty() ? std::string() : HomeFilePath(app_data, "Quillon");
#else
  const std::string data_home = environment("XDG_DATA_HOME");
  if (!data_home.empty() && data_home.front() == '/') return HomeFilePath(data_home, "quillon");
  const std::string home = environment("HOME");
  return home.empty() ? std::string() : HomeFilePath(home, ".local/share/quillon");
#endif
}

HomeFolderChoice ChooseHomeFolder(const std::string& start_folder, bool per_user_asked,
                                  const EnvironmentLookup& environment) {
  std::error_code ignored;
  if (!per_user_asked || fs::exists(HomeFilePath(start_folder, kSettingsFileName), ignored)) return {start_folder, ""};

  const std::string folder = PerUserFolder(environment);
  if (folder.empty()) {
#ifdef _WIN32
    return {"", "Cannot tell the per-user folder: APPDATA is not set."};
#else
    return {"", "Cannot tell the per-user folder: neither HOME nor XDG_DATA_HOME is set."};
#endif
  }
  std::error_code error;
  fs::create_directories(folder, error);
  // create_directories reports no error when the path exists as a file.
  if (!error && !fs::is_directory(folder, error)) error = std::make_error_code(std::errc::not_a_directory);
  if (error) return {"", "Cannot create the folder " + folder + " for init.ini and log.txt: " + error.message() + "."};
  return {folder, ""};
}

}  // namespace quillon
