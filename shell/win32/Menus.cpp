// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/win32/Menus.h"

#include <string>
#include <vector>

#include "modem/audio/AudioDevice.h"
#include "shell/MenuTable.h"
#include "shell/Settings.h"
#include "shell/win32/ShellWindows.h"

namespace quillon {

AudioBackend* ShellAudioDevices = nullptr;

namespace {

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
  return ShowDevicePopup(window, instance, kInputPopupMenuName, AudioDirection::Capture, kFirstInputDeviceMenuId,
                         move_v.InputMenuId());
}

int ShowPopupMenuOut(HWND window, HINSTANCE instance) {
  return ShowDevicePopup(window, instance, kOutputPopupMenuName, AudioDirection::Playback, kFirstOutputDeviceMenuId,
                         move_v.OutputMenuId());
}

void OnOffMenu(int mode_number, bool all_modes) {
  HMENU menu = GetMenu(Glhwnd);
  for (int item = kFirstModeItem; item <= kLastModeItem; ++item)
    CheckMenuItem(menu, static_cast<UINT>(item), MF_BYCOMMAND | MF_UNCHECKED);
  const int checked = ModeMenuItemFor(mode_number);
  if (checked != 0) CheckMenuItem(menu, static_cast<UINT>(checked), MF_BYCOMMAND | MF_CHECKED);
  CheckMenuItem(menu, static_cast<UINT>(kAllModesItem.id), MF_BYCOMMAND | (all_modes ? MF_CHECKED : MF_UNCHECKED));
  InvalidateRect(Glhwnd, nullptr, FALSE);
}

void CheckDeepReceive(bool deep) {
  CheckMenuItem(GetMenu(Glhwnd), static_cast<UINT>(kDeepReceiveItem.id),
                MF_BYCOMMAND | (deep ? MF_CHECKED : MF_UNCHECKED));
}

}  // namespace quillon
