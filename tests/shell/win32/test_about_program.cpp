// SPDX-License-Identifier: GPL-3.0-or-later
// What the Windows program says about itself: the version in the "Автор" box
// as shown, the command line that asks for it, and `--version` written to a
// redirected standard output.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <string>
#include <thread>

#include "QuillonVersion.h"
#include "shell/Texts.h"
#include "shell/win32/AboutProgram.h"

namespace quillon {
namespace {

// The box's text as a second thread finds it on the screen; that thread then
// presses OK, which ends ShowAuthorBox on this one.
TEST(AboutProgramTest, TheAuthorBoxShowsTheCreditAndTheVersion) {
  std::string shown;
  bool found = false;
  std::thread reader([&] {
    // Under Wine on a busy machine a box has taken seconds to appear; 30 s
    // separates slow from never.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    HWND box = nullptr;
    while (box == nullptr && std::chrono::steady_clock::now() < deadline) {
      box = FindWindowA("#32770", kAuthorTitle);
      if (box == nullptr) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (box == nullptr) return;
    found = true;
    char text[1024] = {};
    GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));  // a message box's text control
    shown = text;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
  });
  ShowAuthorBox();  // returns when the reader has pressed OK
  reader.join();
  ASSERT_TRUE(found) << "no \"Автор\" box";
  EXPECT_EQ(shown.find(kAuthorText), 0u) << shown;
  EXPECT_NE(shown.find(kProgramVersionFull), std::string::npos) << shown;
  EXPECT_EQ(shown, AuthorBoxText());
}

TEST(AboutProgramTest, OnlyTheWholeWordAsksForTheVersion) {
  EXPECT_TRUE(AsksForVersion("--version"));
  EXPECT_TRUE(AsksForVersion(" \t--version "));
  EXPECT_TRUE(AsksForVersion("--other --version"));
  EXPECT_FALSE(AsksForVersion(""));
  EXPECT_FALSE(AsksForVersion("--versions"));
  EXPECT_FALSE(AsksForVersion("-version"));
  EXPECT_FALSE(AsksForVersion("x--version"));
  EXPECT_FALSE(AsksForVersion("--versio"));
}

// A starter that redirects the output (cmd's `>`, a pipe) gets the line
// there, as a console program's output.
TEST(AboutProgramTest, TheVersionGoesToARedirectedOutput) {
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  ASSERT_TRUE(CreatePipe(&read_end, &write_end, nullptr, 0));
  HANDLE saved = GetStdHandle(STD_OUTPUT_HANDLE);
  SetStdHandle(STD_OUTPUT_HANDLE, write_end);
  ReportVersion();
  SetStdHandle(STD_OUTPUT_HANDLE, saved);
  CloseHandle(write_end);
  std::string output;
  char buffer[256];
  DWORD got = 0;
  while (ReadFile(read_end, buffer, sizeof(buffer), &got, nullptr) && got > 0) output.append(buffer, got);
  CloseHandle(read_end);
  EXPECT_EQ(output, std::string("quillon ") + kProgramVersionFull + "\r\n");
}

}  // namespace
}  // namespace quillon
