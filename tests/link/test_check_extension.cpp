// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/CheckExtension.h"
#include "link/Frame.h"
#include "link/FrameReceiver.h"
#include "link/FrameVerdict.h"
#include "link/TextCoding.h"

namespace quillon {
namespace {

TEST(CheckExtension, Crc32CheckValueAndDigits) {
  EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
  EXPECT_EQ(Crc32(""), 0u);
  // 0xCBF43926: low 18 bits 0x03926 = 000011 100100 100110 -> 3, 36, 38.
  EXPECT_EQ(BuildCheckExtension("123456789"), (CheckExtensionChars{'~', '0' + 3, '0' + 36, '0' + 38}));
  // CRC-32 of "abc" is 0x352441C2: low 18 bits 000100 000111 000010.
  EXPECT_EQ(BuildExtendedFrame("abc"), (std::vector<int>{22, 15, 15, 97, 98, 99, 22, 62, '~', '4', '7', '2'}));
}

// Everything the extension puts on air must pass a receiver that knows only
// the frame without effect: printable, never a marker or shift code, never
// dropped (0..7) nor escaped (127 and above).
TEST(CheckExtension, EveryCharacterIsInertForAFrameOnlyReceiver) {
  for (int seed = 0; seed < 2000; ++seed) {
    std::string text(1 + seed % 17, 'a');
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>((seed * 131 + i * 71) % 255 + 1);
    const CheckExtensionChars chars = BuildCheckExtension(text);
    for (int c : chars) {
      EXPECT_GE(c, 32);
      EXPECT_LT(c, 127);
      EXPECT_NE(c, 22);
      EXPECT_NE(c, 15);
    }
    for (int d = 1; d < kExtensionLength; ++d) EXPECT_TRUE(IsExtensionDigit(chars[d]));
    EXPECT_FALSE(IsExtensionDigit(chars[0]));
  }
}

// A receive machine written exactly as a station that knows only the frame
// runs it: the last three bytes watched for 22, 15, 15, the text up to the
// next 22, the byte after it the check byte, then idle until the next start.
struct LiteralFrame {
  std::string text;
  bool good;
};
std::vector<LiteralFrame> LiteralReceive(const std::vector<int>& entries) {
  std::vector<LiteralFrame> frames;
  int window[3] = {0, 0, 0};
  int state = 0;
  std::vector<int> store;
  for (int v : entries) {
    window[0] = window[1];
    window[1] = window[2];
    window[2] = v & 0xFF;
    if (window[0] == 22 && window[1] == 15 && window[2] == 15) {
      store.clear();
      state = 1;
    } else if (v == 22 && state == 1) {
      state = 2;
    } else if (state == 1) {
      store.push_back(v);
    } else if (state == 2) {
      std::string text;
      int shift = 0;
      for (int b : store)
        if (const int c = KodirowkaIz(b & 0xFF, &shift)) text.push_back(static_cast<char>(c));
      const int check = (v & 0xFF) >= 128 ? (v & 0xFF) - 256 : (v & 0xFF);
      frames.push_back({text, TextCheckCharacter(text) == check});
      state = 0;
    }
  }
  return frames;
}

TEST(CheckExtension, AFrameOnlyStationReceivesExtendedFramesAsBefore) {
  const std::vector<std::string> texts = {"CQ de R1ABC", "~~~ 123 ~~~", "a", "mail: rx@example.org"};
  std::vector<int> air;
  for (const std::string& text : texts) {
    const std::vector<int> frame = BuildExtendedFrame(text);
    air.insert(air.end(), frame.begin(), frame.end());
  }
  const std::vector<LiteralFrame> frames = LiteralReceive(air);
  ASSERT_EQ(frames.size(), texts.size());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(frames[i].text, texts[i]);
    EXPECT_TRUE(frames[i].good) << texts[i];
  }
}

struct Judged {
  std::vector<ReceivedFrame> frames;
  int starts = 0;
};

// Feeds entries with their strengths, then lets `wait_s` pass.
Judged Feed(FrameReceiver& receiver, const std::vector<int>& entries, double wait_s = 0, float strength = kFirmStrength) {
  Judged judged;
  auto note = [&](const ReceiveEvents& events) {
    for (const ReceiveEvent& event : events) {
      if (event.kind == ReceiveEvent::Kind::kFrameEnd) judged.frames.push_back(event.frame);
      if (event.kind == ReceiveEvent::Kind::kFrameStart) ++judged.starts;
    }
  };
  for (int entry : entries) note(receiver.Feed(entry, strength));
  note(receiver.Elapse(wait_s));
  return judged;
}

std::vector<int> Join(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

constexpr double kWait = 3.0;
FrameReceiverSettings Waiting(float threshold = 0) { return {kWait, threshold}; }

TEST(FrameVerdict, ExtensionDecidesAndTheGateJudgesFramesWithoutOne) {
  {
    FrameReceiver receiver(Waiting());
    const Judged got = Feed(receiver, BuildExtendedFrame("73 de R1ABC"));
    ASSERT_EQ(got.frames.size(), 1u);
    EXPECT_EQ(got.frames[0].integrity, FrameIntegrity::kVerified);
    EXPECT_EQ(FrameStatusText(got.frames[0]), "CRC 46 = 46, \xEF\xF0\xEE\xE2\xE5\xF0\xE5\xED\xEE");  // проверено
  }
  {
    SCOPED_TRACE("a damaged text whose check character still agrees is caught by the extension");
    std::vector<int> frame = BuildExtendedFrame("abc");
    frame[3] = 'x';
    frame[7] = TextCheckCharacter("xbc");  // as if the damage had met the check character's 1 in 61
    FrameReceiver receiver(Waiting());
    const Judged got = Feed(receiver, frame);
    ASSERT_EQ(got.frames.size(), 1u);
    EXPECT_TRUE(got.frames[0].good);
    EXPECT_EQ(got.frames[0].integrity, FrameIntegrity::kBad);
    EXPECT_FALSE(got.frames[0].Trusted());
  }
  {
    SCOPED_TRACE("a marker whose digits are cut short by the next frame is an extension that failed");
    std::vector<int> frame = BuildExtendedFrame("first");
    frame.resize(frame.size() - 2);
    FrameReceiver receiver(Waiting());
    const Judged got = Feed(receiver, Join(frame, BuildExtendedFrame("second")));
    ASSERT_EQ(got.frames.size(), 2u);
    EXPECT_EQ(got.frames[0].integrity, FrameIntegrity::kBad);
    EXPECT_EQ(got.frames[1].text, "second");
    EXPECT_EQ(got.frames[1].integrity, FrameIntegrity::kVerified);
  }
  {
    SCOPED_TRACE("no extension: judged when the wait is over, firm enough or not");
    FrameReceiver firm(Waiting(4.0f));
    Judged got = Feed(firm, BuildFrame("legacy"), kWait / 2, 5.0f);
    EXPECT_TRUE(got.frames.empty());
    got = Feed(firm, {}, kWait / 2);
    ASSERT_EQ(got.frames.size(), 1u);
    EXPECT_EQ(got.frames[0].integrity, FrameIntegrity::kUnverified);
    EXPECT_TRUE(got.frames[0].Trusted());
    FrameReceiver weak(Waiting(4.0f));
    got = Feed(weak, BuildFrame("legacy"), kWait, 3.5f);
    ASSERT_EQ(got.frames.size(), 1u);
    EXPECT_EQ(got.frames[0].integrity, FrameIntegrity::kDoubtful);
    EXPECT_FALSE(got.frames[0].Trusted());
    EXPECT_FLOAT_EQ(got.frames[0].weakest, 3.5f);
  }
}

// A frame-only station's frames back to back: each one's wait ends at the
// next one's start marker, and when the next 22, 15, 15 follows the end
// marker directly (its 15 taken as the check byte) one character both ends
// the old frame and starts the new one.
TEST(FrameVerdict, AWaitEndsAtTheNextStartMarker) {
  FrameReceiver receiver(Waiting());
  Judged got = Feed(receiver, Join(BuildFrame("one"), BuildFrame("two")));
  ASSERT_EQ(got.frames.size(), 1u);
  EXPECT_EQ(got.frames[0].text, "one");
  EXPECT_EQ(got.frames[0].integrity, FrameIntegrity::kUnverified);
  std::vector<int> unfinished = BuildFrame("old");
  unfinished.resize(unfinished.size() - 2);
  FrameReceiver again(Waiting());
  got = Feed(again, Join(unfinished, BuildExtendedFrame("new")));
  ASSERT_EQ(got.frames.size(), 2u);
  EXPECT_EQ(got.frames[0].received, 15);
  EXPECT_EQ(got.frames[0].integrity, FrameIntegrity::kBad);
  EXPECT_EQ(got.frames[1].text, "new");
  EXPECT_EQ(got.frames[1].integrity, FrameIntegrity::kVerified);
  EXPECT_EQ(got.starts, 2);
}

}  // namespace
}  // namespace quillon
