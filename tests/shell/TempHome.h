#pragma once
// A fresh home directory for one test, removed afterwards.

#include <QTemporaryDir>

#include <cstdio>
#include <string>
#include <vector>

namespace quillon {

class TempHome {
 public:
  std::string Path() const { return directory_.path().toStdString(); }
  std::string File(const char* name) const { return Path() + "/" + name; }

  std::vector<unsigned char> Read(const char* name) const {
    std::vector<unsigned char> bytes;
    if (std::FILE* file = std::fopen(File(name).c_str(), "rb")) {
      int byte;
      while ((byte = std::fgetc(file)) != EOF) bytes.push_back(static_cast<unsigned char>(byte));
      std::fclose(file);
    }
    return bytes;
  }
  bool Exists(const char* name) const {
    std::FILE* file = std::fopen(File(name).c_str(), "rb");
    if (file != nullptr) std::fclose(file);
    return file != nullptr;
  }
  void Write(const char* name, const std::vector<unsigned char>& bytes) const {
    std::FILE* file = std::fopen(File(name).c_str(), "wb");
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
  }

 private:
  QTemporaryDir directory_;
};

// The nine ints of a settings file, little-endian.
inline std::vector<int> SettingsInts(const std::vector<unsigned char>& bytes) {
  std::vector<int> ints;
  for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4)
    ints.push_back(static_cast<int>(static_cast<unsigned>(bytes[at]) | static_cast<unsigned>(bytes[at + 1]) << 8 |
                                    static_cast<unsigned>(bytes[at + 2]) << 16 |
                                    static_cast<unsigned>(bytes[at + 3]) << 24));
  return ints;
}

inline std::vector<unsigned char> SettingsBytes(const std::vector<int>& ints) {
  std::vector<unsigned char> bytes;
  for (int value : ints)
    for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<unsigned char>(static_cast<unsigned>(value) >> shift));
  return bytes;
}

}  // namespace quillon
