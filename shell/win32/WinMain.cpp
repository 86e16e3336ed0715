// SPDX-License-Identifier: GPL-3.0-or-later
// The entry point of the Windows program: its version for `--version`, or
// settings, window, sound devices, the modem driver thread, the message loop,
// and the orderly end.

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <string>
#include <thread>

#include "link/LinkState.h"
#include "modem/audio/AudioDevices.h"
#include "modem/Driver.h"
#include "modem/SoundCard.h"
#include "modem/StationState.h"
#include "shell/DeviceMemory.h"
#include "shell/PttForm.h"
#include "shell/Layout.h"
#include "shell/ListenMemory.h"
#include "shell/Settings.h"
#include "shell/Texts.h"
#include "shell/win32/AboutProgram.h"
#include "shell/win32/MainWindow.h"
#include "shell/win32/Menus.h"
#include "shell/win32/ShellWindows.h"
#include "shell/win32/WindowView.h"

namespace quillon {
namespace {

void ShowStartFailure(const char* text) { MessageBoxA(nullptr, text, kErrorTitle, MB_ICONEXCLAMATION | MB_OK); }

// Worker threads reach the windows through synchronous messages, which this
// thread only answers while it takes messages; so it keeps doing that until
// the driver thread (and with it the link controller) has ended.
void PumpMessagesUntil(const std::atomic<bool>& done) {
  while (!done.load()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

int RunProgram(HINSTANCE instance) {
  GetCurrentDirectoryA(sizeof(HomeDirect), HomeDirect);
  hInst = instance;

  const std::string settings_path = HomeFilePath(HomeDirect, kSettingsFileName);
  ReadSettings(settings_path, move_v);
  if (move_v.ModeNumber() == 0) move_v.SetModeNumber(kDefaultModeNumber);

  // The status bar's window class comes from comctl32.
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);

  if (!RegisterMainWindowClass(instance)) {
    ShowStartFailure(kRegistrationFailedText);
    return 0;
  }
  const WindowOpening opening = WindowOpeningFor(move_v);
  HWND window = opening.default_position ? CreateMainWindow(instance, CW_USEDEFAULT, CW_USEDEFAULT)
                                         : CreateMainWindow(instance, opening.left, opening.top);
  if (window == nullptr) {
    ShowStartFailure(kCreationFailedText);
    return 0;
  }
  Glhwnd = window;

  LinkState& link = ProcessLinkState();
  StationState& station = ProcessStationState();
  AudioDevices devices;
  ShellAudioDevices = &devices;
  WindowView view;
  UseRememberedDevices(HomeDirect, devices, move_v);
  UseStoredPttSettings(HomeDirect, station.ptt);

  station.InDECSW.store(move_v.InputDeviceNumber());
  station.OutDECSW.store(move_v.OutputDeviceNumber());
  station.mode_number.store(move_v.ModeNumber());
  const ListenChoice listen = StoredListenChoice(HomeDirect);
  station.listen_all_modes.store(listen.all_modes ? 1 : 0);
  station.deep_receive.store(listen.deep ? 1 : 0);
  InitWaveIn(station, devices, station.InDECSW.load());
  InitWaveOut(station, devices, station.OutDECSW.load());

  DriverContext context{station, view, devices, HomeDirect};
  context.udp_events = listen.udp_events;
  std::atomic<bool> driver_done{false};
  std::thread driver([&context, &driver_done] {
    Play(context);
    driver_done.store(true);
  });

  OnOffMenu(move_v.ModeNumber(), listen.all_modes);
  CheckDeepReceive(listen.deep);

  MSG message{};
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }

  link.STOP.store(1);
  link.STOPTIM.store(1);
  PumpMessagesUntil(driver_done);
  driver.join();
  CloseWaveOut(station);
  CloseWaveIn(station);
  ShellAudioDevices = nullptr;
  WriteSettings(settings_path, move_v);
  return static_cast<int>(message.wParam);
}

}  // namespace
}  // namespace quillon

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
  if (quillon::AsksForVersion(command_line)) {
    quillon::ReportVersion();
    return 0;
  }
  return quillon::RunProgram(instance);
}
