// SPDX-License-Identifier: GPL-3.0-or-later
// The winmm backend on the system's (under Wine: ALSA's) default devices.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "modem/audio/PlatformAudio.h"
#include "modem/audio/WinmmAudio.h"

namespace quillon {
namespace {

TEST(WinmmAudio, ListsTheDevicesOfBothDirections) {
  WinmmAudio audio;
  EXPECT_FALSE(audio.ListDevices(AudioDirection::Capture).empty());
  EXPECT_FALSE(audio.ListDevices(AudioDirection::Playback).empty());
  for (const std::string& name : audio.ListDevices(AudioDirection::Playback)) EXPECT_FALSE(name.empty());
}

TEST(WinmmAudio, DefaultDevicesStreamBlocksAndClose) {
  WinmmAudio audio;
  std::unique_ptr<AudioStream> playback = audio.Open(AudioDirection::Playback, -1);
  std::unique_ptr<AudioStream> capture = audio.Open(AudioDirection::Capture, -1);
  ASSERT_NE(playback, nullptr);
  ASSERT_NE(capture, nullptr);
  std::array<int16_t, kAudioBlockSamples> block{};
  // More blocks than there are headers, so every header is reused.
  for (int n = 0; n < 10; ++n) {
    block.fill(static_cast<int16_t>(1000 * n));
    EXPECT_TRUE(playback->Write(block.data())) << "block " << n;
    EXPECT_TRUE(capture->Read(block.data())) << "block " << n;
  }
  // Each stream is the wrong direction for the other call.
  EXPECT_FALSE(playback->Read(block.data()));
  EXPECT_FALSE(capture->Write(block.data()));
  playback.reset();
  capture.reset();
  // Closed devices open again.
  EXPECT_NE(audio.Open(AudioDirection::Playback, -1), nullptr);
}

TEST(WinmmAudio, ADeviceNumberBeyondTheListDoesNotOpen) {
  WinmmAudio audio;
  const int beyond = static_cast<int>(audio.ListDevices(AudioDirection::Capture).size()) + 5;
  EXPECT_EQ(audio.Open(AudioDirection::Capture, beyond), nullptr);
  EXPECT_EQ(audio.Open(AudioDirection::Playback, beyond), nullptr);
}

TEST(WinmmAudio, IsThePlatformBackend) {
  std::unique_ptr<AudioBackend> backend = CreatePlatformAudioBackend();
  EXPECT_NE(dynamic_cast<WinmmAudio*>(backend.get()), nullptr);
}

}  // namespace
}  // namespace quillon
