// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/AudioRings.h"

#include <algorithm>

namespace quillon {
namespace {

using BlockRing = SpscRing<std::array<int16_t, kAudioBlockSamples>>;

// A full ring keeps what it holds: overwriting the oldest block could tear
// the block the reader is copying, and advancing onto the read index would
// make every waiting block look consumed.
bool PutIfRoom(BlockRing& ring, const int16_t* block) {
  if (!ring.HasRoom()) return false;
  std::copy(block, block + kAudioBlockSamples, ring.WriteSlot().begin());
  ring.Publish();
  return true;
}

bool TakeOldest(BlockRing& ring, int16_t* block) {
  const auto* front = ring.Front();
  if (front == nullptr) return false;
  std::copy(front->begin(), front->end(), block);
  ring.Pop();
  return true;
}

}  // namespace

void TransmitAudioRing::Put(const double* block) {
  std::copy(block, block + kAudioBlockSamples, ring_.WriteSlot().begin());
  ring_.Publish();
}

const double* TransmitAudioRing::Front() const {
  const auto* front = ring_.Front();
  return front == nullptr ? nullptr : front->data();
}

bool CaptureRing::Put(const int16_t* block) { return PutIfRoom(ring_, block); }

bool CaptureRing::Take(int16_t* block) { return TakeOldest(ring_, block); }

bool MonitorTap::Put(const int16_t* block) { return PutIfRoom(ring_, block); }

bool MonitorTap::Take(int16_t* block) { return TakeOldest(ring_, block); }

}  // namespace quillon
