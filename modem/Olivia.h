// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Olivia adapter: one transmit and one receive chain configured for one
// of the 19 modes, with the tone bursts around every transmission, the output
// level, 8-bit escaping, and the character rings of the link on either side.
//
// Threads: the driver thread constructs, calls init, set_freq, tx_init and
// rx_process and deletes; the link controller calls Start once per message;
// the playback thread calls tx_process while start_prd is set.

#include <array>
#include <atomic>
#include <memory>

#include "engine/ModeTable.h"
#include "link/FrameReceiver.h"
#include "modem/Modem.h"

namespace quillon {

template <class Type>
class MFSK_Transmitter;
template <class Type>
class MFSK_Receiver;

class olivia : public modem {
 public:
  static constexpr int kBurstToneSamples = 2048;  // 256 ms per burst tone
  static constexpr int kBurstSamples = 4 * kBurstToneSamples;  // low, high, low, high
  static constexpr int kBurstRampSamples = 256;   // 32 ms rise and fall

  // Over the program's process-wide station. With `deep_receiver` the
  // receiver is the deep one (finer frequency, likelihood decisions, an
  // impulse-only limiter, timing held through a frame); what goes on air is
  // the same either way.
  explicit olivia(unsigned mode);
  olivia(unsigned mode, StationState& station_state, bool deep_receiver = false);
  ~olivia() override;

  void init() override;
  void tx_init() override;
  void rx_init() override;
  void restart() override;
  void rx_flush() override;
  int tx_process() override;
  int rx_process(const double* samples, int count) override;

  // Per message, from the link controller, while start_prd is 0.
  void Start();
  void send_tones();
  double nco(double freq);
  int unescape(int ch);
  // The next entry of the transmit ring, or -1 when it is empty.
  int get_tx_char();

  MFSK_Transmitter<double>& Transmitter() { return *transmitter; }
  MFSK_Receiver<double>& Receiver() { return *receiver; }
  bool DeepReceiver() const { return deep_receiver; }
  int TonesCode() const { return tones_code; }
  int WidthCode() const { return width_code; }

 private:
  // Distance from the centre down to the lower band edge for the given
  // chain's tones and bandwidth, in Hz.
  static double HalfBand(unsigned bandwidth, unsigned tones);
  // One ring entry into the transmitter, 8-bit values escaped.
  void QueueCharacter(int ch);

  std::unique_ptr<MFSK_Transmitter<double>> transmitter;
  std::unique_ptr<MFSK_Receiver<double>> receiver;
  const bool deep_receiver;  // the receiver's Deep, given before each of its presets
  std::unique_ptr<double[]> tx_block;
  int tx_block_len = 0;
  int escape_pending = 0;
  int sync_margin = 0;
  int sync_integration = 0;
  int tones_code = 0;
  int width_code = 0;
  int opening_sent = 0;
  int closing_sent = 0;
  double nco_phase = 0.0;  // radians, in (-pi, pi]
  double tx_centre = 0.0;  // Hz
  double rx_centre_applied = 0.0;  // Hz; 0 makes the first rx_process preset the receiver
  std::array<double, kBurstToneSamples> burst_shape{};
  std::array<double, kBurstSamples> burst{};
  // Both chains preset; false only when memory ran out, and then the adapter
  // neither sends nor receives. Written on the driver thread (restart, and
  // rx_process when the receiver cannot be preset again), read also by the
  // link controller (Start) and the playback thread (tx_process).
  std::atomic<bool> chains_ready{false};
  // The transmitter's half band, truncated, as the receive side places the
  // receiver (Hz).
  double rx_half_band = 0.0;
};

// The adapter for a mode number, made ready the one way every station runs
// it: constructed, init, set_freq at the band centre, tx_init.
std::unique_ptr<olivia> MakeOliviaModem(int mode_number, StationState& station, bool deep_receiver = false);

// How the link judges the frames received in a mode: it waits for the check
// extension as long as the mode takes to deliver it, and gates frames
// without one by the receiver's decision strength.
FrameReceiverSettings LinkReceiveSettings(const OliviaMode& mode);

}  // namespace quillon
