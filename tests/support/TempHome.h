// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A fresh home directory for one test (init.ini, log.txt), removed
// afterwards, with small helpers to read and write its files.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace quillon {

class TempHome {
 public:
  TempHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quillon-home-XXXXXX").string();
    path_ = mkdtemp(&pattern[0]) != nullptr ? pattern : std::string();
  }
  ~TempHome() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempHome(const TempHome&) = delete;
  TempHome& operator=(const TempHome&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(const char* name) const { return path_ + "/" + name; }
  bool Exists(const char* name) const { return std::filesystem::exists(File(name)); }

  std::vector<unsigned char> Read(const char* name) const {
    std::ifstream file(File(name), std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  }
  void Write(const char* name, const std::vector<unsigned char>& bytes) const {
    std::ofstream file(File(name), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::string LogText() const {
    const std::vector<unsigned char> bytes = Read("log.txt");
    return std::string(bytes.begin(), bytes.end());
  }

 private:
  std::string path_;
};

}  // namespace quillon
