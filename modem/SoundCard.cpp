// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/SoundCard.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "modem/Modem.h"
#include "modem/SampleLevels.h"
#include "modem/audio/DeviceByName.h"

namespace quillon {

namespace {

// Init waits this long for the thread to open its device (6 x 100 ms).
constexpr auto kOpenWait = std::chrono::milliseconds(600);
constexpr auto kOpenPoll = std::chrono::milliseconds(10);
// A device that refuses a block is retried after one block's time, so a dead
// device does not make the thread spin (or the transmit chain run ahead).
constexpr auto kBlockTime = std::chrono::milliseconds(64);
// This many refusals in a row mean the device is gone (unplugged, or a
// driver that stopped taking blocks): it is closed and opened again. ALSA has
// tried to recover each one already; winmm has waited 600 ms for each.
constexpr int kRefusalsBeforeLost = 4;
// A lost device is tried again this often; meanwhile the thread checks every
// kLostPoll whether it is asked to end, so a close never waits long.
constexpr auto kReopenPeriod = std::chrono::seconds(3);
constexpr auto kLostPoll = std::chrono::milliseconds(100);
// The most blocks of a cut-off transmission the playback thread runs through
// to its end (about 3.6 hours of audio, longer than the longest message in
// the slowest mode); beyond it the transmission is simply marked ended.
constexpr long kMostDiscardedBlocks = 200000;
// A device that cannot tell how much it has yet to play is taken to hold a
// full queue: 4 blocks, what the ALSA and winmm backends ask for.
constexpr long kAssumedQueuedBlocks = 4;

using ThreadFunction = int (*)(StationState&, WaveControl&, AudioBackend&);

// Only under the record's lifecycle lock.
void StopThread(WaveControl& record) {
  record.run.store(0, std::memory_order_release);
  if (record.thread.joinable()) record.thread.join();
}

int InitWave(StationState& station, WaveControl& record, AudioBackend& devices, AudioDirection direction,
             int device, ThreadFunction function) {
  std::lock_guard<std::mutex> lock(record.lifecycle);
  if (record.state.load(std::memory_order_acquire) == kWaveOpen) return 0;
  // A thread still starting, or one waiting for its lost device, is
  // stopped, so only one thread per direction ever runs.
  StopThread(record);
  record.device = device;
  record.name = DeviceNameOf(devices, direction, device);
  record.channels = 1;
  record.rate = kSampleRateHz;
  record.run.store(1, std::memory_order_release);
  record.state.store(kWaveStarting, std::memory_order_release);
  record.thread = std::thread(function, std::ref(station), std::ref(record), std::ref(devices));
  const auto deadline = std::chrono::steady_clock::now() + kOpenWait;
  while (record.state.load(std::memory_order_acquire) == kWaveStarting &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(kOpenPoll);
  const int state = record.state.load(std::memory_order_acquire);
  return state == kWaveLost ? kWaveClosed : state;  // failed, though the thread keeps trying
}

int CloseWave(WaveControl& record) {
  std::lock_guard<std::mutex> lock(record.lifecycle);
  const bool was_open = record.state.load(std::memory_order_acquire) == kWaveOpen;
  StopThread(record);
  return was_open ? 1 : 0;
}

bool Running(const WaveControl& record) { return record.run.load(std::memory_order_acquire) == 1; }

}  // namespace

int InitWaveIn(StationState& station, AudioBackend& devices, int device) {
  return InitWave(station, station.buf_sound_in, devices, AudioDirection::Capture, device, &GoInWave);
}

int InitWaveOut(StationState& station, AudioBackend& devices, int device) {
  return InitWave(station, station.buf_sound_out, devices, AudioDirection::Playback, device, &GoOutWave);
}

int CloseWaveIn(StationState& station) { return CloseWave(station.buf_sound_in); }

int CloseWaveOut(StationState& station) { return CloseWave(station.buf_sound_out); }

bool PlaybackOpen(const StationState& station) {
  return station.buf_sound_out.state.load(std::memory_order_acquire) == kWaveOpen;
}

namespace {

// The device of the record: by number the first time, as Init was asked;
// afterwards by the name it had then, since the list may have changed.
std::unique_ptr<AudioStream> OpenDevice(WaveControl& record, AudioBackend& devices, AudioDirection direction,
                                        bool first) {
  if (first || record.name.empty()) return devices.Open(direction, record.device);
  const std::optional<int> number = FindDevice(devices, direction, record.name);
  return number ? devices.Open(direction, *number) : nullptr;
}

// Waits out the reopen period in short steps; `idle` runs at each step.
template <class Idle>
void WaitBeforeReopening(WaveControl& record, Idle idle) {
  const auto until = std::chrono::steady_clock::now() + kReopenPeriod;
  while (Running(record) && std::chrono::steady_clock::now() < until) {
    idle();
    std::this_thread::sleep_for(kLostPoll);
  }
}

// The life of one audio thread: open the device, report it open, move one
// block per pass while the owner lets it run, and close the device before
// reporting it closed. A device that will not open, or that refuses block
// after block, is reported lost and opened again every few seconds; `idle`
// runs while it is lost. A device opened again counts as back only once it
// has taken a block: one that opens but takes nothing (a driver without a
// card behind it) stays lost.
template <class MoveBlock, class Idle>
int RunStream(WaveControl& record, AudioBackend& devices, AudioDirection direction, MoveBlock move_block,
              Idle idle) {
  int16_t block[kAudioBlockSamples];
  bool first = true;
  while (Running(record)) {
    std::unique_ptr<AudioStream> stream = OpenDevice(record, devices, direction, first);
    if (stream && first) record.state.store(kWaveOpen, std::memory_order_release);
    first = false;
    int refusals = 0;
    while (stream && Running(record)) {
      if (move_block(*stream, block)) {
        refusals = 0;
        if (record.state.load(std::memory_order_relaxed) != kWaveOpen)
          record.state.store(kWaveOpen, std::memory_order_release);
        continue;
      }
      if (++refusals == kRefusalsBeforeLost) break;
      // A device that refuses a block is given one block time before the next try.
      std::this_thread::sleep_for(kBlockTime);
    }
    stream.reset();
    if (!Running(record)) break;
    record.state.store(kWaveLost, std::memory_order_release);
    WaitBeforeReopening(record, idle);
  }
  record.state.store(kWaveClosed, std::memory_order_release);
  return 0;
}

}  // namespace

int GoInWave(StationState& station, WaveControl& record, AudioBackend& devices) {
  return RunStream(record, devices, AudioDirection::Capture, [&](AudioStream& stream, int16_t* block) {
    if (!stream.Read(block)) return false;
    station.DTMFbuffer.Put(block);
    station.monitor_tap.Put(block);  // after the receiver's copy; dropped when the window lags
    return true;
  }, [] {});
}

bool FillPlaybackBlock(StationState& station, int16_t* block) {
  LinkState& link = station.link;
  std::fill(block, block + kAudioBlockSamples, int16_t{0});
  // The transmit chain runs just in time: one step whenever the ring has run
  // dry; the step that ends the transmission clears start_prd.
  while (link.start_prd.load(std::memory_order_acquire) != 0 && station.PBuferG.Empty()) {
    modem* active = station.modem.load(std::memory_order_acquire);
    if (active == nullptr) break;
    active->tx_process();
  }
  const double* values = station.PBuferG.Front();
  if (values == nullptr) {
    link.ZeroYes.store(1, std::memory_order_release);
    return false;
  }
  for (int j = 0; j < kAudioBlockSamples; ++j) block[j] = PlaybackSample(values[j]);
  station.PBuferG.Pop();
  return true;
}

namespace {

// After the transmission's last block has gone to the device: the keyer
// releases the radio once the device has played it (plus the tail).
void ReportTransmissionEnd(StationState& station, AudioStream& stream) {
  if (station.link.start_prd.load(std::memory_order_acquire) != 0 || !station.PBuferG.Empty()) return;
  long pending = stream.PendingSamples();
  if (pending < 0) pending = kAssumedQueuedBlocks * kAudioBlockSamples;
  station.ptt.AudioEndsAt(std::chrono::steady_clock::now() +
                          std::chrono::microseconds(pending * 1000000L / kSampleRateHz));
}

}  // namespace

void DiscardTransmission(StationState& station) {
  LinkState& link = station.link;
  // The transmit chain runs to its end with nowhere to play, so the adapter
  // and the transmit ring finish the message in order and are ready for the
  // next one; the audio goes.
  for (long blocks = 0; link.start_prd.load(std::memory_order_acquire) != 0; ++blocks) {
    modem* active = station.modem.load(std::memory_order_acquire);
    if (active == nullptr || blocks == kMostDiscardedBlocks) {
      link.start_prd.store(0, std::memory_order_release);
      break;
    }
    active->tx_process();
    while (station.PBuferG.Front() != nullptr) station.PBuferG.Pop();
  }
  while (station.PBuferG.Front() != nullptr) station.PBuferG.Pop();
  // Nothing is playing: the link controller may put the transmit icon out.
  link.ZeroYes.store(1, std::memory_order_release);
}

int GoOutWave(StationState& station, WaveControl& record, AudioBackend& devices) {
  // A block the device refused has already left the transmit audio ring; it
  // is written again on the next pass instead of a new one, so no 64 ms of a
  // message are lost. A device that goes for good takes the rest of the
  // transmission with it: it is not kept to go on air minutes later.
  bool refused = false;
  bool audible = false;  // the block holds transmission audio
  return RunStream(
      record, devices, AudioDirection::Playback,
      [&](AudioStream& stream, int16_t* block) {
        if (!refused) {
          // A transmission past its time limit has lost its keying: it stops.
          if (station.ptt.TakeCutRequest()) DiscardTransmission(station);
          audible = FillPlaybackBlock(station, block);
        }
        refused = !stream.Write(block);
        if (!refused && audible) ReportTransmissionEnd(station, stream);
        return !refused;
      },
      [&] {
        refused = false;
        station.ptt.ReleaseNow(ReleaseCause::kDeviceFailure);
        DiscardTransmission(station);
      });
}

}  // namespace quillon
