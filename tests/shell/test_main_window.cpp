// SPDX-License-Identifier: GPL-3.0-or-later
// The main window on its own: geometry and layout, menus and their ids,
// the commands and the status icon, without the modem threads.

#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QtTest>

#include <filesystem>

#include "engine/ModeTable.h"
#include "shell/Layout.h"
#include "shell/Texts.h"
#include "QuillonVersion.h"
#include "tests/shell/ShellFixture.h"

using namespace quillon;

namespace {

QStringList Labels(const QList<QAction*>& actions) {
  QStringList labels;
  for (const QAction* action : actions)
    if (!action->isSeparator()) labels << action->text();
  return labels;
}

QList<int> CheckedModeItems(const MainWindow& window) {
  QList<int> checked;
  for (int id = 301; id <= 319; ++id)
    if (window.Menus().Item(id)->isChecked()) checked << id;
  return checked;
}

QRect Geometry(const QWidget& widget) { return widget.geometry(); }
QRect Rect(const ControlRect& at) { return QRect(at.x, at.y, at.width, at.height); }

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void TitleCaptionsAndInitialSize() {
    ShellFixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    QCOMPARE(f.window->windowTitle(), QStringLiteral("  Quillon"));
    QCOMPARE(f.window->TransmitButton().text(), QStringLiteral("Передать"));
    QCOMPARE(f.window->ArchiveButton().text(), QStringLiteral("Архив"));
    QCOMPARE(f.window->size(), QSize(kInitialWindowWidth, kInitialWindowHeight));
    QVERIFY(!f.window->UpperPane().isReadOnly());
    QVERIFY(!f.window->LowerPane().isReadOnly());
    QCOMPARE(f.window->CurrentIcon(), kIconIdle);
    f.window->grab().save(ScreenshotPath("window_idle.png"));
  }

  void SizeLimits() {
    ShellFixture f;
    f.window->show();
    f.window->resize(100, 50);
    QCOMPARE(f.window->size(), QSize(kMinWindowWidth, kMinWindowHeight));
    f.window->resize(2000, 2000);
    QCOMPARE(f.window->size(), QSize(900, 600));
  }

  void LayoutFollowsEveryResize() {
    ShellFixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    const int bars = f.window->height() - f.window->centralWidget()->height();
    QVERIFY(bars > 0);  // the menu bar and the status bar
    // 300 pixels above the band strip for the panes and buttons.
    f.window->resize(400, 300 + kBandStripHeight + bars);
    QTRY_COMPARE(f.window->centralWidget()->size(), QSize(400, 300 + kBandStripHeight));
    QCOMPARE(Geometry(f.window->UpperPane()), QRect(0, 0, 300, 146));
    QCOMPARE(Geometry(f.window->LowerPane()), QRect(0, 152, 300, 146));
    QCOMPARE(Geometry(f.window->TransmitButton()), QRect(305, 15, 90, 120));
    QCOMPARE(Geometry(f.window->ArchiveButton()), QRect(305, 165, 90, 120));
    QCOMPARE(Geometry(f.window->Strip()), QRect(0, 300, 400, kBandStripHeight));

    f.window->resize(kMinWindowWidth, kMinWindowHeight);
    QTRY_COMPARE(f.window->centralWidget()->height(), kMinWindowHeight - bars);
    const ControlLayout small = ComputeWindowLayout(kMinWindowWidth, kMinWindowHeight - bars);
    QCOMPARE(Geometry(f.window->TransmitButton()), Rect(small.transmit_button));
    QCOMPARE(Geometry(f.window->LowerPane()), Rect(small.lower_pane));
  }

  void WindowPlaceIsStoredAndRestored() {
    ShellFixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    f.window->move(120, 80);
    QTRY_COMPARE(f.move_v.StoredWindowPosition().left, 120);
    QCOMPARE(f.move_v.StoredWindowPosition().top, 80);
    f.window->resize(500, 300);
    QTRY_COMPARE(f.move_v.StoredWindowRectangle().right, 620);
    QCOMPARE(f.move_v.StoredWindowRectangle().left, 120);
    QCOMPARE(f.move_v.StoredWindowRectangle().top, 80);
    QCOMPARE(f.move_v.StoredWindowRectangle().bottom, 380);
    const QRect placed(f.window->pos(), f.window->size());

    // A new window over the same record takes that place and size.
    f.window.reset();
    MainWindow again(ShellContext{f.move_v, *f.station, f.devices, f.home.Path()});
    again.show();
    QVERIFY(QTest::qWaitForWindowExposed(&again));
    QCOMPARE(QRect(again.pos(), again.size()), placed);
  }

  void DamagedSettingsStillOpenAUsableWindow() {
    ShellFixture f;
    // Device ids of INT_MIN, a place far off, a rectangle whose width and
    // height do not fit an int.
    f.move_v.ReplaceLeadingBytes(
        SettingsBytes({INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 0})
            .data(),
        kSettingsBytes);
    MainWindow window(ShellContext{f.move_v, *f.station, f.devices, f.home.Path()});
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.size(), QSize(kMaxWindowWidth, kMaxWindowHeight));
    QCOMPARE(window.pos(), QPoint(INT16_MIN, INT16_MIN));
  }

  void MenuBarLabelsAndIds() {
    ShellFixture f;
    const QList<QAction*> bar = f.window->menuBar()->actions();
    QCOMPARE(Labels(bar), (QStringList{"&Режимы", "&О программе"}));
    QMenu* modes = bar[0]->menu();
    QCOMPARE(Labels(modes->actions()), (QStringList{"&Вход звука", "&Выход звука", "&Режим OLIVIA", "&Выход", "&Передатчик…"}));
    QCOMPARE(modes->actions()[0]->data().toInt(), 101);
    QCOMPARE(modes->actions()[1]->data().toInt(), 102);
    QCOMPARE(modes->actions()[3]->data().toInt(), 108);
    QCOMPARE(modes->actions()[4]->data().toInt(), 109);
    QMenu* olivia = modes->actions()[2]->menu();
    QVERIFY(olivia != nullptr);
    // The 19 modes, a separator, "Все режимы", a separator, "Глубокий приём".
    QCOMPARE(olivia->actions().size(), 23);
    QVERIFY(olivia->actions()[19]->isSeparator());
    QCOMPARE(olivia->actions()[20]->data().toInt(), 320);
    QCOMPARE(olivia->actions()[20]->text(), QStringLiteral("Все режимы"));
    QVERIFY(olivia->actions()[21]->isSeparator());
    QCOMPARE(olivia->actions()[22]->data().toInt(), 321);
    QCOMPARE(olivia->actions()[22]->text(), QStringLiteral("Глубокий приём"));
    for (int row = 0; row < 19; ++row) {
      QCOMPARE(olivia->actions()[row]->data().toInt(), 301 + row);
      QCOMPARE(olivia->actions()[row]->text(), QString(kOliviaModes[row].label));
    }
    QCOMPARE(olivia->actions()[0]->text(), QStringLiteral("OLIVIA_64_250"));
    QCOMPARE(olivia->actions()[8]->text(), QStringLiteral("OLIVIA_8_500"));
    QMenu* about = bar[1]->menu();
    QCOMPARE(Labels(about->actions()), (QStringList{"&Описание", "&Автор"}));
    QCOMPARE(about->actions()[0]->data().toInt(), 201);
    QCOMPARE(about->actions()[1]->data().toInt(), 202);
  }

  void ModeMenuCarriesOneCheckMark() {
    ShellFixture f;
    f.window->OnOffMenu(101);
    QCOMPARE(CheckedModeItems(*f.window), QList<int>{309});
    f.window->Menus().Item(313)->trigger();  // "OLIVIA_16_1000"
    QTRY_COMPARE(f.move_v.ModeNumber(), 105);
    QCOMPARE(f.station->mode_number.load(), 105);
    QCOMPARE(CheckedModeItems(*f.window), QList<int>{313});
    f.window->OnOffMenu(0);
    QCOMPARE(CheckedModeItems(*f.window), QList<int>{});
    f.window->OnOffMenu(112);
    QCOMPARE(CheckedModeItems(*f.window), QList<int>{});
    f.window->OnOffMenu(93);
    QCOMPARE(CheckedModeItems(*f.window), QList<int>{301});
  }

  // "Все режимы" listens in every mode and keeps the transmitting mode (and
  // init.ini's record); a single mode chosen again listens in that one. The
  // choice lives in quillon.conf.
  void AllModesItemListensInAllUntilASingleModeIsChosen() {
    ShellFixture f;
    f.move_v.SetModeNumber(101);
    f.window->OnOffMenu(101);
    f.window->Menus().Item(320)->trigger();
    QTRY_COMPARE(f.station->listen_all_modes.load(), 1);
    QCOMPARE(f.station->mode_number.load(), 101);
    QCOMPARE(f.move_v.ModeNumber(), 101);
    QCOMPARE(CheckedModeItems(*f.window), QList<int>{309});
    QVERIFY(f.window->Menus().Item(320)->isChecked());
    const auto conf = [&] {
      const std::vector<unsigned char> bytes = f.home.Read("quillon.conf");
      return std::string(bytes.begin(), bytes.end());
    };
    QVERIFY(conf().find("listen_all_modes = 1") != std::string::npos);

    f.window->Menus().Item(309)->trigger();  // the same mode, alone again
    QTRY_COMPARE(f.station->listen_all_modes.load(), 0);
    QCOMPARE(f.station->mode_number.load(), 101);
    QVERIFY(!f.window->Menus().Item(320)->isChecked());
    QCOMPARE(CheckedModeItems(*f.window), QList<int>{309});
    QVERIFY(conf().find("listen_all_modes = 0") != std::string::npos);
  }

  // "Глубокий приём" switches the deep receiver on and off whichever
  // listening is chosen, and quillon.conf keeps it; a file that cannot be
  // written is said in the status bar, and the choice holds for the run.
  void DeepReceiveItemTogglesAndIsKept() {
    ShellFixture f;
    f.window->OnOffMenu(101, true);
    QAction& deep = *f.window->Menus().Item(321);
    QVERIFY(deep.isCheckable());
    QVERIFY(!deep.isChecked());
    const auto conf = [&] {
      const std::vector<unsigned char> bytes = f.home.Read("quillon.conf");
      return std::string(bytes.begin(), bytes.end());
    };
    deep.trigger();
    QTRY_COMPARE(f.station->deep_receive.load(), 1);
    QVERIFY(deep.isChecked());
    QVERIFY(conf().find("deep_receive = 1") != std::string::npos);
    QVERIFY(f.window->Menus().Item(320)->isChecked());  // the listening chosen stays as it is
    deep.trigger();
    QTRY_COMPARE(f.station->deep_receive.load(), 0);
    QVERIFY(!deep.isChecked());
    QVERIFY(conf().find("deep_receive = 0") != std::string::npos);
    QVERIFY(f.window->StatusLabel().text().isEmpty());

    std::filesystem::remove(f.home.File("quillon.conf"));
    std::filesystem::create_directory(f.home.File("quillon.conf"));  // no file can replace it
    deep.trigger();
    QTRY_COMPARE(f.station->deep_receive.load(), 1);
    QVERIFY(deep.isChecked());
    QCOMPARE(f.window->StatusLabel().text(), QString::fromUtf8(kSettingNotKeptText));
  }

  void OpenMenuScreenshot() {
    ShellFixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    f.window->OnOffMenu(101);
    QMenu* modes = f.window->menuBar()->actions()[0]->menu();
    QMenu* olivia = modes->actions()[2]->menu();
    f.window->menuBar()->setActiveAction(modes->menuAction());
    QTRY_VERIFY(modes->isVisible());
    modes->setActiveAction(olivia->menuAction());
    QTest::keyClick(modes, Qt::Key_Right);
    QTRY_VERIFY(olivia->isVisible());
    QVERIFY(GrabWithPopups(*f.window, {modes, olivia}).save(ScreenshotPath("window_menu.png")));
    olivia->close();
    modes->close();
  }

  void InputPopupListsTheDevicesAndChoosesOne() {
    ShellFixture f;
    f.window->show();
    QStringList labels;
    QList<int> ids;
    QList<bool> checks;
    WhenShown([&](QWidget& shown) {
      auto& popup = static_cast<QMenu&>(shown);
      for (QAction* action : popup.actions()) {
        labels << action->text();
        ids << action->data().toInt();
        checks << action->isChecked();
      }
      popup.setActiveAction(popup.actions()[1]);
      QTest::keyClick(&popup, Qt::Key_Return);
    });
    QVERIFY(f.window->RunCommand(101));
    QCOMPARE(labels, (QStringList{"&Вход по умолчанию", "Quillon loopback", "Quillon null (silence)"}));
    QCOMPARE(ids, (QList<int>{401, 402, 403}));
    QCOMPARE(checks, (QList<bool>{true, false, false}));
    QCOMPARE(f.move_v.InputMenuId(), 402);
    QCOMPARE(f.station->InDECSW.load(), 0);
  }

  void OutputPopupChecksTheStoredChoice() {
    ShellFixture f;
    f.move_v.SetOutputMenuId(503);
    f.window->show();
    QList<bool> checks;
    QList<int> ids;
    WhenShown([&](QWidget& shown) {
      auto& popup = static_cast<QMenu&>(shown);
      for (QAction* action : popup.actions()) {
        ids << action->data().toInt();
        checks << action->isChecked();
      }
      popup.close();
    });
    QVERIFY(f.window->RunCommand(102));
    QCOMPARE(ids, (QList<int>{501, 502, 503}));
    QCOMPARE(checks, (QList<bool>{false, false, true}));
    QCOMPARE(f.move_v.OutputMenuId(), 503);  // nothing chosen, nothing changed
  }

  void DeviceCommandsUpToSixteenDevices() {
    ShellFixture f;
    QVERIFY(f.window->RunCommand(417));
    QCOMPARE(f.station->InDECSW.load(), 15);
    QVERIFY(f.window->RunCommand(401));
    QCOMPARE(f.station->InDECSW.load(), -1);
    QCOMPARE(f.move_v.InputMenuId(), 401);
    QVERIFY(f.window->RunCommand(502));
    QCOMPARE(f.station->OutDECSW.load(), 0);
    QCOMPARE(f.move_v.OutputMenuId(), 502);
    QVERIFY(!f.window->RunCommand(418));
    QVERIFY(!f.window->RunCommand(518));
    QCOMPARE(f.move_v.InputMenuId(), 401);
    QCOMPARE(f.move_v.OutputMenuId(), 502);
    QVERIFY(f.window->RunCommand(100));
    QVERIFY(!f.window->RunCommand(103));
  }

  void DescriptionAndAuthorBoxes() {
    ShellFixture f;
    QString title, text;
    auto read_and_close = [&](QWidget& shown) {
      auto& box = static_cast<QMessageBox&>(shown);
      title = box.windowTitle();
      text = box.text();
      box.accept();
    };
    WhenShown(read_and_close);
    QVERIFY(f.window->RunCommand(201));
    QCOMPARE(title, QStringLiteral("Описание"));
    QCOMPARE(text, QString::fromUtf8(kDescriptionText));
    QVERIFY(text.startsWith(QStringLiteral("Программа предназначена для передачи коротких текстов\nчерез")));
    QVERIFY(text.endsWith(QStringLiteral("нажав кнопку [Архив].\n")));
    WhenShown(read_and_close);
    QVERIFY(f.window->RunCommand(202));
    QCOMPARE(title, QStringLiteral("Автор"));
    QVERIFY(text.contains(QStringLiteral("Quillon")));
    QVERIFY(text.contains(QStringLiteral("Версия ") + QString::fromUtf8(kProgramVersion)));
  }

  void TransmitSetsTheRequestOnlyWhenIdle() {
    ShellFixture f;
    f.window->show();
    QTest::mouseClick(&f.window->TransmitButton(), Qt::LeftButton);
    QCOMPARE(f.link->Ura.load(), 1);

    // A request already pending stays one request.
    QTest::mouseClick(&f.window->TransmitButton(), Qt::LeftButton);
    QCOMPARE(f.link->Ura.load(), 1);

    // While transmitting: only the success indicator is cleared.
    f.link->Ura.store(0);
    f.link->PRD_R.store(1);
    f.link->USPESHNO.store(1);
    QTest::mouseClick(&f.window->TransmitButton(), Qt::LeftButton);
    QCOMPARE(f.link->Ura.load(), 0);
    QCOMPARE(f.link->USPESHNO.load(), 0);
    QCOMPARE(f.window->CurrentIcon(), kIconSending);
  }

  // A character the link has no code for would go out as '?': the window
  // names it and asks for no transmission.
  void TextWithACharacterCp1251LacksIsRefused() {
    ShellFixture f;
    f.window->show();
    f.window->UpperPane().setPlainText(QStringLiteral("Ёлка №5 — «ok»"));
    QTest::mouseClick(&f.window->TransmitButton(), Qt::LeftButton);
    QCOMPARE(f.link->Ura.load(), 1);  // Ё, №, the dash and the quotes are all in cp1251
    f.link->Ura.store(0);
    f.window->UpperPane().setPlainText(QStringLiteral("Grüße 漢字"));
    QTest::mouseClick(&f.window->TransmitButton(), Qt::LeftButton);
    QCOMPARE(f.link->Ura.load(), 0);
    QCOMPARE(f.window->StatusLabel().text(), QStringLiteral("Символ «ü» нельзя передать"));
    f.window->grab().save(ScreenshotPath("window_unsendable.png"));
  }

  void TransmitClearsTheSuccessIcon() {
    ShellFixture f;
    f.window->show();
    f.link->USPESHNO.store(1);
    f.window->Iconki();
    QCOMPARE(f.window->CurrentIcon(), kIconGood);
    QTest::mouseClick(&f.window->TransmitButton(), Qt::LeftButton);
    QCOMPARE(f.window->CurrentIcon(), kIconIdle);
    QCOMPARE(f.link->Ura.load(), 1);
  }

  void ArchiveCreatesTheFileAndHandsItOn() {
    ShellFixture f;
    f.window->show();
    f.link->USPESHNO.store(1);
    QVERIFY(!f.home.Exists("log.txt"));
    QTest::mouseClick(&f.window->ArchiveButton(), Qt::LeftButton);
    QCOMPARE(f.opened, std::vector<std::string>{f.home.File("log.txt")});
    QVERIFY(f.home.Exists("log.txt"));
    QVERIFY(f.home.Read("log.txt").empty());
    QCOMPARE(f.link->USPESHNO.load(), 0);

    // An existing archive is left as it is.
    f.home.Write("log.txt", {'a', 'b', '\n'});
    QTest::mouseClick(&f.window->ArchiveButton(), Qt::LeftButton);
    QCOMPARE(f.home.Read("log.txt"), (std::vector<unsigned char>{'a', 'b', '\n'}));
    QCOMPARE(f.opened.size(), std::size_t{2});
  }

  void ArchiveWithoutAnEditorSaysSoInTheStatusBar() {
    ShellFixture f;
    f.editor_starts = false;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    f.link->USPESHNO.store(1);
    QTest::mouseClick(&f.window->ArchiveButton(), Qt::LeftButton);
    QCOMPARE(f.opened, std::vector<std::string>{f.home.File("log.txt")});
    QCOMPARE(f.window->StatusLabel().text(), QStringLiteral("Не удалось запустить редактор архива"));
    QCOMPARE(f.link->USPESHNO.load(), 0);  // the operator has seen the frame all the same
    f.window->grab().save(ScreenshotPath("window_no_editor.png"));
  }

  void ClickIntoTheLowerPaneClearsAGoodFrame() {
    ShellFixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    f.link->USPESHNO.store(1);
    f.window->Iconki();
    f.window->TransmitButton().setFocus();
    QTest::mouseClick(f.window->LowerPane().viewport(), Qt::LeftButton);
    QCOMPARE(f.link->USPESHNO.load(), 0);
    QCOMPARE(f.window->CurrentIcon(), kIconIdle);
  }

  void ClickWhileAFrameArrivesKeepsTheIndicators() {
    ShellFixture f;
    f.window->show();
    QVERIFY(QTest::qWaitForWindowExposed(f.window.get()));
    f.link->USPESHNO.store(1);
    f.link->PRM_R.store(1);
    f.window->Iconki();
    QTest::mouseClick(f.window->LowerPane().viewport(), Qt::LeftButton);
    QTest::keyClick(&f.window->LowerPane(), Qt::Key_X);
    QCOMPARE(f.link->USPESHNO.load(), 1);
    QCOMPARE(f.window->CurrentIcon(), kIconGood);
  }

  void LinkWritesToTheLowerPaneAreNoNotification() {
    ShellFixture f;
    f.link->USPESHNO.store(1);
    f.window->ReplaceLowerText(QStringLiteral("abc"));
    f.window->ReplaceLowerText(QString());
    for (unsigned char character : {'a', '\r', '\n', '\xC0', '\b', 'b'}) f.window->TypeIntoLowerPane(character);
    QCOMPARE(f.link->USPESHNO.load(), 1);
    QCOMPARE(f.window->LowerPane().toPlainText(), QStringLiteral("a\nb"));
  }

  void IconFollowsTheIndicators() {
    ShellFixture f;
    QList<int> shown;
    QObject::connect(f.window.get(), &MainWindow::iconChanged, [&shown](int icon) { shown << icon; });
    f.link->PRM_R.store(1);
    f.window->Iconki();
    f.link->PRD_R.store(1);
    f.window->Iconki();
    f.link->PRD_R.store(0);
    f.window->Iconki();
    f.link->PRM_R.store(0);
    f.link->USPESHNO.store(1);
    f.window->Iconki();
    QCOMPARE(shown, (QList<int>{kIconReceiving, kIconSending, kIconReceiving, kIconGood}));
    QVERIFY(!f.window->windowIcon().isNull());
  }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
