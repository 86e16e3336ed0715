// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/Settings.h"

#include <cstdio>

namespace quillon {

SettingsRecord::SettingsRecord()
    : ints_{kDefaultOutputMenuId, kDefaultInputMenuId, kDefaultWindowPlace, kDefaultWindowPlace, 0, 0, 0, 0, 0} {}

void SettingsRecord::SetWindowPosition(int16_t left, int16_t top) {
  ints_[2] = left;
  ints_[3] = top;
}

void SettingsRecord::SetWindowRectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  ints_[4] = left;
  ints_[5] = top;
  ints_[6] = right;
  ints_[7] = bottom;
}

std::array<unsigned char, kSettingsBytes> SettingsRecord::ToBytes() const {
  std::array<unsigned char, kSettingsBytes> bytes{};
  for (int index = 0; index < kSettingsInts; ++index) {
    const uint32_t value = static_cast<uint32_t>(ints_[index]);
    for (int byte = 0; byte < 4; ++byte) bytes[index * 4 + byte] = static_cast<unsigned char>(value >> (8 * byte));
  }
  return bytes;
}

void SettingsRecord::ReplaceLeadingBytes(const unsigned char* bytes, int count) {
  std::array<unsigned char, kSettingsBytes> all = ToBytes();
  for (int index = 0; index < count && index < kSettingsBytes; ++index) all[index] = bytes[index];
  for (int index = 0; index < kSettingsInts; ++index) {
    uint32_t value = 0;
    for (int byte = 3; byte >= 0; --byte) value = (value << 8) | all[index * 4 + byte];
    ints_[index] = static_cast<int32_t>(value);
  }
}

std::string HomeFilePath(const std::string& home, const char* name) {
#ifdef _WIN32
  return home + "\\" + name;
#else
  return home + "/" + name;
#endif
}

bool ReadSettings(const std::string& path, SettingsRecord& record) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  unsigned char bytes[kSettingsBytes];
  const std::size_t count = std::fread(bytes, 1, sizeof bytes, file);
  std::fclose(file);
  record.ReplaceLeadingBytes(bytes, static_cast<int>(count));
  return true;
}

bool WriteSettings(const std::string& path, const SettingsRecord& record) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const std::array<unsigned char, kSettingsBytes> bytes = record.ToBytes();
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

}  // namespace quillon
