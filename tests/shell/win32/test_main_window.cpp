// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as the window thread drives it: controls, layout, size
// limits, commands, the mode check mark, the status icon, and the link's view
// used from another thread.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

#include "link/LinkState.h"
#include "modem/StationState.h"
#include "shell/Layout.h"
#include "shell/StripTexts.h"
#include "shell/Texts.h"
#include "shell/win32/BandStrip.h"
#include "shell/win32/MainWindow.h"
#include "shell/win32/Menus.h"
#include "shell/win32/ShellWindows.h"
#include "shell/win32/StatusIcon.h"
#include "shell/win32/WindowView.h"

namespace quillon {
namespace {

RECT RectInParent(HWND child) {
  RECT rect{};
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void ExpectRect(HWND child, int x, int y, int width, int height) {
  const RECT rect = RectInParent(child);
  EXPECT_EQ(rect.left, x);
  EXPECT_EQ(rect.top, y);
  EXPECT_EQ(rect.right - rect.left, width);
  EXPECT_EQ(rect.bottom - rect.top, height);
}

std::string WindowText(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof(text));
  return text;
}

// Answers the synchronous messages of other threads until `done`.
void PumpUntil(const std::atomic<bool>& done) {
  while (!done.load()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
  }
}

class MainWindowTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    hInst = GetModuleHandleA(nullptr);
    ASSERT_TRUE(RegisterMainWindowClass(hInst));
    Glhwnd = CreateMainWindow(hInst, CW_USEDEFAULT, CW_USEDEFAULT);
    ASSERT_NE(Glhwnd, nullptr);
  }

  void SetUp() override {
    ProcessLinkState().Reset();
    ProcessStationState().Reset();
    move_v = SettingsRecord();
    move_v.SetModeNumber(101);
  }

  static LRESULT Command(int id) { return SendMessageA(Glhwnd, WM_COMMAND, MAKEWPARAM(id, 0), 0); }
  static bool Checked(int id) { return (GetMenuState(GetMenu(Glhwnd), id, MF_BYCOMMAND) & MF_CHECKED) != 0; }
  static HICON BigIcon() { return reinterpret_cast<HICON>(SendMessageA(Glhwnd, WM_GETICON, ICON_BIG, 0)); }
  static HICON SmallIcon() { return reinterpret_cast<HICON>(SendMessageA(Glhwnd, WM_GETICON, ICON_SMALL, 0)); }

  LinkState& link = ProcessLinkState();
  StationState& station = ProcessStationState();
};

TEST_F(MainWindowTest, CreatesTheControlsWithTheirIdsAndCaptions) {
  EXPECT_EQ(WindowText(Glhwnd), kWindowTitle);
  EXPECT_EQ(GetDlgItem(Glhwnd, kUpperPaneId), hwndStEd1);
  EXPECT_EQ(GetDlgItem(Glhwnd, kLowerPaneId), hwndStEd2);
  EXPECT_EQ(GetDlgItem(Glhwnd, kTransmitButtonId), hwndKn1);
  EXPECT_EQ(GetDlgItem(Glhwnd, kArchiveButtonId), hwndKn2);
  EXPECT_EQ(WindowText(hwndKn1), kTransmitCaption);
  EXPECT_EQ(WindowText(hwndKn2), kArchiveCaption);
  // Both panes take typing.
  EXPECT_EQ(GetWindowLongA(hwndStEd1, GWL_STYLE) & ES_READONLY, 0);
  EXPECT_EQ(GetWindowLongA(hwndStEd2, GWL_STYLE) & ES_READONLY, 0);
  EXPECT_NE(GetWindowLongA(hwndStEd2, GWL_STYLE) & ES_MULTILINE, 0);
}

TEST_F(MainWindowTest, LaysOutTheControlsForTheUsableArea) {
  RECT bar{};
  GetWindowRect(hwndSb, &bar);
  const int bar_height = bar.bottom - bar.top;
  // The band strip takes the bottom of the usable area; the panes and
  // buttons share the 400 x 300 above it.
  SendMessageA(Glhwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(400, 300 + kBandStripHeight + bar_height));
  ExpectRect(hwndStEd1, 0, 0, 300, 146);
  ExpectRect(hwndStEd2, 0, 152, 300, 146);
  ExpectRect(hwndKn1, 305, 15, 90, 120);
  ExpectRect(hwndKn2, 305, 165, 90, 120);
  ExpectRect(GetDlgItem(Glhwnd, kBandStripId), 0, 300, 400, kBandStripHeight);

  // Below 50 pixels above the strip the buttons keep a height of 20.
  SendMessageA(Glhwnd, WM_SIZE, SIZE_RESTORED, MAKELPARAM(300, 40 + kBandStripHeight + bar_height));
  ExpectRect(hwndKn1, 205, 0, 90, 20);
  ExpectRect(hwndKn2, 205, 20, 90, 20);
}

TEST_F(MainWindowTest, AtTheSmallestSizeTheStripFitsBetweenTheLowerPaneAndTheStatusBar) {
  // The real caption, menu bar and status bar decide what is left: a menu
  // bar that wrapped onto a second line, say, would push the strip under
  // the status bar.
  ::SetWindowPos(Glhwnd, nullptr, 0, 0, kMinWindowWidth, kMinWindowHeight, SWP_NOMOVE | SWP_NOZORDER);
  const RECT strip = RectInParent(GetDlgItem(Glhwnd, kBandStripId));
  const RECT lower = RectInParent(hwndStEd2);
  const RECT bar = RectInParent(hwndSb);
  RECT client{};
  GetClientRect(Glhwnd, &client);
  EXPECT_EQ(strip.bottom - strip.top, kBandStripHeight);
  EXPECT_EQ(strip.right - strip.left, client.right);
  EXPECT_GE(strip.top, lower.bottom);
  EXPECT_LE(strip.bottom, bar.top);
  // The panes keep room for a line of text (the platform font is some 13
  // pixels high) and the buttons their least height.
  EXPECT_GE(lower.bottom - lower.top, 13);
  EXPECT_GE(RectInParent(hwndKn2).bottom - RectInParent(hwndKn2).top, 20);
  ::SetWindowPos(Glhwnd, nullptr, 0, 0, kInitialWindowWidth, kInitialWindowHeight, SWP_NOMOVE | SWP_NOZORDER);
}

TEST_F(MainWindowTest, LimitsTheTrackingSize) {
  MINMAXINFO info{};
  SendMessageA(Glhwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(info.ptMinTrackSize.x, kMinWindowWidth);
  EXPECT_EQ(info.ptMinTrackSize.y, kMinWindowHeight);
  EXPECT_EQ(info.ptMaxTrackSize.x, 900);
  EXPECT_EQ(info.ptMaxTrackSize.y, 600);
}

TEST_F(MainWindowTest, ModeCommandsStoreTheModeAndMoveTheCheckMark) {
  OnOffMenu(101);
  EXPECT_TRUE(Checked(309));
  EXPECT_EQ(Command(313), 1);  // "OLIVIA_16_1000"
  EXPECT_EQ(move_v.ModeNumber(), 105);
  EXPECT_EQ(station.mode_number.load(), 105);
  EXPECT_TRUE(Checked(313));
  EXPECT_FALSE(Checked(309));

  OnOffMenu(111);
  EXPECT_TRUE(Checked(319));
  OnOffMenu(0);  // not a mode: no item checked
  for (int item = 301; item <= 319; ++item) EXPECT_FALSE(Checked(item)) << item;
}

// "Все режимы" (320) listens in every mode beside the checked one, which
// still transmits; a single mode chosen again listens in that one alone.
TEST_F(MainWindowTest, AllModesCommandListensInAllUntilASingleModeIsChosen) {
  OnOffMenu(101);
  EXPECT_EQ(Command(320), 1);
  EXPECT_EQ(station.listen_all_modes.load(), 1);
  EXPECT_EQ(station.mode_number.load(), 101);
  EXPECT_EQ(move_v.ModeNumber(), 101);
  EXPECT_TRUE(Checked(320));
  EXPECT_TRUE(Checked(309));
  EXPECT_EQ(Command(309), 1);
  EXPECT_EQ(station.listen_all_modes.load(), 0);
  EXPECT_FALSE(Checked(320));
  EXPECT_TRUE(Checked(309));
}

// "Глубокий приём" (321) switches the deep receiver on and off, whichever
// listening is chosen.
TEST_F(MainWindowTest, DeepReceiveCommandTogglesTheDeepReceiver) {
  OnOffMenu(101);
  CheckDeepReceive(false);
  EXPECT_EQ(Command(321), 1);
  EXPECT_EQ(station.deep_receive.load(), 1);
  EXPECT_TRUE(Checked(321));
  EXPECT_EQ(Command(320), 1);
  EXPECT_TRUE(Checked(321));
  EXPECT_EQ(Command(321), 1);
  EXPECT_EQ(station.deep_receive.load(), 0);
  EXPECT_FALSE(Checked(321));
  EXPECT_TRUE(Checked(320));
  EXPECT_EQ(Command(309), 1);  // one mode again: the switch stays off
  EXPECT_FALSE(Checked(321));
}

TEST_F(MainWindowTest, DeviceCommandsSetTheDeviceNumbers) {
  EXPECT_EQ(Command(412), 1);
  EXPECT_EQ(move_v.InputMenuId(), 412);
  EXPECT_EQ(station.InDECSW.load(), 10);
  EXPECT_EQ(Command(401), 1);
  EXPECT_EQ(station.InDECSW.load(), -1);
  EXPECT_EQ(Command(517), 1);
  EXPECT_EQ(move_v.OutputMenuId(), 517);
  EXPECT_EQ(station.OutDECSW.load(), 15);

  // Items past the sixteenth device, and unknown ids, do nothing.
  EXPECT_EQ(Command(418), 0);
  EXPECT_EQ(Command(518), 0);
  EXPECT_EQ(Command(999), 0);
  EXPECT_EQ(station.InDECSW.load(), -1);
  EXPECT_EQ(station.OutDECSW.load(), 15);
  EXPECT_EQ(Command(100), 1);
}

TEST_F(MainWindowTest, TransmitButtonRequestsOnlyWhileNothingIsSent) {
  EXPECT_EQ(Command(kTransmitButtonId), 1);
  EXPECT_EQ(link.Ura.load(), 1);

  link.Ura.store(0);
  link.PRD_R.store(1);
  link.USPESHNO.store(1);
  Command(kTransmitButtonId);
  EXPECT_EQ(link.Ura.load(), 0);
  EXPECT_EQ(link.USPESHNO.load(), 0);  // the success indicator is cleared all the same
}

TEST_F(MainWindowTest, LowerPaneClearsSuccessOnlyOutsideAFrame) {
  const auto pane_focused = [] {
    SendMessageA(Glhwnd, WM_COMMAND, MAKEWPARAM(kLowerPaneId, EN_SETFOCUS), reinterpret_cast<LPARAM>(hwndStEd2));
  };
  link.USPESHNO.store(1);
  link.PRM_R.store(1);
  pane_focused();
  EXPECT_EQ(link.USPESHNO.load(), 1);
  link.PRM_R.store(0);
  pane_focused();
  EXPECT_EQ(link.USPESHNO.load(), 0);
  EXPECT_EQ(BigIcon(), LoadIconA(hInst, "ICON_0"));
}

TEST_F(MainWindowTest, GoodFrameStaysGreenWhenTheLinkTakesTheFocusFromTheLowerPane) {
  // The operator was in the lower pane when a good frame came in; the link
  // then gives "Архив" the focus, and the pane's losing it is no touch.
  SetFocus(hwndStEd2);
  link.USPESHNO.store(1);
  Iconki();
  WindowView().FocusArchiveButton();
  EXPECT_EQ(GetFocus(), hwndKn2);
  EXPECT_EQ(link.USPESHNO.load(), 1);
  EXPECT_EQ(BigIcon(), LoadIconA(hInst, "ICON_2"));

  // The operator's own focus, typing, and a click into the focused pane do
  // clear it.
  SetFocus(hwndStEd2);
  EXPECT_EQ(link.USPESHNO.load(), 0);
  EXPECT_EQ(BigIcon(), LoadIconA(hInst, "ICON_0"));
  link.USPESHNO.store(1);
  SendMessageA(hwndStEd2, WM_CHAR, 'x', 0);
  EXPECT_EQ(link.USPESHNO.load(), 0);
  link.USPESHNO.store(1);
  SendMessageA(hwndStEd2, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageA(hwndStEd2, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(link.USPESHNO.load(), 0);
  SetWindowTextA(hwndStEd2, "");
}

TEST_F(MainWindowTest, ArchiveWithoutAnEditorSaysSoInTheStatusBar) {
  ArchiveEditor = "quillon-no-such-editor.exe";
  link.USPESHNO.store(1);
  Command(kArchiveButtonId);
  ArchiveEditor = "notepad.exe";
  char status[128] = {};
  SendMessageA(hwndSb, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(status));
  EXPECT_STREQ(status, kArchiveEditorFailedText);
  EXPECT_EQ(link.USPESHNO.load(), 0);  // the operator has seen the frame all the same
}

TEST_F(MainWindowTest, IconFollowsTheIndicators) {
  struct Case {
    int prd, prm, good;
    const char* icon;
  };
  const Case cases[] = {{0, 0, 0, "ICON_0"}, {1, 0, 0, "ICON_3"}, {1, 1, 1, "ICON_3"}, {0, 1, 0, "ICON_1"},
                        {0, 1, 1, "ICON_2"}, {0, 0, 1, "ICON_2"}};
  for (const Case& c : cases) {
    link.PRD_R.store(c.prd);
    link.PRM_R.store(c.prm);
    link.USPESHNO.store(c.good);
    Iconki();
    EXPECT_EQ(BigIcon(), LoadIconA(hInst, c.icon)) << c.icon;
    EXPECT_EQ(SmallIcon(), LoadIconA(hInst, c.icon)) << c.icon;
  }
}

TEST_F(MainWindowTest, ViewWorksFromAnotherThread) {
  SetWindowTextA(hwndStEd1, "Привет, 73");
  SetWindowTextA(hwndStEd2, "");
  WindowView view;
  std::string fetched;
  std::string fetched_short;
  std::atomic<bool> done{false};
  link.PRD_R.store(1);
  SignalReport report;
  report.snr_db = -8.4;
  report.offset_hz = 23.0;
  report.mode_number = 101;
  report.time = 1000000000;
  std::thread worker([&] {
    fetched = view.FetchUpperText(9994);
    fetched_short = view.FetchUpperText(3);
    view.SetStatusText("CRC 3C = 3C");
    for (unsigned char c : std::string("Да!")) view.InsertLowerChar(c);
    view.FocusArchiveButton();
    view.Iconki();
    view.ShowSignalReport(report);
    done.store(true);
  });
  PumpUntil(done);
  worker.join();

  EXPECT_EQ(fetched, "Привет, 73");
  EXPECT_EQ(fetched_short, "При");
  char status[64] = {};
  SendMessageA(hwndSb, SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(status));
  EXPECT_STREQ(status, "CRC 3C = 3C");
  EXPECT_EQ(WindowText(hwndStEd2), "Да!");
  EXPECT_EQ(GetFocus(), hwndKn2);
  EXPECT_EQ(BigIcon(), LoadIconA(hInst, "ICON_3"));
  EXPECT_EQ(WindowText(GetDlgItem(Glhwnd, kBandStripId)), SignalReportText(report));

  std::atomic<bool> replaced{false};
  std::thread replacer([&] {
    view.SetLowerText("Новый текст");
    replaced.store(true);
  });
  PumpUntil(replaced);
  replacer.join();
  EXPECT_EQ(WindowText(hwndStEd2), "Новый текст");
}

TEST_F(MainWindowTest, MovesAreStoredButNotTheMinimisedPlace) {
  SetWindowPos(Glhwnd, nullptr, 40, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT placed{};
  GetWindowRect(Glhwnd, &placed);
  EXPECT_EQ(move_v.StoredWindowPosition().left, 40);
  EXPECT_EQ(move_v.StoredWindowPosition().top, 60);
  EXPECT_EQ(move_v.StoredWindowRectangle().left, placed.left);
  EXPECT_EQ(move_v.StoredWindowRectangle().right, placed.right);
  EXPECT_EQ(move_v.StoredWindowRectangle().bottom, placed.bottom);

  // Closed while minimised, the next start must not open at the icon place.
  ShowWindow(Glhwnd, SW_MINIMIZE);
  EXPECT_TRUE(IsIconic(Glhwnd));
  EXPECT_EQ(move_v.StoredWindowPosition().left, 40);
  EXPECT_EQ(move_v.StoredWindowPosition().top, 60);
  EXPECT_EQ(move_v.StoredWindowRectangle().left, placed.left);
  EXPECT_EQ(move_v.StoredWindowRectangle().top, placed.top);
  EXPECT_EQ(move_v.StoredWindowRectangle().right, placed.right);
  EXPECT_EQ(move_v.StoredWindowRectangle().bottom, placed.bottom);
  ShowWindow(Glhwnd, SW_RESTORE);
  EXPECT_EQ(move_v.StoredWindowPosition().left, 40);
  EXPECT_EQ(move_v.StoredWindowRectangle().right, placed.right);

  // The position is kept cut to 16 bits, the rectangle whole.
  SetWindowPos(Glhwnd, nullptr, 40000, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  RECT distant{};
  GetWindowRect(Glhwnd, &distant);
  if (distant.left == 40000) {
    EXPECT_EQ(move_v.StoredWindowPosition().left, 40000 - 65536);
    EXPECT_EQ(move_v.StoredWindowRectangle().left, 40000);
  }
  SetWindowPos(Glhwnd, nullptr, 40, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Destroys a second main window and takes the quit message its end posts.
void CloseSecondWindow(HWND second) {
  DestroyWindow(second);
  MSG message{};
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
    if (message.message != WM_QUIT) DispatchMessageA(&message);
}

TEST_F(MainWindowTest, DamagedSettingsStillOpenAUsableWindow) {
  const HWND saved[] = {Glhwnd, hwndSb, hwndStEd1, hwndStEd2, hwndKn1, hwndKn2};
  // A rectangle whose width and height do not fit an int.
  move_v.SetWindowRectangle(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX);
  HWND second = CreateMainWindow(hInst, 0, 0);
  ASSERT_NE(second, nullptr);
  RECT rect{};
  GetWindowRect(second, &rect);
  EXPECT_EQ(rect.left, INT16_MIN);
  EXPECT_EQ(rect.right - rect.left, 900);
  EXPECT_EQ(rect.bottom - rect.top, 600);
  CloseSecondWindow(second);
  Glhwnd = saved[0];
  hwndSb = saved[1];
  hwndStEd1 = saved[2];
  hwndStEd2 = saved[3];
  hwndKn1 = saved[4];
  hwndKn2 = saved[5];
}

TEST_F(MainWindowTest, AStoredRectangleAndTheExitCommand) {
  const HWND saved[] = {Glhwnd, hwndSb, hwndStEd1, hwndStEd2, hwndKn1, hwndKn2};
  move_v.SetWindowRectangle(30, 40, 530, 340);
  HWND second = CreateMainWindow(hInst, 0, 0);
  ASSERT_NE(second, nullptr);
  RECT rect{};
  GetWindowRect(second, &rect);
  EXPECT_EQ(rect.left, 30);
  EXPECT_EQ(rect.top, 40);
  EXPECT_EQ(rect.right, 530);
  EXPECT_EQ(rect.bottom, 340);

  // "&Выход" destroys the window, which posts the quit message with code 0.
  EXPECT_EQ(SendMessageA(second, WM_COMMAND, MAKEWPARAM(108, 0), 0), 1);
  EXPECT_FALSE(IsWindow(second));
  MSG message{};
  bool quit = false;
  WPARAM exit_code = 1;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quit = true;
      exit_code = message.wParam;
    } else {
      DispatchMessageA(&message);  // paints, so that no paint request stays pending
    }
  }
  EXPECT_TRUE(quit);
  EXPECT_EQ(exit_code, 0u);

  Glhwnd = saved[0];
  hwndSb = saved[1];
  hwndStEd1 = saved[2];
  hwndStEd2 = saved[3];
  hwndKn1 = saved[4];
  hwndKn2 = saved[5];
}

}  // namespace
}  // namespace quillon
