// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Receive-only Olivia chains for listening in every mode at once: beside
// the active adapter (which receives and sends in the chosen mode), one
// receiver per other mode hears the same captured blocks on the driver
// thread. Each is placed in the band as the adapter places its own, its
// characters are unescaped and filtered as the adapter's are, and they go
// into a receive ring of its own, which the link controller empties.

#include <memory>
#include <vector>

#include "engine/ModeTable.h"
#include "link/FrameSignal.h"
#include "link/LinkState.h"
#include "modem/StationState.h"

namespace quillon {

template <class Type>
class MFSK_Receiver;
template <class Value>
class TransformMemo;
struct MFSK_BlockSignal;

// The receiver's measurement of a character's block, as the link keeps it.
ReceivedSignal ToReceivedSignal(const MFSK_BlockSignal& block);

// Receive-side 8-bit unescaping: with `eight_bit` off, `ch` as it is; after
// the escape 127, the next character plus 128; the escape itself is -1.
// `escape_pending` (0/1) carries the escape from one character to the next.
int UnescapeReceived(int ch, bool eight_bit, int& escape_pending);

// Every character `receiver` has decided, unescaped, codes 0..7 dropped, into
// `ring` with its strength and its block's signal: the last step of the
// adapter's receive side and of every receive-only chain.
void DeliverDecisions(MFSK_Receiver<double>& receiver, bool eight_bit, int& escape_pending, ReceiveRing& ring);

class ReceiveChain {
 public:
  // `station` supplies progdefaults.eight_bit: 8-bit characters are
  // unescaped once this station has transmitted, as in the adapter.
  // `memo`, when given, serves transforms the chains on this thread share;
  // it must outlive the chain. `deep_receiver` makes its receiver the deep
  // one, as in the adapter.
  ReceiveChain(const OliviaMode& mode, StationState& station, TransformMemo<double>* memo = nullptr,
               bool deep_receiver = false);
  ~ReceiveChain();
  ReceiveChain(const ReceiveChain&) = delete;
  ReceiveChain& operator=(const ReceiveChain&) = delete;

  const OliviaMode& Mode() const { return mode_; }
  ReceiveRing& Ring() { return ring_; }
  // False only when the receiver's memory could not be had; it then hears nothing.
  bool Ready() const { return ready_; }
  const MFSK_Receiver<double>& Receiver() const { return *receiver_; }

  // One block of captured audio, values in -1.0..1.0 at 8000 samples/s.
  void rx_process(const double* samples, int count);

 private:
  const OliviaMode& mode_;
  StationState& station_;
  std::unique_ptr<MFSK_Receiver<double>> receiver_;
  ReceiveRing ring_;
  bool ready_ = false;
  int escape_pending_ = 0;
};

// A receive chain for every mode but the active one. The chains hear every
// block one after another on one thread, so they share the transforms they
// would repeat (those of modes with equally long symbols, and every burst
// detector's) through one memo.
class OtherModeReceivers {
 public:
  OtherModeReceivers(int active_mode_number, StationState& station, bool deep_receiver = false);
  ~OtherModeReceivers();

  // The same block to every chain.
  void rx_process(const double* samples, int count);
  std::vector<std::unique_ptr<ReceiveChain>>& Chains() { return chains_; }

 private:
  std::unique_ptr<TransformMemo<double>> memo_;  // declared first: the chains go before it
  std::vector<std::unique_ptr<ReceiveChain>> chains_;
};

}  // namespace quillon
