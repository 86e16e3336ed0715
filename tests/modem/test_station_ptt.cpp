// SPDX-License-Identifier: GPL-3.0-or-later
// A whole station over the loopback device with its transmitter keyed: by a
// recording backend (the keying measured against the audio the device
// played), by a real rigctld with Hamlib's dummy rig, and by a radio that
// cannot be reached or outlasts the time limit. These run in real time.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>

#include "link/Cp1251.h"
#include "modem/audio/AudioDevices.h"
#include "modem/Driver.h"
#include "modem/ptt/PttSettings.h"
#include "modem/ptt/RigctldPtt.h"
#include "modem/SoundCard.h"
#include "tests/support/RecordingPtt.h"
#include "tests/support/RecordingView.h"
#include "tests/support/WaitFor.h"
#include "tests/support/RigctldProcess.h"
#include "tests/support/TempHome.h"

namespace quillon {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The loopback device with its playback side watched: when the first and
// the last non-silent sample began to play. A loopback block plays from the
// moment its Write returns, one sample every 125 us.
class WatchedDevices : public AudioBackend {
 public:
  struct Played {
    std::mutex mutex;
    bool any = false;
    Clock::time_point first_sample, last_sample_end;
  };

  std::vector<std::string> ListDevices(AudioDirection direction) override { return devices.ListDevices(direction); }
  std::unique_ptr<AudioStream> Open(AudioDirection direction, int number) override {
    std::unique_ptr<AudioStream> stream = devices.Open(direction, number);
    if (!stream || direction == AudioDirection::Capture) return stream;
    return std::make_unique<Stream>(std::move(stream), played, refuse_blocks);
  }

  AudioDevices devices{nullptr};
  Played played;
  std::atomic<bool> refuse_blocks{false};  // the playback device fails as an unplugged card does

 private:
  class Stream : public AudioStream {
   public:
    Stream(std::unique_ptr<AudioStream> inner, Played& played, std::atomic<bool>& refuse)
        : inner_(std::move(inner)), played_(played), refuse_(refuse) {}
    bool Read(int16_t* block) override { return inner_->Read(block); }
    bool Write(const int16_t* block) override {
      if (refuse_ || !inner_->Write(block)) return false;
      const Clock::time_point now = Clock::now();
      int first = -1, last = -1;
      for (int i = 0; i < kAudioBlockSamples; ++i) {
        if (block[i] == 0) continue;
        if (first < 0) first = i;
        last = i;
      }
      if (first >= 0) {
        std::lock_guard<std::mutex> lock(played_.mutex);
        if (!played_.any) played_.first_sample = now + std::chrono::microseconds(first * 125);
        played_.any = true;
        played_.last_sample_end = now + std::chrono::microseconds((last + 1) * 125);
      }
      return true;
    }
    long PendingSamples() override { return inner_->PendingSamples(); }

   private:
    std::unique_ptr<AudioStream> inner_;
    Played& played_;
    std::atomic<bool>& refuse_;
  };
};

class KeyedStation : public testing::Test {
 protected:
  void TearDown() override {
    if (driver_.joinable()) Stop();
  }

  void Start(int mode) {
    view_.WatchIndicators(link_);
    context_ = std::make_unique<DriverContext>(DriverContext{station_, view_, watched_, home_.Path(), {}});
    station_.mode_number = mode;
    station_.InDECSW = watched_.devices.LoopbackNumber(AudioDirection::Capture);
    station_.OutDECSW = watched_.devices.LoopbackNumber(AudioDirection::Playback);
    ASSERT_EQ(InitWaveIn(station_, watched_, station_.InDECSW), 1);
    ASSERT_EQ(InitWaveOut(station_, watched_, station_.OutDECSW), 1);
    driver_ = std::thread([this] { Play(*context_); });
    ASSERT_TRUE(WaitFor([&] { return station_.modem.load() != nullptr; }, 10s));
  }

  void Stop() {
    link_.STOP = 1;
    link_.STOPTIM = 1;
    driver_.join();
  }

  void PressTransmit(const std::string& text) {
    view_.SetUpper(text);
    link_.Ura = 1;
  }

  bool StatusShown(const std::string& utf8_part) {
    for (const std::string& status : view_.Statuses())
      if (Cp1251ToUtf8(status).find(utf8_part) != std::string::npos) return true;
    return false;
  }

  TempHome home_;
  // Before the station: its keyer may still release the radio while the
  // station goes, after a failed test body.
  RecordingPtt::Log log_;
  LinkState link_;
  StationState station_{link_};
  RecordingView view_;
  WatchedDevices watched_;
  std::unique_ptr<DriverContext> context_;
  std::thread driver_;
};

TEST_F(KeyedStation, KeyedALeadBeforeTheFirstSampleAndReleasedATailAfterTheLast) {
  const PttTiming timing{50ms, 20ms, 0s};
  station_.ptt.Configure(std::make_unique<RecordingPtt>(log_), timing);
  Start(103);  // OLIVIA_8_2000: about 3 s for this text
  PressTransmit("timing 73");
  ASSERT_TRUE(WaitFor([&] { return log_.Events().size() == 2; }, 30s)) << "keyed and released once";
  const std::vector<RecordingPtt::Event> events = log_.Events();
  ASSERT_TRUE(events[0].keyed);
  ASSERT_FALSE(events[1].keyed);
  std::lock_guard<std::mutex> lock(watched_.played.mutex);
  ASSERT_TRUE(watched_.played.any);
  const double lead_ms = std::chrono::duration<double, std::milli>(watched_.played.first_sample - events[0].at).count();
  const double tail_ms =
      std::chrono::duration<double, std::milli>(events[1].at - watched_.played.last_sample_end).count();
  std::printf("PTT over the loopback: keyed %.1f ms before the first sample, released %.1f ms after the last\n",
              lead_ms, tail_ms);
  // The lead is waited before the frame is queued, and queued audio plays
  // no sooner than that; the release is timed from the device's own count
  // of what it has yet to play, plus the tail.
  EXPECT_GE(lead_ms, 50.0);
  EXPECT_GE(tail_ms, 20.0);
}

TEST_F(KeyedStation, RigctldSeesTheRadioKeyedWhileTheMessagePlaysAndReleasedAfter) {
  if (!RigctldInstalled()) GTEST_SKIP() << "no rigctld (scripts/test installs libhamlib-utils)";
  RigctldProcess server;
  ASSERT_TRUE(server.Running());
  PttSettings settings;
  std::string error;
  ASSERT_TRUE(ParsePttChoice("rigctld:127.0.0.1:" + std::to_string(server.Port()), settings.choice, error));
  ASSERT_TRUE(ConfigureKeyer(station_.ptt, settings, error)) << error;
  Start(103);
  RigctldPtt observer("127.0.0.1", server.Port());
  const auto state = [&] {
    std::string e;
    return observer.Check(e) ? observer.LastState() : -1;
  };
  ASSERT_EQ(state(), 0);
  PressTransmit("rigctld 73");
  ASSERT_TRUE(WaitFor([&] { return link_.start_prd.load() == 1; }, 5s));
  std::this_thread::sleep_for(500ms);  // well inside the message's 3 s
  EXPECT_EQ(state(), 1) << "not keyed while the message plays";
  ASSERT_TRUE(WaitFor([&] { return link_.start_prd.load() == 0; }, 30s));
  ASSERT_TRUE(WaitFor([&] { return state() == 0; }, 2s)) << "not released after the message";
  EXPECT_TRUE(WaitFor([&] { return view_.Lower() == "rigctld 73"; }, 10s)) << "the message itself went out";
}

TEST_F(KeyedStation, AnUnreachableRigctldRefusesTheMessage) {
  PttSettings settings;
  std::string error;
  ASSERT_TRUE(ParsePttChoice("rigctld:127.0.0.1:" + std::to_string(FreeTcpPort()), settings.choice, error));
  ASSERT_TRUE(ConfigureKeyer(station_.ptt, settings, error));
  Start(103);
  PressTransmit("never on air");
  ASSERT_TRUE(WaitFor([&] { return StatusShown("Передатчик не включён"); }, 10s));
  EXPECT_TRUE(StatusShown("Connection refused. Текст не передан"));
  EXPECT_EQ(link_.start_prd.load(), 0);
  EXPECT_EQ(link_.PRD_R.load(), 0);
  EXPECT_TRUE(link_.CBufer.Empty());
}

TEST_F(KeyedStation, TheTimeLimitReleasesAndEndsALongTransmission) {
  station_.ptt.Configure(std::make_unique<RecordingPtt>(log_), PttTiming{0ms, 0ms, 1s});
  Start(98);  // OLIVIA_4_2000
  PressTransmit("a message far longer than the one second this station may transmit for");
  ASSERT_TRUE(WaitFor([&] { return StatusShown("передача длилась дольше 1 с"); }, 10s));
  ASSERT_TRUE(WaitFor([&] { return link_.start_prd.load() == 0 && link_.PRD_R.load() == 0; }, 5s));
  const std::vector<RecordingPtt::Event> events = log_.Events();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_GE(events[1].at - events[0].at, 1s);
  // Nothing more is played once the radio is off: the audio stops with it.
  Clock::time_point last_sample;
  {
    std::lock_guard<std::mutex> lock(watched_.played.mutex);
    last_sample = watched_.played.last_sample_end;
  }
  // One block may have been queued while the limit struck, and the device
  // holds a few more (4 blocks of 64 ms at most).
  EXPECT_LE(last_sample - events[1].at, 400ms);
}

TEST_F(KeyedStation, APlaybackDeviceThatFailsMidMessageReleasesTheRadio) {
  station_.ptt.Configure(std::make_unique<RecordingPtt>(log_), PttTiming{0ms, 0ms, 0s});
  Start(98);  // OLIVIA_4_2000
  PressTransmit("a message the failing card will not finish");
  ASSERT_TRUE(WaitFor([&] { return link_.start_prd.load() == 1 && log_.Keyed(); }, 5s));
  watched_.refuse_blocks = true;
  // Four refused blocks of 64 ms make the device lost; then at once.
  ASSERT_TRUE(WaitFor([&] { return !log_.Keyed(); }, 3s)) << "a dead card left the transmitter keyed";
  EXPECT_TRUE(WaitFor([&] { return StatusShown("Передатчик выключен: звук не выводится"); }, 2s));
  EXPECT_TRUE(WaitFor([&] { return link_.start_prd.load() == 0; }, 5s));
}

}  // namespace
}  // namespace quillon
