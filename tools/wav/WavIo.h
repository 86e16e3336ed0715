// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Audio in and out of the tool. Inside, audio is what the sound card carries:
// 16-bit mono samples at 8000 samples/s. Files are WAV of any rate and
// channel count, mixed to mono and resampled; the path "-" is raw 16-bit
// native-endian samples at 8000 samples/s on standard input or output, for
// pipes.
//
// Recordings are read piece by piece, so that one of any length is read in
// bounded memory. The file and rate code underneath comes from one of two
// backends (WavBackend.h).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/ModeTable.h"

namespace quillon {

using Audio = std::vector<int16_t>;

// Rates beyond these are no recording of a voice channel; a header claiming
// one would only ask the resampler for absurd amounts of work.
constexpr int kLowestWavRate = 1000;
constexpr int kHighestWavRate = 384000;

// A live source is read and decoded 128 ms at a time (1024 samples at 8000
// samples/s), well within a second of a frame being decided.
constexpr std::size_t kLivePieceSamples = 1024;

class RecordingFile;
class Resampler;

// A recording as the tool's audio, read piece by piece.
class AudioReader {
 public:
  // Throws CliError for a missing or unreadable file, a file that is not
  // audio and a sample rate outside 1000..384000.
  explicit AudioReader(const std::string& path);
  ~AudioReader();
  AudioReader(const AudioReader&) = delete;
  AudioReader& operator=(const AudioReader&) = delete;

  // Replaces what `piece` holds with the next samples, at most `max_count`;
  // `piece` comes back empty only once the audio has ended. At that point
  // the reader says once on standard error what was wrong with the
  // recording: cut short (how much is missing), or holding samples that are
  // not numbers (NaN or infinite), which are read as silence. Throws
  // CliError when the file cannot be read and for audio without a single
  // sample.
  void Read(std::size_t max_count, Audio& piece);

  // Audio that arrives as it is made (raw samples on standard input, e.g.
  // from arecord): it is read in pieces of kLivePieceSamples, so that what it
  // holds can be decoded and shown while more is still to come.
  bool Live() const { return live_; }

 private:
  void ReadFilePiece();
  void WarnAtTheEnd() const;

  std::string name_;  // for messages: "'x.wav'" or "standard input"
  std::unique_ptr<RecordingFile> file_;
  std::unique_ptr<Resampler> resampler_;  // none at 8000 samples/s
  std::vector<float> file_piece_;         // mono, full scale +-1.0, the file's rate
  std::vector<float> ready_;              // at 8000 samples/s, not yet handed out
  std::size_t ready_at_ = 0;
  bool file_ended_ = false;
  bool ended_ = false;
  bool live_ = false;
  std::uint64_t frames_read_ = 0;  // from the file, at its rate
  std::uint64_t samples_given_ = 0;
  std::uint64_t not_numbers_ = 0;
};

// A whole recording, for the commands that work on all of it at once.
// Throws CliError as AudioReader does, and when it lasts more than
// `max_samples` samples at 8000 samples/s, before reading further.
Audio ReadAudio(const std::string& path, std::size_t max_samples);

// Writes 16-bit mono at `rate` samples/s (resampled from 8000 when it
// differs). Throws CliError when the file cannot be written.
void WriteAudio(const std::string& path, const Audio& audio, int rate = kSampleRateHz);

// Rounds to the nearest 16-bit value, saturating; a value that is not a
// number (NaN or infinite) is silence, 0.
int16_t ToSample(double value);

// Band-limited resampling of a whole signal; `ratio` is output rate over
// input rate. Output sample n is the input at time n / ratio (no delay),
// and there are round(size × ratio) of them.
std::vector<float> Resample(const std::vector<float>& input, double ratio);

}  // namespace quillon
