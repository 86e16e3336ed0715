// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/Cp1251.h"
#include "link/Frame.h"
#include "link/LinkController.h"
#include "tests/support/RecordingView.h"
#include "tests/support/FixedClock.h"
#include "tests/support/TempHome.h"

namespace quillon {
namespace {

class LinkControllerTest : public ::testing::Test {
 protected:
  LinkControllerTest() : state_(std::make_unique<LinkState>()) {}

  // A receiver that waits a second for the check extension, as a fast
  // mode's would.
  LinkControllerContext Context() {
    LinkControllerContext context{*state_, view_, [this] { ++starts_; }, home_.Path(), SeventhOfDecember};
    context.receive.extension_wait_s = 1.0;
    return context;
  }

  // Everything waiting in the transmit ring, as the modem would take it.
  std::vector<int> TakeTransmitRing() {
    std::vector<int> entries;
    int entry = 0;
    while (state_->CBufer.Take(entry)) entries.push_back(entry);
    return entries;
  }

  // The on-air part of the transmit ring into the receive ring: a loopback.
  void LoopBack() {
    for (int entry : TakeTransmitRing())
      if (entry != kEndOfTransmission) state_->Bufer_Olivia.Put(entry);
  }

  void Send(LinkController& controller, const std::string& text) {
    view_.upper_text = text;
    state_->Ura = 1;
    controller.Tick();
  }

  std::unique_ptr<LinkState> state_;  // 80 kB of rings: keep it off the stack
  RecordingView view_;
  TempHome home_;
  int starts_ = 0;
};

TEST_F(LinkControllerTest, QueuesTheFrameStartsTheTransmitterAndCountsDown) {
  LinkController controller(Context());
  Send(controller, "abc");
  EXPECT_EQ(state_->Ura, 0);
  EXPECT_EQ(view_.fetch_limit, 9994);
  EXPECT_EQ(state_->PRD_R, 1);
  EXPECT_EQ(state_->start_prd, 1);
  EXPECT_EQ(starts_, 1);
  EXPECT_EQ(view_.icon_updates, 1);
  ASSERT_EQ(view_.statuses, std::vector<std::string>{"CRC   3E"});

  // The modem takes two entries per tick; the countdown follows to 0, then stops.
  std::vector<int> sent;
  std::vector<std::string> countdown;
  for (int tick = 0; tick < 8; ++tick) {
    for (int entry = 0, value = 0; entry < 2 && state_->CBufer.Take(value); ++entry) sent.push_back(value);
    controller.Tick();
  }
  EXPECT_EQ(sent, (std::vector<int>{22, 15, 15, 97, 98, 99, 22, 62, '~', '4', '7', '2', -3}));
  const std::string remaining = Utf8ToCp1251("Осталось    ");
  EXPECT_EQ(view_.statuses,
            (std::vector<std::string>{"CRC   3E", remaining + "11", remaining + "9", remaining + "7", remaining + "5",
                                      remaining + "3", remaining + "1", remaining + "0"}));
}

TEST_F(LinkControllerTest, EmptyPaneSendsNothing) {
  LinkController controller(Context());
  Send(controller, std::string("\0abc", 4));
  EXPECT_EQ(state_->Ura, 0);
  EXPECT_TRUE(state_->CBufer.Empty());
  EXPECT_TRUE(view_.statuses.empty());
  EXPECT_EQ(state_->PRD_R, 0);
  EXPECT_EQ(starts_, 0);
}

TEST_F(LinkControllerTest, RefusesATextWhoseFrameWouldNotFitTheRing) {
  LinkController controller(Context());
  Send(controller, std::string(9994, 'a'));
  // Alternating Cyrillic and Latin costs two link bytes per character.
  std::string mixed;
  for (int pair = 0; pair < 2600; ++pair) mixed += "\xE6z";
  Send(controller, mixed);
  EXPECT_TRUE(state_->CBufer.Empty());
  EXPECT_EQ(state_->Ura, 0);
  EXPECT_EQ(state_->PRD_R, 0);
  EXPECT_EQ(starts_, 0);
  ASSERT_EQ(view_.statuses.size(), 2u);
  EXPECT_EQ(Cp1251ToUtf8(view_.statuses[0]), "Слишком длинный текст: 9994 из 9989");
  EXPECT_EQ(Cp1251ToUtf8(view_.statuses[1]), "Слишком длинный текст: 10400 из 9989");
}

TEST_F(LinkControllerTest, RefusesATextWhileNoPlaybackDeviceIsOpen) {
  bool playback_open = false;
  LinkControllerContext context = Context();
  context.playback_open = [&playback_open] { return playback_open; };
  LinkController controller(context);
  Send(controller, "stale");
  EXPECT_EQ(state_->Ura, 0);
  EXPECT_TRUE(state_->CBufer.Empty());
  EXPECT_EQ(state_->PRD_R, 0);
  EXPECT_EQ(state_->start_prd, 0);
  EXPECT_EQ(starts_, 0);
  EXPECT_EQ(view_.icon_updates, 0);
  ASSERT_EQ(view_.statuses.size(), 1u);
  EXPECT_EQ(Cp1251ToUtf8(view_.statuses[0]), "Выход звука не открыт: текст не передан");

  // A device opened later sends nothing of the refused request.
  playback_open = true;
  for (int tick = 0; tick < 3; ++tick) controller.Tick();
  EXPECT_TRUE(state_->CBufer.Empty());
  EXPECT_EQ(view_.statuses.size(), 1u);  // no countdown either
  Send(controller, "abc");
  EXPECT_EQ(state_->PRD_R, 1);
  EXPECT_EQ(starts_, 1);
}

TEST_F(LinkControllerTest, TextsTravelThroughTheWholeLink) {
  std::string longest(9989, 'q');
  const std::vector<std::string> texts = {
      "Hello, World! 73 de QTH",
      Utf8ToCp1251("Съешь же ещё этих мягких французских булок, да выпей чаю. ЁЖ"),
      Utf8ToCp1251("Адрес: ivanov@mail.ru\r\nТел. +7 (495) 123-45-67\r\nСсылка: http://qsl.net/~r1a?x=1"),
      "A",
      longest,
  };
  LinkController controller(Context());
  int frames = 0;
  for (const std::string& text : texts) {
    SCOPED_TRACE(text.substr(0, 20));
    view_.typed.clear();
    Send(controller, text);
    ASSERT_EQ(state_->GetKolPrd(), static_cast<int>(CodeText(text).size()) + kFrameOverhead);
    LoopBack();
    controller.Tick();
    ++frames;
    EXPECT_EQ(view_.typed, text);
    EXPECT_EQ(view_.Lower(), text);
    const int check = TextCheckCharacter(text);
    char expected_status[32];
    std::snprintf(expected_status, sizeof expected_status, "CRC %X = %X, ", check, check);
    EXPECT_EQ(view_.LastStatus(), expected_status + Utf8ToCp1251("проверено"));
    EXPECT_EQ(state_->USPESHNO, 1);
    EXPECT_EQ(state_->PRM_R, 0);
    EXPECT_EQ(view_.focus_requests, frames);
    // The transmission ends; the indicator goes out for the next text.
    state_->start_prd = 0;
    for (int tick = 0; tick < 3; ++tick) {
      state_->ZeroYes = 1;
      controller.Tick();
    }
    ASSERT_EQ(state_->PRD_R, 0);
  }
  // The archive holds one good record per frame, the CR LF pairs as LF.
  const std::string log = home_.LogText();
  EXPECT_NE(log.find("Адрес: ivanov@mail.ru\nТел. +7 (495) 123-45-67\nСсылка"), std::string::npos);
  std::size_t records = 0;
  for (std::size_t at = log.find("Успешно"); at != std::string::npos; at = log.find("Успешно", at + 1)) ++records;
  EXPECT_EQ(records, texts.size());
}

TEST_F(LinkControllerTest, ReceivedFrameUpdatesPaneIconAndArchiveInOrder) {
  LinkController controller(Context());
  for (int entry : std::vector<int>{'n', 'o', 'i', 's', 'e', 22, 15, 15, 'a', 22, 0x80}) state_->Bufer_Olivia.Put(entry);
  controller.Tick();
  EXPECT_EQ(view_.lower_sets, (std::vector<std::string>{"", "", "a"}));
  EXPECT_EQ(view_.typed, "a");
  const int expected = TextCheckCharacter("a");
  char status[32];
  std::snprintf(status, sizeof status, "CRC %X != FFFFFF80", expected);
  EXPECT_EQ(view_.statuses, std::vector<std::string>{status});
  EXPECT_EQ(state_->USPESHNO, 0);
  EXPECT_EQ(state_->PRM_R, 0);
  EXPECT_EQ(view_.icon_updates, 2);  // frame start and frame end
  char record[128];
  std::snprintf(record, sizeof record,
                "------------   CRC %X != FFFFFF80 Ошибка     2026 / 12 / 07     04:55:12.345\n\na\n\n", expected);
  EXPECT_EQ(home_.LogText(), record);
}

TEST_F(LinkControllerTest, FrameSpreadOverTicksIsShownLiveAndSurvivesAMissingArchive) {
  LinkControllerContext context = Context();
  context.home_directory = "/nonexistent/quillon";
  LinkController controller(context);
  const std::vector<int> frame = BuildExtendedFrame("live");
  for (int entry : frame) {
    state_->Bufer_Olivia.Put(entry);
    controller.Tick();
    if (entry == 'i') {
      EXPECT_EQ(view_.Lower(), "li");
      EXPECT_EQ(state_->PRM_R, 1);
    }
  }
  EXPECT_EQ(view_.Lower(), "live");
  EXPECT_EQ(state_->USPESHNO, 1);
  EXPECT_EQ(state_->PRM_R, 0);
}

// Each character carries its block's measurement; the report sums those of
// the frame, from its start marker to its check byte, whatever the verdict.
TEST_F(LinkControllerTest, EachDecidedFrameReportsTheSignalOfItsOwnCharacters) {
  LinkControllerContext context = Context();
  context.mode_number = 101;
  LinkController controller(context);
  const auto measured = [](float signal, float noise, float offset_hz) {
    return ReceivedSignal{signal, noise, offset_hz, true};
  };
  const ReceivedSignal loud = measured(1000, 1, -100);  // must not count
  const std::vector<int> frame = BuildExtendedFrame("ab");  // 22 15 15 a b 22 check ~ d d d
  // Before the frame: noise, and the marker up to the byte that completes it.
  state_->Bufer_Olivia.Put('x', 9, loud);
  state_->Bufer_Olivia.Put(frame[0], 9, loud);
  state_->Bufer_Olivia.Put(frame[1], 9, loud);
  // From the marker's last byte to the check byte: 4 x (1, 10, 20 Hz) and (6, 10, 30 Hz).
  for (std::size_t i = 2; i < 6; ++i) state_->Bufer_Olivia.Put(frame[i], 9, measured(1, 10, 20));
  state_->Bufer_Olivia.Put(frame[6], 9, measured(6, 10, 30));
  // The extension comes after the frame's blocks.
  for (std::size_t i = 7; i < frame.size(); ++i) state_->Bufer_Olivia.Put(frame[i], 9, loud);
  controller.Tick();
  ASSERT_EQ(view_.reports.size(), 1u);
  EXPECT_NEAR(view_.reports[0].snr_db, 10 * std::log10(10.0 / 50.0), 1e-6);
  EXPECT_NEAR(view_.reports[0].offset_hz, (4 * 20 + 30) / 5.0, 1e-6);
  EXPECT_EQ(view_.reports[0].mode_number, 101);
  EXPECT_GT(view_.reports[0].time, 0);

  // A bad frame is reported too; a band with no power above the noise beside
  // it gives the floor, not a logarithm of a negative number.
  for (int entry : std::vector<int>{22, 15, 15, 'c', 22, 0x80}) state_->Bufer_Olivia.Put(entry, 9, measured(-1, 10, 0));
  controller.Tick();
  for (int tick = 0; tick < 12; ++tick) controller.Tick();  // past the wait for the extension
  ASSERT_EQ(view_.reports.size(), 2u);
  EXPECT_EQ(view_.reports[1].snr_db, FrameSignal::kNoSignalDb);

  // Characters nothing measured make no report: the window keeps the last.
  for (int entry : BuildExtendedFrame("d")) state_->Bufer_Olivia.Put(entry);
  controller.Tick();
  EXPECT_EQ(view_.Lower(), "d");
  EXPECT_EQ(view_.reports.size(), 2u);
}

TEST_F(LinkControllerTest, TransmitIndicatorWaitsTwoTicksAndForSilence) {
  LinkController controller(Context());
  Send(controller, "abc");
  TakeTransmitRing();
  controller.Tick();
  state_->ZeroYes = 1;  // silence queued before the end: does not count
  state_->start_prd = 0;
  controller.Tick();  // sees the end
  EXPECT_EQ(state_->ZeroYes, 0);
  EXPECT_EQ(state_->PRD_R, 1);
  state_->ZeroYes = 1;
  controller.Tick();  // one tick after
  EXPECT_EQ(state_->PRD_R, 1);
  state_->ZeroYes = 0;
  controller.Tick();  // two ticks after, but no silence yet
  controller.Tick();
  EXPECT_EQ(state_->PRD_R, 1);
  state_->ZeroYes = 1;
  const int icons = view_.icon_updates;
  controller.Tick();
  EXPECT_EQ(state_->PRD_R, 0);
  EXPECT_EQ(state_->ZeroYes, 0);
  EXPECT_EQ(view_.icon_updates, icons + 1);
  controller.Tick();
  EXPECT_EQ(view_.icon_updates, icons + 1);
}

TEST_F(LinkControllerTest, TransmissionEndingBeforeTheNextTickStillTurnsTheIndicatorOff) {
  LinkControllerContext context = Context();
  context.start_transmitter = nullptr;
  LinkController controller(context);
  Send(controller, "abc");
  state_->start_prd = 0;  // a modem that finished at once
  state_->ZeroYes = 1;
  for (int tick = 0; tick < 3; ++tick) {
    controller.Tick();
    state_->ZeroYes = 1;
  }
  EXPECT_EQ(state_->PRD_R, 0);
}

// Listening in all modes: the chosen mode's ring and another's, each with its
// own frame receiver. The pane follows the frame that started first; the
// other mode's frame, finished meanwhile, replaces it with its text; every
// finished frame names its mode in the status bar, the record and the report.
class AllModesLinkTest : public LinkControllerTest {
 protected:
  AllModesLinkTest() : other_ring_(std::make_unique<ReceiveRing>()) {}

  LinkControllerContext AllModesContext() {
    LinkControllerContext context = Context();
    context.mode_number = 101;
    context.mode_label = "OLIVIA_8_500";
    OtherModeRing other;
    other.mode_number = 98;
    other.mode_label = "OLIVIA_4_2000";
    other.ring = other_ring_.get();
    other.receive.extension_wait_s = 1.0;
    context.other_modes.push_back(other);
    return context;
  }

  static std::string Status(const char* label, const std::string& text, const char* verdict) {
    const int check = TextCheckCharacter(text);
    char status[64];
    std::snprintf(status, sizeof status, "%s: CRC %X = %X, ", label, check, check);
    return status + Utf8ToCp1251(verdict);
  }

  std::unique_ptr<ReceiveRing> other_ring_;
};

TEST_F(AllModesLinkTest, PaneFollowsTheFirstStartedFrameAndEachFinishedFrameNamesItsMode) {
  view_.WatchIndicators(*state_);
  LinkController controller(AllModesContext());
  const ReceivedSignal measured{1, 10, 20, true};
  // The other mode hears noise, then a frame starts there first.
  for (int entry : std::vector<int>{'q', 22, 'z', 22, 15, 15, 'x'}) other_ring_->Put(entry);
  controller.Tick();
  EXPECT_EQ(view_.typed, "x");
  EXPECT_EQ(state_->PRM_R, 1);

  // The chosen mode receives a whole frame meanwhile: not typed, shown when
  // it ends, with its mode named everywhere.
  for (int entry : BuildExtendedFrame("abc")) state_->Bufer_Olivia.Put(entry, 9, measured);
  controller.Tick();
  EXPECT_EQ(view_.typed, "x");
  EXPECT_EQ(view_.Lower(), "abc");
  EXPECT_EQ(view_.LastStatus(), Status("OLIVIA_8_500", "abc", "проверено"));
  ASSERT_EQ(view_.reports.size(), 1u);
  EXPECT_EQ(view_.reports[0].mode_number, 101);
  EXPECT_EQ(state_->USPESHNO, 1);
  EXPECT_EQ(state_->PRM_R, 0);

  // The interrupted frame is no longer typed; it appears whole when it ends,
  // and the icon follows this last finished frame.
  for (int entry : std::vector<int>{'y', 22, 0x80}) other_ring_->Put(entry);
  controller.Tick();
  EXPECT_EQ(view_.typed, "x");
  EXPECT_EQ(view_.Lower(), "xy");
  char bad[64];
  std::snprintf(bad, sizeof bad, "OLIVIA_4_2000: CRC %X != FFFFFF80", TextCheckCharacter("xy"));
  EXPECT_EQ(view_.LastStatus(), bad);
  EXPECT_EQ(view_.reports.size(), 1u);  // nothing measured the other mode's characters
  ASSERT_FALSE(view_.Icons().empty());
  EXPECT_EQ(view_.Icons().back(), (RecordingView::Indicators{0, 0, 0}));

  // The records keep their layout, the label three spaces after the verdict
  // (or after the timestamp when the check character failed).
  const std::string log = home_.LogText();
  EXPECT_NE(log.find("04:55:12.345   проверено   OLIVIA_8_500\n\nabc\n\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Ошибка     2026 / 12 / 07     04:55:12.345   OLIVIA_4_2000\n\nxy\n\n"), std::string::npos)
      << log;

  // With nothing followed, the next frame to start is typed live again.
  for (int entry : std::vector<int>{22, 15, 15, 'k'}) other_ring_->Put(entry);
  controller.Tick();
  EXPECT_EQ(view_.typed, "xk");
  EXPECT_EQ(view_.Lower(), "k");
}

TEST_F(AllModesLinkTest, NoiseInAnotherModeLeavesTheChosenModesFrameAsInOneMode) {
  LinkController controller(AllModesContext());
  for (char c : std::string("22 noise 15, never a marker")) other_ring_->Put(c);
  for (int entry : BuildExtendedFrame("abc")) state_->Bufer_Olivia.Put(entry);
  controller.Tick();
  EXPECT_EQ(view_.typed, "abc");
  EXPECT_EQ(view_.lower_sets, (std::vector<std::string>{"", "", "abc"}));
  EXPECT_EQ(view_.statuses, std::vector<std::string>{Status("OLIVIA_8_500", "abc", "проверено")});
  EXPECT_EQ(view_.icon_updates, 2);
}

// Each finished frame goes to the announcer as JSON with its mode and the
// UTC time; a refusal is said once, after the verdict, until one goes out.
TEST_F(LinkControllerTest, AnnouncesEachFrameAsJsonAndSaysAFailureOnce) {
  LinkControllerContext context = Context();
  context.mode_number = 101;
  context.mode_label = "OLIVIA_8_500";
  std::vector<std::string> sent;
  bool refuse = false;
  context.announce = [&](const std::string& json, std::string& error) {
    if (refuse) {
      error = "refused";
      return false;
    }
    sent.push_back(json);
    return true;
  };
  LinkController controller(context);
  const auto hear = [&](const std::string& text) {
    // Signal 1 beside noise 10 in every block: -10 dB.
    for (int entry : BuildExtendedFrame(text)) state_->Bufer_Olivia.Put(entry, 9, ReceivedSignal{1, 10, 20, true});
    controller.Tick();
  };
  hear("abc");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].rfind("{\"mode\":\"OLIVIA_8_500\",\"mode_number\":101,\"good\":true,\"integrity\":\"verified\",", 0),
            0u) << sent[0];
  EXPECT_NE(sent[0].find("\"text\":\"abc\""), std::string::npos);
  EXPECT_NE(sent[0].find("\"snr\":null,\"snr_db\":-10.0,\"freq_offset_hz\":20.00,\"time\":\"20"), std::string::npos)
      << sent[0];
  EXPECT_EQ(sent[0].substr(sent[0].size() - 3), "Z\"}");
  // Single mode: the status names no mode.
  EXPECT_EQ(view_.LastStatus().rfind("CRC ", 0), 0u);

  refuse = true;
  hear("de");
  EXPECT_NE(view_.LastStatus().find("; refused"), std::string::npos) << view_.LastStatus();
  hear("fg");
  EXPECT_EQ(view_.LastStatus().find("refused"), std::string::npos) << view_.LastStatus();
  refuse = false;
  hear("hi");
  EXPECT_EQ(sent.size(), 2u);
}

// The real thread: tim polls every 100 ms until STOPTIM. The test plays the
// modem, moving the transmit ring into the receive ring.
TEST_F(LinkControllerTest, TimThreadSendsAndReceivesUntilStopped) {
  LinkControllerContext context = Context();
  context.start_transmitter = nullptr;
  view_.SetUpper("ping");
  std::thread link(tim, std::cref(context));
  state_->Ura = 1;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  bool looped = false;
  while (std::chrono::steady_clock::now() < deadline && state_->USPESHNO == 0) {
    int entry = 0;
    while (state_->CBufer.Take(entry)) {
      if (entry != kEndOfTransmission) state_->Bufer_Olivia.Put(entry);
      looped = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  state_->STOPTIM = 1;
  link.join();
  EXPECT_TRUE(looped);
  EXPECT_EQ(state_->USPESHNO, 1);
  EXPECT_EQ(view_.Lower(), "ping");
  char status[32];
  std::snprintf(status, sizeof status, "CRC %X = %X, ", TextCheckCharacter("ping"), TextCheckCharacter("ping"));
  EXPECT_EQ(view_.LastStatus(), status + Utf8ToCp1251("проверено"));
}

TEST_F(LinkControllerTest, TimDoesNotTickWhenAlreadyStopped) {
  state_->STOPTIM = 1;
  state_->Ura = 1;
  view_.upper_text = "abc";
  tim(Context());
  EXPECT_EQ(state_->Ura, 1);
  EXPECT_EQ(view_.fetches, 0);
}

}  // namespace
}  // namespace quillon
