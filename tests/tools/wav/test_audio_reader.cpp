// SPDX-License-Identifier: GPL-3.0-or-later
// Reading recordings piece by piece, the same for both WAV backends: this
// program is built once with each (the test names begin with the backend's).

#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tools/CliError.h"
#include "tools/wav/WavBackend.h"
#include "tools/wav/WavIo.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;
constexpr double kPi = 3.14159265358979323846;

class Reading : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / ("quillon-audio-reader-" + std::to_string(::getpid()) + "-" + info->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  // Interleaved frames written through libsndfile.
  void Write(const std::string& name, int format, int channels, int rate, const std::vector<float>& frames) const {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(Path(name).c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    sf_writef_float(file, frames.data(), static_cast<sf_count_t>(frames.size() / static_cast<std::size_t>(channels)));
    sf_close(file);
  }

  fs::path dir_;
};

// Reads the whole recording in pieces of the sizes given in turn; returns
// what the reader said on standard error.
std::string ReadInPieces(const std::string& path, const std::vector<std::size_t>& sizes, Audio& all) {
  testing::internal::CaptureStderr();
  try {
    AudioReader reader(path);
    Audio piece;
    for (std::size_t turn = 0;; ++turn) {
      const std::size_t size = sizes[turn % sizes.size()];
      reader.Read(size, piece);
      EXPECT_LE(piece.size(), size);
      if (piece.empty()) break;
      all.insert(all.end(), piece.begin(), piece.end());
    }
    Audio after;
    reader.Read(100, after);  // the end stays the end, and is reported once
    EXPECT_TRUE(after.empty());
  } catch (...) {
    testing::internal::GetCapturedStderr();
    throw;
  }
  return testing::internal::GetCapturedStderr();
}

std::vector<float> Tones(int channels, int rate, double seconds) {
  std::vector<float> frames;
  for (long n = 0; n < std::lround(seconds * rate); ++n)
    for (int channel = 0; channel < channels; ++channel)
      frames.push_back(static_cast<float>(0.4 * std::sin(2.0 * kPi * (700.0 + 400.0 * channel) * n / rate)));
  return frames;
}

TEST_F(Reading, PiecesOfAnySizeMakeTheWholeRecording) {
  for (int rate : {8000, 44100, 6000}) {
    SCOPED_TRACE(rate);
    Write("tones.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, rate, Tones(2, rate, 5.3));
    const Audio whole = ReadAudio(Path("tones.wav"), std::numeric_limits<std::size_t>::max());
    EXPECT_EQ(whole.size(), static_cast<std::size_t>(std::lround(std::lround(5.3 * rate) * 8000.0 / rate)));
    Audio pieces;
    EXPECT_EQ(ReadInPieces(Path("tones.wav"), {1, 7, 1000, 65536, 512}, pieces), "");
    EXPECT_EQ(pieces, whole);
  }
}

TEST(Resampling, InPiecesAsAWhole) {
  // The reader converts in pieces of the file; the result must not depend
  // on where the pieces end.
  std::mt19937 random(3);
  std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
  std::vector<float> input(30011);
  for (float& sample : input) sample = noise(random);
  for (double ratio : {8000.0 / 44100.0, 8000.0 / 6000.0, 1.0 / (1.0 + 100e-6)}) {
    SCOPED_TRACE(ratio);
    const std::vector<float> whole = Resample(input, ratio);
    ASSERT_EQ(whole.size(), static_cast<std::size_t>(std::lround(input.size() * ratio)));
    const std::unique_ptr<Resampler> resampler = MakeResampler(ratio);
    std::vector<float> pieces;
    std::size_t at = 0;
    for (std::size_t size : {0, 1, 2, 5000, 3, 16384}) {
      resampler->Process(input.data() + at, size, false, pieces);
      at += size;
    }
    resampler->Process(input.data() + at, input.size() - at, true, pieces);
    ASSERT_EQ(pieces.size(), whole.size());
    double worst = 0.0;
    for (std::size_t n = 0; n < whole.size(); ++n) worst = std::max(worst, std::fabs(double(pieces[n]) - whole[n]));
    // Float rounding only: a millionth of full scale is 1/30 of a 16-bit step.
    EXPECT_LT(worst, 1e-6);
  }
  EXPECT_THROW(MakeResampler(0.0), CliError);
  EXPECT_THROW(MakeResampler(std::numeric_limits<double>::quiet_NaN()), CliError);
}

TEST_F(Reading, ACutRecordingIsReadAsFarAsItGoesAndSaysHowMuchIsMissing) {
  // 24-bit stereo: 6 bytes a frame; the file keeps 400 whole frames and
  // half of the next of the 1000 its header announces.
  Write("whole.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 8000, Tones(2, 8000, 0.125));
  std::ifstream whole(Path("whole.wav"), std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size(), 44u + 6000u);
  std::ofstream(Path("cut.wav"), std::ios::binary) << bytes.substr(0, 44 + 400 * 6 + 3);
  Audio audio;
  const std::string said = ReadInPieces(Path("cut.wav"), {256}, audio);
  EXPECT_EQ(audio.size(), 400u);
  EXPECT_EQ(said,
            "quillon-cli: '" + Path("cut.wav") + "' is cut short: its header announces 1000 frames (0.12 s), it holds "
            "400 (0.05 s); the 600 frames (0.07 s) missing are left out\n");

  // A header that gives no length (0xFFFFFFFF, from a recorder that streams)
  // is read to the end without a word.
  std::string streamed = bytes;
  streamed.replace(40, 4, "\xFF\xFF\xFF\xFF", 4);
  std::ofstream(Path("streamed.wav"), std::ios::binary) << streamed;
  Audio all;
  EXPECT_EQ(ReadInPieces(Path("streamed.wav"), {4096}, all), "");
  EXPECT_EQ(all.size(), 1000u);
}

TEST_F(Reading, SamplesThatAreNoNumbersAreSilenceAndSaidOnceAtTheEnd) {
  std::vector<float> frames(20000, 0.25f);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  frames[10] = nan;
  frames[19999] = -inf;
  frames[12345] = inf;
  Write("float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 8000, frames);
  Audio audio;
  const std::string said = ReadInPieces(Path("float.wav"), {3000}, audio);
  ASSERT_EQ(audio.size(), 20000u);
  EXPECT_EQ(audio[10], 0);
  EXPECT_EQ(audio[12345], 0);
  EXPECT_EQ(audio[19999], 0);
  EXPECT_EQ(audio[11], 8192);
  EXPECT_EQ(said, "quillon-cli: '" + Path("float.wav") +
                      "' holds 3 samples that are not numbers (NaN or infinite); they are read as silence\n");

  // Converting one is no undefined behaviour either.
  EXPECT_EQ(ToSample(std::nan("")), 0);
  EXPECT_EQ(ToSample(-HUGE_VAL), 0);
  EXPECT_EQ(ToSample(1e12), 32767);
  EXPECT_EQ(ToSample(-32768.4), -32768);
}

long PeakMemoryKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

TEST_F(Reading, ALongRecordingIsReadInBoundedMemory) {
  // 128 MB of 16-bit silence, 2 h 20 min at 8000 Hz, as a sparse file: the
  // header and nothing written after it. Read whole it would take 128 MB as
  // 16-bit samples alone, and more than 600 MB as the doubles and floats it
  // passes through on the way.
  constexpr std::uint32_t kDataBytes = 128u << 20;
  std::string header("RIFF\0\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1F\0\0\x80\x3E\0\0\x02\0\x10\0data", 40);
  for (int shift = 0; shift < 32; shift += 8) header.push_back(static_cast<char>((kDataBytes >> shift) & 0xFF));
  const std::uint32_t riff = kDataBytes + 36;
  for (int shift = 0; shift < 32; shift += 8) header[4 + shift / 8] = static_cast<char>((riff >> shift) & 0xFF);
  std::ofstream(Path("long.wav"), std::ios::binary) << header;
  fs::resize_file(Path("long.wav"), 44 + kDataBytes);

  const long before = PeakMemoryKilobytes();
  AudioReader reader(Path("long.wav"));
  Audio piece;
  std::uint64_t samples = 0;
  for (reader.Read(65536, piece); !piece.empty(); reader.Read(65536, piece)) samples += piece.size();
  EXPECT_EQ(samples, kDataBytes / 2);
  // The pieces take well under a megabyte; 32 MB leaves room for the
  // allocator and the sanitizers, and is a quarter of the samples alone.
  EXPECT_LT(PeakMemoryKilobytes() - before, 32 * 1024);
}

}  // namespace
}  // namespace quillon
