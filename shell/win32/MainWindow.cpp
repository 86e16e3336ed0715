// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/win32/MainWindow.h"

#include <commctrl.h>

#include <string>

#include "link/LinkState.h"
#include "modem/StationState.h"
#include "shell/Commands.h"
#include "shell/DeviceMemory.h"
#include "shell/Layout.h"
#include "shell/ListenMemory.h"
#include "shell/MenuTable.h"
#include "shell/Settings.h"
#include "shell/Texts.h"
#include "shell/win32/AboutProgram.h"
#include "shell/win32/BandStrip.h"
#include "shell/win32/Menus.h"
#include "shell/win32/PttDialog.h"
#include "shell/win32/ShellWindows.h"
#include "shell/win32/StatusIcon.h"

namespace quillon {
namespace {

HWND CreatePane(HWND parent, int id, int y) {
  return CreateWindowExA(0, "EDIT", nullptr, WS_CHILD | WS_VISIBLE | WS_BORDER | ES_MULTILINE | ES_AUTOVSCROLL, 0, y,
                         200, 100, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), hInst, nullptr);
}

HWND CreateButton(HWND parent, int id, int y, const char* caption) {
  HWND button = CreateWindowExA(0, "BUTTON", nullptr, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON | BS_CENTER, 210, y, 108,
                                24, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), hInst, nullptr);
  SendMessageA(button, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(caption));
  return button;
}

// The operator touched the lower pane: a good result counts as seen.
void LowerPaneTouchedByOperator() {
  if (LowerPaneTouched(ProcessLinkState())) Iconki();
}

// A click into the lower pane while it already has the focus reaches the
// window as no notification, so the pane's mouse buttons are watched here.
LRESULT CALLBACK LowerPaneProc(HWND pane, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR, DWORD_PTR) {
  if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN || message == WM_MBUTTONDOWN)
    LowerPaneTouchedByOperator();
  return DefSubclassProc(pane, message, wparam, lparam);
}

void CreateControls(HWND window) {
  hwndSb = CreateStatusWindowA(WS_CHILD | WS_VISIBLE | WS_BORDER | SBARS_SIZEGRIP | CCS_ADJUSTABLE, nullptr, window, 0);
  hwndStEd1 = CreatePane(window, kUpperPaneId, 0);
  hwndStEd2 = CreatePane(window, kLowerPaneId, 104);
  SetWindowSubclass(hwndStEd2, LowerPaneProc, 0, 0);
  hwndKn1 = CreateButton(window, kTransmitButtonId, 10, kTransmitCaption);
  hwndKn2 = CreateButton(window, kArchiveButtonId, 114, kArchiveCaption);
  CreateBandStrip(window, hInst, ProcessStationState());
}

void StoreWindowRectangle(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  move_v.SetWindowRectangle(rect.left, rect.top, rect.right, rect.bottom);
}

void LayoutControls(HWND window, int client_width, int client_height) {
  if (hwndSb == nullptr) return;
  RECT bar{};
  GetWindowRect(hwndSb, &bar);
  const ControlLayout layout = ComputeWindowLayout(client_width, client_height - (bar.bottom - bar.top));
  auto place = [](HWND control, const ControlRect& at) {
    SetWindowPos(control, static_cast<uint16_t>(at.x), static_cast<uint16_t>(at.y));
    SetWindowSize(control, static_cast<uint16_t>(at.width), static_cast<uint16_t>(at.height));
  };
  place(hwndStEd1, layout.upper_pane);
  place(hwndStEd2, layout.lower_pane);
  place(hwndKn1, layout.transmit_button);
  place(hwndKn2, layout.archive_button);
  place(GetDlgItem(window, kBandStripId), layout.band_strip);
}

// Clears the success indicator (the operator has seen the good frame).
void ClearSuccess() {
  if (ClearSuccessIndicator(ProcessLinkState())) Iconki();
}

// Hands the archive to the platform's text editor (a missing log.txt is the
// editor's to report); an editor that does not start is said in the status
// bar.
void OpenArchive() {
  const std::string command = ArchiveEditor + " \"" + HomeFilePath(HomeDirect, "log.txt") + "\"";
  // WinExec returns a value above 31 once the program has started.
  if (WinExec(command.c_str(), SW_SHOWNORMAL) <= 31)
    SendMessageA(hwndSb, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(kArchiveEditorFailedText));
}

// The status bar says so when quillon.conf did not take a menu choice.
void SayWhenNotKept(bool kept) {
  if (!kept) SendMessageA(hwndSb, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(kSettingNotKeptText));
}

// Returns true for a handled command id. `code` is the notification code of
// a control's command (0 for a menu item).
bool RunCommand(HWND window, int id, int code) {
  LinkState& link = ProcessLinkState();
  StationState& station = ProcessStationState();
  if (id >= kFirstModeItem && id <= kLastModeItem) {
    // Item 301 is mode number 93.
    const int mode_number = id - kFirstModeItem + kFirstModeNumber;
    move_v.SetModeNumber(mode_number);
    station.mode_number.store(mode_number);
    // A single mode listens in that one again.
    if (station.listen_all_modes.exchange(0) != 0) SayWhenNotKept(RememberListenAllModes(HomeDirect, false));
    OnOffMenu(mode_number);
    return true;
  }
  if (id == kAllModesItem.id) {
    // Every mode's receiver; the checked mode still transmits.
    if (station.listen_all_modes.exchange(1) == 0) SayWhenNotKept(RememberListenAllModes(HomeDirect, true));
    OnOffMenu(station.mode_number.load(), true);
    return true;
  }
  if (id == kDeepReceiveItem.id) {
    // The driver rebuilds the modem, and every receiver it holds, with the
    // deep receiver or without.
    const bool deep = station.deep_receive.load() == 0;
    station.deep_receive.store(deep ? 1 : 0);
    CheckDeepReceive(deep);
    SayWhenNotKept(RememberDeepReceive(HomeDirect, deep));
    return true;
  }
  // Only 16 devices per direction can be chosen; further items do nothing.
  if (id >= kDefaultInputMenuId && id <= kLastInputMenuId) {
    RememberDevice(HomeDirect, ShellAudioDevices, id);
    move_v.SetInputMenuId(id);
    station.InDECSW.store(move_v.InputDeviceNumber());
    return true;
  }
  if (id >= kDefaultOutputMenuId && id <= kLastOutputMenuId) {
    RememberDevice(HomeDirect, ShellAudioDevices, id);
    move_v.SetOutputMenuId(id);
    station.OutDECSW.store(move_v.OutputDeviceNumber());
    return true;
  }
  switch (id) {
    case kNoOpCommand:
      return true;
    case kSoundInputItem.id:
      ShowPopupMenuIn(window, hInst);
      return true;
    case kSoundOutputItem.id:
      ShowPopupMenuOut(window, hInst);
      return true;
    case kExitItem.id:
      DestroyWindow(window);
      return true;
    case kPttItem.id:
      ShowPttDialog(window, hInst, station.ptt, HomeDirect);
      return true;
    case kDescriptionItem.id:
      MessageBoxA(nullptr, kDescriptionText, kDescriptionTitle, MB_OK);
      return true;
    case kAuthorItem.id:
      ShowAuthorBox();
      return true;
    case kLowerPaneId:
      // Its own focus or an edit, not the focus it loses when the link
      // hands the focus to "Архив" after a frame.
      if (code == EN_SETFOCUS || code == EN_CHANGE) LowerPaneTouchedByOperator();
      return true;
    case kTransmitButtonId:
      ClearSuccess();
      RequestTransmission(link);
      return true;
    case kArchiveButtonId:
      ClearSuccess();
      OpenArchive();
      return true;
    default:
      return false;
  }
}

}  // namespace

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE: {
      CreateControls(window);
      const WindowOpening opening = WindowOpeningFor(move_v);
      if (opening.has_rectangle) {
        const ControlRect& stored = opening.rectangle;
        MoveWindow(window, stored.x, stored.y, stored.width, stored.height, FALSE);
      }
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_MOVE: {
      // A minimised window sits at the platform's icon place (-32000,
      // -32000 on Windows); kept, it would bring the next start up off the
      // screen, so the place from before the minimising stays.
      if (IsIconic(window)) return 0;
      RECT rect{};
      GetWindowRect(window, &rect);
      // The position is kept as 16-bit values, as the window messages carry it.
      move_v.SetWindowPosition(static_cast<int16_t>(rect.left), static_cast<int16_t>(rect.top));
      move_v.SetWindowRectangle(rect.left, rect.top, rect.right, rect.bottom);
      return 0;
    }
    case WM_SIZE:
      if (hwndSb != nullptr) SendMessageA(hwndSb, WM_SIZE, wparam, lparam);
      if (wparam != SIZE_MINIMIZED) StoreWindowRectangle(window);
      LayoutControls(window, LOWORD(lparam), HIWORD(lparam));
      return 0;
    case WM_GETMINMAXINFO: {
      MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lparam);
      info->ptMinTrackSize = POINT{kMinWindowWidth, kMinWindowHeight};
      info->ptMaxTrackSize = POINT{kMaxWindowWidth, kMaxWindowHeight};
      return 0;
    }
    case WM_COMMAND:
      return RunCommand(window, LOWORD(wparam), HIWORD(wparam)) ? 1 : 0;
    case kFocusArchiveMessage:
      SetFocus(hwndKn2);
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_KEYDOWN:
    case WM_CHAR:
    case WM_TIMER:
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

bool RegisterMainWindowClass(HINSTANCE instance) {
  WNDCLASSEXA window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.style = CS_HREDRAW | CS_VREDRAW;
  window_class.lpfnWndProc = WndProc;
  window_class.hInstance = instance;
  window_class.hIcon = LoadIconA(instance, "ICON_0");
  window_class.hIconSm = LoadIconA(instance, "ICON_0");
  window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
  window_class.hbrBackground = static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH));
  window_class.lpszMenuName = kMainMenuName;
  window_class.lpszClassName = kWindowClassName;
  return RegisterClassExA(&window_class) != 0 && RegisterBandStripClass(instance);
}

HWND CreateMainWindow(HINSTANCE instance, int left, int top) {
  return CreateWindowExA(WS_EX_CLIENTEDGE, kWindowClassName, kWindowTitle, WS_OVERLAPPEDWINDOW | WS_VISIBLE, left, top,
                         kInitialWindowWidth, kInitialWindowHeight, nullptr, nullptr, instance, nullptr);
}

}  // namespace quillon
