#pragma once
// Audio in and out of the tool. Inside, audio is what the sound card carries:
// 16-bit mono samples at 8000 samples/s. Files are WAV of any rate and
// channel count, mixed to mono and resampled; the path "-" is raw 16-bit
// native-endian samples at 8000 samples/s on standard input or output, for
// pipes.
//
// The file and rate functions at the end come from one of two backends,
// chosen by the build: libsndfile with libsamplerate (WavIoSndfile.cpp), or
// the tool's own WAV codec and windowed-sinc resampler (WavIoBuiltin.cpp)
// where those libraries are missing, as in the Windows cross build.

#include <cstdint>
#include <string>
#include <vector>

#include "engine/ModeTable.h"

namespace quillon {

using Audio = std::vector<int16_t>;

// Throws CliError for a missing or unreadable file, a file that is not audio,
// a sample rate outside 1000..384000 and audio without a single sample.
Audio ReadAudio(const std::string& path);

// Writes 16-bit mono at `rate` samples/s (resampled from 8000 when it
// differs). Throws CliError when the file cannot be written.
void WriteAudio(const std::string& path, const Audio& audio, int rate = kSampleRateHz);

// Rounds to the nearest 16-bit value, saturating.
int16_t ToSample(double value);

// A WAV file's frames mixed to mono (the mean of the channels), full scale
// +-1.0 (a PCM value over 2^(bits-1), float as stored), at its own rate.
struct MonoRecording {
  int rate = 0;
  std::vector<float> samples;
};

// Backend: throws CliError "cannot open '<path>': <reason>" for a file that
// cannot be opened and "'<path>' is not an audio file I can read (<reason>)"
// for anything that is not a WAV file it decodes. An empty data chunk is no
// error here (no samples).
MonoRecording ReadMonoRecording(const std::string& path);

// Backend: a 16-bit mono PCM WAV file. Throws CliError "cannot write
// '<path>': <reason>".
void WriteWav16(const std::string& path, const Audio& audio, int rate);

// Backend: band-limited resampling; `ratio` is output rate over input rate.
// Output sample n is the input at time n / ratio (no delay), and there are
// round(size × ratio) of them.
std::vector<float> Resample(const std::vector<float>& input, double ratio);

}  // namespace quillon
