// SPDX-License-Identifier: GPL-3.0-or-later
// The WAV and rate backend over libsndfile and libsamplerate.

#include <samplerate.h>
#include <sndfile.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "tools/CliError.h"
#include "tools/wav/WavBackend.h"

namespace quillon {
namespace {

struct SndfileCloser {
  void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

struct ConverterCloser {
  void operator()(SRC_STATE* state) const { src_delete(state); }
};

// The file must exist and be readable before libsndfile is asked, so that a
// missing file is not reported as an unknown format.
void CheckReadable(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) throw CliError("cannot open '" + path + "': " + std::strerror(errno));
  std::fclose(file);
}

// Bytes per sample of the uncompressed encodings, whose length in frames
// follows from the data chunk's size; 0 for the others.
int SampleBytes(int format) {
  switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_S8: return 1;
    case SF_FORMAT_PCM_16: return 2;
    case SF_FORMAT_PCM_24: return 3;
    case SF_FORMAT_PCM_32:
    case SF_FORMAT_FLOAT: return 4;
    case SF_FORMAT_DOUBLE: return 8;
    default: return 0;
  }
}

class SndfileRecording : public RecordingFile {
 public:
  explicit SndfileRecording(const std::string& path) : path_(path) {
    CheckReadable(path);
    file_.reset(sf_open(path.c_str(), SFM_READ, &info_));
    if (!file_) throw CliError("'" + path + "' is not an audio file I can read (" + sf_strerror(nullptr) + ")");
    rate_ = info_.samplerate;
    announced_frames_ = AnnouncedWavFrames();
  }

  std::size_t Read(float* mono, std::size_t count) override {
    if (info_.channels <= 0) return 0;
    const auto channels = static_cast<std::size_t>(info_.channels);
    interleaved_.resize(count * channels);
    // libsndfile's doubles are a PCM value over 2^(bits-1), float as stored.
    const sf_count_t got = sf_readf_double(file_.get(), interleaved_.data(), static_cast<sf_count_t>(count));
    if (got <= 0) {
      if (sf_error(file_.get()) != SF_ERR_NO_ERROR)
        throw CliError("cannot read '" + path_ + "': " + sf_strerror(file_.get()));
      return 0;
    }
    for (std::size_t frame = 0; frame < static_cast<std::size_t>(got); ++frame) {
      double sum = 0.0;
      for (std::size_t channel = 0; channel < channels; ++channel) sum += interleaved_[frame * channels + channel];
      mono[frame] = static_cast<float>(sum / info_.channels);
    }
    return static_cast<std::size_t>(got);
  }

 private:
  // libsndfile counts only the frames a cut file holds; its data chunk
  // keeps the size the header announced.
  std::uint64_t AnnouncedWavFrames() {
    const int major = info_.format & SF_FORMAT_TYPEMASK;
    const int sample_bytes = SampleBytes(info_.format);
    if ((major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX) || sample_bytes == 0 || info_.channels <= 0) return 0;
    SF_CHUNK_INFO wanted{};
    std::memcpy(wanted.id, "data", 4);
    wanted.id_size = 4;
    SF_CHUNK_ITERATOR* chunk = sf_get_chunk_iterator(file_.get(), &wanted);
    SF_CHUNK_INFO data{};
    if (chunk == nullptr || sf_get_chunk_size(chunk, &data) != SF_ERR_NO_ERROR) return 0;
    // 0xFFFFFFFF: written by a recorder that streams, no length given.
    if (data.datalen == 0xFFFFFFFFu) return 0;
    return data.datalen / (static_cast<std::uint64_t>(sample_bytes) * static_cast<std::uint64_t>(info_.channels));
  }

  std::string path_;
  SF_INFO info_{};
  SndfileHandle file_;
  std::vector<double> interleaved_;
};

class SampleRateResampler : public Resampler {
 public:
  explicit SampleRateResampler(double ratio) : Resampler(ratio) {
    int error = 0;
    state_.reset(src_new(SRC_SINC_BEST_QUALITY, 1, &error));
    if (!state_) throw CliError(std::string("resampling failed: ") + src_strerror(error));
  }

 protected:
  void Convert(const float* input, std::size_t count, bool last, std::vector<float>& output) override {
    static const float kNothing = 0.0f;  // libsamplerate wants an input pointer even for no input
    SRC_DATA data{};
    data.data_in = count > 0 ? input : &kNothing;
    data.input_frames = static_cast<long>(count);
    data.end_of_input = last ? 1 : 0;
    data.src_ratio = ratio_;
    float block[4096];
    for (;;) {
      data.data_out = block;
      data.output_frames = static_cast<long>(sizeof block / sizeof block[0]);
      const int error = src_process(state_.get(), &data);
      if (error != 0) throw CliError(std::string("resampling failed: ") + src_strerror(error));
      output.insert(output.end(), block, block + data.output_frames_gen);
      data.data_in += data.input_frames_used;
      data.input_frames -= data.input_frames_used;
      const bool stuck = data.input_frames_used == 0 && data.output_frames_gen == 0;
      if (stuck || (data.input_frames == 0 && !last)) break;
    }
  }

 private:
  std::unique_ptr<SRC_STATE, ConverterCloser> state_;
};

}  // namespace

std::unique_ptr<RecordingFile> OpenRecording(const std::string& path) {
  return std::make_unique<SndfileRecording>(path);
}

std::unique_ptr<Resampler> MakeResampler(double ratio) {
  if (!(ratio > 0.0) || !std::isfinite(ratio)) throw CliError("resampling failed: the ratio is not a positive number");
  return std::make_unique<SampleRateResampler>(ratio);
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
