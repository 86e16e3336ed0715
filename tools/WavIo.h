#pragma once
// Audio in and out of the tool. Inside, audio is what the sound card carries:
// 16-bit mono samples at 8000 samples/s. Files are WAV (read with libsndfile:
// any rate and channel count, mixed to mono and resampled with
// libsamplerate); the path "-" is raw 16-bit native-endian samples at 8000
// samples/s on standard input or output, for pipes.

#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

using Audio = std::vector<int16_t>;

constexpr int kToolSampleRate = 8000;

// Throws CliError for a missing or unreadable file, a file that is not audio
// and audio without a single sample.
Audio ReadAudio(const std::string& path);

// Writes 16-bit mono at `rate` samples/s (resampled from 8000 when it
// differs). Throws CliError when the file cannot be written.
void WriteAudio(const std::string& path, const Audio& audio, int rate = kToolSampleRate);

// Band-limited resampling with libsamplerate; `ratio` is output rate over
// input rate. The output has round(size × ratio) samples.
std::vector<float> Resample(const std::vector<float>& input, double ratio);

// Rounds to the nearest 16-bit value, saturating.
int16_t ToSample(double value);

}  // namespace quillon
