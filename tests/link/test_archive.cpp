// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>

#include "link/Archive.h"
#include "link/Cp1251.h"
#include "tests/support/FixedClock.h"
#include "tests/support/TempHome.h"

namespace quillon {
namespace {

TEST(ArchiveRecord, GoodFrameInCp1251) {
  EXPECT_EQ(FormatArchiveRecord(0x3E, 0x3E, true, SeventhOfDecember(), "abc"),
            "------------   CRC 3E = 3E \xD3\xF1\xEF\xE5\xF8\xED\xEE     2026 / 12 / 07     04:55:12.345\n\nabc\n\n");
}

TEST(ArchiveRecord, BadFrameShowsTheReceivedByteSignExtended) {
  ArchiveTime time = SeventhOfDecember();
  time.millisecond = 7;
  EXPECT_EQ(FormatArchiveRecord(0x50, -128, false, time, "a"),
            "------------   CRC 50 != FFFFFF80 \xCE\xF8\xE8\xE1\xEA\xE0     2026 / 12 / 07     04:55:12.007\n\na\n\n");
}

ReceivedFrame Frame(int expected, int received, FrameIntegrity integrity, const std::string& text) {
  ReceivedFrame frame;
  frame.expected = expected;
  frame.received = received;
  frame.good = expected == received;
  frame.integrity = integrity;
  frame.text = text;
  return frame;
}

// Every verdict in its record: the check character's comparison as before,
// "Успешно" only for a frame the window shows green, and the verdict after
// the timestamp, where a reader of the old layout finds nothing it expects.
TEST(Archive, AppendsUtf8RecordsWithLineFeedsAndTheVerdictOnLinux) {
  TempHome home;
  ASSERT_FALSE(home.Path().empty());
  Archive archive(home.Path(), SeventhOfDecember);
  EXPECT_EQ(archive.Path(), home.Path() + "/log.txt");
  ASSERT_TRUE(archive.Append(Frame(0x3E, 0x3E, FrameIntegrity::kVerified, "abc")));
  ASSERT_TRUE(archive.Append(Frame(0x41, 0x2A, FrameIntegrity::kBad, Utf8ToCp1251("Привет\r\nМир\r"))));
  ASSERT_TRUE(archive.Append(Frame(0x3E, 0x3E, FrameIntegrity::kUnverified, "abc")));
  ASSERT_TRUE(archive.Append(Frame(0x3E, 0x3E, FrameIntegrity::kDoubtful, "abc")));
  ASSERT_TRUE(archive.Append(Frame(0x3E, 0x3E, FrameIntegrity::kBad, "abd")));
  const std::string stamp = "     2026 / 12 / 07     04:55:12.345";
  EXPECT_EQ(home.LogText(),
            "------------   CRC 3E = 3E Успешно" + stamp + "   проверено\n\nabc\n\n" +
            "------------   CRC 41 != 2A Ошибка" + stamp + "\n\nПривет\nМир\r\n\n" +
            "------------   CRC 3E = 3E Успешно" + stamp + "   без доп. проверки\n\nabc\n\n" +
            "------------   CRC 3E = 3E Ошибка" + stamp + "   сомнительно\n\nabc\n\n" +
            "------------   CRC 3E = 3E Ошибка" + stamp + "   доп. проверка: ошибка\n\nabd\n\n");
}

TEST(Archive, UnopenableFileIsReportedToTheCallerOnly) {
  Archive archive("/nonexistent/quillon/home", SeventhOfDecember);
  EXPECT_FALSE(archive.Append(Frame(0x3E, 0x3E, FrameIntegrity::kVerified, "abc")));
}

TEST(Archive, LocalClockGivesAPlausibleTime) {
  const ArchiveTime now = LocalTimeNow();
  EXPECT_GE(now.year, 2024);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_GE(now.millisecond, 0);
  EXPECT_LE(now.millisecond, 999);
}

TEST(Cp1251, ConvertsBothWaysAndReplacesWhatHasNoCode) {
  EXPECT_EQ(Utf8ToCp1251("Ёё №5 Жя"), "\xA8\xB8 \xB9" "5 \xC6\xFF");
  EXPECT_EQ(Cp1251ToUtf8("\xA8\xB8 \xB9" "5 \xC6\xFF"), "Ёё №5 Жя");
  EXPECT_EQ(Utf8ToCp1251("a中b\xFF" "c"), "a?b?c");
  EXPECT_EQ(Cp1251ToUtf8("a\x98" "b"), "a\xEF\xBF\xBD" "b");
  const std::string long_text(5000, '\xE9');  // й, two UTF-8 bytes each
  EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(long_text)), long_text);
}

}  // namespace
}  // namespace quillon
