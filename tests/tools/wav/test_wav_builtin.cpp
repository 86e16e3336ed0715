// SPDX-License-Identifier: GPL-3.0-or-later
// The tool's built-in WAV codec and resampler (the Windows build's), compiled
// into this program in place of the libsndfile backend and checked against
// libsndfile's and libsamplerate's own results on the same files.

#include <gtest/gtest.h>
#include <samplerate.h>
#include <sndfile.h>

#include <cmath>
#include <complex>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
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
constexpr std::size_t kAnyLength = std::numeric_limits<std::size_t>::max();

// A WAV file's frames mixed to mono, full scale +-1.0, at its own rate.
struct MonoRecording {
  int rate = 0;
  std::vector<float> samples;
};

// The built-in backend's reading of a whole file, in its pieces.
MonoRecording ReadMonoRecording(const std::string& path) {
  const std::unique_ptr<RecordingFile> file = OpenRecording(path);
  MonoRecording recording;
  recording.rate = file->Rate();
  std::vector<float> piece(777);
  for (std::size_t got; (got = file->Read(piece.data(), piece.size())) > 0;)
    recording.samples.insert(recording.samples.end(), piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(got));
  return recording;
}

class WavFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / ("quillon-wav-builtin-" + std::string(info->name()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  void WriteBytes(const std::string& name, const std::string& bytes) const {
    std::ofstream(Path(name), std::ios::binary) << bytes;
  }

  // Writes interleaved frames through libsndfile.
  void WriteWithSndfile(const std::string& name, int format, int channels, int rate,
                        const std::vector<double>& frames) const {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(Path(name).c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    sf_writef_double(file, frames.data(), static_cast<sf_count_t>(frames.size() / static_cast<std::size_t>(channels)));
    sf_close(file);
  }

  // libsndfile's reading, mixed to mono the way the tool mixes.
  MonoRecording ReadWithSndfile(const std::string& name) const {
    SF_INFO info{};
    SNDFILE* file = sf_open(Path(name).c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
    MonoRecording recording;
    if (file == nullptr) return recording;
    recording.rate = info.samplerate;
    std::vector<double> frames(static_cast<std::size_t>(info.frames * info.channels));
    const sf_count_t got = sf_readf_double(file, frames.data(), info.frames);
    sf_close(file);
    for (sf_count_t frame = 0; frame < got; ++frame) {
      double sum = 0.0;
      for (int channel = 0; channel < info.channels; ++channel) sum += frames[static_cast<std::size_t>(frame * info.channels + channel)];
      recording.samples.push_back(static_cast<float>(sum / info.channels));
    }
    return recording;
  }

  std::string ErrorOf(const std::string& path) const {
    try {
      ReadAudio(path, kAnyLength);
    } catch (const CliError& error) {
      return error.what();
    }
    return "<no error>";
  }

  fs::path dir_;
};

// Different tones per channel, a little noise, peaks near -3 dBFS.
std::vector<double> TestFrames(int channels, std::size_t frames) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> noise(-0.05, 0.05);
  std::vector<double> interleaved;
  for (std::size_t n = 0; n < frames; ++n)
    for (int channel = 0; channel < channels; ++channel)
      interleaved.push_back(0.6 * std::sin(2.0 * kPi * (300.0 + 200.0 * channel) * n / 8000.0) + noise(random));
  return interleaved;
}

TEST_F(WavFiles, EveryFormatReadsAsLibsndfileReadsIt) {
  struct Format {
    const char* name;
    int format;
  };
  const Format formats[] = {
      {"u8", SF_FORMAT_WAV | SF_FORMAT_PCM_U8},      {"pcm16", SF_FORMAT_WAV | SF_FORMAT_PCM_16},
      {"pcm24", SF_FORMAT_WAV | SF_FORMAT_PCM_24},   {"pcm32", SF_FORMAT_WAV | SF_FORMAT_PCM_32},
      {"float", SF_FORMAT_WAV | SF_FORMAT_FLOAT},    {"double", SF_FORMAT_WAV | SF_FORMAT_DOUBLE},
      {"x16", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16},   {"x24", SF_FORMAT_WAVEX | SF_FORMAT_PCM_24},
      {"xfloat", SF_FORMAT_WAVEX | SF_FORMAT_FLOAT},
  };
  for (const Format& format : formats) {
    for (int channels : {1, 2, 6}) {
      const std::string name = std::string(format.name) + "-" + std::to_string(channels) + ".wav";
      SCOPED_TRACE(name);
      WriteWithSndfile(name, format.format, channels, 8000, TestFrames(channels, 3001));
      const MonoRecording expected = ReadWithSndfile(name);
      const MonoRecording read = ReadMonoRecording(Path(name));
      EXPECT_EQ(read.rate, 8000);
      ASSERT_EQ(read.samples.size(), 3001u);
      EXPECT_EQ(read.samples, expected.samples);
      // An 8000 Hz file is not resampled: the 16-bit samples come out as they are.
      if (format.format == (SF_FORMAT_WAV | SF_FORMAT_PCM_16) && channels == 1) {
        SNDFILE* file = nullptr;
        SF_INFO info{};
        file = sf_open(Path(name).c_str(), SFM_READ, &info);
        Audio shorts(3001);
        sf_readf_short(file, shorts.data(), 3001);
        sf_close(file);
        EXPECT_EQ(ReadAudio(Path(name), kAnyLength), shorts);
      }
    }
  }
}

TEST_F(WavFiles, ACutRecordingReadsUpToItsLastWholeFrame) {
  WriteWithSndfile("whole.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 8000, TestFrames(2, 1000));
  std::ifstream whole(Path("whole.wav"), std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(whole)), std::istreambuf_iterator<char>());
  WriteBytes("cut.wav", bytes.substr(0, bytes.size() - 1000 * 6 / 2 - 4));  // half the frames and 4 bytes
  const MonoRecording expected = ReadWithSndfile("cut.wav");
  const MonoRecording read = ReadMonoRecording(Path("cut.wav"));
  EXPECT_EQ(OpenRecording(Path("cut.wav"))->AnnouncedFrames(), 1000u);
  EXPECT_EQ(read.samples.size(), 499u);
  EXPECT_EQ(read.samples, expected.samples);
}

TEST_F(WavFiles, TheWriterMakesWhatLibsndfileReadsBack) {
  Audio audio;
  for (int n = 0; n < 5000; ++n) audio.push_back(static_cast<int16_t>((n * 7919) % 65536 - 32768));
  for (int rate : {8000, 44100}) {
    WriteWav16(Path("out.wav"), audio, rate);
    SF_INFO info{};
    SNDFILE* file = sf_open(Path("out.wav").c_str(), SFM_READ, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    EXPECT_EQ(info.samplerate, rate);
    EXPECT_EQ(info.channels, 1);
    EXPECT_EQ(info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    Audio back(audio.size() + 10);
    back.resize(static_cast<std::size_t>(sf_readf_short(file, back.data(), static_cast<sf_count_t>(back.size()))));
    sf_close(file);
    EXPECT_EQ(back, audio);
  }
  EXPECT_EQ(fs::file_size(Path("out.wav")), 44u + 2u * audio.size());
  try {
    WriteWav16(Path("no/such/folder/x.wav"), audio, 8000);
    ADD_FAILURE() << "wrote into a missing folder";
  } catch (const CliError& error) {
    EXPECT_NE(std::string(error.what()).find("cannot write '"), std::string::npos) << error.what();
  }
}

TEST_F(WavFiles, BadFilesGetTheMessagesOfTheLibsndfileBackend) {
  const std::string fmt16 = std::string("fmt \x10\0\0\0\x01\0\x01\0\x40\x1F\0\0\x80\x3E\0\0\x02\0\x10\0", 24);
  auto riff = [](const std::string& chunks) { return std::string("RIFF\0\0\0\0WAVE", 12) + chunks; };
  WriteBytes("notes.wav", "this is a text file, not audio\n");
  WriteBytes("zero.wav", "");
  WriteBytes("nodata.wav", riff(fmt16));
  WriteBytes("empty.wav", riff(fmt16 + std::string("data\0\0\0\0", 8)));
  WriteBytes("noformat.wav", riff(std::string("data\x02\0\0\0\x01\0", 10)));
  // 12-bit samples, no channels, frames of the wrong size, a rate of 100 Hz
  std::string twelve = fmt16, mute = fmt16, misaligned = fmt16, slow = fmt16;
  twelve[22] = 12;
  mute[10] = 0;
  misaligned[20] = 3;
  slow[12] = 100, slow[13] = 0;
  const std::string one_sample = std::string("data\x02\0\0\0\x01\0", 10);
  WriteBytes("twelve.wav", riff(twelve + one_sample));
  WriteBytes("mute.wav", riff(mute + one_sample));
  WriteBytes("misaligned.wav", riff(misaligned + one_sample));
  WriteBytes("slow.wav", riff(slow + one_sample));
  WriteWithSndfile("alaw.wav", SF_FORMAT_WAV | SF_FORMAT_ALAW, 1, 8000, TestFrames(1, 100));
  WriteWithSndfile("flac.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 8000, TestFrames(1, 100));
  struct Case {
    const char* name;
    const char* says;
  };
  const Case cases[] = {
      {"missing.wav", "cannot open '"},
      {"notes.wav", "is not an audio file I can read (Format not recognised.)"},
      {"zero.wav", "is not an audio file I can read (Format not recognised.)"},
      {"nodata.wav", "is not an audio file I can read (no 'data' chunk)"},
      {"empty.wav", "empty.wav' holds no audio"},
      {"noformat.wav", "no 'fmt ' chunk before the 'data' chunk"},
      {"twelve.wav", "with 12 bits"},
      {"mute.wav", "(no channels)"},
      {"misaligned.wav", "frames of 3 bytes for 1 channels of 16 bits"},
      {"slow.wav", "sample rate of 100 Hz"},
      {"alaw.wav", "encoding 0x0006"},
      {"flac.flac", "Format not recognised."},
  };
  for (const Case& c : cases) {
    const std::string message = ErrorOf(Path(c.name));
    EXPECT_NE(message.find(c.says), std::string::npos) << c.name << ": " << message;
  }
}

// A tone near `hz` in the middle eight tenths of the samples: the phase its
// two halves gain against `hz` gives the frequency error, the magnitude the
// peak level.
struct Tone {
  double hz;
  double peak;
};
Tone Measure(const std::vector<float>& samples, double rate, double hz) {
  const std::size_t from = samples.size() / 10, half = samples.size() * 4 / 10;
  std::complex<double> first, second;
  for (std::size_t n = from; n < from + 2 * half; ++n) {
    const std::complex<double> turn = std::polar(1.0, -2.0 * kPi * hz * static_cast<double>(n) / rate);
    (n < from + half ? first : second) += static_cast<double>(samples[n]) * turn;
  }
  const double drift = std::arg(second / first) / (2.0 * kPi * static_cast<double>(half) / rate);
  return {hz + drift, std::abs(first + second) / static_cast<double>(half)};
}

std::vector<float> Sine(double hz, double rate, double seconds, double peak = 0.5) {
  std::vector<float> samples(static_cast<std::size_t>(seconds * rate));
  for (std::size_t n = 0; n < samples.size(); ++n) samples[n] = static_cast<float>(peak * std::sin(2.0 * kPi * hz * n / rate));
  return samples;
}

TEST(BuiltinResampler, TonesKeepTheirFrequencyAndLevelBetweenTheUsualRates) {
  const double rates[][2] = {{44100, 8000}, {48000, 8000}, {8000, 44100}, {8000, 48000}};
  for (const auto& pair : rates) {
    for (double hz : {500.0, 1500.0, 3000.0}) {
      SCOPED_TRACE(std::to_string(pair[0]) + " -> " + std::to_string(pair[1]) + " at " + std::to_string(hz));
      const std::vector<float> input = Sine(hz, pair[0], 1.0);
      const std::vector<float> output = Resample(input, pair[1] / pair[0]);
      EXPECT_EQ(output.size(), static_cast<std::size_t>(std::lround(input.size() * pair[1] / pair[0])));
      const Tone tone = Measure(output, pair[1], hz);
      EXPECT_NEAR(tone.hz, hz, 1e-3 * hz / 1000.0);
      EXPECT_NEAR(20.0 * std::log10(tone.peak / 0.5), 0.0, 0.01);
    }
  }
}

TEST(BuiltinResampler, NothingAbove4000HzFoldsIntoAnEightKilohertzRecording) {
  // 6000 Hz at 44100 samples/s would alias to 2000 Hz.
  const Tone tone = Measure(Resample(Sine(6000.0, 44100.0, 1.0), 8000.0 / 44100.0), 8000.0, 2000.0);
  EXPECT_LT(20.0 * std::log10(tone.peak / 0.5), -90.0);
}

TEST(BuiltinResampler, AgreesWithLibsamplerateSampleForSample) {
  // Several Olivia-band tones; both converters have no delay, so the outputs
  // line up sample for sample.
  std::vector<float> input(44100);
  for (std::size_t n = 0; n < input.size(); ++n)
    input[n] = static_cast<float>(0.3 * std::sin(2.0 * kPi * 700.0 * n / 44100.0) +
                                  0.2 * std::sin(2.0 * kPi * 1531.0 * n / 44100.0 + 1.0) +
                                  0.1 * std::sin(2.0 * kPi * 2480.0 * n / 44100.0 + 2.0));
  for (double ratio : {8000.0 / 44100.0, 44100.0 / 8000.0, 1.0 / (1.0 + 200e-6)}) {
    SCOPED_TRACE(ratio);
    const std::vector<float> ours = Resample(input, ratio);
    std::vector<float> theirs(ours.size() + 64);
    SRC_DATA data{};
    data.data_in = input.data();
    data.input_frames = static_cast<long>(input.size());
    data.data_out = theirs.data();
    data.output_frames = static_cast<long>(theirs.size());
    data.src_ratio = ratio;
    ASSERT_EQ(src_simple(&data, SRC_SINC_BEST_QUALITY, 1), 0);
    double difference = 0.0, power = 0.0;
    for (std::size_t n = ours.size() / 10; n < ours.size() * 9 / 10; ++n) {
      difference += (ours[n] - theirs[n]) * (ours[n] - theirs[n]);
      power += theirs[n] * theirs[n];
    }
    EXPECT_LT(10.0 * std::log10(difference / power), -80.0);
  }
}

TEST_F(WavFiles, AStereoRecordingAt44100HzComesOutAsTheToolsAudio) {
  std::vector<double> frames;
  for (const float sample : Sine(1500.0, 44100.0, 2.0, 0.25)) {
    frames.push_back(2.0 * sample);  // left: the tone at 0.5
    frames.push_back(0.0);           // right: silence, so the mix is at 0.25
  }
  WriteWithSndfile("stereo.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, frames);
  const Audio audio = ReadAudio(Path("stereo.wav"), kAnyLength);
  ASSERT_EQ(audio.size(), 16000u);
  const std::vector<float> samples(audio.begin(), audio.end());
  const Tone tone = Measure(samples, 8000.0, 1500.0);
  EXPECT_NEAR(tone.hz, 1500.0, 0.01);
  EXPECT_NEAR(tone.peak, 0.25 * 32768.0, 0.25 * 32768.0 * 0.002);
}

}  // namespace
}  // namespace quillon
