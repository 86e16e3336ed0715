// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's one window: the upper pane (text to send) with "Передать"
// beside it, the lower pane (received text) with "Архив", the band strip
// below them (waterfall, level meter, signal report), a one-part status bar,
// the menus, and the window icon that shows the link state. Commands
// carry the ids of the Windows program's command table.
//
// Everything here runs on the GUI thread; worker threads come in through
// WindowView.

#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>

#include <functional>
#include <memory>
#include <string>

#include "modem/audio/AudioDevice.h"
#include "modem/StationState.h"
#include "shell/IconRule.h"
#include "shell/Settings.h"
#include "shell/qt/BandStrip.h"
#include "shell/qt/MainMenus.h"
#include "shell/qt/PaneText.h"

namespace quillon {

// Opens the archive file in the desktop's text editor without waiting;
// false when no editor could be started.
using ArchiveOpener = std::function<bool(const std::string& path)>;
// The desktop's way: xdg-open, started detached.
bool OpenWithDesktop(const std::string& path);

struct ShellContext {
  SettingsRecord& move_v;
  StationState& station;  // its link state holds the flags the commands use
  AudioBackend& devices;  // what the device pop-ups list
  std::string home_directory;
  ArchiveOpener open_archive = OpenWithDesktop;
};

// Child ids of the window's controls (the status bar is 0).
constexpr int kUpperPaneId = 551;
constexpr int kLowerPaneId = 552;
constexpr int kTransmitButtonId = 601;
constexpr int kArchiveButtonId = 602;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  explicit MainWindow(ShellContext context);
  ~MainWindow() override;

  // One command of the command table; false for an id it does not know.
  bool RunCommand(int id);
  void OnOffMenu(int mode_number, bool all_modes = false) { menus_->OnOffMenu(mode_number, all_modes); }
  void CheckDeepReceive(bool deep) { menus_->CheckDeepReceive(deep); }
  // Chooses the icon from PRD_R, PRM_R and USPESHNO and sets it.
  void Iconki();
  StatusIcon CurrentIcon() const { return icon_; }

  // The link's pane operations, on the Unicode side of the boundary.
  QString UpperText() const { return upper_pane_->toPlainText(); }
  void ReplaceLowerText(const QString& text);
  void TypeIntoLowerPane(unsigned char character);
  void SetStatusText(const QString& text) { status_label_->setText(text); }
  void FocusArchiveButton() { archive_button_->setFocus(Qt::OtherFocusReason); }
  void ShowSignalReport(const SignalReport& report) { strip_->ShowSignalReport(report); }

  QPlainTextEdit& UpperPane() const { return *upper_pane_; }
  QPlainTextEdit& LowerPane() const { return *lower_pane_; }
  QPushButton& TransmitButton() const { return *transmit_button_; }
  QPushButton& ArchiveButton() const { return *archive_button_; }
  QLabel& StatusLabel() const { return *status_label_; }
  BandStrip& Strip() const { return *strip_; }
  const MainMenus& Menus() const { return *menus_; }

 signals:
  // After every Iconki, with the icon now shown.
  void iconChanged(int icon);

 protected:
  void moveEvent(QMoveEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void PlaceAtStoredPosition();
  void LayoutControls();
  void StoreWindowRectangle();
  void StoreWindowPlace();
  void ClearSuccess();
  // False, with the reason in the status bar, when the upper pane holds a
  // character that cp1251 lacks: the link would send '?' in its place.
  bool UpperPaneSendable();
  void RunPopupChoice(int id);
  void ChooseMode(int id);
  void ListenInAllModes();
  void ToggleDeepReceive();
  // The status bar says so when quillon.conf did not take a menu choice.
  void SayWhenNotKept(bool kept);
  void ChooseDevice(int id);
  void OpenArchive();
  void OpenPttDialog();
  void ShowMessage(const char* title, const char* text);
  void LowerPaneNotification();

  ShellContext context_;
  LinkState& link_;
  QPlainTextEdit* upper_pane_ = nullptr;
  QPlainTextEdit* lower_pane_ = nullptr;
  QPushButton* transmit_button_ = nullptr;
  QPushButton* archive_button_ = nullptr;
  BandStrip* strip_ = nullptr;
  QLabel* status_label_ = nullptr;
  std::unique_ptr<MainMenus> menus_;
  PaneTypist typist_;
  StatusIcon icon_ = kIconIdle;
  bool link_writes_lower_pane_ = false;  // the pane's own change signals are not the operator's
};

}  // namespace quillon
