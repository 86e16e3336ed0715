// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/audio/NullAudio.h"

#include <algorithm>

#include "modem/audio/BlockClock.h"

namespace quillon {

namespace {

class NullStream : public AudioStream {
 public:
  bool Read(int16_t* block) override {
    clock_.WaitForNextBlock();
    std::fill(block, block + kAudioBlockSamples, int16_t{0});
    return true;
  }
  bool Write(const int16_t*) override {
    clock_.WaitForNextBlock();
    return true;
  }

 private:
  BlockClock clock_;
};

}  // namespace

std::vector<std::string> NullAudio::ListDevices(AudioDirection) { return {"Quillon null (silence)"}; }

std::unique_ptr<AudioStream> NullAudio::Open(AudioDirection, int number) {
  if (number != -1 && number != 0) return nullptr;
  return std::make_unique<NullStream>();
}

}  // namespace quillon
