// SPDX-License-Identifier: GPL-3.0-or-later
#include "modem/audio/AlsaAudio.h"

#include <alsa/asoundlib.h>

#include <cstdlib>

#include "modem/audio/PlatformAudio.h"

namespace quillon {

namespace {

constexpr snd_pcm_uframes_t kPeriodFrames = kAudioBlockSamples;
constexpr snd_pcm_uframes_t kBufferFrames = 4 * kPeriodFrames;

struct PcmCloser {
  void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using PcmHandle = std::unique_ptr<snd_pcm_t, PcmCloser>;

// ALSA reports every failed lookup (a missing card behind "default", say) on
// standard error; a device that will not open is reported by Open instead.
void QuietErrors(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsaMessages() {
  static const bool silenced = [] {
    snd_lib_error_set_handler(&QuietErrors);
    return true;
  }();
  (void)silenced;
}

snd_pcm_stream_t StreamOf(AudioDirection direction) {
  return direction == AudioDirection::Capture ? SND_PCM_STREAM_CAPTURE : SND_PCM_STREAM_PLAYBACK;
}

// 16-bit mono at 8000 frames/s, periods of 512 frames, 4 of them buffered.
// Only a plug device converts; on any other the card must do this natively.
bool Configure(snd_pcm_t* pcm) {
  snd_pcm_hw_params_t* hw = nullptr;
  snd_pcm_hw_params_alloca(&hw);
  if (snd_pcm_hw_params_any(pcm, hw) < 0) return false;
  snd_pcm_hw_params_set_rate_resample(pcm, hw, 1);
  if (snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED) < 0) return false;
  if (snd_pcm_hw_params_set_format(pcm, hw, SND_PCM_FORMAT_S16_LE) < 0) return false;
  if (snd_pcm_hw_params_set_channels(pcm, hw, 1) < 0) return false;
  unsigned rate = kSampleRateHz;
  if (snd_pcm_hw_params_set_rate(pcm, hw, rate, 0) < 0) return false;
  snd_pcm_uframes_t period = kPeriodFrames;
  int dir = 0;
  snd_pcm_hw_params_set_period_size_near(pcm, hw, &period, &dir);
  snd_pcm_uframes_t buffer = kBufferFrames;
  snd_pcm_hw_params_set_buffer_size_near(pcm, hw, &buffer);
  return snd_pcm_hw_params(pcm, hw) >= 0 && snd_pcm_prepare(pcm) >= 0;
}

class AlsaStream : public AudioStream {
 public:
  explicit AlsaStream(PcmHandle pcm) : pcm_(std::move(pcm)) {}

  bool Read(int16_t* block) override {
    return Transfer([&](snd_pcm_uframes_t done) {
      return snd_pcm_readi(pcm_.get(), block + done, kPeriodFrames - done);
    });
  }
  bool Write(const int16_t* block) override {
    return Transfer([&](snd_pcm_uframes_t done) {
      return snd_pcm_writei(pcm_.get(), block + done, kPeriodFrames - done);
    });
  }
  // Queued frames plus the device's own latency, in 8000 Hz frames even
  // through the plug layer's resampling.
  long PendingSamples() override {
    snd_pcm_sframes_t delay = 0;
    return snd_pcm_delay(pcm_.get(), &delay) == 0 && delay >= 0 ? static_cast<long>(delay) : -1;
  }

 private:
  // Moves one whole period, recovering from underruns, overruns and
  // suspends; false only when the device is gone for good.
  template <class Step>
  bool Transfer(Step step) {
    snd_pcm_uframes_t done = 0;
    int failures = 0;
    while (done < kPeriodFrames) {
      const snd_pcm_sframes_t n = step(done);
      if (n > 0) {
        done += static_cast<snd_pcm_uframes_t>(n);
        continue;
      }
      if (n == 0) {  // nothing moved: give the device a moment, but not for ever
        if (++failures > 8) return false;
        snd_pcm_wait(pcm_.get(), 100);
        continue;
      }
      if (snd_pcm_recover(pcm_.get(), static_cast<int>(n), 1) < 0 || ++failures > 8) return false;
    }
    return true;
  }

  PcmHandle pcm_;
};

}  // namespace

namespace {

struct Hint {
  std::string name;   // the PCM name to open
  std::string label;  // the name with its description, for the menus
};

// The PCM device hints usable in a direction, in the order ALSA lists them.
std::vector<Hint> PcmHints(AudioDirection direction) {
  std::vector<Hint> found;
  SilenceAlsaMessages();
  void** hints = nullptr;
  if (snd_device_name_hint(-1, "pcm", &hints) < 0 || hints == nullptr) return found;
  const std::string unwanted = direction == AudioDirection::Capture ? "Output" : "Input";
  for (void** hint = hints; *hint != nullptr; ++hint) {
    char* name = snd_device_name_get_hint(*hint, "NAME");
    char* description = snd_device_name_get_hint(*hint, "DESC");
    char* io = snd_device_name_get_hint(*hint, "IOID");  // none: both directions
    if (name != nullptr && (io == nullptr || unwanted != io)) {
      Hint entry{name, name};
      if (description != nullptr) {
        // The description's first line names the card, the second the use.
        std::string text = description;
        for (char& c : text)
          if (c == '\n') c = ' ';
        entry.label += " - " + text;
      }
      found.push_back(entry);
    }
    free(name);
    free(description);
    free(io);
  }
  snd_device_name_free_hint(hints);
  return found;
}

}  // namespace

std::vector<std::string> AlsaAudio::DeviceNames(AudioDirection direction) {
  std::vector<std::string> names;
  for (const Hint& hint : PcmHints(direction)) names.push_back(hint.name);
  return names;
}

std::vector<std::string> AlsaAudio::ListDevices(AudioDirection direction) {
  std::vector<std::string> labels;
  for (const Hint& hint : PcmHints(direction)) labels.push_back(hint.label);
  return labels;
}

namespace {

// Opened without blocking, so a device held by another program fails here
// instead of keeping the audio thread (and its close) waiting; the transfers
// themselves block. nullptr when it will not open or take 8000 Hz mono.
PcmHandle OpenConfigured(const std::string& name, AudioDirection direction) {
  snd_pcm_t* raw = nullptr;
  if (snd_pcm_open(&raw, name.c_str(), StreamOf(direction), SND_PCM_NONBLOCK) < 0) return nullptr;
  PcmHandle pcm(raw);
  if (snd_pcm_nonblock(pcm.get(), 0) < 0 || !Configure(pcm.get())) return nullptr;
  return pcm;
}

}  // namespace

std::string AlsaAudio::PlugName(const std::string& name) {
  if (name.rfind("hw:", 0) == 0) return "plug" + name;
  if (name.rfind("plug", 0) == 0 || name.find('\'') != std::string::npos) return name;
  return "plug:'" + name + "'";
}

std::unique_ptr<AudioStream> AlsaAudio::OpenNamed(AudioDirection direction, const std::string& name) {
  SilenceAlsaMessages();
  // A bare hw device takes only what the card does natively (often 48 kHz
  // stereo); plughw passes that through unchanged and converts the rest.
  const bool bare_hw = name.rfind("hw:", 0) == 0;
  PcmHandle pcm = OpenConfigured(bare_hw ? PlugName(name) : name, direction);
  if (!pcm && !bare_hw && PlugName(name) != name) pcm = OpenConfigured(PlugName(name), direction);
  if (!pcm) return nullptr;
  return std::make_unique<AlsaStream>(std::move(pcm));
}

std::unique_ptr<AudioStream> AlsaAudio::Open(AudioDirection direction, int number) {
  if (number < 0) return OpenNamed(direction, "default");
  const std::vector<std::string> names = DeviceNames(direction);
  if (number >= static_cast<int>(names.size())) return nullptr;
  return OpenNamed(direction, names[number]);
}

std::unique_ptr<AudioBackend> CreatePlatformAudioBackend() { return std::make_unique<AlsaAudio>(); }

}  // namespace quillon
