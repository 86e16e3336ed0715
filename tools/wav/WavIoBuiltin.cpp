// SPDX-License-Identifier: GPL-3.0-or-later
// The tool's own WAV and rate backend, for builds without libsndfile and
// libsamplerate: a RIFF/WAVE reader for PCM 8/16/24/32-bit and 32/64-bit
// float (plain or extensible format, any channel count), a 16-bit PCM writer,
// and a Kaiser-windowed sinc resampler.

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "tools/CliError.h"
#include "tools/Console.h"
#include "tools/wav/WavBackend.h"

namespace quillon {
namespace {

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatFloat = 3;
constexpr uint16_t kFormatExtensible = 0xFFFE;
// The GUID of an extensible format is its format tag followed by these bytes.
constexpr unsigned char kGuidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                         0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
constexpr uint32_t kUnknownSize = 0xFFFFFFFFu;  // written by recorders that stream

uint16_t Le16(const unsigned char* bytes) { return static_cast<uint16_t>(bytes[0] | bytes[1] << 8); }
uint32_t Le32(const unsigned char* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}
void PutLe16(unsigned char* bytes, uint32_t value) {
  bytes[0] = static_cast<unsigned char>(value);
  bytes[1] = static_cast<unsigned char>(value >> 8);
}
void PutLe32(unsigned char* bytes, uint32_t value) {
  PutLe16(bytes, value & 0xFFFFu);
  PutLe16(bytes + 2, value >> 16);
}

struct SampleFormat {
  uint16_t tag = 0;  // PCM or float, after unwrapping the extensible form
  int channels = 0;
  int rate = 0;
  int bytes = 0;  // per sample of one channel
};

// Reads a WAV file front to back without seeking, so a pipe also works:
// the header when it is opened, then the data chunk piece by piece.
class WavRecording : public RecordingFile {
 public:
  explicit WavRecording(const std::string& path) : path_(path), file_(OpenFile(path, "rb")) {
    if (!file_) throw CliError("cannot open '" + path + "': " + std::strerror(errno));
    ReadHeader();
  }

  std::size_t Read(float* mono, std::size_t count) override {
    const std::size_t frame_bytes = FrameBytes();
    const std::size_t frames = static_cast<std::size_t>(std::min<uint64_t>(count, data_left_ / frame_bytes));
    bytes_.resize(frames * frame_bytes);
    const std::size_t got = ReadBytes(bytes_.data(), bytes_.size()) / frame_bytes;
    // A size larger than what follows (a cut recording, or a streamed one
    // whose size was never filled in) means: up to the end of the file.
    data_left_ = got < frames ? 0 : data_left_ - got * frame_bytes;
    for (std::size_t frame = 0; frame < got; ++frame) {
      const unsigned char* at = bytes_.data() + frame * frame_bytes;
      double sum = 0.0;
      for (int channel = 0; channel < format_.channels; ++channel)
        sum += Sample(at + static_cast<std::size_t>(channel) * static_cast<std::size_t>(format_.bytes));
      mono[frame] = static_cast<float>(sum / format_.channels);
    }
    return got;
  }

 private:
  void ReadHeader() {
    unsigned char riff[12];
    if (ReadBytes(riff, sizeof riff) != sizeof riff || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0)
      Fail("Format not recognised.");
    bool have_format = false;
    for (;;) {
      unsigned char header[8];
      if (ReadBytes(header, sizeof header) != sizeof header) Fail("no 'data' chunk");
      const uint32_t size = Le32(header + 4);
      if (std::memcmp(header, "fmt ", 4) == 0) {
        ReadFormat(size);
        have_format = true;
      } else if (std::memcmp(header, "data", 4) == 0) {
        if (!have_format) Fail("no 'fmt ' chunk before the 'data' chunk");
        rate_ = format_.rate;
        data_left_ = size == kUnknownSize ? UINT64_MAX : size;
        announced_frames_ = size == kUnknownSize ? 0 : size / FrameBytes();
        return;
      } else {
        Skip(static_cast<uint64_t>(size) + (size & 1u));
      }
    }
  }

  std::size_t FrameBytes() const {
    return static_cast<std::size_t>(format_.channels) * static_cast<std::size_t>(format_.bytes);
  }

  [[noreturn]] void Fail(const std::string& reason) const {
    throw CliError("'" + path_ + "' is not an audio file I can read (" + reason + ")");
  }

  std::size_t ReadBytes(unsigned char* bytes, std::size_t count) {
    const std::size_t got = std::fread(bytes, 1, count, file_.get());
    if (got < count && std::ferror(file_.get()) != 0) {
      const int error = errno;
      // A directory opens on Linux and fails here; it is no audio file either.
      if (error == EISDIR) Fail("Format not recognised.");
      throw CliError("cannot read '" + path_ + "': " + std::strerror(error));
    }
    return got;
  }

  void Skip(uint64_t count) {
    unsigned char scratch[4096];
    while (count > 0) {
      const std::size_t step = static_cast<std::size_t>(std::min<uint64_t>(count, sizeof scratch));
      if (ReadBytes(scratch, step) != step) Fail("no 'data' chunk");
      count -= step;
    }
  }

  void ReadFormat(uint32_t size) {
    if (size < 16 || size > 4096) Fail("a 'fmt ' chunk of " + std::to_string(size) + " bytes");
    unsigned char body[4096 + 1];
    const std::size_t padded = size + (size & 1u);
    if (ReadBytes(body, padded) != padded) Fail("the 'fmt ' chunk is cut short");
    format_.tag = Le16(body);
    format_.channels = Le16(body + 2);
    format_.rate = static_cast<int>(std::min<uint32_t>(Le32(body + 4), 0x7FFFFFFF));
    const int block_align = Le16(body + 12);
    const int bits = Le16(body + 14);
    if (format_.tag == kFormatExtensible) {
      if (size < 40 || std::memcmp(body + 26, kGuidTail, sizeof kGuidTail) != 0)
        Fail("an extensible format without a known subformat");
      format_.tag = Le16(body + 24);
    }
    const bool pcm = format_.tag == kFormatPcm && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    const bool floating = format_.tag == kFormatFloat && (bits == 32 || bits == 64);
    if (!pcm && !floating) {
      char reason[160];
      std::snprintf(reason, sizeof reason,
                    "encoding 0x%04X with %d bits; PCM of 8, 16, 24 or 32 bits and float of 32 or 64 bits are read",
                    format_.tag, bits);
      Fail(reason);
    }
    if (format_.channels < 1) Fail("no channels");
    format_.bytes = bits / 8;
    if (block_align != format_.channels * format_.bytes)
      Fail("frames of " + std::to_string(block_align) + " bytes for " + std::to_string(format_.channels) +
           " channels of " + std::to_string(bits) + " bits");
  }

  // One sample at full scale +-1.0, as libsndfile reads it: PCM over
  // 2^(bits-1) (8-bit PCM is unsigned, centred on 128), float as stored.
  double Sample(const unsigned char* bytes) const {
    if (format_.tag == kFormatFloat) {
      if (format_.bytes == 4) {
        const uint32_t raw = Le32(bytes);
        float value;
        std::memcpy(&value, &raw, sizeof value);
        return value;
      }
      const uint64_t raw = static_cast<uint64_t>(Le32(bytes)) | static_cast<uint64_t>(Le32(bytes + 4)) << 32;
      double value;
      std::memcpy(&value, &raw, sizeof value);
      return value;
    }
    switch (format_.bytes) {
      case 1:
        return (static_cast<int>(bytes[0]) - 128) / 128.0;
      case 2:
        return static_cast<int16_t>(Le16(bytes)) / 32768.0;
      case 3: {
        const uint32_t raw = static_cast<uint32_t>(bytes[0]) << 8 | static_cast<uint32_t>(bytes[1]) << 16 |
                             static_cast<uint32_t>(bytes[2]) << 24;
        return static_cast<int32_t>(raw) / 2147483648.0;
      }
      default:
        return static_cast<int32_t>(Le32(bytes)) / 2147483648.0;
    }
  }

  std::string path_;
  FileHandle file_;
  SampleFormat format_;
  uint64_t data_left_ = 0;  // bytes of the data chunk still to read
  std::vector<unsigned char> bytes_;
};

// The resampler's low-pass, a Kaiser-windowed sinc in units of the lower of
// the two rates: the pass band reaches 0.45 of that rate (3600 Hz at 8000
// samples/s, above every Olivia tone), the stop band starts at its Nyquist
// frequency 0.5 with 100 dB attenuation, so nothing aliases into the output.
// Kaiser's formulas for that band give 128 taps (64 each side) and beta 10.06.
class SincKernel {
 public:
  static constexpr int kHalfWidth = 64;
  static constexpr int kSteps = 1024;  // table entries per unit; linear interpolation error near -100 dB

  static const SincKernel& Get() {
    static const SincKernel kernel;
    return kernel;
  }

  // The kernel at `u` units from its centre, |u| < kHalfWidth.
  double operator()(double u) const {
    const double position = std::fabs(u) * kSteps;
    const auto index = static_cast<std::size_t>(position);
    const double fraction = position - static_cast<double>(index);
    return table_[index] + fraction * (table_[index + 1] - table_[index]);
  }

 private:
  SincKernel() : table_(kHalfWidth * kSteps + 2, 0.0) {
    constexpr double kPi = 3.14159265358979323846;
    constexpr double kCutoff = 0.475;  // cycles per sample, halfway through the transition band
    constexpr double kBeta = 10.06;    // 0.1102 * (100 dB - 8.7)
    const double norm = BesselI0(kBeta);
    for (std::size_t index = 0; index + 1 < table_.size(); ++index) {
      const double u = static_cast<double>(index) / kSteps;
      const double edge = u / kHalfWidth;
      if (edge >= 1.0) break;
      const double x = 2.0 * kPi * kCutoff * u;
      const double sinc = index == 0 ? 1.0 : std::sin(x) / x;
      table_[index] = 2.0 * kCutoff * sinc * BesselI0(kBeta * std::sqrt(1.0 - edge * edge)) / norm;
    }
  }

  static double BesselI0(double x) {
    double sum = 1.0;
    double term = 1.0;
    for (int k = 1; k < 60 && term > sum * 1e-17; ++k) {
      const double half = x / (2.0 * k);
      term *= half * half;
      sum += term;
    }
    return sum;
  }

  std::vector<double> table_;
};

// The windowed-sinc conversion in pieces: input is kept from the first
// sample the next output still reaches.
class SincResampler : public Resampler {
 public:
  explicit SincResampler(double ratio)
      : Resampler(ratio),
        // Going down, the kernel widens over the input by the ratio and
        // scales so that its gain stays 1.
        scale_(std::min(1.0, ratio)),
        reach_((SincKernel::kHalfWidth - 1e-9) / scale_) {}

 protected:
  void Convert(const float* input, std::size_t count, bool last, std::vector<float>& output) override {
    kept_.insert(kept_.end(), input, input + count);
    taken_ += count;
    const SincKernel& kernel = SincKernel::Get();
    const auto end = static_cast<int64_t>(taken_);  // one past the last input sample so far
    const auto wanted = last ? std::llround(static_cast<double>(taken_) * ratio_) : INT64_MAX;
    for (; next_ < wanted; ++next_) {
      const double time = static_cast<double>(next_) / ratio_;
      const auto reached = static_cast<int64_t>(std::floor(time + reach_));
      if (!last && reached >= end) break;  // the input it reaches has not arrived
      const int64_t first_k = std::max<int64_t>(0, static_cast<int64_t>(std::ceil(time - reach_)));
      const int64_t last_k = std::min(end - 1, reached);
      double sum = 0.0;
      for (int64_t k = first_k; k <= last_k; ++k)
        sum += kept_[static_cast<std::size_t>(k - kept_from_)] * kernel((time - static_cast<double>(k)) * scale_);
      output.push_back(static_cast<float>(sum * scale_));
    }
    // Input before the first sample the next output reaches is done with.
    const double next_time = static_cast<double>(next_) / ratio_;
    const int64_t still_needed = std::max<int64_t>(0, static_cast<int64_t>(std::ceil(next_time - reach_)));
    const int64_t drop = std::min<int64_t>(still_needed - kept_from_, static_cast<int64_t>(kept_.size()));
    if (drop <= 0) return;
    kept_.erase(kept_.begin(), kept_.begin() + drop);
    kept_from_ += drop;
  }

 private:
  const double scale_;
  const double reach_;          // input samples each side of an output sample
  std::vector<float> kept_;     // input from sample kept_from_ on
  int64_t kept_from_ = 0;
  uint64_t taken_ = 0;
  int64_t next_ = 0;            // the next output sample
};

}  // namespace

std::unique_ptr<RecordingFile> OpenRecording(const std::string& path) { return std::make_unique<WavRecording>(path); }

void WriteWav16(const std::string& path, const Audio& audio, int rate) {
  const uint64_t data_bytes = static_cast<uint64_t>(audio.size()) * 2;
  if (data_bytes > 0xFFFFFFFFu - 36) throw CliError("cannot write '" + path + "': too long for a WAV file");
  FileHandle file(OpenFile(path, "wb"));
  if (!file) throw CliError("cannot write '" + path + "': " + std::strerror(errno));
  unsigned char header[44];
  std::memcpy(header, "RIFF", 4);
  PutLe32(header + 4, static_cast<uint32_t>(36 + data_bytes));
  std::memcpy(header + 8, "WAVEfmt ", 8);
  PutLe32(header + 16, 16);
  PutLe16(header + 20, kFormatPcm);
  PutLe16(header + 22, 1);  // mono
  PutLe32(header + 24, static_cast<uint32_t>(rate));
  PutLe32(header + 28, static_cast<uint32_t>(rate) * 2);  // bytes per second
  PutLe16(header + 32, 2);                                // bytes per frame
  PutLe16(header + 34, 16);
  std::memcpy(header + 36, "data", 4);
  PutLe32(header + 40, static_cast<uint32_t>(data_bytes));
  bool written = std::fwrite(header, 1, sizeof header, file.get()) == sizeof header;
  std::vector<unsigned char> chunk;
  for (std::size_t at = 0; written && at < audio.size(); at += 4096) {
    const std::size_t count = std::min<std::size_t>(4096, audio.size() - at);
    chunk.resize(count * 2);
    for (std::size_t n = 0; n < count; ++n) PutLe16(&chunk[2 * n], static_cast<uint16_t>(audio[at + n]));
    written = std::fwrite(chunk.data(), 1, chunk.size(), file.get()) == chunk.size();
  }
  const int error = errno;
  if (std::fclose(file.release()) != 0 || !written)
    throw CliError("cannot write '" + path + "': " + std::strerror(written ? errno : error));
}

std::unique_ptr<Resampler> MakeResampler(double ratio) {
  if (!(ratio > 0.0) || !std::isfinite(ratio)) throw CliError("resampling failed: the ratio is not a positive number");
  return std::make_unique<SincResampler>(ratio);
}

}  // namespace quillon
