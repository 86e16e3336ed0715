// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's start-up and shut-down around the event loop:
//   start: read init.ini from the home directory (mode 0 becomes 101), build
//          the window at its stored place, open the capture and playback
//          devices, start the modem driver thread Play (which starts the
//          link controller), check the mode menu;
//   end:   set STOP and STOPTIM, keep processing events until the driver
//          thread has ended (it may be waiting for the window), close the
//          devices and write init.ini.

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "link/Archive.h"
#include "modem/audio/AudioDevice.h"
#include "modem/Driver.h"
#include "modem/StationState.h"
#include "shell/Settings.h"
#include "shell/qt/MainWindow.h"
#include "shell/qt/WindowView.h"

namespace quillon {

struct ProgramContext {
  StationState& station;
  AudioBackend& devices;
  std::string home_directory;  // init.ini and log.txt live here
  ArchiveClock clock = {};     // archive timestamps; empty means the local time
  ArchiveOpener open_archive = OpenWithDesktop;
};

class Program {
 public:
  explicit Program(ProgramContext context);
  // Finishes a started program that was not finished.
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Everything up to the event loop; the window is shown.
  void Start();
  // Everything after the event loop. Safe to call more than once.
  void Finish();

  MainWindow& Window() { return *window_; }
  SettingsRecord& Settings() { return move_v_; }
  const std::string& SettingsPath() const { return settings_path_; }

 private:
  ProgramContext context_;
  std::string settings_path_;
  SettingsRecord move_v_;
  std::unique_ptr<MainWindow> window_;
  std::unique_ptr<WindowView> view_;
  std::unique_ptr<DriverContext> driver_context_;
  std::thread driver_;
  std::atomic<bool> driver_done_{false};
  bool finished_ = false;
};

// The whole program over the process's own station and the platform's
// devices, in the folder ChooseHomeFolder picks. Returns the event loop's exit code.
int RunQuillon(int argc, char** argv);

}  // namespace quillon
