#include "modem/AudioRings.h"

#include <algorithm>

namespace quillon {

void TransmitAudioRing::Put(const double* block) {
  std::copy(block, block + kAudioBlockSamples, ring_.WriteSlot().begin());
  ring_.Publish();
}

const double* TransmitAudioRing::Front() const {
  const auto* front = ring_.Front();
  return front == nullptr ? nullptr : front->data();
}

bool CaptureRing::Put(const int16_t* block) {
  // A full ring keeps what it holds: overwriting the oldest block could tear
  // the block the reader is copying, and advancing onto the read index would
  // make all 99 waiting blocks look consumed.
  if (!ring_.HasRoom()) return false;
  std::copy(block, block + kAudioBlockSamples, ring_.WriteSlot().begin());
  ring_.Publish();
  return true;
}

bool CaptureRing::Take(int16_t* block) {
  const auto* front = ring_.Front();
  if (front == nullptr) return false;
  std::copy(front->begin(), front->end(), block);
  ring_.Pop();
  return true;
}

}  // namespace quillon
