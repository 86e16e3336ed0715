// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A main window over its own link state, station and device list (the
// loopback and null devices only), with a temporary home directory.

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "modem/audio/AudioDevices.h"
#include "modem/StationState.h"
#include "shell/Settings.h"
#include "shell/qt/MainWindow.h"
#include "tests/shell/SettingsBytes.h"
#include "tests/support/TempHome.h"

namespace quillon {

struct ShellFixture {
  ShellFixture() {
    window = std::make_unique<MainWindow>(ShellContext{
        move_v, *station, devices, home.Path(), [this](const std::string& path) {
          opened.push_back(path);
          return editor_starts;
        }});
  }

  TempHome home;
  std::unique_ptr<LinkState> link = std::make_unique<LinkState>();
  std::unique_ptr<StationState> station = std::make_unique<StationState>(*link, 16);
  AudioDevices devices{nullptr};
  SettingsRecord move_v;
  std::vector<std::string> opened;  // paths handed to the archive opener
  bool editor_starts = true;        // what the archive opener reports
  std::unique_ptr<MainWindow> window;
};

// Runs `act` on the first pop-up menu or modal dialog that opens, from the
// event loop that shows it.
inline void WhenShown(std::function<void(QWidget&)> act) {
  auto* poll = new QTimer;
  QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
    QWidget* shown = QApplication::activePopupWidget();
    if (shown == nullptr) shown = QApplication::activeModalWidget();
    if (shown == nullptr || !shown->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    act(*shown);
  });
  poll->start(20);
}

// The window with the given top-level pop-ups painted over it at their
// screen places, as the screen would show them.
inline QPixmap GrabWithPopups(QWidget& window, const std::vector<QWidget*>& popups) {
  const QPoint origin = window.geometry().topLeft();
  QRect area(QPoint(0, 0), window.size());
  for (QWidget* popup : popups) area = area.united(popup->geometry().translated(-origin));
  QPixmap shot(area.size());
  shot.fill(QColor(0x3a, 0x6e, 0xa5));
  QPainter painter(&shot);
  painter.drawPixmap(-area.topLeft(), window.grab());
  for (QWidget* popup : popups) painter.drawPixmap(popup->geometry().topLeft() - origin - area.topLeft(), popup->grab());
  return shot;
}

// Types a text as the keyboard would, one key per character (QTest's
// keyClicks does not take characters beyond Latin-1).
inline void TypeText(QWidget& widget, const QString& text) {
  for (const QChar character : text) {
    if (character == QLatin1Char('\n')) {
      QTest::keyClick(&widget, Qt::Key_Return);
    } else {
      QTest::sendKeyEvent(QTest::Click, &widget, Qt::Key_unknown, QString(character), Qt::NoModifier);
    }
  }
}

inline QString ScreenshotPath(const char* name) { return QStringLiteral(QUILLON_SCREENSHOT_DIR "/") + name; }

}  // namespace quillon
