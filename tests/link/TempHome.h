#pragma once
// What the archive tests need: a fresh home directory, removed afterwards,
// and a fixed clock.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "link/Archive.h"

namespace quillon {

// 7 December 2026, 04:55:12.345.
inline ArchiveTime SeventhOfDecember() {
  ArchiveTime time;
  time.year = 2026;
  time.month = 12;
  time.day = 7;
  time.hour = 4;
  time.minute = 55;
  time.second = 12;
  time.millisecond = 345;
  return time;
}

class TempHome {
 public:
  TempHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillon-link-XXXXXX").string();
    path_ = mkdtemp(&pattern[0]) != nullptr ? pattern : std::string();
  }
  ~TempHome() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;

  const std::string& Path() const { return path_; }
  std::string LogText() const {
    std::ifstream file(path_ + "/log.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }

 private:
  std::string path_;
};

}  // namespace quillon
