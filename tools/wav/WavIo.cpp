// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/wav/WavIo.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/CliError.h"
#include "tools/Console.h"
#include "tools/wav/WavBackend.h"

namespace quillon {
namespace {

constexpr double kFullScale = 32768.0;  // a 16-bit value v is v / 32768 at full scale +-1.0
// Frames taken from the file at a time: 64 KiB of floats, however long the
// recording is.
constexpr std::size_t kFilePieceFrames = 16384;

// Raw 16-bit samples at 8000 samples/s on standard input.
class RawStandardInput : public RecordingFile {
 public:
  RawStandardInput() {
    SetBinaryMode(stdin);
    rate_ = kSampleRateHz;
  }

  std::size_t Read(float* mono, std::size_t count) override {
    samples_.resize(count);
    const std::size_t got = std::fread(samples_.data(), sizeof samples_[0], count, stdin);
    if (got < count && std::ferror(stdin) != 0) throw CliError("cannot read standard input");
    for (std::size_t n = 0; n < got; ++n) mono[n] = static_cast<float>(samples_[n] / kFullScale);
    return got;
  }

 private:
  std::vector<int16_t> samples_;
};

std::string Seconds(std::uint64_t frames, int rate) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f s", static_cast<double>(frames) / rate);
  return text;
}

}  // namespace

void Resampler::Process(const float* input, std::size_t count, bool last, std::vector<float>& output) {
  Convert(input, count, last, held_);
  taken_ += count;
  // Never more than the final count can hold: round(taken × ratio) only
  // grows as input arrives.
  const auto due = static_cast<std::uint64_t>(std::llround(static_cast<double>(taken_) * ratio_));
  const std::size_t give = static_cast<std::size_t>(std::min<std::uint64_t>(held_.size(), due - std::min(due, given_)));
  output.insert(output.end(), held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(give));
  held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(give));
  given_ += give;
  if (!last) return;
  output.resize(output.size() + static_cast<std::size_t>(due - std::min(due, given_)), 0.0f);
  given_ = std::max(given_, due);
  held_.clear();
}

int16_t ToSample(double value) {
  if (!std::isfinite(value)) return 0;
  const double rounded = std::floor(value + 0.5);
  if (rounded > 32767.0) return 32767;
  if (rounded < -32768.0) return -32768;
  return static_cast<int16_t>(rounded);
}

AudioReader::AudioReader(const std::string& path) : name_(path == "-" ? "standard input" : "'" + path + "'") {
  if (path == "-") {
    file_ = std::make_unique<RawStandardInput>();
    live_ = true;
    return;
  }
  file_ = OpenRecording(path);
  const int rate = file_->Rate();
  if (rate < kLowestWavRate || rate > kHighestWavRate)
    throw CliError(name_ + " has a sample rate of " + std::to_string(rate) + " Hz; " + std::to_string(kLowestWavRate) +
                   ".." + std::to_string(kHighestWavRate) + " are read");
  if (rate != kSampleRateHz) resampler_ = MakeResampler(static_cast<double>(kSampleRateHz) / rate);
}

AudioReader::~AudioReader() = default;

void AudioReader::ReadFilePiece() {
  const std::size_t frames = live_ ? kLivePieceSamples : kFilePieceFrames;
  file_piece_.resize(frames);
  const std::size_t got = file_->Read(file_piece_.data(), frames);
  file_piece_.resize(got);
  frames_read_ += got;
  file_ended_ = got == 0;
  for (float& sample : file_piece_) {
    if (std::isfinite(sample)) continue;
    sample = 0.0f;
    ++not_numbers_;
  }
  ready_.clear();
  ready_at_ = 0;
  if (resampler_) {
    resampler_->Process(file_piece_.data(), got, file_ended_, ready_);
  } else {
    ready_.swap(file_piece_);
  }
}

void AudioReader::Read(std::size_t max_count, Audio& piece) {
  piece.clear();
  while (piece.size() < max_count) {
    if (ready_at_ == ready_.size()) {
      if (file_ended_) break;
      ReadFilePiece();
      continue;
    }
    const std::size_t take = std::min(max_count - piece.size(), ready_.size() - ready_at_);
    for (std::size_t n = 0; n < take; ++n) piece.push_back(ToSample(ready_[ready_at_ + n] * kFullScale));
    ready_at_ += take;
  }
  samples_given_ += piece.size();
  if (!piece.empty() || ended_) return;
  ended_ = true;
  if (samples_given_ == 0) throw CliError(name_ + " holds no audio");
  WarnAtTheEnd();
}

void AudioReader::WarnAtTheEnd() const {
  const std::uint64_t announced = file_->AnnouncedFrames();
  const int rate = file_->Rate();
  if (announced > frames_read_) {
    const std::uint64_t missing = announced - frames_read_;
    std::fprintf(stderr,
                 "quillon-cli: %s is cut short: its header announces %llu frames (%s), it holds %llu (%s); the %llu "
                 "frames (%s) missing are left out\n",
                 name_.c_str(), static_cast<unsigned long long>(announced), Seconds(announced, rate).c_str(),
                 static_cast<unsigned long long>(frames_read_), Seconds(frames_read_, rate).c_str(),
                 static_cast<unsigned long long>(missing), Seconds(missing, rate).c_str());
  }
  if (not_numbers_ > 0)
    std::fprintf(stderr, "quillon-cli: %s holds %llu sample%s that %s not numbers (NaN or infinite); they are read as silence\n",
                 name_.c_str(), static_cast<unsigned long long>(not_numbers_), not_numbers_ == 1 ? "" : "s",
                 not_numbers_ == 1 ? "is" : "are");
}

Audio ReadAudio(const std::string& path, std::size_t max_samples) {
  AudioReader reader(path);
  Audio audio;
  Audio piece;
  for (reader.Read(kFilePieceFrames, piece); !piece.empty(); reader.Read(kFilePieceFrames, piece)) {
    if (piece.size() > max_samples - audio.size())
      throw CliError((path == "-" ? std::string("standard input") : "'" + path + "'") + " lasts more than " +
                     Seconds(max_samples, kSampleRateHz) + ", the most this command takes (it works on the whole " +
                     "recording at once)");
    audio.insert(audio.end(), piece.begin(), piece.end());
  }
  return audio;
}

std::vector<float> Resample(const std::vector<float>& input, double ratio) {
  std::vector<float> output;
  MakeResampler(ratio)->Process(input.data(), input.size(), true, output);
  return output;
}

void WriteAudio(const std::string& path, const Audio& audio, int rate) {
  Audio resampled;
  if (rate != kSampleRateHz) {
    const std::vector<float> samples(audio.begin(), audio.end());
    for (float value : Resample(samples, static_cast<double>(rate) / kSampleRateHz)) resampled.push_back(ToSample(value));
  }
  const Audio& out = rate != kSampleRateHz ? resampled : audio;
  if (path != "-") return WriteWav16(path, out, rate);
  SetBinaryMode(stdout);
  if (std::fwrite(out.data(), sizeof out[0], out.size(), stdout) != out.size() || std::fflush(stdout) != 0)
    throw CliError("cannot write audio to standard output");
}

}  // namespace quillon
