#include "tools/WavIo.h"

#include <samplerate.h>
#include <sndfile.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "tools/CliError.h"
#include "tools/Console.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace quillon {
namespace {

constexpr double kFullScale = 32768.0;  // libsndfile's normalised doubles are value / 32768 for 16-bit

struct SndfileCloser {
  void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

void MakeBinary(std::FILE* stream) {
#ifdef _WIN32
  _setmode(_fileno(stream), _O_BINARY);
#else
  (void)stream;
#endif
}

Audio ReadRawStandardInput() {
  MakeBinary(stdin);
  Audio audio;
  int16_t chunk[4096];
  std::size_t got = 0;
  while ((got = std::fread(chunk, sizeof chunk[0], 4096, stdin)) > 0) audio.insert(audio.end(), chunk, chunk + got);
  if (audio.empty()) throw CliError("standard input holds no audio");
  return audio;
}

// The file must exist and be readable before libsndfile is asked, so that a
// missing file is not reported as an unknown format.
void CheckReadable(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) throw CliError("cannot open '" + path + "': " + std::strerror(errno));
  std::fclose(file);
}

}  // namespace

int16_t ToSample(double value) {
  const double rounded = std::floor(value + 0.5);
  if (rounded > 32767.0) return 32767;
  if (rounded < -32768.0) return -32768;
  return static_cast<int16_t>(rounded);
}

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

Audio ReadAudio(const std::string& path) {
  if (path == "-") return ReadRawStandardInput();
  CheckReadable(path);
  SF_INFO info{};
  SndfileHandle file(sf_open(path.c_str(), SFM_READ, &info));
  if (!file) throw CliError("'" + path + "' is not an audio file I can read (" + sf_strerror(nullptr) + ")");
  if (info.frames <= 0 || info.channels <= 0) throw CliError("'" + path + "' holds no audio");

  const bool sound_card_format = info.samplerate == kToolSampleRate && info.channels == 1 &&
                                 (info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16;
  if (sound_card_format) {
    Audio audio(static_cast<std::size_t>(info.frames));
    audio.resize(static_cast<std::size_t>(sf_readf_short(file.get(), audio.data(), info.frames)));
    if (audio.empty()) throw CliError("'" + path + "' holds no audio");
    return audio;
  }

  std::vector<double> interleaved(static_cast<std::size_t>(info.frames) * static_cast<std::size_t>(info.channels));
  const sf_count_t frames = sf_readf_double(file.get(), interleaved.data(), info.frames);
  if (frames <= 0) throw CliError("'" + path + "' holds no audio");
  std::vector<float> mono(static_cast<std::size_t>(frames));
  for (sf_count_t frame = 0; frame < frames; ++frame) {
    double sum = 0.0;
    for (int channel = 0; channel < info.channels; ++channel)
      sum += interleaved[static_cast<std::size_t>(frame * info.channels + channel)];
    mono[static_cast<std::size_t>(frame)] = static_cast<float>(sum / info.channels);
  }
  if (info.samplerate != kToolSampleRate)
    mono = Resample(mono, static_cast<double>(kToolSampleRate) / info.samplerate);
  Audio audio(mono.size());
  for (std::size_t index = 0; index < mono.size(); ++index) audio[index] = ToSample(mono[index] * kFullScale);
  if (audio.empty()) throw CliError("'" + path + "' holds no audio");
  return audio;
}

void WriteAudio(const std::string& path, const Audio& audio, int rate) {
  Audio out = audio;
  if (rate != kToolSampleRate) {
    std::vector<float> samples(audio.begin(), audio.end());
    const std::vector<float> resampled = Resample(samples, static_cast<double>(rate) / kToolSampleRate);
    out.resize(resampled.size());
    for (std::size_t index = 0; index < resampled.size(); ++index) out[index] = ToSample(resampled[index]);
  }
  if (path == "-") {
    std::FILE* output = ToolOutput();
    MakeBinary(output);
    if (std::fwrite(out.data(), sizeof out[0], out.size(), output) != out.size() || std::fflush(output) != 0)
      throw CliError("cannot write audio to standard output");
    return;
  }
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SndfileHandle file(sf_open(path.c_str(), SFM_WRITE, &info));
  if (!file) throw CliError("cannot write '" + path + "': " + sf_strerror(nullptr));
  if (sf_writef_short(file.get(), out.data(), static_cast<sf_count_t>(out.size())) != static_cast<sf_count_t>(out.size()))
    throw CliError("cannot write '" + path + "': " + sf_strerror(file.get()));
}

}  // namespace quillon
