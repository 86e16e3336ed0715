// SPDX-License-Identifier: GPL-3.0-or-later
// quillon-cli end to end: the built program run as a user runs it, through
// files and pipes.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "engine/ModeTable.h"

namespace quillon {
namespace {

namespace fs = std::filesystem;

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

// A folder of its own per test, so the tests may run in parallel.
class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::path(QUILLON_CLI_WORK) / (std::string(info->test_suite_name()) + "." + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }

  fs::path Path(const std::string& name) const { return dir_ / name; }

  // Runs a shell command line in the test's folder; "CLI" stands for the
  // program.
  RunResult Shell(const std::string& line) const {
    std::string command = line;
    for (std::size_t at = command.find("CLI"); at != std::string::npos; at = command.find("CLI", at))
      command.replace(at, 3, std::string("'") + QUILLON_CLI + "'");
    const std::string full = "cd '" + dir_.string() + "' && { " + command + " ; } >out.txt 2>err.txt";
    RunResult run;
    const int raw = std::system(full.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = ReadFile(Path("out.txt"));
    run.err = ReadFile(Path("err.txt"));
    return run;
  }

  // A command line that must be refused with status 2, one line on standard
  // error saying `says`, and nothing on standard output.
  struct Refusal {
    const char* line;
    const char* says;
  };
  void ExpectRefusedInOneLine(const std::vector<Refusal>& cases) const {
    for (const Refusal& c : cases) {
      const RunResult run = Shell(c.line);
      EXPECT_EQ(run.status, 2) << c.line;
      EXPECT_EQ(Lines(run.err).size(), 1u) << c.line << ": " << run.err;
      EXPECT_NE(run.err.find(c.says), std::string::npos) << c.line << ": " << run.err;
      EXPECT_EQ(run.out, "") << c.line;
    }
  }

  static std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
  }

  fs::path dir_;
};

// "Тест 1, test!" in UTF-8 and its cp1251 bytes.
const char kText[] = "\xD0\xA2\xD0\xB5\xD1\x81\xD1\x82 1, test!";
const char kTextHex[] = "D2E5F1F220312C207465737421";

// The raw value of a field of a flat JSON object: a string with its quotes,
// or a number or literal.
std::string JsonField(const std::string& json, const std::string& name) {
  const std::string key = "\"" + name + "\":";
  std::size_t at = json.find(key);
  if (at == std::string::npos) return "<missing>";
  at += key.size();
  std::size_t end = at;
  if (json[at] == '"') {
    for (end = at + 1; end < json.size() && json[end] != '"'; ++end)
      if (json[end] == '\\') ++end;
    return json.substr(at, end + 1 - at);
  }
  end = json.find_first_of(",}", at);
  return json.substr(at, end - at);
}

// "<prefix>GOOD  CRC X = X  verified  mm:ss.cc  SNR N dB  +N Hz  <text>" with
// the same X twice.
bool IsGoodLine(const std::string& line, const std::string& text, const std::string& prefix = "") {
  const std::string head = prefix + "GOOD  CRC ";
  if (line.rfind(head, 0) != 0) return false;
  std::size_t at = head.size();
  const std::size_t digits = line.find_first_not_of("0123456789ABCDEF", at);
  if (digits == at || digits == std::string::npos) return false;
  const std::string check = line.substr(at, digits - at);
  at = digits;
  const std::string middle = " = " + check + "  verified  ";
  if (line.compare(at, middle.size(), middle) != 0) return false;
  at += middle.size();
  const std::string clock = line.substr(at, 8);
  if (clock.size() != 8 || clock[2] != ':' || clock[5] != '.') return false;
  at += 8;
  if (line.compare(at, 6, "  SNR ") != 0) return false;
  at = line.find(" dB  ", at + 6);
  if (at == std::string::npos) return false;
  at = line.find(" Hz  ", at + 5);
  return at != std::string::npos && line.substr(at + 3) == "  " + text;
}

TEST_F(Cli, EveryModeEncodesAndDecodesTheTextExactly) {
  for (const OliviaMode& mode : kOliviaModes) {
    SCOPED_TRACE(mode.label);
    const std::string wav = std::string(mode.label) + ".wav";
    ASSERT_EQ(Shell("CLI encode -m " + std::string(mode.label) + " -t '" + kText + "' -o " + wav).status, 0);
    const RunResult plain = Shell("CLI decode -m " + std::to_string(mode.number) + " " + wav);
    ASSERT_EQ(plain.status, 0) << plain.err;
    const std::vector<std::string> lines = Lines(plain.out);
    ASSERT_EQ(lines.size(), 1u) << plain.out;
    EXPECT_TRUE(IsGoodLine(lines[0], kText)) << lines[0];

    const std::string tones_bandwidth = std::to_string(mode.Tones()) + "/" + std::to_string(mode.Bandwidth());
    const RunResult json = Shell("CLI decode --json -m " + tones_bandwidth + " " + wav);
    ASSERT_EQ(json.status, 0) << json.err;
    ASSERT_EQ(Lines(json.out).size(), 1u) << json.out;
    const std::string& line = json.out;
    EXPECT_EQ(JsonField(line, "mode"), "\"" + std::string(mode.label) + "\"");
    EXPECT_EQ(JsonField(line, "good"), "true");
    EXPECT_EQ(JsonField(line, "expected"), JsonField(line, "received"));
    EXPECT_EQ(JsonField(line, "text"), "\"" + std::string(kText) + "\"");
    EXPECT_EQ(JsonField(line, "text_cp1251_hex"), "\"" + std::string(kTextHex) + "\"");
    const double start = std::stod(JsonField(line, "start_s"));
    const double end = std::stod(JsonField(line, "end_s"));
    EXPECT_GT(start, 0.0);
    EXPECT_LE(start, end);
    EXPECT_NE(JsonField(line, "snr"), "<missing>");
    // On tune: the refined offset within an eighth of the tone spacing.
    EXPECT_NEAR(std::stod(JsonField(line, "freq_offset_hz")), 0.0, double(mode.Bandwidth()) / mode.Tones() / 8.0);
    EXPECT_NE(JsonField(line, "snr_db"), "null");
  }
}

TEST_F(Cli, TextFilesInUtf8OrRawCp1251) {
  {
    std::ofstream utf8(Path("utf8.txt"), std::ios::binary);
    utf8 << kText;
    std::ofstream cp1251(Path("cp1251.txt"), std::ios::binary);
    cp1251 << "\xD2\xE5\xF1\xF2 1, test!";
  }
  for (const char* options : {"-i utf8.txt", "-i cp1251.txt --charset cp1251", "--charset utf8 -i - < utf8.txt"}) {
    const RunResult run = Shell(std::string("CLI encode -m 4/2000 -o x.wav ") + options + " && CLI decode -m 4/2000 x.wav");
    ASSERT_EQ(run.status, 0) << options << ": " << run.err;
    EXPECT_EQ(run.out.substr(run.out.size() - std::string(kText).size() - 1), std::string(kText) + "\n") << options;
  }
}

TEST_F(Cli, ModerateFadingAtMinusFiveDecibelsDelivers8Of500MostOfTheTime) {
  ASSERT_EQ(Shell("CLI encode -m 8/500 -t abc -o sent.wav").status, 0);
  int good = 0;
  for (int seed = 1; seed <= 10; ++seed) {
    const std::string channel =
        "CLI channel sent.wav -o heard.wav --snr -5 --fading moderate --lead 1 --tail 1 --seed " + std::to_string(seed);
    ASSERT_EQ(Shell(channel).status, 0);
    const RunResult decoded = Shell("CLI decode -m 8/500 heard.wav");
    ASSERT_EQ(decoded.status, 0);
    for (const std::string& line : Lines(decoded.out))
      if (IsGoodLine(line, "abc")) ++good;
  }
  EXPECT_GE(good, 8);
}

TEST_F(Cli, AllModesFindTheOneFrameAndOnlyIt) {
  ASSERT_EQ(Shell("CLI encode -m 16/1000 -t 'CQ de Quillon' -o sent.wav --lead 0.5 --tail 0.5").status, 0);
  const RunResult run = Shell("CLI decode -m all sent.wav");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 1u) << run.out;
  EXPECT_TRUE(IsGoodLine(lines[0], "CQ de Quillon", "OLIVIA_16_1000  ")) << lines[0];
  const RunResult json = Shell("CLI decode --json -m all sent.wav");
  ASSERT_EQ(Lines(json.out).size(), 1u) << json.out;
  EXPECT_EQ(JsonField(json.out, "mode_number"), "105");
}

TEST_F(Cli, PipesCarryRawSamples) {
  const RunResult run = Shell("CLI encode -m 8/1000 -t 'pipe line' -o - | CLI channel - -o - --snr 0 --offset 20 --seed 5 | "
                        "CLI decode -m 8/1000 -");
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(IsGoodLine(run.out, "pipe line\n")) << run.out;
  EXPECT_NE(run.err.find("channel: SNR"), std::string::npos) << run.err;
  // The mode-93 line of the adapter must not get into the audio.
  const RunResult slow = Shell("CLI encode -m 93 -t x -o - | CLI decode -m OLIVIA_64_250 -");
  ASSERT_EQ(slow.status, 0);
  EXPECT_TRUE(IsGoodLine(slow.out, "x\n")) << slow.out;
}

// Audio through a pipe that stays open, as from arecord: each frame is on
// standard output while more audio may still come, in one mode and in all.
TEST_F(Cli, ALivePipeShowsEachFrameWhileItIsStillOpen) {
  ASSERT_EQ(Shell("CLI encode -m 8/2000 -t 'live one' --tail 3 -o live.raw").status, 0);
  for (const std::string mode : {"8/2000", "all"}) {
    // The fifo is held open on descriptor 3 until the line appears (at most
    // 60 s, for a sanitizer build on a loaded machine); only what decode
    // printed before the pipe closed counts.
    const RunResult run = Shell(
        "rm -f audio && mkfifo audio && { CLI decode -m " + mode + " - <audio >live.txt & } && exec 3>audio && "
        "cat live.raw >&3 && for i in $(seq 600); do grep -q GOOD live.txt && break; sleep 0.1; done; "
        "cp live.txt seen.txt; exec 3>&-; wait; cat seen.txt");
    EXPECT_NE(run.out.find("live one"), std::string::npos) << mode << ": " << run.out << run.err;
  }
}

// A frame without the check extension (as a station that knows only the
// frame sends it) arrives unverified; back to back with ours, both arrive.
TEST_F(Cli, FramesWithAndWithoutTheCheckExtension) {
  const RunResult run = Shell(
      "{ CLI encode -m 8/2000 -t old --legacy -o - ; CLI encode -m 8/2000 -t new -o - ; } | CLI decode -m 8/2000 -");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 2u) << run.out;
  EXPECT_NE(lines[0].find("  unverified  "), std::string::npos) << lines[0];
  EXPECT_EQ(lines[0].rfind("GOOD  ", 0), 0u) << lines[0];
  EXPECT_TRUE(IsGoodLine(lines[1] + "\n", "new\n")) << lines[1];
}

// Clicks on the way, and the deep receiver at the other end: the channel
// says how many it added, and decode -m all --deep finds the frame, and only
// it, through them (5 a second of 1 ms each touch 0.5 % of the samples).
TEST_F(Cli, ClicksInTheChannelAndTheDeepReceiver) {
  ASSERT_EQ(Shell("CLI encode -m 8/2000 -t 'clicks 73' -o sent.wav --lead 0.5 --tail 0.5").status, 0);
  const RunResult channel = Shell("CLI channel sent.wav -o heard.wav --clicks 5:10 --seed 3");
  ASSERT_EQ(channel.status, 0) << channel.err;
  EXPECT_NE(channel.err.find(" clicks added (5.0 a second asked), peak +10.0 dB over the signal"), std::string::npos)
      << channel.err;
  const RunResult deep = Shell("CLI decode -m all --deep heard.wav");
  ASSERT_EQ(deep.status, 0) << deep.err;
  const std::vector<std::string> lines = Lines(deep.out);
  ASSERT_EQ(lines.size(), 1u) << deep.out;
  EXPECT_TRUE(IsGoodLine(lines[0], "clicks 73", "OLIVIA_8_2000  ")) << lines[0];
}

TEST_F(Cli, ResampledAndStereoRecordingsDecode) {
  ASSERT_EQ(Shell("CLI encode -m 4/500 -t 'rate test' --rate 44100 -o high.wav").status, 0);
  SF_INFO info{};
  SNDFILE* file = sf_open(Path("high.wav").c_str(), SFM_READ, &info);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(info.samplerate, 44100);
  std::vector<short> mono(static_cast<std::size_t>(info.frames));
  sf_readf_short(file, mono.data(), info.frames);
  sf_close(file);
  const RunResult run = Shell("CLI decode -m 4/500 high.wav");
  EXPECT_TRUE(IsGoodLine(run.out, "rate test\n")) << run.out << run.err;

  // Stereo at 44100 Hz, the signal in the left channel only, made here.
  SF_INFO stereo_info{};
  stereo_info.samplerate = 44100;
  stereo_info.channels = 2;
  stereo_info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* stereo = sf_open(Path("stereo.wav").c_str(), SFM_WRITE, &stereo_info);
  ASSERT_NE(stereo, nullptr);
  std::vector<short> frames(mono.size() * 2, 0);
  for (std::size_t n = 0; n < mono.size(); ++n) frames[2 * n] = mono[n];
  sf_writef_short(stereo, frames.data(), static_cast<sf_count_t>(mono.size()));
  sf_close(stereo);
  const RunResult mixed = Shell("CLI decode -m 4/500 stereo.wav");
  EXPECT_TRUE(IsGoodLine(mixed.out, "rate test\n")) << mixed.out << mixed.err;
}

TEST_F(Cli, BadInputIsOneClearLineAndStatusTwo) {
  {
    std::ofstream text(Path("notes.wav"));
    text << "this is a text file, not audio\n";
  }
  SF_INFO info{};
  info.samplerate = 8000;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  sf_close(sf_open(Path("empty.wav").c_str(), SFM_WRITE, &info));
  {
    std::ofstream raw(Path("nothing.raw"));
  }
  {
    // 2^25 samples, 70 minutes, as a sparse file: twice what the channel
    // simulator takes.
    std::ofstream(Path("long.wav"), std::ios::binary)
        << std::string("RIFF\x24\0\0\x04WAVEfmt \x10\0\0\0\x01\0\x01\0\x40\x1F\0\0\x80\x3E\0\0\x02\0\x10\0data\0\0\0\x04", 44);
    fs::resize_file(Path("long.wav"), 44 + (std::uintmax_t{1} << 26));
  }
  const std::vector<Refusal> cases = {
      {"CLI decode -m 8/500 missing.wav", "cannot open 'missing.wav'"},
      {"CLI decode -m 8/500 notes.wav", "not an audio file"},
      {"CLI decode -m 8/500 empty.wav", "holds no audio"},
      {"CLI decode -m 8/500 - < nothing.raw", "standard input holds no audio"},
      {"CLI encode -m 8/500 -t '' -o x.wav", "the text is empty"},
      {"CLI encode -m 7/300 -t abc -o x.wav", "unknown mode '7/300'"},
      {"CLI decode -m OLIVIA_9_500 empty.wav", "unknown mode"},
      {"CLI encode -m 8/500 -t 'caf\xC3\xA9 \xE6\x97\xA5' -o x.wav", "'\xC3\xA9' (U+00E9) has no cp1251 code"},
      {"CLI encode -m 8/500 -t abc", "needs -o"},
      {"CLI channel missing.wav -o x.wav", "cannot open"},
      {"CLI channel long.wav -o x.wav", "'long.wav' lasts more than 2097.15 s, the most this command takes"},
      {"CLI decode -m 8/500 --bogus x.wav", "unknown option '--bogus'"},
      {"CLI frobnicate", "unknown command"},
  };
  ExpectRefusedInOneLine(cases);
  EXPECT_FALSE(fs::exists(Path("x.wav")));
}

TEST_F(Cli, EveryNumberOutsideItsRangeIsOneClearLineAndStatusTwo) {
  // Each case names the option, so a refusal for another reason (a missing
  // input file, say) does not count. Before each of these was refused, some
  // ran out of memory (--lead 1e9), some were taken as they came (--offset
  // 5000, NaN) and some were cut to another value (--trials 2^32 + 1 ran 1).
  const std::vector<Refusal> cases = {
      {"CLI encode -m 8/500 -t abc -o x.wav --lead 1e9", "--lead must be within 0..600 s, not '1e9'"},
      {"CLI encode -m 8/500 -t abc -o x.wav --tail -1", "--tail must be within 0..600 s"},
      {"CLI encode -m 8/500 -t abc -o x.wav --rate 999", "--rate must be within 1000..384000"},
      {"CLI channel missing.wav -o x.wav --offset 5000", "--offset must be within -4000..4000 Hz, not '5000'"},
      {"CLI channel missing.wav -o x.wav --snr nan", "--snr wants a number, not 'nan'"},
      {"CLI channel missing.wav -o x.wav --snr 1e6", "--snr must be within -60..60 dB"},
      {"CLI channel missing.wav -o x.wav --noise-bw 0", "--noise-bw must be within 1..4000 Hz"},
      {"CLI channel missing.wav -o x.wav --drift-ppm 2e5", "--drift-ppm must be within -100000..100000"},
      {"CLI channel missing.wav -o x.wav --lead inf", "--lead wants a number, not 'inf'"},
      {"CLI channel missing.wav -o x.wav --seed -1", "--seed must be within 0.."},
      {"CLI channel missing.wav -o x.wav --clicks 1001", "--clicks: the rate must be within 0..1000 per second"},
      {"CLI channel missing.wav -o x.wav --clicks 20:x", "--clicks wants RATE or RATE:DB"},
      {"CLI bench sensitivity -m 4/2000 --clicks 20:61", "--clicks: the level must be within -60..60 dB"},
      {"CLI demo --snr 1e9", "--snr must be within -60..60 dB"},
      {"CLI demo --lead 1e9", "--lead must be within 0..600 s"},
      {"CLI demo --offset -4001", "--offset must be within -4000..4000 Hz"},
      {"CLI bench sensitivity -m 4/2000 --from 0 --to 0 --trials 4294967297", "--trials must be within 1..10000"},
      {"CLI bench sensitivity -m 4/2000 --from -1e9", "--from must be within -60..60 dB"},
      {"CLI bench sensitivity -m 4/2000 --step 0", "--step must be within 0.01..120 dB"},
      {"CLI bench sensitivity -m 4/2000 --threads 100000", "--threads must be within 1..256"},
      {"CLI bench sensitivity -m 4/2000 --length 2001", "--length must be within 1..2000"},
  };
  ExpectRefusedInOneLine(cases);
}

TEST_F(Cli, TheLongestTextIsTheLongestTheLinkSends) {
  // One frame carries at most 9989 link bytes; a Latin letter takes one,
  // and every change between Latin and Cyrillic one more.
  {
    std::ofstream(Path("fits.txt"), std::ios::binary) << std::string(9989, 'a');
    std::ofstream(Path("latin.txt"), std::ios::binary) << std::string(9990, 'a');
    std::string mixed;
    for (int n = 0; n < 3000; ++n) mixed += "\xD0\xB0" "b";  // "аb": 2 link bytes each
    std::ofstream(Path("mixed.txt"), std::ios::binary) << mixed;
  }
  const RunResult fits = Shell("CLI encode -m 4/2000 -i fits.txt -o fits.wav");
  EXPECT_EQ(fits.status, 0) << fits.err;
  const struct {
    const char* file;
    const char* says;
  } too_long[] = {
      {"latin.txt", "the text has 9990 bytes and codes to 9990 link bytes; one message carries at most 9989"},
      {"mixed.txt", "the text has 6000 bytes and codes to 12000 link bytes; one message carries at most 9989"},
  };
  for (const auto& c : too_long) {
    const RunResult run = Shell(std::string("CLI encode -m 4/2000 -i ") + c.file + " -o x.wav");
    EXPECT_EQ(run.status, 2) << c.file;
    EXPECT_EQ(Lines(run.err).size(), 1u) << c.file << ": " << run.err;
    EXPECT_NE(run.err.find(c.says), std::string::npos) << c.file << ": " << run.err;
  }
  EXPECT_FALSE(fs::exists(Path("x.wav")));
}

TEST_F(Cli, TheModeNinetyThreeLineOnlyWhenAskedFor) {
  ASSERT_EQ(Shell("CLI encode -m 16/1000 -t 'CQ' -o sent.wav").status, 0);
  const RunResult quiet = Shell("CLI decode -m all sent.wav");
  ASSERT_EQ(quiet.status, 0) << quiet.err;
  EXPECT_EQ(quiet.err, "");
  EXPECT_EQ(Lines(quiet.out).size(), 1u) << quiet.out;
  const RunResult verbose = Shell("CLI decode -m all --verbose sent.wav");
  ASSERT_EQ(verbose.status, 0) << verbose.err;
  EXPECT_EQ(verbose.out, quiet.out);
  EXPECT_EQ(verbose.err.rfind("tones ", 0), 0u) << verbose.err;
  const RunResult speed = Shell("CLI bench speed -m 64/250");
  ASSERT_EQ(speed.status, 0) << speed.err;
  EXPECT_EQ((speed.out + speed.err).find("tones"), std::string::npos) << speed.out << speed.err;
}

// The samples of a WAV file written by encode, at full scale +-1.0.
std::vector<float> Samples(const fs::path& path) {
  SF_INFO info{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  std::vector<float> samples(file != nullptr ? static_cast<std::size_t>(info.frames) : 0u);
  if (file != nullptr) sf_readf_float(file, samples.data(), info.frames);
  sf_close(file);
  return samples;
}

TEST_F(Cli, ACutRecordingDecodesWhatItHoldsAndSaysHowMuchIsMissing) {
  ASSERT_EQ(Shell("CLI encode -m 4/2000 -t 'cut here' -o whole.wav").status, 0);
  const std::string whole = ReadFile(Path("whole.wav"));
  const std::size_t frames = (whole.size() - 44) / 2;
  std::ofstream(Path("cut.wav"), std::ios::binary) << whole.substr(0, 44 + 2 * 8000);  // the first second
  const RunResult run = Shell("CLI decode -m 4/2000 cut.wav");
  EXPECT_EQ(run.status, 0) << run.err;
  char says[160];
  std::snprintf(says, sizeof says, "'cut.wav' is cut short: its header announces %zu frames (%.2f s), it holds 8000 (1.00 s)",
                frames, frames / 8000.0);
  EXPECT_NE(run.err.find(says), std::string::npos) << run.err;
  EXPECT_EQ(Lines(run.err).size(), 1u) << run.err;
}

TEST_F(Cli, SamplesThatAreNoNumbersAreSilenceAndSaidOnce) {
  ASSERT_EQ(Shell("CLI encode -m 8/500 -t 'NaN test' --lead 1 -o clean.wav").status, 0);
  std::vector<float> samples = Samples(Path("clean.wav"));
  ASSERT_GT(samples.size(), 8000u);
  // In the lead silence, so that the frame itself is untouched.
  samples[100] = std::numeric_limits<float>::quiet_NaN();
  samples[200] = std::numeric_limits<float>::infinity();
  samples[300] = -std::numeric_limits<float>::infinity();
  SF_INFO info{};
  info.samplerate = 8000;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
  SNDFILE* file = sf_open(Path("nan.wav").c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr);
  sf_writef_float(file, samples.data(), static_cast<sf_count_t>(samples.size()));
  sf_close(file);
  const RunResult run = Shell("CLI decode -m 8/500 nan.wav");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(IsGoodLine(run.out, "NaN test\n")) << run.out;
  EXPECT_EQ(run.err, "quillon-cli: 'nan.wav' holds 3 samples that are not numbers (NaN or infinite); they are read as silence\n");
}

TEST_F(Cli, EverySubcommandHasHelp) {
  for (const char* command : {"encode", "decode", "channel", "bench sensitivity", "bench speed", "demo", "devices"}) {
    const RunResult run = Shell(std::string("CLI ") + command + " --help");
    EXPECT_EQ(run.status, 0) << command;
    EXPECT_EQ(run.out.rfind("usage: quillon-cli " + std::string(command), 0), 0u) << command << ": " << run.out;
  }
}

// Each direction lists the system default first and the program's own two
// devices last, by the names --output and the settings file take.
TEST_F(Cli, DevicesListsBothDirectionsWithTheProgramsOwnDevices) {
  const RunResult run = Shell("CLI devices");
  ASSERT_EQ(run.status, 0) << run.err;
  const std::size_t input = run.out.find("input devices (capture):\n  default ");
  const std::size_t output = run.out.find("output devices (playback):\n  default ");
  ASSERT_EQ(input, 0u) << run.out;
  ASSERT_NE(output, std::string::npos) << run.out;
  for (std::size_t from : {input, output}) {
    const std::size_t loopback = run.out.find("\n  Quillon loopback\n", from);
    EXPECT_NE(loopback, std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("\n  Quillon null (silence)\n", from), loopback + 19) << run.out;
  }
  EXPECT_EQ(Shell("CLI devices --output").out.find("input"), std::string::npos);
  ExpectRefusedInOneLine({{"CLI devices --input --output", "not both"}, {"CLI devices pulse", "no file or name"}});
}

TEST_F(Cli, DemoDeliversTheDefaultMessage) {
  const RunResult run = Shell("CLI demo");
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("lower pane: "), std::string::npos);
  EXPECT_NE(run.out.find("status bar: CRC "), std::string::npos);
  EXPECT_NE(run.out.find("Verdict: DELIVERED"), std::string::npos) << run.out;
}

TEST_F(Cli, SensitivityBenchReportsSharesAndThresholds) {
  const RunResult run = Shell("CLI bench sensitivity -m 4/2000 --from -4 --to 4 --step 8 --trials 2 --length 8 --json");
  ASSERT_EQ(run.status, 0) << run.err;
  ASSERT_EQ(Lines(run.out).size(), 1u) << run.out;
  EXPECT_EQ(JsonField(run.out, "mode"), "\"OLIVIA_4_2000\"");
  EXPECT_NE(run.out.find("{\"snr\":4.00,\"good\":1.0000,\"false_good\":0.0000,\"cer\":0.0000}"), std::string::npos)
      << run.out;
  EXPECT_NE(JsonField(run.out, "snr_90"), "null");
  EXPECT_EQ(run.out.find("held_back"), std::string::npos) << "frames with the extension pass no gate";
  EXPECT_EQ(JsonField(run.out, "deep"), "false");
  EXPECT_EQ(JsonField(run.out, "clicks_per_s"), "0");

  // The deep receiver and clicks are named in what they measured.
  const RunResult deep =
      Shell("CLI bench sensitivity -m 4/2000 --from 4 --to 4 --trials 1 --length 8 --deep --clicks 3:6 --json");
  ASSERT_EQ(deep.status, 0) << deep.err;
  EXPECT_EQ(JsonField(deep.out, "deep"), "true");
  EXPECT_EQ(JsonField(deep.out, "clicks_per_s"), "3");
  EXPECT_EQ(JsonField(deep.out, "click_db"), "6");

  // Without the extension the gate's share is shown: at +4 dB every frame is
  // firm, so nothing is held back and the gate moves no threshold.
  const RunResult legacy =
      Shell("CLI bench sensitivity -m 4/2000 --from 4 --to 4 --trials 2 --length 8 --legacy --json");
  ASSERT_EQ(legacy.status, 0) << legacy.err;
  EXPECT_NE(legacy.out.find("\"cer\":0.0000,\"held_back_right\":0.0000,\"held_back_wrong\":0.0000}"),
            std::string::npos)
      << legacy.out;
  EXPECT_EQ(JsonField(legacy.out, "snr_90_without_gate"), JsonField(legacy.out, "snr_90"));
}

}  // namespace
}  // namespace quillon
