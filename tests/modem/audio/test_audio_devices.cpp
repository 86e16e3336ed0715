// SPDX-License-Identifier: GPL-3.0-or-later
// The device list and the in-process loopback and null devices.

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "modem/audio/AudioDevices.h"
#include "modem/audio/DeviceByName.h"
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

// Names and menu labels as ALSA gives them; the list changes under the
// choice when a card is plugged in before the chosen one.
class NamedDevices : public AudioBackend {
 public:
  std::vector<std::string> ListDevices(AudioDirection direction) override {
    std::vector<std::string> labels = DeviceNames(direction);
    for (std::string& label : labels) label += " - a card";
    return labels;
  }
  std::vector<std::string> DeviceNames(AudioDirection) override {
    if (usb_plugged) return {"default", "hw:CARD=USB,DEV=0", "hw:CARD=PCH,DEV=0"};
    return {"default", "hw:CARD=PCH,DEV=0"};
  }
  std::unique_ptr<AudioStream> Open(AudioDirection, int) override { return nullptr; }
  bool usb_plugged = false;
};

TEST(DeviceByName, TheChoiceFollowsTheNameWhenTheListChanges) {
  auto owned = std::make_unique<NamedDevices>();
  NamedDevices& platform = *owned;
  AudioDevices devices(std::move(owned));
  const AudioDirection out = AudioDirection::Playback;
  EXPECT_EQ(devices.DeviceNames(out),
            (std::vector<std::string>{"default", "hw:CARD=PCH,DEV=0", "Quillon loopback", "Quillon null (silence)"}));
  const std::string chosen = DeviceNameOf(devices, out, 1);
  EXPECT_EQ(chosen, "hw:CARD=PCH,DEV=0");
  platform.usb_plugged = true;
  EXPECT_EQ(FindDevice(devices, out, chosen), 2);
  EXPECT_EQ(ChooseDevice(devices, out, chosen, 1), 2);
  EXPECT_EQ(FindDevice(devices, out, "hw:CARD=PCH,DEV=0 - a card"), 2);  // the menu's label
  EXPECT_EQ(FindDevice(devices, out, "Quillon loopback"), devices.LoopbackNumber(out));

  // "default" is the default item even though ALSA lists it as a device, so
  // the menu keeps its default item checked.
  EXPECT_EQ(DeviceNameOf(devices, out, -1), "default");
  EXPECT_EQ(FindDevice(devices, out, "default"), -1);

  // A name no device has now, or none at all: the stored number stands.
  EXPECT_EQ(FindDevice(devices, out, "hw:CARD=Gone,DEV=0"), std::nullopt);
  EXPECT_EQ(ChooseDevice(devices, out, "hw:CARD=Gone,DEV=0", 1), 1);
  EXPECT_EQ(ChooseDevice(devices, out, "", 3), 3);
  EXPECT_EQ(DeviceNameOf(devices, out, 99), "");
  EXPECT_EQ(DeviceNameOf(devices, out, -2), "");
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
