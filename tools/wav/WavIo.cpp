#include "tools/wav/WavIo.h"

#include <cmath>
#include <cstdio>

#include "tools/CliError.h"
#include "tools/Console.h"

namespace quillon {
namespace {

constexpr double kFullScale = 32768.0;  // a 16-bit value v is v / 32768 at full scale +-1.0
// Rates beyond these are no recording of a voice channel; a header claiming
// one would only ask the resampler for absurd amounts of memory.
constexpr int kLowestRate = 1000;
constexpr int kHighestRate = 384000;

Audio ReadRawStandardInput() {
  SetBinaryMode(stdin);
  Audio audio;
  int16_t chunk[4096];
  std::size_t got = 0;
  while ((got = std::fread(chunk, sizeof chunk[0], 4096, stdin)) > 0) audio.insert(audio.end(), chunk, chunk + got);
  if (audio.empty()) throw CliError("standard input holds no audio");
  return audio;
}

}  // namespace

int16_t ToSample(double value) {
  const double rounded = std::floor(value + 0.5);
  if (rounded > 32767.0) return 32767;
  if (rounded < -32768.0) return -32768;
  return static_cast<int16_t>(rounded);
}

Audio ReadAudio(const std::string& path) {
  if (path == "-") return ReadRawStandardInput();
  MonoRecording recording = ReadMonoRecording(path);
  if (recording.samples.empty()) throw CliError("'" + path + "' holds no audio");
  if (recording.rate < kLowestRate || recording.rate > kHighestRate)
    throw CliError("'" + path + "' has a sample rate of " + std::to_string(recording.rate) +
                   " Hz; 1000..384000 are read");
  if (recording.rate != kSampleRateHz)
    recording.samples = Resample(recording.samples, static_cast<double>(kSampleRateHz) / recording.rate);
  Audio audio(recording.samples.size());
  for (std::size_t index = 0; index < audio.size(); ++index) audio[index] = ToSample(recording.samples[index] * kFullScale);
  if (audio.empty()) throw CliError("'" + path + "' holds no audio");
  return audio;
}

void WriteAudio(const std::string& path, const Audio& audio, int rate) {
  Audio out = audio;
  if (rate != kSampleRateHz) {
    const std::vector<float> samples(audio.begin(), audio.end());
    const std::vector<float> resampled = Resample(samples, static_cast<double>(rate) / kSampleRateHz);
    out.resize(resampled.size());
    for (std::size_t index = 0; index < resampled.size(); ++index) out[index] = ToSample(resampled[index]);
  }
  if (path != "-") return WriteWav16(path, out, rate);
  std::FILE* output = ToolOutput();
  SetBinaryMode(output);
  if (std::fwrite(out.data(), sizeof out[0], out.size(), output) != out.size() || std::fflush(output) != 0)
    throw CliError("cannot write audio to standard output");
}

}  // namespace quillon
