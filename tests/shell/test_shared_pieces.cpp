// SPDX-License-Identifier: GPL-3.0-or-later
// What both desktop programs share: the settings record and its file, the
// control layout, the status icon rule and the mode menu's check mark.

#include <QtTest>

#include "engine/ModeTable.h"
#include "shell/IconRule.h"
#include "shell/Layout.h"
#include "shell/MenuTable.h"
#include "shell/Settings.h"
#include "tests/shell/SettingsBytes.h"
#include "tests/support/TempHome.h"

using namespace quillon;

namespace {

std::vector<int> Ints(const SettingsRecord& record) {
  std::vector<int> ints;
  for (int index = 0; index < kSettingsInts; ++index) ints.push_back(record.Int(index));
  return ints;
}

const std::vector<int> kDefaults{501, 401, INT32_MIN, INT32_MIN, 0, 0, 0, 0, 0};

void CompareRect(const ControlRect& got, const ControlRect& want) {
  QCOMPARE(got.x, want.x);
  QCOMPARE(got.y, want.y);
  QCOMPARE(got.width, want.width);
  QCOMPARE(got.height, want.height);
}

}  // namespace

class SharedPieces : public QObject {
  Q_OBJECT

 private slots:
  void MissingFileKeepsTheDefaults() {
    TempHome home;
    SettingsRecord record;
    QVERIFY(!ReadSettings(home.File("init.ini"), record));
    QCOMPARE(Ints(record), kDefaults);
    QCOMPARE(record.InputDeviceNumber(), -1);
    QCOMPARE(record.OutputDeviceNumber(), -1);
    QVERIFY(record.StoredWindowPosition().IsDefault());
    QVERIFY(!record.StoredWindowRectangle().IsSet());
  }

  void FileIsTheRawLittleEndianRecord() {
    TempHome home;
    SettingsRecord record;
    record.SetOutputMenuId(503);
    record.SetInputMenuId(402);
    record.SetWindowPosition(-8, 300);
    record.SetWindowRectangle(-8, 300, 392, 500);
    record.SetModeNumber(105);
    QVERIFY(WriteSettings(home.File("init.ini"), record));
    const std::vector<unsigned char> bytes = home.Read("init.ini");
    QCOMPARE(bytes.size(), std::size_t{36});
    QCOMPARE(SettingsInts(bytes), (std::vector<int>{503, 402, -8, 300, -8, 300, 392, 500, 105}));
    QCOMPARE(bytes[0], static_cast<unsigned char>(0xF7));  // 503 = 0x1F7, low byte first
    QCOMPARE(bytes[1], static_cast<unsigned char>(0x01));
    QCOMPARE(bytes[8], static_cast<unsigned char>(0xF8));  // -8
    QCOMPARE(bytes[11], static_cast<unsigned char>(0xFF));

    SettingsRecord again;
    QVERIFY(ReadSettings(home.File("init.ini"), again));
    QCOMPARE(Ints(again), Ints(record));
    QCOMPARE(again.InputDeviceNumber(), 0);
    QCOMPARE(again.OutputDeviceNumber(), 1);
  }

  void ShortFileReplacesOnlyTheBytesItHolds() {
    TempHome home;
    home.Write("init.ini", SettingsBytes({502, 403, 10, 20, 30}));  // 20 bytes
    SettingsRecord record;
    QVERIFY(ReadSettings(home.File("init.ini"), record));
    QCOMPARE(Ints(record), (std::vector<int>{502, 403, 10, 20, 30, 0, 0, 0, 0}));

    // Two bytes into int 1: its low bytes change, its high bytes keep the
    // default's (401 = 0x191).
    home.Write("init.ini", {0xF6, 0x01, 0x00, 0x00, 0x93, 0x01});
    SettingsRecord partial;
    QVERIFY(ReadSettings(home.File("init.ini"), partial));
    QCOMPARE(partial.OutputMenuId(), 502);
    QCOMPARE(partial.InputMenuId(), 403);
    QCOMPARE(partial.Int(2), INT32_MIN);
  }

  void EmptyAndLongFiles() {
    TempHome home;
    home.Write("init.ini", {});
    SettingsRecord empty;
    QVERIFY(ReadSettings(home.File("init.ini"), empty));
    QCOMPARE(Ints(empty), kDefaults);

    std::vector<unsigned char> long_file = SettingsBytes({501, 401, 1, 2, 3, 4, 5, 6, 107, 999});
    home.Write("init.ini", long_file);
    SettingsRecord record;
    QVERIFY(ReadSettings(home.File("init.ini"), record));
    QCOMPARE(Ints(record), (std::vector<int>{501, 401, 1, 2, 3, 4, 5, 6, 107}));
  }

  void UnwritableFileIsNotWritten() {
    TempHome home;
    QVERIFY(!WriteSettings(home.File("no-such-folder/init.ini"), SettingsRecord()));
  }

  void WindowPositionIsKeptAs16BitValues() {
    SettingsRecord record;
    record.SetWindowPosition(static_cast<int16_t>(70000), static_cast<int16_t>(-70000));
    QCOMPARE(record.StoredWindowPosition().left, 70000 - 65536);
    QCOMPARE(record.StoredWindowPosition().top, -70000 + 65536);
  }

  void LayoutOfA400By300ClientArea() {
    const ControlLayout layout = ComputeControlLayout(400, 300);
    CompareRect(layout.upper_pane, {0, 0, 300, 146});
    CompareRect(layout.lower_pane, {0, 152, 300, 146});
    CompareRect(layout.transmit_button, {305, 15, 90, 120});
    CompareRect(layout.archive_button, {305, 165, 90, 120});
  }

  void LayoutOfAnOddHeight() {
    // Y/2 = 88, R = 4 * 17 = 68, O = 10.
    const ControlLayout layout = ComputeControlLayout(250, 177);
    CompareRect(layout.upper_pane, {0, 0, 150, 84});
    CompareRect(layout.lower_pane, {0, 90, 150, 84});
    CompareRect(layout.transmit_button, {155, 10, 90, 68});
    CompareRect(layout.archive_button, {155, 98, 90, 68});
  }

  void ButtonsNeverLowerThan20() {
    // Y/2 = 24: 4 * 4 = 16 is raised to 20, offset (24 - 20) / 2 = 2.
    const ControlLayout layout = ComputeControlLayout(300, 49);
    CompareRect(layout.transmit_button, {205, 2, 90, 20});
    CompareRect(layout.archive_button, {205, 26, 90, 20});
    QCOMPARE(ComputeControlLayout(300, 10).archive_button.height, 20);
  }

  void MinimisedClientAreaGivesNoNegativeSizes() {
    const ControlLayout layout = ComputeControlLayout(0, -22);
    QCOMPARE(layout.upper_pane.width, 0);
    QCOMPARE(layout.upper_pane.height, 0);
    QCOMPARE(layout.lower_pane.height, 0);
    QCOMPARE(layout.transmit_button.height, 20);
  }

  // Whatever a damaged init.ini holds: device numbers, the window's opening
  // place and size and the layout come out without overflow (the sanitizer
  // build checks the arithmetic) and within what a window can take.
  void AnySettingsBytesGiveAUsableWindow() {
    const int32_t extremes[] = {INT32_MIN, INT32_MIN + 1, -65536, -1, 0, 1, 401, 65536, INT32_MAX};
    for (int32_t a : extremes) {
      for (int32_t b : extremes) {
        SettingsRecord record;
        record.ReplaceLeadingBytes(SettingsBytes({a, a, a, b, a, b, b, a, a}).data(), kSettingsBytes);
        // id - 402, or the lowest int where that is no int.
        QCOMPARE(int64_t{record.InputDeviceNumber()}, std::max<int64_t>(int64_t{a} - 402, INT32_MIN));
        const WindowOpening opening = WindowOpeningFor(record);
        for (int coordinate : {opening.left, opening.top, opening.rectangle.x, opening.rectangle.y}) {
          QVERIFY(coordinate >= INT16_MIN);
          QVERIFY(coordinate <= INT16_MAX);
        }
        QVERIFY(opening.rectangle.width >= kMinWindowWidth && opening.rectangle.width <= kMaxWindowWidth);
        QVERIFY(opening.rectangle.height >= kMinWindowHeight && opening.rectangle.height <= kMaxWindowHeight);
        const ControlLayout layout = ComputeControlLayout(a, b);
        QVERIFY(layout.upper_pane.width >= 0 && layout.lower_pane.height >= 0);
        QVERIFY(layout.archive_button.height >= 20);
      }
    }
    SettingsRecord lowest;
    lowest.SetInputMenuId(INT32_MIN);
    lowest.SetOutputMenuId(INT32_MIN + 501);
    QCOMPARE(lowest.InputDeviceNumber(), INT32_MIN);  // no device has that number
    QCOMPARE(lowest.OutputDeviceNumber(), INT32_MIN);
    lowest.SetOutputMenuId(INT32_MIN + 502);
    QCOMPARE(lowest.OutputDeviceNumber(), INT32_MIN);
    lowest.SetOutputMenuId(INT32_MIN + 503);
    QCOMPARE(lowest.OutputDeviceNumber(), INT32_MIN + 1);
  }

  void IconRule_data() {
    QTest::addColumn<int>("prd");
    QTest::addColumn<int>("prm");
    QTest::addColumn<int>("good");
    QTest::addColumn<int>("icon");
    QTest::newRow("idle") << 0 << 0 << 0 << int{kIconIdle};
    QTest::newRow("receiving") << 0 << 1 << 0 << int{kIconReceiving};
    QTest::newRow("good") << 0 << 0 << 1 << int{kIconGood};
    QTest::newRow("good outranks a new frame") << 0 << 1 << 1 << int{kIconGood};
    QTest::newRow("sending") << 1 << 0 << 0 << int{kIconSending};
    QTest::newRow("sending while receiving") << 1 << 1 << 0 << int{kIconSending};
    QTest::newRow("sending after a good frame") << 1 << 0 << 1 << int{kIconSending};
    QTest::newRow("all") << 1 << 1 << 1 << int{kIconSending};
  }
  void IconRule() {
    QFETCH(int, prd);
    QFETCH(int, prm);
    QFETCH(int, good);
    QFETCH(int, icon);
    QCOMPARE(int{StatusIconFor(prd, prm, good)}, icon);
    QCOMPARE(QString(StatusIconName(prd, prm, good)), QStringLiteral("ICON_%1").arg(icon));
  }

  void ModeItemsMatchTheModeTable() {
    for (const OliviaMode& mode : kOliviaModes) {
      QCOMPARE(ModeMenuItemFor(mode.number), mode.menu_id);
      QCOMPARE(mode.menu_id - kModeMenuIdToNumber, mode.number);
    }
    QCOMPARE(ModeMenuItemFor(101), 309);
    QCOMPARE(ModeMenuItemFor(0), 0);
    QCOMPARE(ModeMenuItemFor(92), 0);
    QCOMPARE(ModeMenuItemFor(112), 0);
  }
};

QTEST_APPLESS_MAIN(SharedPieces)
#include "test_shared_pieces.moc"
