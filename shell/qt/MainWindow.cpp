// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/qt/MainWindow.h"

#include <QCursor>
#include <QColor>
#include <QEvent>
#include <QPalette>
#include <QMessageBox>
#include <QProcess>
#include <QStatusBar>
#include <QStringList>
#include <QTextCursor>

#include <cstdio>
#include <string>

#include "QuillonVersion.h"

#include "shell/Commands.h"
#include "shell/DeviceMemory.h"
#include "shell/Layout.h"
#include "shell/ListenMemory.h"
#include "shell/MenuTable.h"
#include "link/Cp1251.h"
#include "shell/Texts.h"
#include "shell/qt/PttDialog.h"
#include "shell/qt/StatusIcons.h"

namespace quillon {
namespace {

constexpr char kArchiveFileName[] = "log.txt";
constexpr QRgb kClientBackground = 0xC0C0C0;

// The controls' places before the first layout.
constexpr ControlRect kUpperPaneAtCreation{0, 0, 200, 100};
constexpr ControlRect kLowerPaneAtCreation{0, 104, 200, 100};
constexpr ControlRect kTransmitButtonAtCreation{210, 10, 108, 24};
constexpr ControlRect kArchiveButtonAtCreation{210, 114, 108, 24};

void Place(QWidget& control, const ControlRect& at) { control.setGeometry(at.x, at.y, at.width, at.height); }

QPlainTextEdit* CreatePane(QWidget& parent, int id, const ControlRect& at) {
  auto* pane = new QPlainTextEdit(&parent);
  pane->setObjectName(QStringLiteral("pane%1").arg(id));
  pane->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  Place(*pane, at);
  return pane;
}

QPushButton* CreateButton(QWidget& parent, int id, const ControlRect& at, const char* caption) {
  auto* button = new QPushButton(&parent);
  button->setObjectName(QStringLiteral("button%1").arg(id));
  button->setText(QString::fromUtf8(caption));
  Place(*button, at);
  return button;
}

// The author credit and the version the program was built from.
std::string AuthorBoxText() { return std::string(kAuthorText) + "Версия " + kProgramVersionFull + "\n"; }

}  // namespace

bool OpenWithDesktop(const std::string& path) {
  return QProcess::startDetached(QStringLiteral("xdg-open"), QStringList{QString::fromStdString(path)});
}

MainWindow::MainWindow(ShellContext context) : context_(std::move(context)), link_(context_.station.link) {
  setWindowTitle(QString::fromUtf8(kWindowTitle));
  setWindowIcon(StatusIconPicture(kIconIdle));
  setMinimumSize(kMinWindowWidth, kMinWindowHeight);
  setMaximumSize(kMaxWindowWidth, kMaxWindowHeight);
  CreateControls();
  menus_ = std::make_unique<MainMenus>(*menuBar(), [this](int id) { RunCommand(id); });
  PlaceAtStoredPosition();
}

MainWindow::~MainWindow() = default;

void MainWindow::CreateControls() {
  status_label_ = new QLabel(statusBar());
  statusBar()->addWidget(status_label_, 1);
  statusBar()->setSizeGripEnabled(true);

  auto* client = new QWidget(this);
  // The light-grey stock brush of the Windows program's window class.
  QPalette background = client->palette();
  background.setColor(QPalette::Window, QColor(kClientBackground));
  client->setPalette(background);
  client->setAutoFillBackground(true);
  setCentralWidget(client);
  client->installEventFilter(this);
  upper_pane_ = CreatePane(*client, kUpperPaneId, kUpperPaneAtCreation);
  lower_pane_ = CreatePane(*client, kLowerPaneId, kLowerPaneAtCreation);
  transmit_button_ = CreateButton(*client, kTransmitButtonId, kTransmitButtonAtCreation, kTransmitCaption);
  archive_button_ = CreateButton(*client, kArchiveButtonId, kArchiveButtonAtCreation, kArchiveCaption);
  strip_ = new BandStrip(context_.station, context_.devices, client);

  connect(transmit_button_, &QPushButton::clicked, this, [this] { RunCommand(kTransmitButtonId); });
  connect(archive_button_, &QPushButton::clicked, this, [this] { RunCommand(kArchiveButtonId); });
  // Any notification from the lower pane: the operator clicks into it,
  // focuses it, or edits it.
  lower_pane_->installEventFilter(this);
  lower_pane_->viewport()->installEventFilter(this);
  connect(lower_pane_, &QPlainTextEdit::textChanged, this, [this] {
    if (!link_writes_lower_pane_) LowerPaneNotification();
  });
}

// At the stored place with the initial size; then, if a rectangle was ever
// stored, exactly there.
void MainWindow::PlaceAtStoredPosition() {
  const WindowOpening opening = WindowOpeningFor(context_.move_v);
  if (!opening.default_position) move(opening.left, opening.top);
  resize(kInitialWindowWidth, kInitialWindowHeight);
  if (opening.has_rectangle) {
    const ControlRect& stored = opening.rectangle;
    move(stored.x, stored.y);
    resize(stored.width, stored.height);
  }
}

void MainWindow::LayoutControls() {
  const QWidget* client = centralWidget();
  const ControlLayout layout = ComputeWindowLayout(client->width(), client->height());
  Place(*upper_pane_, layout.upper_pane);
  Place(*lower_pane_, layout.lower_pane);
  Place(*transmit_button_, layout.transmit_button);
  Place(*archive_button_, layout.archive_button);
  Place(*strip_, layout.band_strip);
}

// Qt places a window by the top left corner of its frame and sizes it
// without the frame, so the rectangle kept is that corner and that size
// (right and bottom exclusive): what the window is restored to.
void MainWindow::StoreWindowRectangle() {
  const QPoint corner = pos();
  context_.move_v.SetWindowRectangle(corner.x(), corner.y(), corner.x() + width(), corner.y() + height());
}

void MainWindow::StoreWindowPlace() {
  context_.move_v.SetWindowPosition(static_cast<int16_t>(pos().x()), static_cast<int16_t>(pos().y()));
  StoreWindowRectangle();
}

void MainWindow::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  StoreWindowPlace();
}

// The frame's corner can change without a move of the window itself (when
// the window manager adds its frame), so the place is taken once more as
// the window closes.
void MainWindow::closeEvent(QCloseEvent* event) {
  StoreWindowPlace();
  QMainWindow::closeEvent(event);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  StoreWindowRectangle();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == centralWidget() && event->type() == QEvent::Resize) {
    LayoutControls();
  } else if (lower_pane_ == nullptr) {
    // still being built
  } else if ((watched == lower_pane_ && event->type() == QEvent::FocusIn) ||
             (watched == lower_pane_->viewport() && event->type() == QEvent::MouseButtonPress)) {
    LowerPaneNotification();
  }
  return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::RunCommand(int id) {
  if (id >= kFirstModeItem && id <= kLastModeItem) {
    ChooseMode(id);
    return true;
  }
  if ((id >= kDefaultInputItem.id && id <= kLastInputMenuId) ||
      (id >= kDefaultOutputItem.id && id <= kLastOutputMenuId)) {
    ChooseDevice(id);
    return true;
  }
  switch (id) {
    case kNoOpCommand:
      return true;
    case kAllModesItem.id:
      ListenInAllModes();
      return true;
    case kDeepReceiveItem.id:
      ToggleDeepReceive();
      return true;
    case kSoundInputItem.id:
      RunPopupChoice(
          ShowDevicePopup(*this, context_.devices, AudioDirection::Capture, context_.move_v.InputMenuId(), QCursor::pos()));
      return true;
    case kSoundOutputItem.id:
      RunPopupChoice(ShowDevicePopup(*this, context_.devices, AudioDirection::Playback,
                                     context_.move_v.OutputMenuId(), QCursor::pos()));
      return true;
    case kExitItem.id:
      close();
      return true;
    case kPttItem.id:
      OpenPttDialog();
      return true;
    case kDescriptionItem.id:
      ShowMessage(kDescriptionTitle, kDescriptionText);
      return true;
    case kAuthorItem.id:
      ShowMessage(kAuthorTitle, AuthorBoxText().c_str());
      return true;
    case kLowerPaneId:
      LowerPaneNotification();
      return true;
    case kTransmitButtonId:
      ClearSuccess();
      if (UpperPaneSendable()) RequestTransmission(link_);
      return true;
    case kArchiveButtonId:
      ClearSuccess();
      OpenArchive();
      return true;
    default:
      return false;
  }
}

// The pop-up's item comes back as a command of its own.
void MainWindow::RunPopupChoice(int id) {
  if (id != 0) RunCommand(id);
}

void MainWindow::ChooseMode(int id) {
  const int number = id - kModeMenuIdToNumber;
  context_.move_v.SetModeNumber(number);
  context_.station.mode_number.store(number);
  if (context_.station.listen_all_modes.exchange(0) != 0)
    SayWhenNotKept(RememberListenAllModes(context_.home_directory, false));
  OnOffMenu(number);
}

// The driver rebuilds the modem with every mode's receiver; the chosen mode
// still transmits.
void MainWindow::ListenInAllModes() {
  if (context_.station.listen_all_modes.exchange(1) == 0)
    SayWhenNotKept(RememberListenAllModes(context_.home_directory, true));
  OnOffMenu(context_.station.mode_number.load(), true);
}

// The driver rebuilds the modem, and every receiver it holds, with the deep
// receiver or without.
void MainWindow::ToggleDeepReceive() {
  const bool deep = context_.station.deep_receive.load() == 0;
  context_.station.deep_receive.store(deep ? 1 : 0);
  CheckDeepReceive(deep);
  SayWhenNotKept(RememberDeepReceive(context_.home_directory, deep));
}

void MainWindow::SayWhenNotKept(bool kept) {
  if (!kept) SetStatusText(QString::fromUtf8(kSettingNotKeptText));
}

// The driver thread watches the device numbers and reopens a device whose
// number changed.
void MainWindow::ChooseDevice(int id) {
  RememberDevice(context_.home_directory, &context_.devices, id);
  if (id <= kLastInputMenuId) {
    context_.move_v.SetInputMenuId(id);
    context_.station.InDECSW.store(context_.move_v.InputDeviceNumber());
  } else {
    context_.move_v.SetOutputMenuId(id);
    context_.station.OutDECSW.store(context_.move_v.OutputDeviceNumber());
  }
}

// The operator has seen the good frame.
void MainWindow::ClearSuccess() {
  if (ClearSuccessIndicator(link_)) Iconki();
}

bool MainWindow::UpperPaneSendable() {
  const std::string lacking = FirstCharacterCp1251Lacks(upper_pane_->toPlainText().toStdString());
  if (lacking.empty()) return true;
  SetStatusText(QString::fromUtf8(kUnsendableCharacterFormat).arg(QString::fromStdString(lacking)));
  return false;
}

void MainWindow::LowerPaneNotification() {
  if (LowerPaneTouched(link_)) Iconki();
}

// The editor is handed an existing file, so an empty archive opens as an
// empty document rather than as an error.
void MainWindow::OpenArchive() {
  const std::string path = HomeFilePath(context_.home_directory, kArchiveFileName);
  if (std::FILE* file = std::fopen(path.c_str(), "a")) std::fclose(file);
  if (!context_.open_archive || !context_.open_archive(path))
    SetStatusText(QString::fromUtf8(kArchiveEditorFailedText));
}

void MainWindow::OpenPttDialog() {
  PttDialog dialog(context_.station.ptt, context_.home_directory, this);
  dialog.exec();
}

void MainWindow::ShowMessage(const char* title, const char* text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(title), QString::fromUtf8(text), QMessageBox::Ok);
  box.exec();
}

void MainWindow::Iconki() {
  icon_ = StatusIconFor(link_.PRD_R.load(), link_.PRM_R.load(), link_.USPESHNO.load());
  setWindowIcon(StatusIconPicture(icon_));
  emit iconChanged(icon_);
}

void MainWindow::ReplaceLowerText(const QString& text) {
  link_writes_lower_pane_ = true;
  lower_pane_->setPlainText(text);
  link_writes_lower_pane_ = false;
  typist_.Reset();
}

void MainWindow::TypeIntoLowerPane(unsigned char character) {
  const TypedKey key = typist_.Type(character);
  if (key.kind == TypedKey::Kind::kNothing) return;
  link_writes_lower_pane_ = true;
  QTextCursor cursor = lower_pane_->textCursor();
  if (key.kind == TypedKey::Kind::kBackspace) {
    cursor.deletePreviousChar();
  } else {
    cursor.insertText(key.text);
  }
  lower_pane_->setTextCursor(cursor);
  link_writes_lower_pane_ = false;
}

}  // namespace quillon
