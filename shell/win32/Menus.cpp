#include "shell/win32/Menus.h"

#include <string>
#include <vector>

#include "modem/AudioDevice.h"
#include "shell/win32/ShellSettings.h"
#include "shell/win32/ShellWindows.h"

namespace quillon {

AudioBackend* ShellAudioDevices = nullptr;

namespace {

constexpr int kFirstModeItem = 301;
constexpr int kLastModeItem = 319;
constexpr int kFirstModeNumber = 93;
constexpr int kLastModeNumber = 111;

int ShowDevicePopup(HWND window, HINSTANCE instance, const char* menu_name, AudioDirection direction,
                    int first_device_id, int checked_id) {
  HMENU loaded = LoadMenuA(instance, menu_name);
  if (loaded == nullptr) return 0;
  HMENU popup = GetSubMenu(loaded, 0);
  if (popup == nullptr) {
    DestroyMenu(loaded);
    return 0;
  }
  const std::vector<std::string> names =
      ShellAudioDevices != nullptr ? ShellAudioDevices->ListDevices(direction) : std::vector<std::string>{};
  for (std::size_t n = 0; n < names.size(); ++n)
    AppendMenuA(popup, MF_STRING, first_device_id + static_cast<UINT_PTR>(n), names[n].c_str());
  CheckMenuItem(popup, static_cast<UINT>(checked_id), MF_BYCOMMAND | MF_CHECKED);

  SetForegroundWindow(window);
  POINT cursor{};
  GetCursorPos(&cursor);
  const int result = TrackPopupMenu(popup, TPM_LEFTALIGN | TPM_LEFTBUTTON, cursor.x, cursor.y, 0, window, nullptr);
  DestroyMenu(loaded);
  return result;
}

}  // namespace

int ShowPopupMenuIn(HWND window, HINSTANCE instance) {
  return ShowDevicePopup(window, instance, "MENU_WIn", AudioDirection::Capture, 402, move_v.InputMenuId());
}

int ShowPopupMenuOut(HWND window, HINSTANCE instance) {
  return ShowDevicePopup(window, instance, "MENU_WOut", AudioDirection::Playback, 502, move_v.OutputMenuId());
}

void OnOffMenu(int mode_number) {
  HMENU menu = GetMenu(Glhwnd);
  for (int item = kFirstModeItem; item <= kLastModeItem; ++item)
    CheckMenuItem(menu, static_cast<UINT>(item), MF_BYCOMMAND | MF_UNCHECKED);
  if (mode_number >= kFirstModeNumber && mode_number <= kLastModeNumber)
    CheckMenuItem(menu, static_cast<UINT>(kFirstModeItem + mode_number - kFirstModeNumber), MF_BYCOMMAND | MF_CHECKED);
  InvalidateRect(Glhwnd, nullptr, FALSE);
}

}  // namespace quillon
