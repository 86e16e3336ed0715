// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/audio/WinmmAudio.h"

// clang-format off
#include <windows.h>
#include <mmsystem.h>
// clang-format on

#include <array>
#include <cstring>

#include "modem/audio/PlatformAudio.h"

namespace quillon {
namespace {

constexpr int kHeaders = 4;
constexpr DWORD kBlockBytes = kAudioBlockSamples * sizeof(int16_t);  // 1024
constexpr DWORD kPollMilliseconds = 10;
constexpr DWORD kFinished = WHDR_DONE | WHDR_PREPARED;  // 3
// A header that has not finished after this long (about 10 block periods)
// means the device has stopped delivering; the stream then reports failure
// so that its thread can end instead of waiting for ever.
constexpr int kPollsBeforeFailure = 60;

WAVEFORMATEX Format8kMono16() {
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 1;
  format.nSamplesPerSec = kSampleRateHz;
  format.wBitsPerSample = 16;
  format.nBlockAlign = format.nChannels * 2;
  format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
  format.cbSize = 0;
  return format;
}

UINT DeviceId(int number) { return number < 0 ? WAVE_MAPPER : static_cast<UINT>(number); }

// The audio threads must refill a 64 ms block well within the ~190 ms the
// other queued blocks last, so they run above normal priority. Done from the
// first Read/Write, which always runs on the audio thread itself.
void RaiseCurrentThreadPriority() { SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST); }

// The headers and their data areas, with the polling over them. Direction
// specifics come in as the device handle's prepare, unprepare and queue calls.
template <typename Handle, typename Api>
class WaveBlocks {
 public:
  explicit WaveBlocks(Handle handle) : handle_(handle) {}

  void Queue(int index) {
    WAVEHDR& header = headers_[index];
    header.lpData = reinterpret_cast<LPSTR>(areas_[index].data());
    header.dwBufferLength = kBlockBytes;
    header.dwFlags = 0;
    header.dwLoops = 0;
    Api::Prepare(handle_, &header, sizeof(WAVEHDR));
    Api::Queue(handle_, &header, sizeof(WAVEHDR));
  }

  // Waits for the current header to finish and unprepares it; false when it
  // does not finish in time. Per-block call failures are ignored.
  bool WaitForCurrent() {
    if (!priority_raised_) {
      RaiseCurrentThreadPriority();
      priority_raised_ = true;
    }
    for (int polls = 0; headers_[current_].dwFlags != kFinished; ++polls) {
      if (polls == kPollsBeforeFailure) return false;
      Sleep(kPollMilliseconds);
    }
    Api::Unprepare(handle_, &headers_[current_], sizeof(WAVEHDR));
    return true;
  }

  int16_t* CurrentArea() { return areas_[current_].data(); }

  void RequeueCurrent() {
    Queue(current_);
    current_ = (current_ + 1) % kHeaders;
  }

  // Returns every header from the device, then closes it.
  void Close() {
    Api::Reset(handle_);
    for (WAVEHDR& header : headers_)
      if (header.dwFlags & WHDR_PREPARED) Api::Unprepare(handle_, &header, sizeof(WAVEHDR));
    Api::Close(handle_);
  }

 private:
  Handle handle_;
  std::array<WAVEHDR, kHeaders> headers_{};
  std::array<std::array<int16_t, kAudioBlockSamples>, kHeaders> areas_{};
  int current_ = 0;
  bool priority_raised_ = false;
};

struct WaveInApi {
  static void Prepare(HWAVEIN h, WAVEHDR* header, UINT size) { waveInPrepareHeader(h, header, size); }
  static void Unprepare(HWAVEIN h, WAVEHDR* header, UINT size) { waveInUnprepareHeader(h, header, size); }
  static void Queue(HWAVEIN h, WAVEHDR* header, UINT size) { waveInAddBuffer(h, header, size); }
  static void Reset(HWAVEIN h) { waveInReset(h); }
  static void Close(HWAVEIN h) { waveInClose(h); }
};

struct WaveOutApi {
  static void Prepare(HWAVEOUT h, WAVEHDR* header, UINT size) { waveOutPrepareHeader(h, header, size); }
  static void Unprepare(HWAVEOUT h, WAVEHDR* header, UINT size) { waveOutUnprepareHeader(h, header, size); }
  static void Queue(HWAVEOUT h, WAVEHDR* header, UINT size) { waveOutWrite(h, header, size); }
  static void Reset(HWAVEOUT h) { waveOutReset(h); }
  static void Close(HWAVEOUT h) { waveOutClose(h); }
};

class WinmmCapture : public AudioStream {
 public:
  explicit WinmmCapture(HWAVEIN handle) : blocks_(handle) {
    for (int i = 0; i < kHeaders; ++i) blocks_.Queue(i);
    waveInStart(handle);
  }
  ~WinmmCapture() override { blocks_.Close(); }

  bool Read(int16_t* block) override {
    if (!blocks_.WaitForCurrent()) return false;
    std::memcpy(block, blocks_.CurrentArea(), kBlockBytes);
    blocks_.RequeueCurrent();
    return true;
  }
  bool Write(const int16_t*) override { return false; }

 private:
  WaveBlocks<HWAVEIN, WaveInApi> blocks_;
};

class WinmmPlayback : public AudioStream {
 public:
  // Starts with 256 ms of silence queued, so the device plays from the start.
  explicit WinmmPlayback(HWAVEOUT handle) : blocks_(handle) {
    for (int i = 0; i < kHeaders; ++i) blocks_.Queue(i);
  }
  ~WinmmPlayback() override { blocks_.Close(); }

  bool Read(int16_t*) override { return false; }
  bool Write(const int16_t* block) override {
    if (!blocks_.WaitForCurrent()) return false;
    std::memcpy(blocks_.CurrentArea(), block, kBlockBytes);
    blocks_.RequeueCurrent();
    return true;
  }

 private:
  WaveBlocks<HWAVEOUT, WaveOutApi> blocks_;
};

}  // namespace

std::vector<std::string> WinmmAudio::ListDevices(AudioDirection direction) {
  std::vector<std::string> names;
  if (direction == AudioDirection::Capture) {
    const UINT count = waveInGetNumDevs();
    for (UINT n = 0; n < count; ++n) {
      WAVEINCAPSA caps{};
      const bool ok = waveInGetDevCapsA(n, &caps, sizeof(caps)) == MMSYSERR_NOERROR;
      names.emplace_back(ok ? caps.szPname : "?");
    }
  } else {
    const UINT count = waveOutGetNumDevs();
    for (UINT n = 0; n < count; ++n) {
      WAVEOUTCAPSA caps{};
      const bool ok = waveOutGetDevCapsA(n, &caps, sizeof(caps)) == MMSYSERR_NOERROR;
      names.emplace_back(ok ? caps.szPname : "?");
    }
  }
  return names;
}

std::unique_ptr<AudioStream> WinmmAudio::Open(AudioDirection direction, int number) {
  WAVEFORMATEX format = Format8kMono16();
  if (direction == AudioDirection::Capture) {
    HWAVEIN handle = nullptr;
    if (waveInOpen(&handle, DeviceId(number), &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return nullptr;
    return std::make_unique<WinmmCapture>(handle);
  }
  HWAVEOUT handle = nullptr;
  if (waveOutOpen(&handle, DeviceId(number), &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) return nullptr;
  return std::make_unique<WinmmPlayback>(handle);
}

std::unique_ptr<AudioBackend> CreatePlatformAudioBackend() { return std::make_unique<WinmmAudio>(); }

}  // namespace quillon
