#pragma once
// TEMPORARY until the shared shell pieces land.
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "modem/ModeTable.h"

namespace quillon {

struct WindowRectangle { int left, top, right, bottom; };
struct WindowPosition { int left, top; };

struct SettingsRecord {
  int32_t v[9] = {501, 401, INT32_MIN, INT32_MIN, 0, 0, 0, 0, 0};
  int OutputMenuId() const { return v[0]; }
  int InputMenuId() const { return v[1]; }
  int ModeNumber() const { return v[8]; }
  void SetOutputMenuId(int id) { v[0] = id; }
  void SetInputMenuId(int id) { v[1] = id; }
  void SetModeNumber(int n) { v[8] = n; }
  WindowPosition StoredWindowPosition() const { return {v[2], v[3]}; }
  WindowRectangle StoredWindowRectangle() const { return {v[4], v[5], v[6], v[7]}; }
  void SetWindowPosition(int l, int t) { v[2] = l; v[3] = t; }
  void SetWindowRectangle(int l, int t, int r, int b) { v[4] = l; v[5] = t; v[6] = r; v[7] = b; }
};
inline SettingsRecord move_v;
inline void ReadSettings(const char* path, SettingsRecord& r) {
  if (std::FILE* f = std::fopen(path, "rb")) { (void)std::fread(r.v, 1, 36, f); std::fclose(f); }
}
inline void WriteSettings(const char* path, const SettingsRecord& r) {
  if (std::FILE* f = std::fopen(path, "wb")) { std::fwrite(r.v, 36, 1, f); std::fclose(f); }
}
struct ControlRect { int x, y, width, height; };
struct ControlLayout { ControlRect upper_pane, lower_pane, transmit_button, archive_button; };
inline ControlLayout ComputeControlLayout(int X, int Y) {
  int R = 4 * ((Y / 2) / 5); if (R < 20) R = 20;
  int O = (Y / 2 - R) / 2;
  return {{0, 0, X - 100, Y / 2 - 4}, {0, Y / 2 + 2, X - 100, Y / 2 - 4}, {X - 95, O, 90, R}, {X - 95, Y / 2 + O, 90, R}};
}
inline const char* StatusIconName(int prd, int prm, int ok) {
  if (!prd && !prm && !ok) return "ICON_0";
  if (prd) return "ICON_3";
  if (prm && !ok) return "ICON_1";
  return "ICON_2";
}
constexpr char kDescriptionText[] = "Описание";
constexpr char kAuthorText[] = "Quillon";
}  // namespace quillon
