// The WAV and rate backend over libsndfile and libsamplerate.

#include <samplerate.h>
#include <sndfile.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "tools/CliError.h"
#include "tools/wav/WavIo.h"

namespace quillon {
namespace {

struct SndfileCloser {
  void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

// The file must exist and be readable before libsndfile is asked, so that a
// missing file is not reported as an unknown format.
void CheckReadable(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) throw CliError("cannot open '" + path + "': " + std::strerror(errno));
  std::fclose(file);
}

}  // namespace

std::vector<float> Resample(const std::vector<float>& input, double ratio) {
  const long wanted = std::lround(static_cast<double>(input.size()) * ratio);
  std::vector<float> output(static_cast<std::size_t>(wanted) + 64, 0.0f);
  if (input.empty()) return {};
  SRC_DATA data{};
  data.data_in = input.data();
  data.input_frames = static_cast<long>(input.size());
  data.data_out = output.data();
  data.output_frames = static_cast<long>(output.size());
  data.src_ratio = ratio;
  const int error = src_simple(&data, SRC_SINC_BEST_QUALITY, 1);
  if (error != 0) throw CliError(std::string("resampling failed: ") + src_strerror(error));
  output.resize(static_cast<std::size_t>(data.output_frames_gen));
  output.resize(static_cast<std::size_t>(wanted), 0.0f);
  return output;
}

MonoRecording ReadMonoRecording(const std::string& path) {
  CheckReadable(path);
  SF_INFO info{};
  SndfileHandle file(sf_open(path.c_str(), SFM_READ, &info));
  if (!file) throw CliError("'" + path + "' is not an audio file I can read (" + sf_strerror(nullptr) + ")");
  MonoRecording recording;
  recording.rate = info.samplerate;
  if (info.frames <= 0 || info.channels <= 0) return recording;
  // libsndfile's doubles are a PCM value over 2^(bits-1), float as stored.
  std::vector<double> interleaved(static_cast<std::size_t>(info.frames) * static_cast<std::size_t>(info.channels));
  const sf_count_t frames = sf_readf_double(file.get(), interleaved.data(), info.frames);
  if (frames <= 0) return recording;
  recording.samples.resize(static_cast<std::size_t>(frames));
  for (sf_count_t frame = 0; frame < frames; ++frame) {
    double sum = 0.0;
    for (int channel = 0; channel < info.channels; ++channel)
      sum += interleaved[static_cast<std::size_t>(frame * info.channels + channel)];
    recording.samples[static_cast<std::size_t>(frame)] = static_cast<float>(sum / info.channels);
  }
  return recording;
}

void WriteWav16(const std::string& path, const Audio& audio, int rate) {
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SndfileHandle file(sf_open(path.c_str(), SFM_WRITE, &info));
  if (!file) throw CliError("cannot write '" + path + "': " + sf_strerror(nullptr));
  if (sf_writef_short(file.get(), audio.data(), static_cast<sf_count_t>(audio.size())) !=
      static_cast<sf_count_t>(audio.size()))
    throw CliError("cannot write '" + path + "': " + sf_strerror(file.get()));
}

}  // namespace quillon
