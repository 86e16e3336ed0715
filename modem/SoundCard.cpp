#include "modem/SoundCard.h"

#include <algorithm>
#include <chrono>

#include "modem/Modem.h"
#include "modem/SampleLevels.h"

namespace quillon {

namespace {

// Init waits this long for the thread to open its device (6 x 100 ms).
constexpr auto kOpenWait = std::chrono::milliseconds(600);
constexpr auto kOpenPoll = std::chrono::milliseconds(10);
// A device that refuses a block is retried after one block's time, so a dead
// device does not make the thread spin (or the transmit chain run ahead).
constexpr auto kBlockTime = std::chrono::milliseconds(64);

using ThreadFunction = int (*)(StationState&, WaveControl&, AudioBackend&);

// Only under the record's lifecycle lock.
void StopThread(WaveControl& record) {
  record.run.store(0, std::memory_order_release);
  if (record.thread.joinable()) record.thread.join();
}

int InitWave(StationState& station, WaveControl& record, AudioBackend& devices, int device,
             ThreadFunction function) {
  std::lock_guard<std::mutex> lock(record.lifecycle);
  if (record.state.load(std::memory_order_acquire) == kWaveOpen) return 0;
  // A thread whose open failed has ended; one still starting is stopped, so
  // only one thread per direction ever runs.
  StopThread(record);
  record.device = device;
  record.channels = 1;
  record.rate = kSampleRateHz;
  record.run.store(1, std::memory_order_release);
  record.state.store(kWaveStarting, std::memory_order_release);
  record.thread = std::thread(function, std::ref(station), std::ref(record), std::ref(devices));
  const auto deadline = std::chrono::steady_clock::now() + kOpenWait;
  while (record.state.load(std::memory_order_acquire) == kWaveStarting &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(kOpenPoll);
  return record.state.load(std::memory_order_acquire);
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
  return InitWave(station, station.buf_sound_in, devices, device, &GoInWave);
}

int InitWaveOut(StationState& station, AudioBackend& devices, int device) {
  return InitWave(station, station.buf_sound_out, devices, device, &GoOutWave);
}

int CloseWaveIn(StationState& station) { return CloseWave(station.buf_sound_in); }

int CloseWaveOut(StationState& station) { return CloseWave(station.buf_sound_out); }

bool PlaybackOpen(const StationState& station) {
  return station.buf_sound_out.state.load(std::memory_order_acquire) == kWaveOpen;
}

namespace {

// The life of one audio thread: open the device (a failure leaves the record
// closed), report it open, move one block per pass while the owner lets it
// run, then close the device before reporting it closed.
template <class MoveBlock>
int RunStream(WaveControl& record, AudioBackend& devices, AudioDirection direction, MoveBlock move_block) {
  std::unique_ptr<AudioStream> stream = devices.Open(direction, record.device);
  if (!stream) {
    record.state.store(kWaveClosed, std::memory_order_release);
    return 0;
  }
  record.state.store(kWaveOpen, std::memory_order_release);
  int16_t block[kAudioBlockSamples];
  while (Running(record)) {
    // A device that refuses a block is given one block time before the next try.
    if (!move_block(*stream, block)) std::this_thread::sleep_for(kBlockTime);
  }
  stream.reset();
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
  });
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

int GoOutWave(StationState& station, WaveControl& record, AudioBackend& devices) {
  // A block the device refused has already left the transmit audio ring; it
  // is written again on the next pass instead of a new one, so no 64 ms of a
  // message are lost.
  bool refused = false;
  return RunStream(record, devices, AudioDirection::Playback, [&](AudioStream& stream, int16_t* block) {
    if (!refused) FillPlaybackBlock(station, block);
    refused = !stream.Write(block);
    return !refused;
  });
}

}  // namespace quillon
