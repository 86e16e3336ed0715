// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/Olivia.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/ModeTable.h"
#include "engine/Receiver.h"
#include "engine/Transmitter.h"
#include "link/CheckExtension.h"
#include "modem/ReceiveChain.h"

namespace quillon {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kSyncMargin = 8;             // trial offsets either side, in FFT bins
constexpr int kSyncIntegration = 4;        // blocks
constexpr double kTransmitLevelDb = -3.0;
constexpr int kEscape = 127;               // prefix of an 8-bit character on air
constexpr int kEndOfMessage = -3;          // ring command: the message is complete
constexpr int kRingEmpty = -1;
constexpr int kDiagnosticMode = 93;

// The band edge of both chains is in units of a sixteenth of the sample rate.
double BandEdgeUnit(int sample_rate) { return sample_rate / 16.0; }

}  // namespace

olivia::olivia(unsigned mode) : olivia(mode, ProcessStationState()) {}

olivia::olivia(unsigned mode, StationState& station_state, bool deep_receiver)
    : modem(station_state), deep_receiver(deep_receiver) {
  mode_id = mode;
  sample_rate = kSampleRateHz;
  ProgDefaults& defaults = station.progdefaults;
  const OliviaMode& row = ModeByNumber(static_cast<int>(mode));
  if (mode == static_cast<unsigned>(kDiagnosticMode) && station.diagnostic_output != nullptr) {
    std::fprintf(station.diagnostic_output, "tones %d    %d    %d    %d    %d    %d\n", tones_code, width_code,
                 defaults.tones_code, defaults.width_code, defaults.sync_margin, defaults.sync_integration);
    std::fflush(station.diagnostic_output);
  }
  tones_code = row.tones_code;
  width_code = row.width_code;
  defaults.tones_code = tones_code;
  defaults.width_code = width_code;
  defaults.sync_margin = kSyncMargin;
  defaults.sync_integration = kSyncIntegration;
  transmitter = std::make_unique<MFSK_Transmitter<double>>();
  receiver = std::make_unique<MFSK_Receiver<double>>();
  rx_centre_applied = 0.0;
  burst_shape.fill(1.0);
  for (int i = 0; i < kBurstRampSamples; ++i) {
    const double ramp = (1.0 - std::cos(kPi * i / kBurstRampSamples)) / 2.0;
    burst_shape[i] = ramp;
    burst_shape[kBurstToneSamples - 1 - i] = ramp;
  }
  burst.fill(0.0);
}

olivia::~olivia() {
  transmitter.reset();
  receiver.reset();
  tx_block.reset();
}

double olivia::HalfBand(unsigned bandwidth, unsigned tones) {
  return bandwidth * (1.0 - 0.5 / tones) / 2.0;
}

void olivia::init() {
  restart();
  modem::init();
  rx_init();
  set_freq(kCentreFrequencyHz);
}

void olivia::restart() {
  chains_ready = false;
  if (mode_id == static_cast<unsigned>(kDiagnosticMode)) {
    tones_code = station.progdefaults.tones_code;
    width_code = station.progdefaults.width_code;
  }
  sync_margin = station.progdefaults.sync_margin;
  sync_integration = station.progdefaults.sync_integration;
  sample_rate = kSampleRateHz;
  signal_width = 125 << width_code;  // the nominal bandwidth, for now

  MFSK_Transmitter<double>& tx = *transmitter;
  tx.Tones = 2u << tones_code;
  tx.Bandwidth = static_cast<unsigned>(signal_width);
  tx.SampleRate = tx.OutputSampleRate = sample_rate;
  tx_centre = get_txfreq_woffset();
  tx.BandEdge = static_cast<float>((tx_centre - std::trunc(HalfBand(tx.Bandwidth, tx.Tones))) /
                                   BandEdgeUnit(sample_rate));
  tx.Reverse = 0;
  if (tx.Preset() < 0) return;
  tx_block_len = static_cast<int>(tx.MaxOutLen);
  if (ReallocArray(tx_block, static_cast<std::size_t>(tx_block_len)) < 0) return;

  MFSK_Receiver<double>& rx = *receiver;
  rx.Tones = tx.Tones;
  rx.Bandwidth = static_cast<unsigned>(signal_width);
  rx.SearchMargin = static_cast<unsigned>(sync_margin);
  rx.SyncBlocks = static_cast<unsigned>(sync_integration);
  rx.DecodeThreshold = 0.0;
  rx.SampleRate = rx.InputSampleRate = sample_rate;
  rx.BandEdge = static_cast<float>((rx_freq - std::trunc(HalfBand(rx.Bandwidth, rx.Tones))) /
                                   BandEdgeUnit(sample_rate));
  rx.Reverse = 0;
  rx.Deep = deep_receiver;
  if (rx.Preset() < 0) return;

  signal_width = tx.Bandwidth - tx.Bandwidth / tx.Tones;
  // Taken here, on the driver thread: the link controller presets the
  // transmitter again for every message while rx_process runs.
  rx_half_band = std::trunc(HalfBand(tx.Bandwidth, tx.Tones));
  chains_ready = true;
}

void olivia::rx_init() {
  if (chains_ready) receiver->Reset();
  escape_pending = 0;
}

void olivia::tx_init() {
  station.progdefaults.tx_level_db = kTransmitLevelDb;
  opening_sent = closing_sent = 0;
  tx_centre = get_txfreq_woffset();
  rx_flush();
  if (!chains_ready) return;
  MFSK_Transmitter<double>& tx = *transmitter;
  tx.BandEdge = static_cast<float>((tx_centre - HalfBand(tx.Bandwidth, tx.Tones)) / BandEdgeUnit(sample_rate));
  tx.Reverse = 0;
  tx.Preset();
  tx.Start();
  escape_pending = 0;
}

void olivia::Start() {
  station.progdefaults.tx_level_db = kTransmitLevelDb;
  opening_sent = closing_sent = 0;
  tx_centre = get_txfreq_woffset();
  if (!chains_ready) return;
  transmitter->Preset();  // empties its queue and leaves it stopped
  transmitter->Start();
}

int olivia::get_tx_char() {
  int value = 0;
  return station.link.CBufer.Take(value) ? value : kRingEmpty;
}

void olivia::QueueCharacter(int ch) {
  MFSK_Transmitter<double>& tx = *transmitter;
  if (ch < 0) ch = 0;  // an empty ring sends NUL, which the receiving side drops
  station.progdefaults.eight_bit.store(true, std::memory_order_release);
  if (ch <= kEscape) {
    tx.PutChar(static_cast<unsigned char>(ch));
  } else if (ch <= 255) {
    tx.PutChar(static_cast<unsigned char>(kEscape));
    tx.PutChar(static_cast<unsigned char>(ch & 127));
  } else {
    tx.PutChar(static_cast<unsigned char>('.'));
  }
}

int olivia::tx_process() {
  modem::tx_process();
  if (!chains_ready) {
    // Nothing can be sent; end the transmission instead of looping on it.
    stop_requested = false;
    station.link.start_prd.store(0, std::memory_order_release);
    return -1;
  }
  MFSK_Transmitter<double>& tx = *transmitter;
  if (opening_sent != 1) {
    send_tones();
    opening_sent = 1;
  }
  if (stop_requested || static_cast<long>(tx.GetReadReady()) < static_cast<long>(tx.BitsPerSymbol)) {
    int ch = kRingEmpty;
    if (!stop_requested) {
      ch = get_tx_char();
      if (ch == kEndOfMessage) stop_requested = true;
    }
    if (stop_requested)
      tx.Stop();
    else
      QueueCharacter(ch);
  }
  const int n = tx.Output(tx_block.get());
  if (n > 0) ModulateXmtr(tx_block.get(), n);
  if (stop_requested && tx.DoPostambleYet() == 1 && closing_sent != 1) {
    closing_sent = 1;
    send_tones();
    std::fill(burst.begin(), burst.begin() + kAudioBlockSamples, 0.0);
    ModulateXmtr(burst.data(), kAudioBlockSamples);  // a block of silence after the burst
  }
  if (tx.Running() == 0) {
    stop_requested = false;
    station.link.start_prd.store(0, std::memory_order_release);
    return -1;
  }
  return 0;
}

void olivia::send_tones() {
  const double low = tx_centre - signal_width / 2.0;
  const double high = tx_centre + signal_width / 2.0;
  nco_phase = 0.0;
  for (int i = 0; i < kBurstToneSamples; ++i) {
    const double v = nco(low) * burst_shape[i];
    burst[i] = v;
    burst[2 * kBurstToneSamples + i] = v;
  }
  nco_phase = 0.0;
  for (int i = 0; i < kBurstToneSamples; ++i) {
    const double v = nco(high) * burst_shape[i];
    burst[kBurstToneSamples + i] = v;
    burst[3 * kBurstToneSamples + i] = v;
  }
  for (int k = 0; k < kBurstSamples; k += kAudioBlockSamples) ModulateXmtr(burst.data() + k, kAudioBlockSamples);
}

double olivia::nco(double freq) {
  nco_phase += 2.0 * kPi * freq / sample_rate;
  if (nco_phase > kPi) nco_phase -= 2.0 * kPi;
  return std::cos(nco_phase);
}

int olivia::unescape(int ch) {
  return UnescapeReceived(ch, station.progdefaults.eight_bit.load(std::memory_order_acquire), escape_pending);
}

int olivia::rx_process(const double* samples, int count) {
  if (!chains_ready || count <= 0) return 0;
  MFSK_Receiver<double>& rx = *receiver;
  if (rx_freq != rx_centre_applied) {
    rx.BandEdge = static_cast<float>((rx_freq - rx_half_band) / BandEdgeUnit(sample_rate));
    rx.Reverse = 0;
    rx.Deep = deep_receiver;
    rx_centre_applied = rx_freq;
    if (rx.Preset() < 0) {
      chains_ready = false;
      return 0;
    }
  }
  // Every block gets a decision whatever its signal-to-noise ratio; noise is
  // left to the character filter below and to the frame markers.
  rx.DecodeThreshold = 0.0;
  rx.Process(samples, static_cast<unsigned>(count));
  DeliverDecisions(rx, station.progdefaults.eight_bit.load(std::memory_order_acquire), escape_pending,
                   station.link.Bufer_Olivia);
  return 0;
}

void olivia::rx_flush() {
  if (!chains_ready) return;
  receiver->Flush();
  unsigned char ch = 0;
  float strength = 0;
  while (receiver->GetChar(ch, strength)) station.link.Bufer_Olivia.Put(ch, strength);
}

std::unique_ptr<olivia> MakeOliviaModem(int mode_number, StationState& station, bool deep_receiver) {
  auto adapter = std::make_unique<olivia>(static_cast<unsigned>(mode_number), station, deep_receiver);
  adapter->init();
  adapter->set_freq(kCentreFrequencyHz);
  adapter->tx_init();
  return adapter;
}

FrameReceiverSettings LinkReceiveSettings(const OliviaMode& mode) {
  FrameReceiverSettings settings;
  settings.extension_wait_s = ExtensionWaitSeconds(mode.BlockSeconds(), mode.BitsPerSymbol());
  settings.confidence_threshold = ConfidenceThreshold(mode.BitsPerSymbol());
  return settings;
}

}  // namespace quillon
