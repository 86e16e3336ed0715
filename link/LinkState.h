// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The character rings and flags through which the window, the link
// controller, the modem driver and the audio threads meet. There are no locks:
// each ring index and each flag has one writing thread at a time. A ring entry
// is written before its write index is published (release) and read after the
// index has been loaded (acquire).
//
// Who writes and who reads, in the program (window = the GUI thread, link =
// the link controller tim, driver = the modem driver Play, playback and
// capture = the audio threads). "Restart" is the driver's mode change, done
// while the link controller and both audio threads are stopped.
//
//   value             written by                               read by
//   CBufer, Csave     link (a frame); driver at restart (0)    playback (get_tx_char), link (count)
//   Cload             playback (get_tx_char); driver (0)       link (count of pending entries)
//   Bufer_Olivia,     driver (the adapter's receive side)      link
//     save_Olivia,
//     its strengths
//     and signals
//   load_Olivia       link                                     -
//   Ura               window sets; link, driver clear          link, window
//   start_prd         link sets; playback, driver clear        playback, link
//   ZeroYes           playback sets; link clears               link
//   PRD_R, PRM_R      link; driver clears                      window (icon, commands)
//   USPESHNO          link; window, driver clear               window (icon, commands)
//   STOP              window (at exit)                         driver
//   STOPTIM           window (at exit); driver                 link
//
// The program has one LinkState for the whole run (ProcessLinkState());
// tests, the command-line decoder and the demo make their own.

#include <array>
#include <atomic>
#include <cstddef>
#include <limits>

#include "link/FrameSignal.h"
#include "link/SpscRing.h"

namespace quillon {

// 10000 32-bit entries with a write index and a read index. Empty when the
// indices are equal; an index above 9998 goes to 0. The writer never tests
// for room, so at most 9999 entries can be pending and more overwrite
// entries not yet read.
class CharRing : public SpscRing<int> {
 public:
  static constexpr int kEntries = 10000;

  CharRing() : SpscRing<int>(kEntries) {}
};

// The receive ring keeps beside each character the strength of the
// receiver's decision on it (see FrameReceiver) and the signal measured over
// its block (see FrameSignal), in a slot of its own with the same index,
// written before the character is published and read before it is released;
// the characters are as in every CharRing.
class ReceiveRing : public CharRing {
 public:
  // A character nothing measured counts as firmly decided.
  void Put(int value) { Put(value, std::numeric_limits<float>::infinity()); }
  void Put(int value, float strength, const ReceivedSignal& signal = {}) {
    slots_[static_cast<std::size_t>(write_index.load(std::memory_order_relaxed))] = {strength, signal};
    CharRing::Put(value);
  }
  bool Take(int& value) {
    float ignored = 0;
    return Take(value, ignored);
  }
  bool Take(int& value, float& strength) {
    ReceivedSignal ignored;
    return Take(value, strength, ignored);
  }
  bool Take(int& value, float& strength, ReceivedSignal& signal) {
    const int* front = Front();
    if (front == nullptr) return false;
    value = *front;
    const Slot& slot = slots_[static_cast<std::size_t>(read_index.load(std::memory_order_relaxed))];
    strength = slot.strength;
    signal = slot.signal;
    Pop();
    return true;
  }

 private:
  struct Slot {
    float strength = 0;
    ReceivedSignal signal;
  };
  std::array<Slot, kEntries> slots_{};
};

struct LinkState {
  LinkState() = default;
  LinkState(const LinkState&) = delete;
  LinkState& operator=(const LinkState&) = delete;

  // Transmit ring: written by the link controller, read by the modem's
  // get_tx_char on the playback thread.
  CharRing CBufer;
  std::atomic<int>& Csave = CBufer.write_index;
  std::atomic<int>& Cload = CBufer.read_index;

  // Receive ring: written by the modem's receive side on the driver thread,
  // read by the link controller.
  ReceiveRing Bufer_Olivia;
  std::atomic<int>& save_Olivia = Bufer_Olivia.write_index;
  std::atomic<int>& load_Olivia = Bufer_Olivia.read_index;

  std::atomic<int> Ura{0};        // the operator asked to transmit
  std::atomic<int> start_prd{0};  // a transmission is under way in the modem
  std::atomic<int> ZeroYes{0};    // playback queued a block of silence
  std::atomic<int> PRD_R{0};      // transmit indicator
  std::atomic<int> PRM_R{0};      // receive indicator: a frame is arriving
  std::atomic<int> USPESHNO{0};   // the last received frame passed its check
  std::atomic<int> STOP{0};       // stop request for the modem driver thread
  std::atomic<int> STOPTIM{0};    // stop request for the link controller

  // Entries of the transmit ring still waiting to be sent.
  int GetKolPrd() const { return CBufer.Pending(); }

  // Everything back to program start: both rings empty, every flag 0.
  void Reset() {
    CBufer.Clear();
    Bufer_Olivia.Clear();
    for (std::atomic<int>* flag : {&Ura, &start_prd, &ZeroYes, &PRD_R, &PRM_R, &USPESHNO, &STOP, &STOPTIM})
      flag->store(0, std::memory_order_release);
  }
};

// The one LinkState of the running program.
LinkState& ProcessLinkState();

}  // namespace quillon
