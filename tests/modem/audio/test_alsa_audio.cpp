// SPDX-License-Identifier: GPL-3.0-or-later
// The ALSA backend against the "null" PCM that every ALSA configuration
// defines: listing, opening by number and whole-period transfers.

#include <gtest/gtest.h>

#include <algorithm>

#include "modem/audio/AlsaAudio.h"

namespace quillon {
namespace {

int NumberOf(AlsaAudio& alsa, AudioDirection direction, const std::string& name) {
  const std::vector<std::string> names = alsa.DeviceNames(direction);
  const auto at = std::find(names.begin(), names.end(), name);
  return at == names.end() ? -1 : static_cast<int>(at - names.begin());
}

TEST(AlsaAudio, ListsNamesWithDescriptionsInTheSameOrder) {
  AlsaAudio alsa;
  for (AudioDirection direction : {AudioDirection::Capture, AudioDirection::Playback}) {
    const std::vector<std::string> names = alsa.DeviceNames(direction);
    const std::vector<std::string> labels = alsa.ListDevices(direction);
    ASSERT_EQ(names.size(), labels.size());
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(labels[i].rfind(names[i], 0), 0u) << labels[i];
    EXPECT_EQ(alsa.Open(direction, static_cast<int>(names.size())), nullptr);
  }
}

// Cards that take only 44.1/48 kHz or stereo are reached through the plug
// layer, which converts; a name that already goes through it is left alone.
TEST(AlsaAudio, PlugNames) {
  EXPECT_EQ(AlsaAudio::PlugName("hw:CARD=USB,DEV=0"), "plughw:CARD=USB,DEV=0");
  EXPECT_EQ(AlsaAudio::PlugName("plughw:1,0"), "plughw:1,0");
  EXPECT_EQ(AlsaAudio::PlugName("dmix:CARD=PCH,DEV=0"), "plug:'dmix:CARD=PCH,DEV=0'");
  EXPECT_EQ(AlsaAudio::PlugName("plug:'x'"), "plug:'x'");
  // plug:'NAME' is a name ALSA opens, over the null device here.
  AlsaAudio alsa;
  if (NumberOf(alsa, AudioDirection::Playback, "null") < 0) GTEST_SKIP() << "no ALSA null device";
  auto out = alsa.OpenNamed(AudioDirection::Playback, AlsaAudio::PlugName("null"));
  ASSERT_NE(out, nullptr);
  int16_t block[kAudioBlockSamples] = {};
  EXPECT_TRUE(out->Write(block));
}

TEST(AlsaAudio, NullDeviceTransfersWholePeriods) {
  AlsaAudio alsa;
  const int playback = NumberOf(alsa, AudioDirection::Playback, "null");
  const int capture = NumberOf(alsa, AudioDirection::Capture, "null");
  if (playback < 0 || capture < 0) GTEST_SKIP() << "no ALSA null device";
  auto out = alsa.Open(AudioDirection::Playback, playback);
  auto in = alsa.Open(AudioDirection::Capture, capture);
  ASSERT_NE(out, nullptr);
  ASSERT_NE(in, nullptr);
  int16_t block[kAudioBlockSamples];
  std::fill(block, block + kAudioBlockSamples, int16_t{1000});
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(out->Write(block));
  for (int i = 0; i < 8; ++i) EXPECT_TRUE(in->Read(block));
}

}  // namespace
}  // namespace quillon
