// The device list and the in-process loopback and null devices.

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "modem/audio/AudioDevices.h"
#include "modem/audio/LoopbackAudio.h"
#include "modem/audio/NullAudio.h"

namespace quillon {
namespace {

TEST(AudioDevices, ExtraDevicesFollowThePlatformDevices) {
  class TwoDevices : public AudioBackend {
   public:
    std::vector<std::string> ListDevices(AudioDirection direction) override {
      if (direction == AudioDirection::Capture) return {"mic", "line"};
      return {"speaker"};
    }
    std::unique_ptr<AudioStream> Open(AudioDirection, int) override { return nullptr; }
  };
  AudioDevices devices(std::make_unique<TwoDevices>());
  EXPECT_EQ(devices.ListDevices(AudioDirection::Capture),
            (std::vector<std::string>{"mic", "line", "Quillon loopback", "Quillon null (silence)"}));
  EXPECT_EQ(devices.LoopbackNumber(AudioDirection::Capture), 2);
  EXPECT_EQ(devices.NullNumber(AudioDirection::Capture), 3);
  EXPECT_EQ(devices.LoopbackNumber(AudioDirection::Playback), 1);
  EXPECT_NE(devices.Open(AudioDirection::Capture, 2), nullptr);
  EXPECT_NE(devices.Open(AudioDirection::Playback, 2), nullptr);
  EXPECT_EQ(devices.Open(AudioDirection::Playback, 3), nullptr);
  EXPECT_EQ(devices.Open(AudioDirection::Capture, -2), nullptr);
  EXPECT_EQ(devices.Open(AudioDirection::Capture, -1), nullptr);  // the platform's default refused

  AudioDevices none(nullptr);
  EXPECT_EQ(none.LoopbackNumber(AudioDirection::Playback), 0);
  EXPECT_EQ(none.Open(AudioDirection::Capture, -1), nullptr);
}

TEST(LoopbackAudio, PlayedBlocksAreCapturedInOrder) {
  LoopbackAudio loopback(8.0);  // 8 ms per block
  auto out = loopback.Open(AudioDirection::Playback, 0);
  auto in = loopback.Open(AudioDirection::Capture, 0);
  std::thread player([&] {
    int16_t block[kAudioBlockSamples];
    for (int16_t n = 1; n <= 30; ++n) {
      std::fill(block, block + kAudioBlockSamples, n);
      out->Write(block);
    }
  });
  std::vector<int16_t> heard;
  int16_t block[kAudioBlockSamples];
  for (int n = 0; n < 40; ++n) {
    ASSERT_TRUE(in->Read(block));
    EXPECT_EQ(block[0], block[511]);
    if (block[0] != 0) heard.push_back(block[0]);
  }
  player.join();
  ASSERT_FALSE(heard.empty());
  // A contiguous run: nothing lost or repeated once the wire is primed.
  for (std::size_t i = 1; i < heard.size(); ++i) EXPECT_EQ(heard[i], heard[i - 1] + 1);
  EXPECT_EQ(heard.back(), 30);
}

TEST(LoopbackAudio, NothingPlayedIsSilence) {
  LoopbackAudio loopback(16.0);
  auto in = loopback.Open(AudioDirection::Capture, 0);
  int16_t block[kAudioBlockSamples];
  block[7] = 5;
  ASSERT_TRUE(in->Read(block));
  EXPECT_EQ(block[7], 0);
  EXPECT_EQ(loopback.Open(AudioDirection::Capture, 1), nullptr);
}

}  // namespace
}  // namespace quillon
