// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/Station.h"

#include <atomic>

#include "link/Cp1251.h"
#include "link/LinkController.h"
#include "modem/SampleLevels.h"
#include "tools/CliError.h"

namespace quillon {
namespace {

std::atomic<bool> adapter_diagnostics_shown{false};

// The playback side asks for audio only when the ring is empty, so it never
// holds more than one tx_process step (at most 22 blocks).
constexpr int kTransmitBlocks = 64;

// Upper-pane text that the LinkView hands over, whatever the view shows.
class UpperTextView : public LinkView {
 public:
  UpperTextView(const std::string& text, LinkView& shown) : text_(text), shown_(shown) {}
  std::string FetchUpperText(int max_bytes) override { return text_.substr(0, static_cast<std::size_t>(max_bytes)); }
  void SetLowerText(const std::string& text) override { shown_.SetLowerText(text); }
  void InsertLowerChar(unsigned char character) override { shown_.InsertLowerChar(character); }
  void SetStatusText(const std::string& text) override { shown_.SetStatusText(text); }
  void FocusArchiveButton() override { shown_.FocusArchiveButton(); }
  void Iconki() override { shown_.Iconki(); }
  void ShowSignalReport(const SignalReport& report) override { shown_.ShowSignalReport(report); }

 private:
  const std::string& text_;
  LinkView& shown_;
};

}  // namespace

void ShowAdapterDiagnostics(bool shown) { adapter_diagnostics_shown.store(shown); }

Station::Station(const OliviaMode& mode, bool deep_receiver) : mode_(mode), state_(link_, kTransmitBlocks) {
  // The adapter prints while it is built, so the output is chosen first.
  state_.diagnostic_output = adapter_diagnostics_shown.load() ? stderr : nullptr;
  adapter_ = MakeOliviaModem(mode.number, state_, deep_receiver);
  state_.modem.store(adapter_.get());
}

Audio Station::Transmit(const std::string& upper_text, LinkView& view, bool check_extension) {
  // What the receive side has put into the ring so far (tx_init's flush)
  // is not this transmission's business; the tick must not take it for a
  // frame.
  int ignored = 0;
  while (link_.Bufer_Olivia.Take(ignored)) {
  }
  UpperTextView window(upper_text, view);
  // The controller archives received frames only; its ring is empty here.
  LinkControllerContext context{link_, window, [this] { adapter_->Start(); }, ".", {}};
  context.send_check_extension = check_extension;
  LinkController controller(context);
  link_.Ura.store(1);
  controller.Tick();

  Audio audio;
  if (link_.start_prd.load() == 0) return audio;
  TransmitAudioRing& ring = state_.PBuferG;
  for (;;) {
    while (ring.Empty() && link_.start_prd.load() != 0) adapter_->tx_process();
    const double* block = ring.Front();
    if (block == nullptr) break;
    for (int j = 0; j < kAudioBlockSamples; ++j) audio.push_back(PlaybackSample(block[j]));
    ring.Pop();
  }
  return audio;
}

void Station::Hear(const int16_t* samples, int count) {
  double block[kAudioBlockSamples];
  while (count > 0) {
    const int n = count < kAudioBlockSamples ? count : kAudioBlockSamples;
    for (int j = 0; j < n; ++j) block[j] = CaptureSample(samples[j]);
    adapter_->rx_process(block, n);
    samples += n;
    count -= n;
  }
}

Audio EncodeMessage(const OliviaMode& mode, const std::string& cp1251, bool check_extension) {
  Station station(mode);
  QuietView view;
  Audio audio = station.Transmit(cp1251, view, check_extension);
  if (audio.empty()) throw CliError("the link controller sent nothing: " + Cp1251ToUtf8(view.Status()));
  return audio;
}

}  // namespace quillon
