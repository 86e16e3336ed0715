// SPDX-License-Identifier: GPL-3.0-or-later
// The "Передатчик" dialog of the Windows window: its menu item, OK with
// rigctld's fields writing quillon.conf and rekeying the station, and wrong
// input kept in the dialog with its message beside the field. Leaves a
// picture of the dialog, ptt-dialog.bmp, in the current folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "modem/ptt/PttKeyer.h"
#include "shell/MenuTable.h"
#include "shell/PttForm.h"
#include "shell/win32/PttDialog.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

class PttDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    home_ = fs::temp_directory_path() / ("quillon-ptt-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(home_);
    fs::create_directories(home_);
  }
  void TearDown() override {
    if (dialog_ != nullptr && IsWindow(dialog_)) DestroyWindow(dialog_);
    fs::remove_all(home_);
  }

  HWND Open() {
    dialog_ = OpenPttDialog(nullptr, GetModuleHandleA(nullptr), keyer_, home_.string());
    return dialog_;
  }
  void Choose(PttMethod method) {
    HWND list = GetDlgItem(dialog_, kPttMethodListId);
    SendMessageA(list, CB_SETCURSEL, static_cast<WPARAM>(method), 0);
    SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(kPttMethodListId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
  }
  HWND Field(PttField field) const { return GetDlgItem(dialog_, kPttFirstFieldId + static_cast<int>(field)); }
  void Type(PttField field, const char* text) { SetWindowTextA(Field(field), text); }
  void Press(int id) { SendMessageA(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
  std::string Text(int id) const {
    char text[512] = {};
    GetDlgItemTextA(dialog_, id, text, sizeof(text));
    return text;
  }
  std::string ConfigText() const {
    std::ifstream file(home_ / "quillon.conf");
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }

  fs::path home_;
  PttKeyer keyer_;
  HWND dialog_ = nullptr;
};

void Pump() {
  MSG message;
  for (int round = 0; round < 20; ++round) {
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(10);
  }
}

// The window as it is on the screen, as a 24-bit BMP file.
bool SavePicture(HWND window, const char* path) {
  RECT rect{};
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  HDC source = GetWindowDC(window);
  HDC memory = CreateCompatibleDC(source);
  BITMAPINFO info{};
  info.bmiHeader = BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, source, 0, 0, SRCCOPY);
  GdiFlush();
  const DWORD row = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD size = row * static_cast<DWORD>(height);
  BITMAPFILEHEADER file{0x4D42, static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER) + size), 0, 0,
                        static_cast<DWORD>(sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER))};
  bool written = false;
  if (std::FILE* out = std::fopen(path, "wb")) {
    written = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out) == 1 &&
              std::fwrite(bits, size, 1, out) == 1;
    std::fclose(out);
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, source);
  return written;
}

TEST_F(PttDialogTest, TheModesMenuOpensItAfterItsLastItem) {
  HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), kMainMenuName);
  ASSERT_NE(menu, nullptr);
  HMENU modes = GetSubMenu(menu, 0);
  const int count = GetMenuItemCount(modes);
  EXPECT_EQ(GetMenuItemID(modes, count - 2), static_cast<UINT>(kExitItem.id));
  EXPECT_EQ(GetMenuItemID(modes, count - 1), static_cast<UINT>(kPttItem.id));
  char label[64] = {};
  GetMenuStringA(modes, kPttItem.id, label, sizeof(label), MF_BYCOMMAND);
  EXPECT_STREQ(label, kPttItem.label);
  DestroyMenu(menu);
}

TEST_F(PttDialogTest, OkWithRigctldFieldsWritesTheFileAndRekeysTheStation) {
  {
    std::ofstream file(home_ / "quillon.conf");
    file << "output_device = default\n";
  }
  ASSERT_NE(Open(), nullptr);
  EXPECT_EQ(SendDlgItemMessageA(dialog_, kPttMethodListId, CB_GETCURSEL, 0, 0), static_cast<int>(PttMethod::kNone));
  EXPECT_FALSE(IsWindowEnabled(Field(PttField::kHost)));
  Choose(PttMethod::kRigctld);
  EXPECT_TRUE(IsWindowEnabled(Field(PttField::kHost)));
  EXPECT_FALSE(IsWindowEnabled(Field(PttField::kSerialPort)));
  Type(PttField::kHost, "192.168.1.20");
  Type(PttField::kPort, "4600");
  Type(PttField::kTail, "120");
  Press(IDOK);
  EXPECT_FALSE(IsWindow(dialog_)) << "a good OK closes the dialog";
  const std::string text = ConfigText();
  EXPECT_EQ(text.find("output_device = default\n"), 0u) << text;
  EXPECT_NE(text.find("ptt = rigctld:192.168.1.20:4600\n"), std::string::npos) << text;
  EXPECT_NE(text.find("ptt_tail_ms = 120\n"), std::string::npos) << text;
  EXPECT_EQ(keyer_.Timing().tail.count(), 120);
}

TEST_F(PttDialogTest, WrongInputStaysWithItsMessageBesideTheField) {
  ASSERT_NE(Open(), nullptr);
  ShowWindow(dialog_, SW_SHOW);  // a child counts as visible only in a visible dialog
  Choose(PttMethod::kRigctld);
  Type(PttField::kPort, "70000");
  Press(IDOK);
  ASSERT_TRUE(IsWindow(dialog_));
  HWND message = GetDlgItem(dialog_, kPttMessageId);
  EXPECT_TRUE(IsWindowVisible(message));
  EXPECT_NE(Text(kPttMessageId).find("65535"), std::string::npos) << Text(kPttMessageId);
  RECT field{}, beside{};
  GetWindowRect(Field(PttField::kPort), &field);
  GetWindowRect(message, &beside);
  EXPECT_EQ(beside.top, field.top);
  EXPECT_GT(beside.left, field.right);
  EXPECT_FALSE(fs::exists(home_ / "quillon.conf"));
  EXPECT_EQ(keyer_.Timing().lead.count(), 50);  // untouched

  SetDlgItemTextA(dialog_, kPttCheckResultId, kPttCheckPassedText);
  UpdateWindow(dialog_);
  Pump();
  EXPECT_TRUE(SavePicture(dialog_, "ptt-dialog.bmp"));

  // This build has no Hamlib: refused at the method list.
  Choose(PttMethod::kHamlib);
  EXPECT_FALSE(IsWindowVisible(message)) << "a new method starts without the old message";
  Type(PttField::kModel, "1");
  Type(PttField::kRigPort, "COM3");
  Press(IDOK);
  ASSERT_TRUE(IsWindow(dialog_));
  EXPECT_TRUE(IsWindowVisible(message));
  GetWindowRect(GetDlgItem(dialog_, kPttMethodListId), &field);
  GetWindowRect(message, &beside);
  EXPECT_EQ(beside.top, field.top);
  Press(IDCANCEL);
  EXPECT_FALSE(IsWindow(dialog_));
  EXPECT_FALSE(fs::exists(home_ / "quillon.conf"));
}

}  // namespace
}  // namespace quillon
