// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The sound-card modem: the base of the one concrete Olivia adapter. The
// virtual slots keep the order of the general modem interface; the hooks this
// program never calls do nothing.

#include <string>

#include "modem/StationState.h"

namespace quillon {

class modem {
 public:
  explicit modem(StationState& station_state);
  modem(const modem&) = delete;
  modem& operator=(const modem&) = delete;

  virtual ~modem();
  virtual void init();  // clears stop_requested
  virtual void tx_init() = 0;
  virtual void rx_init() = 0;
  virtual void restart() = 0;
  virtual void rx_flush() {}
  virtual int tx_process() { return 0; }
  virtual int rx_process(const double* samples, int count) = 0;
  virtual void shutdown() {}
  virtual void set1(int, int) {}
  virtual void set2(int, int) {}
  virtual void makeTxViewer(int, int) {}
  virtual void searchDown() {}
  virtual void searchUp() {}
  virtual void set_freq(double freq);
  virtual void send_color_image(std::string) {}
  virtual void send_Grey_image(std::string) {}
  virtual void ifkp_send_image(std::string, bool) {}
  virtual void ifkp_send_avatar() {}
  virtual void m_ifkp_send_avatar() {}
  virtual void thor_send_image(std::string, bool) {}
  virtual void thor_send_avatar() {}
  virtual void m_thor_send_avatar() {}
  virtual void incWPM() {}
  virtual void decWPM() {}
  virtual void toggleWPM() {}
  virtual void sync_parameters() {}
  virtual void update_Status() {}
  virtual void refresh_scope() {}

  unsigned get_mode() const { return mode_id; }
  // The tone order is never inverted in this system: whatever it is given,
  // false is stored.
  void set_reverse(bool) { sideband_inverted = false; }
  // The transmit centre; there is no transmit offset, so it is tx_freq.
  double get_txfreq_woffset() const { return tx_freq; }

  // The output stage: level (10^(dB/20), at most 0.95) and clipping to
  // +-0.95, in place, then staged into the transmit audio ring in blocks of
  // 512. Returns the number of samples taken.
  int ModulateXmtr(double* samples, int count);

  StationState& Station() { return station; }

  double rx_freq = 1500.0;  // Hz, receive centre
  double tx_freq = 1500.0;  // Hz, transmit centre
  unsigned mode_id = 0;     // the mode number
  bool stop_requested = false;  // the end command -3 has been read
  int sample_rate = 0;          // Hz
  bool sideband_inverted = false;
  double signal_width = 0.0;  // Hz, distance between the two burst tones

 protected:
  StationState& station;
};

}  // namespace quillon
