// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/qt/Program.h"

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QThread>

#include <cstdio>
#include <vector>

#include "modem/audio/AudioDevices.h"
#include "engine/ModeTable.h"
#include "modem/SoundCard.h"
#include "shell/DeviceMemory.h"
#include "shell/ListenMemory.h"
#include "shell/PttForm.h"
#include "shell/Texts.h"
#include "shell/UserFolder.h"
#include "shell/qt/CommandLine.h"
#include "shell/qt/QuitOnSignals.h"
#include "shell/qt/StatusIcons.h"

namespace quillon {

Program::Program(ProgramContext context)
    : context_(std::move(context)), settings_path_(HomeFilePath(context_.home_directory, kSettingsFileName)) {}

Program::~Program() {
  if (window_ != nullptr) Finish();
}

void Program::Start() {
  ReadSettings(settings_path_, move_v_);
  if (move_v_.ModeNumber() == 0) move_v_.SetModeNumber(kDefaultModeNumber);
  UseRememberedDevices(context_.home_directory, context_.devices, move_v_);
  UseStoredPttSettings(context_.home_directory, context_.station.ptt);

  window_ = std::make_unique<MainWindow>(ShellContext{move_v_, context_.station, context_.devices,
                                                      context_.home_directory, context_.open_archive});
  view_ = std::make_unique<WindowView>(*window_);
  window_->show();

  StationState& station = context_.station;
  station.InDECSW.store(move_v_.InputDeviceNumber());
  station.OutDECSW.store(move_v_.OutputDeviceNumber());
  station.mode_number.store(move_v_.ModeNumber());
  const ListenChoice listen = StoredListenChoice(context_.home_directory);
  station.listen_all_modes.store(listen.all_modes ? 1 : 0);
  station.deep_receive.store(listen.deep ? 1 : 0);
  InitWaveIn(station, context_.devices, station.InDECSW.load());
  InitWaveOut(station, context_.devices, station.OutDECSW.load());

  driver_context_ = std::make_unique<DriverContext>(
      DriverContext{station, *view_, context_.devices, context_.home_directory, context_.clock, listen.udp_events});
  driver_ = std::thread([this] {
    Play(*driver_context_);
    driver_done_.store(true);
  });

  window_->OnOffMenu(move_v_.ModeNumber(), listen.all_modes);
  window_->CheckDeepReceive(listen.deep);
}

void Program::Finish() {
  if (finished_ || window_ == nullptr) return;
  finished_ = true;
  LinkState& link = context_.station.link;
  link.STOP.store(1);
  link.STOPTIM.store(1);
  // The driver and the link controller may be waiting for the window.
  while (!driver_done_.load()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
  driver_.join();
  CloseWaveOut(context_.station);
  CloseWaveIn(context_.station);
  WriteSettings(settings_path_, move_v_);
}

int RunQuillon(int argc, char** argv) {
  // --version and --help answer before Qt starts, as Qt needs a display.
  const ProgramOptions asked = ReadProgramOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (asked.version) return std::printf("%s\n", ProgramVersionLine().c_str()), 0;
  if (asked.help) return std::fputs(kProgramHelp, stdout), 0;

  QApplication application(argc, argv);  // takes Qt's own options out of argv
  // As early as the event loop can take them: a signal before this ends the
  // process at once, and one during the folder's message box ends the box.
  QuitOnSignals quit_on_signals;
  const ProgramOptions options = ReadProgramOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!options.error.empty()) {
    std::fprintf(stderr, "quillon: %s\n", options.error.c_str());
    return 1;
  }
  const HomeFolderChoice home =
      ChooseHomeFolder(QDir::currentPath().toStdString(), options.user_folder, ProcessEnvironment);
  if (!home.error.empty()) {
    // Started from the menu there is no terminal to read stderr.
    std::fprintf(stderr, "quillon: %s\n", home.error.c_str());
    QMessageBox::critical(nullptr, QString::fromUtf8(kErrorTitle), QString::fromStdString(home.error));
    return 1;
  }

  QApplication::setWindowIcon(StatusIconPicture(kIconIdle));
  AudioDevices devices;
  Program program(ProgramContext{ProcessStationState(), devices, home.folder});
  program.Start();
  const int code = QApplication::exec();
  program.Finish();
  return code;
}

}  // namespace quillon
