// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/Driver.h"

#include <chrono>
#include <memory>
#include <optional>
#include <thread>

#include "link/LinkController.h"
#include "modem/DeviceAlerts.h"
#include "modem/net/UdpSender.h"
#include "modem/Olivia.h"
#include "modem/ReceiveChain.h"
#include "modem/SampleLevels.h"
#include "modem/SoundCard.h"

namespace quillon {

namespace {

constexpr auto kPassPeriod = std::chrono::milliseconds(100);

class Driver {
 public:
  explicit Driver(DriverContext& context)
      : context_(context), station_(context.station), link_(context.station.link) {}

  int Run() {
    applied_in_ = station_.InDECSW.load();
    applied_out_ = station_.OutDECSW.load();
    applied_mode_ = station_.mode_number.load();
    applied_all_ = station_.listen_all_modes.load() != 0;
    applied_deep_ = station_.deep_receive.load() != 0;
    OpenUdpEvents();
    BuildModem(applied_mode_);
    station_.DTMFbuffer.Skip();  // audio captured before the modem existed is dropped
    StartLinkController();
    while (link_.STOP.load(std::memory_order_acquire) == 0) {
      ProcessCapturedAudio(station_, others_.get());
      ApplyCaptureDevice();
      ApplyPlaybackDevice();
      ApplyMode();
      if (const std::string alert = device_alerts_.Check(); !alert.empty()) context_.view.SetStatusText(alert);
      ShowPttNotice();
      std::this_thread::sleep_for(kPassPeriod);
    }
    // No thread may be inside the adapter when it goes: the link controller
    // (Start) and the playback thread (tx_process) end first.
    StopLinkController();
    CloseWaveIn(station_);
    CloseWaveOut(station_);
    station_.ptt.ReleaseNow(ReleaseCause::kExit);
    DeleteModem();
    return 0;
  }

 private:
  void BuildModem(int mode) {
    adapter_ = MakeOliviaModem(mode, station_, applied_deep_);
    if (applied_all_) others_ = std::make_unique<OtherModeReceivers>(mode, station_, applied_deep_);
    station_.modem.store(adapter_.get(), std::memory_order_release);
  }

  void DeleteModem() {
    station_.modem.store(nullptr, std::memory_order_release);
    adapter_.reset();
    others_.reset();
  }

  // Once for the whole run; the station works on without it.
  void OpenUdpEvents() {
    if (context_.udp_events.empty()) return;
    std::string error;
    udp_ = UdpSender::Open(context_.udp_events, error);
    if (!udp_) context_.view.SetStatusText("udp_events: " + error);
  }

  // The link controller's view of the other modes' rings.
  std::vector<OtherModeRing> OtherModeRings() const {
    std::vector<OtherModeRing> rings;
    if (!others_) return rings;
    for (const auto& chain : others_->Chains())
      rings.push_back({chain->Mode().number, chain->Mode().label, &chain->Ring(), LinkReceiveSettings(chain->Mode())});
    return rings;
  }

  void StartLinkController() {
    StationState& station = station_;
    LinkControllerContext link_context{link_, context_.view,
                                       [&station] {
                                         auto* active = dynamic_cast<olivia*>(
                                             station.modem.load(std::memory_order_acquire));
                                         if (active != nullptr) active->Start();
                                       },
                                       context_.home_directory, context_.clock,
                                       [&station] { return PlaybackOpen(station); },
                                       LinkReceiveSettings(ModeByNumber(applied_mode_))};
    link_context.mode_number = applied_mode_;
    link_context.mode_label = ModeByNumber(applied_mode_).label;
    link_context.other_modes = OtherModeRings();
    link_context.listening_since = listening_since_;
    if (udp_) {
      UdpSender* udp = udp_.get();
      link_context.announce = [udp](const std::string& json, std::string& error) { return udp->Send(json, error); };
    }
    link_context.key_transmitter = [&station](std::string& refusal) {
      std::string error;
      if (station.ptt.KeyForTransmission(error)) return true;
      refusal = PttRefusalText(error);
      return false;
    };
    link_thread_ = std::thread([link_context] { tim(link_context); });
  }

  // Why the keyer released the radio on its own (time limit, device
  // failure), or that it would not release.
  void ShowPttNotice() {
    if (const std::optional<PttNotice> notice = station_.ptt.TakeNotice())
      context_.view.SetStatusText(PttNoticeText(*notice, station_.ptt.Timing()));
  }

  void StopLinkController() {
    link_.STOPTIM.store(1, std::memory_order_release);
    if (link_thread_.joinable()) link_thread_.join();
  }

  void ApplyCaptureDevice() {
    const int wanted = station_.InDECSW.load();
    if (wanted == applied_in_) return;
    CloseWaveIn(station_);
    InitWaveIn(station_, context_.devices, wanted);
    applied_in_ = wanted;
    station_.DTMFbuffer.Skip();
  }

  void ApplyPlaybackDevice() {
    const int wanted = station_.OutDECSW.load();
    if (wanted == applied_out_) return;
    CloseWaveOut(station_);
    InitWaveOut(station_, context_.devices, wanted);
    applied_out_ = wanted;
  }

  // The whole modem is rebuilt; a message being sent or received is lost.
  // Joining the link controller and the audio threads stands in for the
  // fixed waits that only let them end.
  void ApplyMode() {
    const int wanted = station_.mode_number.load();
    const bool wanted_all = station_.listen_all_modes.load() != 0;
    const bool wanted_deep = station_.deep_receive.load() != 0;
    if (wanted == applied_mode_ && wanted_all == applied_all_ && wanted_deep == applied_deep_) return;
    StopLinkController();
    CloseWaveIn(station_);
    CloseWaveOut(station_);
    station_.ptt.ReleaseNow(ReleaseCause::kModeChange);
    DeleteModem();
    applied_mode_ = wanted;
    applied_all_ = wanted_all;
    applied_deep_ = wanted_deep;
    link_.CBufer.Clear();
    for (std::atomic<int>* flag : {&link_.PRD_R, &link_.PRM_R, &link_.USPESHNO, &link_.Ura, &link_.start_prd})
      flag->store(0, std::memory_order_release);
    context_.view.Iconki();  // the icon shows the cleared indicators, not the last ones
    BuildModem(applied_mode_);
    applied_in_ = station_.InDECSW.load();
    InitWaveIn(station_, context_.devices, applied_in_);
    applied_out_ = station_.OutDECSW.load();
    InitWaveOut(station_, context_.devices, applied_out_);
    station_.DTMFbuffer.Skip();
    link_.STOPTIM.store(0, std::memory_order_release);
    StartLinkController();
    context_.view.SetStatusText("RESTART");
  }

  DriverContext& context_;
  StationState& station_;
  LinkState& link_;
  std::unique_ptr<olivia> adapter_;
  std::unique_ptr<OtherModeReceivers> others_;  // listening in all modes
  std::unique_ptr<UdpSender> udp_;
  const std::chrono::steady_clock::time_point listening_since_ = std::chrono::steady_clock::now();
  std::thread link_thread_;
  DeviceAlerts device_alerts_{station_};
  int applied_in_ = -1;
  int applied_out_ = -1;
  int applied_mode_ = 0;
  bool applied_all_ = false;
  bool applied_deep_ = false;
};

}  // namespace

int ProcessCapturedAudio(StationState& station, OtherModeReceivers* others) {
  modem* active = station.modem.load(std::memory_order_acquire);
  int16_t block[kAudioBlockSamples];
  double samples[kAudioBlockSamples];
  int handed = 0;
  while (station.DTMFbuffer.Take(block)) {
    for (int i = 0; i < kAudioBlockSamples; ++i) samples[i] = CaptureSample(block[i]);
    if (active != nullptr) active->rx_process(samples, kAudioBlockSamples);
    if (others != nullptr) others->rx_process(samples, kAudioBlockSamples);
    ++handed;
  }
  return handed;
}

int Play(DriverContext& context) { return Driver(context).Run(); }

}  // namespace quillon
