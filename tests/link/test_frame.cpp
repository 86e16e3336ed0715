// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "link/Cp1251.h"
#include "link/Frame.h"
#include "link/FrameReceiver.h"

namespace quillon {
namespace {

std::uint16_t Crc(const std::string& text) {
  return GetCRC16_x25_SERVER(reinterpret_cast<const unsigned char*>(text.c_str()),
                             static_cast<std::uint32_t>(text.size()));
}

// The textbook bytewise-reflected CRC-16/X.25, to compare against.
std::uint16_t ReferenceX25(const std::string& bytes) {
  std::uint16_t crc = 0xFFFF;
  for (unsigned char byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0x8408) : crc >> 1;
  }
  return static_cast<std::uint16_t>(~crc);
}

struct Collected {
  std::vector<ReceivedFrame> frames;
  std::string typed;
  int starts = 0;
};

Collected FeedAll(FrameReceiver& receiver, const std::vector<int>& entries) {
  Collected collected;
  for (int entry : entries) {
    for (const ReceiveEvent& event : receiver.Feed(entry)) {
      if (event.kind == ReceiveEvent::Kind::kFrameStart) ++collected.starts;
      if (event.kind == ReceiveEvent::Kind::kCharacter) collected.typed.push_back(static_cast<char>(event.character));
      if (event.kind == ReceiveEvent::Kind::kFrameEnd) collected.frames.push_back(event.frame);
    }
  }
  return collected;
}

std::vector<int> Join(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(Crc, WorkedExamples) {
  EXPECT_EQ(Crc("123456789"), 0x906E);
  EXPECT_EQ(Crc("abc"), 0x9E25);
  // One byte is taken with its terminating zero.
  EXPECT_EQ(Crc("A"), 0x50F9);
  EXPECT_EQ(Crc("A"), ReferenceX25(std::string("A\0", 2)));
}

TEST(Crc, IsStandardX25ForTwoBytesOrMore) {
  std::mt19937 random(25);
  for (std::size_t length : {2u, 3u, 4u, 17u, 255u, 9994u}) {
    std::string bytes(length, '\0');
    for (char& byte : bytes) byte = static_cast<char>(random() % 255 + 1);
    EXPECT_EQ(Crc(bytes), ReferenceX25(bytes)) << length;
  }
}

TEST(Crc, EmptyTextReadsNothingOutsideItsBuffer) {
  // A heap buffer of exactly one byte: AddressSanitizer catches a second read.
  std::unique_ptr<unsigned char[]> terminator(new unsigned char[1]{0});
  EXPECT_EQ(GetCRC16_x25_SERVER(terminator.get(), 0), ReferenceX25(std::string(2, '\0')));
}

TEST(CheckCharacter, IsThirtyTwoPlusTheHexDigits) {
  EXPECT_EQ(CheckCharacter(0x0000), 32);
  EXPECT_EQ(CheckCharacter(0xFFFF), 92);
  EXPECT_EQ(CheckCharacter(0x9E25), 62);
  EXPECT_EQ(TextCheckCharacter("abc"), 62);
  EXPECT_EQ(TextCheckCharacter("123456789"), 61);
  EXPECT_EQ(TextCheckCharacter("A"), 61);
}

TEST(BuildFrame, WrapsTheCodedTextInMarkersAndCheck) {
  EXPECT_EQ(BuildFrame("abc"), (std::vector<int>{22, 15, 15, 97, 98, 99, 22, 62}));
  // The check covers the text as typed, before coding.
  const std::string cyrillic = Utf8ToCp1251("Да");
  EXPECT_EQ(BuildFrame(cyrillic), (std::vector<int>{22, 15, 15, 14, 68, 97, 22, TextCheckCharacter(cyrillic)}));
}

TEST(FrameReceiver, ReceivesAFrameAndTypesItLive) {
  const std::string text = Utf8ToCp1251("Привет, Мир! 73\r\nQSL?");
  FrameReceiver receiver;
  const Collected got = FeedAll(receiver, Join({'x', 'y'}, BuildFrame(text)));
  EXPECT_EQ(got.starts, 1);
  EXPECT_EQ(got.typed, text);
  ASSERT_EQ(got.frames.size(), 1u);
  EXPECT_EQ(got.frames[0].text, text);
  EXPECT_TRUE(got.frames[0].good);
  EXPECT_EQ(got.frames[0].expected, TextCheckCharacter(text));
  EXPECT_EQ(got.frames[0].received, got.frames[0].expected);
}

TEST(FrameReceiver, BackToBackFrames) {
  FrameReceiver receiver;
  const Collected got = FeedAll(receiver, Join(BuildFrame("first"), BuildFrame("second")));
  ASSERT_EQ(got.frames.size(), 2u);
  EXPECT_EQ(got.frames[0].text, "first");
  EXPECT_EQ(got.frames[1].text, "second");
  EXPECT_TRUE(got.frames[0].good);
  EXPECT_TRUE(got.frames[1].good);
}

TEST(FrameReceiver, LostMarkers) {
  {
    SCOPED_TRACE("lost start: nothing until the next start marker");
    std::vector<int> lost = BuildFrame("gone");
    lost.erase(lost.begin());
    FrameReceiver receiver;
    const Collected got = FeedAll(receiver, Join(lost, BuildFrame("kept")));
    ASSERT_EQ(got.frames.size(), 1u);
    EXPECT_EQ(got.frames[0].text, "kept");
    EXPECT_TRUE(got.frames[0].good);
  }
  {
    SCOPED_TRACE("lost end: collecting goes on to a later 22");
    std::vector<int> entries = BuildFrame("abc");
    entries.erase(entries.end() - 2);  // the end marker; its check byte is now text
    entries.insert(entries.end(), {'d', 22, 'x'});
    FrameReceiver receiver;
    const Collected got = FeedAll(receiver, entries);
    ASSERT_EQ(got.frames.size(), 1u);
    EXPECT_EQ(got.frames[0].text, "abc>d");
    EXPECT_EQ(got.frames[0].received, 'x');
    EXPECT_FALSE(got.frames[0].good);
  }
  {
    SCOPED_TRACE("new start while collecting: old frame closed bad by 22, 15");
    std::vector<int> unfinished = BuildFrame("old");
    unfinished.resize(unfinished.size() - 2);
    FrameReceiver receiver;
    const Collected got = FeedAll(receiver, Join(unfinished, BuildFrame("new")));
    ASSERT_EQ(got.frames.size(), 2u);
    EXPECT_EQ(got.frames[0].text, "old");
    EXPECT_EQ(got.frames[0].received, 15);
    EXPECT_FALSE(got.frames[0].good);
    EXPECT_EQ(got.frames[1].text, "new");
    EXPECT_TRUE(got.frames[1].good);
    EXPECT_EQ(got.starts, 2);
  }
}

TEST(FrameReceiver, CheckByteIsSignExtendedAndOutOfRangeNeverMatches) {
  FrameReceiver receiver;
  const Collected got = FeedAll(receiver, {22, 15, 15, 'a', 22, 0x80, 22, 15, 15, 'a', 22, 15});
  ASSERT_EQ(got.frames.size(), 2u);
  EXPECT_EQ(got.frames[0].received, -128);
  EXPECT_FALSE(got.frames[0].good);
  EXPECT_EQ(got.frames[1].received, 15);
  EXPECT_FALSE(got.frames[1].good);
}

TEST(FrameReceiver, FrameWithoutTextIsAlwaysBad) {
  for (int check = 0; check < 256; ++check) {
    FrameReceiver receiver;
    // An empty frame, and one holding only shift codes.
    const Collected got = FeedAll(receiver, {22, 15, 15, 22, check, 22, 15, 15, 14, 15, 22, check});
    ASSERT_EQ(got.frames.size(), 2u) << check;
    for (const ReceivedFrame& frame : got.frames) {
      EXPECT_TRUE(frame.text.empty());
      EXPECT_FALSE(frame.good) << check;
    }
  }
}

TEST(FrameReceiver, StoresAtMost9999LinkBytes) {
  const std::string sent(10005, 'a');
  const std::string kept(FrameReceiver::kMaxStoredLinkBytes, 'a');
  ASSERT_NE(TextCheckCharacter(sent), TextCheckCharacter(kept));
  FrameReceiver receiver;
  const Collected got = FeedAll(receiver, Join(BuildFrame(sent), BuildFrame(kept)));
  ASSERT_EQ(got.frames.size(), 2u);
  EXPECT_EQ(got.frames[0].link_bytes, 9999);
  EXPECT_EQ(got.frames[0].text, kept);
  EXPECT_EQ(got.typed.size(), 2u * 9999u);
  EXPECT_FALSE(got.frames[0].good);
  // Exactly 9999 still fits and checks good.
  EXPECT_TRUE(got.frames[1].good);
}

}  // namespace
}  // namespace quillon
