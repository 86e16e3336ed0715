// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/ReceiveChain.h"

#include <cmath>

#include "engine/Receiver.h"

namespace quillon {
namespace {

// As the adapter configures its receiver (see olivia::restart).
constexpr unsigned kSyncMargin = 8;       // trial offsets either side, in FFT bins
constexpr unsigned kSyncIntegration = 4;  // blocks
constexpr int kEscape = 127;              // prefix of an 8-bit character on air
constexpr int kHighestDroppedCode = 7;    // codes 0..7 (the NUL fill among them) never reach the link

}  // namespace

ReceivedSignal ToReceivedSignal(const MFSK_BlockSignal& block) {
  ReceivedSignal signal;
  signal.signal = static_cast<float>(block.signal);
  signal.noise = static_cast<float>(block.noise);
  signal.offset_hz = static_cast<float>(block.offset_hz);
  signal.measured = block.measured;
  return signal;
}

int UnescapeReceived(int ch, bool eight_bit, int& escape_pending) {
  if (!eight_bit) return ch;
  if (escape_pending) {
    escape_pending = 0;
    return ch + 128;
  }
  if (ch == kEscape) {
    escape_pending = 1;
    return -1;
  }
  return ch;
}

void DeliverDecisions(MFSK_Receiver<double>& receiver, bool eight_bit, int& escape_pending, ReceiveRing& ring) {
  unsigned char ch = 0;
  float strength = 0;
  MFSK_BlockSignal block;
  while (receiver.GetChar(ch, strength, block)) {
    const int v = UnescapeReceived(ch, eight_bit, escape_pending);
    if (v != -1 && v > kHighestDroppedCode) ring.Put(v, strength, ToReceivedSignal(block));
  }
}

ReceiveChain::ReceiveChain(const OliviaMode& mode, StationState& station, TransformMemo<double>* memo,
                           bool deep_receiver)
    : mode_(mode), station_(station), receiver_(std::make_unique<MFSK_Receiver<double>>()) {
  MFSK_Receiver<double>& rx = *receiver_;
  rx.ShareTransforms(memo);
  rx.Tones = static_cast<unsigned>(mode.Tones());
  rx.Bandwidth = static_cast<unsigned>(mode.Bandwidth());
  rx.SearchMargin = kSyncMargin;
  rx.SyncBlocks = kSyncIntegration;
  rx.SampleRate = rx.InputSampleRate = kSampleRateHz;
  // The lower band edge in units of a sixteenth of the sample rate, the
  // half band truncated to whole Hz as on the adapter's receive side.
  const double half_band = std::trunc(mode.Bandwidth() * (1.0 - 0.5 / mode.Tones()) / 2.0);
  rx.BandEdge = static_cast<float>((kCentreFrequencyHz - half_band) / (kSampleRateHz / 16.0));
  rx.Reverse = 0;
  rx.Deep = deep_receiver;
  ready_ = rx.Preset() >= 0;
}

ReceiveChain::~ReceiveChain() = default;

void ReceiveChain::rx_process(const double* samples, int count) {
  if (!ready_ || count <= 0) return;
  MFSK_Receiver<double>& rx = *receiver_;
  // Preset raises the threshold; every block gets a decision, as in the
  // adapter, and noise is left to the character filter and the frame markers.
  rx.DecodeThreshold = 0.0;
  rx.Process(samples, static_cast<unsigned>(count));
  DeliverDecisions(rx, station_.progdefaults.eight_bit.load(std::memory_order_acquire), escape_pending_, ring_);
}

OtherModeReceivers::OtherModeReceivers(int active_mode_number, StationState& station, bool deep_receiver)
    : memo_(std::make_unique<TransformMemo<double>>(static_cast<unsigned>(kAudioBlockSamples))) {
  const int active = ModeByNumber(active_mode_number).number;
  for (const OliviaMode& mode : kOliviaModes)
    if (mode.number != active)
      chains_.push_back(std::make_unique<ReceiveChain>(mode, station, memo_.get(), deep_receiver));
}

OtherModeReceivers::~OtherModeReceivers() = default;

void OtherModeReceivers::rx_process(const double* samples, int count) {
  for (const auto& chain : chains_) chain->rx_process(samples, count);
}

}  // namespace quillon
