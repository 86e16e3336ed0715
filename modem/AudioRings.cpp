#include "modem/AudioRings.h"

#include <algorithm>

namespace quillon {

TransmitAudioRing::TransmitAudioRing(int blocks) : blocks_(std::max(blocks, 2)) {
  ReallocArray(samples_, static_cast<std::size_t>(blocks_) * kAudioBlockSamples);
}

bool TransmitAudioRing::Empty() const {
  return Psave.load(std::memory_order_acquire) == Pload.load(std::memory_order_acquire);
}

int TransmitAudioRing::Pending() const {
  const int pending = Psave.load(std::memory_order_acquire) - Pload.load(std::memory_order_acquire);
  return pending < 0 ? pending + blocks_ : pending;
}

void TransmitAudioRing::Put(const double* block) {
  const int at = Psave.load(std::memory_order_relaxed);
  std::copy(block, block + kAudioBlockSamples, samples_.get() + static_cast<std::size_t>(at) * kAudioBlockSamples);
  Psave.store(Next(at), std::memory_order_release);
}

const double* TransmitAudioRing::Front() const {
  const int at = Pload.load(std::memory_order_relaxed);
  if (at == Psave.load(std::memory_order_acquire)) return nullptr;
  return samples_.get() + static_cast<std::size_t>(at) * kAudioBlockSamples;
}

void TransmitAudioRing::Pop() {
  const int at = Pload.load(std::memory_order_relaxed);
  Pload.store(Next(at), std::memory_order_release);
}

void TransmitAudioRing::Clear() {
  Psave.store(0, std::memory_order_release);
  Pload.store(0, std::memory_order_release);
  ClearArray(samples_, static_cast<std::size_t>(blocks_) * kAudioBlockSamples);
}

bool CaptureRing::Put(const int16_t* block) {
  const int at = DTMF_SAVE_uk.load(std::memory_order_relaxed);
  // A full ring keeps what it holds: overwriting the oldest block could tear
  // the block the reader is copying, and advancing onto the read index would
  // make all 99 waiting blocks look consumed.
  if (Next(at) == DTMF_LOAD_uk.load(std::memory_order_acquire)) return false;
  std::copy(block, block + kAudioBlockSamples, samples_.begin() + at * kAudioBlockSamples);
  DTMF_SAVE_uk.store(Next(at), std::memory_order_release);
  return true;
}

bool CaptureRing::Take(int16_t* block) {
  const int at = DTMF_LOAD_uk.load(std::memory_order_relaxed);
  if (at == DTMF_SAVE_uk.load(std::memory_order_acquire)) return false;
  const auto first = samples_.begin() + at * kAudioBlockSamples;
  std::copy(first, first + kAudioBlockSamples, block);
  DTMF_LOAD_uk.store(Next(at), std::memory_order_release);
  return true;
}

void CaptureRing::Skip() {
  DTMF_LOAD_uk.store(DTMF_SAVE_uk.load(std::memory_order_acquire), std::memory_order_release);
}

void CaptureRing::Clear() {
  DTMF_SAVE_uk.store(0, std::memory_order_release);
  DTMF_LOAD_uk.store(0, std::memory_order_release);
}

}  // namespace quillon
