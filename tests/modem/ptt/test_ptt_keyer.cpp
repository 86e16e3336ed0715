// SPDX-License-Identifier: GPL-3.0-or-later
// The station's keyer against a recording backend: the lead before the
// audio, the release a tail after it, the time limit, and what is reported
// when the radio will not follow.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "modem/ptt/PttKeyer.h"
#include "tests/support/RecordingPtt.h"

namespace quillon {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// Waits (at most 5 s: far beyond any delay under test) until `done`.
template <class Done>
bool WaitUntil(Done done) {
  const auto until = Clock::now() + std::chrono::seconds(5);
  while (!done() && Clock::now() < until) std::this_thread::sleep_for(milliseconds(2));
  return done();
}

struct KeyerFixture : ::testing::Test {
  void Use(const PttTiming& timing) { keyer.Configure(std::make_unique<RecordingPtt>(log), timing); }
  RecordingPtt::Log log;
  PttKeyer keyer;
};

TEST_F(KeyerFixture, KeysALeadBeforeAndReleasesATailAfterTheAudio) {
  Use({milliseconds(60), milliseconds(40), std::chrono::seconds(0)});
  std::string error;
  const auto asked = Clock::now();
  ASSERT_TRUE(keyer.KeyForTransmission(error)) << error;
  const auto returned = Clock::now();
  ASSERT_EQ(log.Events().size(), 1u);
  EXPECT_GE(returned - log.Events()[0].at, milliseconds(60)) << "the first sample may follow only after the lead";
  EXPECT_GE(log.Events()[0].at, asked);

  const auto audio_end = Clock::now() + milliseconds(100);
  keyer.AudioEndsAt(audio_end);
  ASSERT_TRUE(WaitUntil([&] { return log.Events().size() == 2; }));
  EXPECT_FALSE(log.Events()[1].keyed);
  EXPECT_GE(log.Events()[1].at - audio_end, milliseconds(40)) << "released before the tail was over";
  EXPECT_FALSE(keyer.Keyed());
  EXPECT_FALSE(keyer.TakeNotice().has_value()) << "an ordinary end is nothing to report";
  EXPECT_FALSE(keyer.TakeCutRequest());
}

TEST_F(KeyerFixture, ANewTransmissionCancelsTheReleaseOfTheLastOne) {
  Use({milliseconds(0), milliseconds(0), std::chrono::seconds(0)});
  std::string error;
  ASSERT_TRUE(keyer.KeyForTransmission(error));
  keyer.AudioEndsAt(Clock::now() + milliseconds(80));
  ASSERT_TRUE(keyer.KeyForTransmission(error));  // the operator sends again before the tail is over
  std::this_thread::sleep_for(milliseconds(250));
  EXPECT_TRUE(log.Keyed()) << "the earlier transmission's release cut into the new one";
  keyer.ReleaseNow(ReleaseCause::kExit);
  EXPECT_FALSE(log.Keyed());
  EXPECT_FALSE(keyer.TakeNotice().has_value());  // exit and mode change need no status text
}

TEST_F(KeyerFixture, TheTimeLimitReleasesCutsAndSaysWhy) {
  Use({milliseconds(0), milliseconds(0), std::chrono::seconds(1)});
  std::string error;
  ASSERT_TRUE(keyer.KeyForTransmission(error));
  const auto keyed = log.Events()[0].at;
  ASSERT_TRUE(WaitUntil([&] { return !log.Keyed(); }));
  EXPECT_GE(log.Events()[1].at - keyed, std::chrono::seconds(1));
  EXPECT_TRUE(keyer.TakeCutRequest());
  EXPECT_FALSE(keyer.TakeCutRequest()) << "one cut per limit";
  const std::optional<PttNotice> notice = keyer.TakeNotice();
  ASSERT_TRUE(notice.has_value());
  EXPECT_EQ(notice->cause, ReleaseCause::kTimeLimit);
  // "... дольше 1 с" in cp1251.
  EXPECT_NE(PttNoticeText(*notice, keyer.Timing()).find("\xE4\xEE\xEB\xFC\xF8\xE5 1 \xF1"), std::string::npos);
}

TEST_F(KeyerFixture, ARadioThatWillNotFollowIsReported) {
  Use({milliseconds(0), milliseconds(0), std::chrono::seconds(0)});
  std::string error;
  log.fail_key = true;
  EXPECT_FALSE(keyer.KeyForTransmission(error));
  EXPECT_EQ(error, "the test radio refuses to key");
  EXPECT_FALSE(keyer.Keyed());
  EXPECT_NE(PttRefusalText(error).find(error), std::string::npos);

  log.fail_key = false;
  log.fail_release = true;
  ASSERT_TRUE(keyer.KeyForTransmission(error));
  keyer.ReleaseNow(ReleaseCause::kDeviceFailure);
  const std::optional<PttNotice> notice = keyer.TakeNotice();
  ASSERT_TRUE(notice.has_value());
  EXPECT_EQ(notice->failure, "the test radio refuses to release");
  EXPECT_NE(PttNoticeText(*notice, keyer.Timing()).find(notice->failure), std::string::npos);

  log.fail_release = false;
  ASSERT_TRUE(keyer.KeyForTransmission(error));
  keyer.ReleaseNow(ReleaseCause::kDeviceFailure);
  ASSERT_TRUE(keyer.TakeNotice().has_value());
  EXPECT_FALSE(log.Keyed());
}

TEST_F(KeyerFixture, TheCheckButtonKeysForItsTimeButNotDuringATransmission) {
  Use({milliseconds(0), milliseconds(0), std::chrono::seconds(0)});
  std::string error;
  ASSERT_TRUE(keyer.TestKey(milliseconds(100), error)) << error;
  const std::vector<RecordingPtt::Event> events = log.Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_GE(events[1].at - events[0].at, milliseconds(100));
  ASSERT_TRUE(keyer.KeyForTransmission(error));
  EXPECT_FALSE(keyer.TestKey(milliseconds(100), error));
  EXPECT_NE(error.find("transmission"), std::string::npos);
  EXPECT_TRUE(log.Keyed()) << "the refused check must not release the transmission";
}

}  // namespace
}  // namespace quillon
