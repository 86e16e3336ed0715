// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What each of the two WAV and rate backends provides, chosen by the build:
// libsndfile with libsamplerate (WavIoSndfile.cpp), or the tool's own WAV
// codec and windowed-sinc resampler (WavIoBuiltin.cpp) where those libraries
// are missing, as in the Windows cross build. WavIo.cpp builds the tool's
// audio on top of them.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tools/wav/WavIo.h"

namespace quillon {

// A recording file read front to back in pieces.
class RecordingFile {
 public:
  virtual ~RecordingFile() = default;

  int Rate() const { return rate_; }
  // Frames the header announces: 0 when it gives no length (a recorder
  // that streams) or the format is not one whose length is checked.
  std::uint64_t AnnouncedFrames() const { return announced_frames_; }

  // Up to `count` frames mixed to mono (the mean of the channels), full
  // scale +-1.0 (a PCM value over 2^(bits-1), float as stored), into
  // `mono`. Returns how many; 0 at the end. A partial last frame is left
  // out. Throws CliError "cannot read '<path>': <reason>".
  virtual std::size_t Read(float* mono, std::size_t count) = 0;

 protected:
  int rate_ = 0;
  std::uint64_t announced_frames_ = 0;
};

// Throws CliError "cannot open '<path>': <reason>" for a file that cannot be
// opened and "'<path>' is not an audio file I can read (<reason>)" for
// anything that is not a WAV file the backend decodes. An empty data chunk
// is no error here (no frames).
std::unique_ptr<RecordingFile> OpenRecording(const std::string& path);

// Band-limited rate conversion in pieces; `ratio` is output rate over input
// rate. Output sample n is the input at time n / ratio (no delay); once the
// input has ended there are round(input size × ratio) of them, whatever the
// pieces were.
class Resampler {
 public:
  explicit Resampler(double ratio) : ratio_(ratio) {}
  virtual ~Resampler() = default;

  // Takes `count` more input samples and appends to `output` the output
  // samples now ready; `last` ends the input, and all the rest follows.
  void Process(const float* input, std::size_t count, bool last, std::vector<float>& output);

 protected:
  // The backend's conversion: appends what it has ready to `output`.
  virtual void Convert(const float* input, std::size_t count, bool last, std::vector<float>& output) = 0;

  const double ratio_;

 private:
  std::uint64_t taken_ = 0;
  std::uint64_t given_ = 0;
  std::vector<float> held_;  // converted, not yet given out
};

// Throws CliError when the ratio is not a positive number.
std::unique_ptr<Resampler> MakeResampler(double ratio);

// A 16-bit mono PCM WAV file. Throws CliError "cannot write '<path>':
// <reason>".
void WriteWav16(const std::string& path, const Audio& audio, int rate);

}  // namespace quillon
