// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One station of the program without its threads: the link's rings and
// flags, the station state and the Olivia adapter, built the way the modem
// driver builds it (MakeOliviaModem). The tool
// plays the threads' parts itself, step by step: the link controller's tick,
// the playback thread pulling tx_process, the driver handing captured blocks
// to rx_process.

#include <memory>
#include <string>

#include "link/LinkState.h"
#include "link/LinkView.h"
#include "engine/ModeTable.h"
#include "modem/Olivia.h"
#include "modem/StationState.h"
#include "tools/wav/WavIo.h"

namespace quillon {

class Station {
 public:
  // `deep_receiver`: the adapter's receiver is the deep one.
  explicit Station(const OliviaMode& mode, bool deep_receiver = false);
  Station(const Station&) = delete;
  Station& operator=(const Station&) = delete;

  const OliviaMode& Mode() const { return mode_; }
  olivia& Adapter() { return *adapter_; }
  LinkState& Link() { return link_; }

  // One press of "Передать" with `upper_text` (cp1251) in the upper pane:
  // one link controller tick frames it into the transmit ring and starts
  // the transmitter; then the playback side pulls tx_process until the
  // transmission has ended and every queued block is played, each value
  // x 20000 as the sound card gets it. Empty when the controller sent
  // nothing (its status text, shown through `view`, says why).
  Audio Transmit(const std::string& upper_text, LinkView& view, bool check_extension = true);

  // Captured 16-bit samples, as the driver thread hands them on: / 32767,
  // at most 512 at a time, to rx_process.
  void Hear(const int16_t* samples, int count);
  // The end of the audio: rx_flush.
  void Flush() { adapter_->rx_flush(); }

 private:
  const OliviaMode& mode_;
  LinkState link_;
  StationState state_;
  std::unique_ptr<olivia> adapter_;
};

// Where every station built afterwards prints the adapter's mode-93
// diagnostic line ("tones ..."): standard error when `shown` (--verbose),
// nowhere otherwise, so that it never mixes with the tool's results.
void ShowAdapterDiagnostics(bool shown);

// The audio of one press of "Передать" with a cp1251 text, on a fresh
// station. Throws CliError with the status text when nothing was sent.
// Without `check_extension` the frame ends at its check character, as a
// station that knows only the frame sends it.
Audio EncodeMessage(const OliviaMode& mode, const std::string& cp1251, bool check_extension = true);

// A window that is not there: only the last status text is kept.
class QuietView : public LinkView {
 public:
  std::string FetchUpperText(int) override { return ""; }
  void SetLowerText(const std::string&) override {}
  void InsertLowerChar(unsigned char) override {}
  void SetStatusText(const std::string& text) override { status_ = text; }
  void FocusArchiveButton() override {}
  void Iconki() override {}
  void ShowSignalReport(const SignalReport&) override {}
  const std::string& Status() const { return status_; }

 private:
  std::string status_;
};

}  // namespace quillon
