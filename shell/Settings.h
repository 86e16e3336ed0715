// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The settings record move_v and its file init.ini: nine 32-bit signed ints
// stored as 36 raw little-endian bytes with nothing before or after them, the
// same file on every platform.
//
//   int 0  output device menu id (501 = default, 502 + n = device n)
//   int 1  input device menu id (401 = default, 402 + n = device n)
//   int 2  window left   } where the window is created;
//   int 3  window top    } -2147483648 = the platform's default place
//   int 4..7  window rectangle left, top, right, bottom (all 0 = none)
//   int 8  Olivia mode number 93..111, 0 = not chosen yet

#include <array>
#include <cstdint>
#include <string>

namespace quillon {

constexpr int kSettingsInts = 9;
constexpr int kSettingsBytes = kSettingsInts * 4;
constexpr char kSettingsFileName[] = "init.ini";

constexpr int kDefaultOutputMenuId = 501;
constexpr int kFirstOutputDeviceMenuId = 502;  // device n is 502 + n
constexpr int kLastOutputMenuId = 517;         // at most 16 devices can be chosen
constexpr int kDefaultInputMenuId = 401;
constexpr int kFirstInputDeviceMenuId = 402;   // device n is 402 + n
constexpr int kLastInputMenuId = 417;
// The Windows value CW_USEDEFAULT: let the platform place the window.
constexpr int32_t kDefaultWindowPlace = INT32_MIN;

struct WindowPosition {
  int32_t left;
  int32_t top;
  bool IsDefault() const { return left == kDefaultWindowPlace || top == kDefaultWindowPlace; }
};

struct WindowRectangle {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
  // A rectangle of all zeros means none was ever stored.
  bool IsSet() const { return left != 0 || top != 0 || right != 0 || bottom != 0; }
};

class SettingsRecord {
 public:
  // The built-in defaults: default devices, default place, no rectangle,
  // mode not chosen.
  SettingsRecord();

  int32_t OutputMenuId() const { return ints_[0]; }
  int32_t InputMenuId() const { return ints_[1]; }
  void SetOutputMenuId(int32_t id) { ints_[0] = id; }
  void SetInputMenuId(int32_t id) { ints_[1] = id; }
  // The device numbers the audio layer takes: -1 for the default item. An id
  // too far below the menu's ids for the difference to be an int (only a
  // damaged file holds one) gives the lowest int, a device that never opens.
  int OutputDeviceNumber() const { return DeviceNumber(ints_[0], kFirstOutputDeviceMenuId); }
  int InputDeviceNumber() const { return DeviceNumber(ints_[1], kFirstInputDeviceMenuId); }

  WindowPosition StoredWindowPosition() const { return {ints_[2], ints_[3]}; }
  // The window messages carry the position as 16-bit values, so it is kept
  // cut to 16 bits and widened again.
  void SetWindowPosition(int16_t left, int16_t top);

  WindowRectangle StoredWindowRectangle() const { return {ints_[4], ints_[5], ints_[6], ints_[7]}; }
  void SetWindowRectangle(int32_t left, int32_t top, int32_t right, int32_t bottom);

  int32_t ModeNumber() const { return ints_[8]; }
  void SetModeNumber(int32_t number) { ints_[8] = number; }

  int32_t Int(int index) const { return ints_[index]; }

  std::array<unsigned char, kSettingsBytes> ToBytes() const;
  // The first `count` bytes (at most 36) replace the record's leading bytes;
  // the rest keep their values. This is how a short file is read.
  void ReplaceLeadingBytes(const unsigned char* bytes, int count);

 private:
  static int DeviceNumber(int32_t menu_id, int32_t first_device_id) {
    return menu_id < INT32_MIN + first_device_id ? INT32_MIN : menu_id - first_device_id;
  }

  std::array<int32_t, kSettingsInts> ints_;
};

// `home` and `name` joined with the platform's path separator.
std::string HomeFilePath(const std::string& home, const char* name);

// Reads the file into the record. A missing file leaves the record as it is;
// a short one replaces only the bytes it holds. False when it did not open.
bool ReadSettings(const std::string& path, SettingsRecord& record);
// Writes the 36 bytes. False (and nothing reported) when it cannot be opened.
bool WriteSettings(const std::string& path, const SettingsRecord& record);

}  // namespace quillon
