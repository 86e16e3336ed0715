// SPDX-License-Identifier: GPL-3.0-or-later
// The band strip's platform-free pieces: the spectrogram, the waterfall
// picture and its marks, the level meter, the band plan, the strip's texts
// and the window layout with the strip.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "engine/Receiver.h"
#include "modem/Olivia.h"
#include "modem/StationState.h"
#include "shell/BandPlan.h"
#include "shell/Layout.h"
#include "shell/LevelMeter.h"
#include "shell/Spectrogram.h"
#include "shell/StripTexts.h"
#include "shell/Waterfall.h"

namespace quillon {
namespace {

constexpr double kPi = 3.14159265358979323846;

// `seconds` of tones (Hz, amplitude in 16-bit units) plus Gaussian noise of
// the given RMS, rounded and clipped to 16 bits.
std::vector<int16_t> Audio(double seconds, std::vector<std::pair<double, double>> tones, double noise_rms,
                           unsigned seed = 1) {
  std::mt19937 random(seed);
  std::normal_distribution<double> noise(0.0, noise_rms > 0 ? noise_rms : 1.0);
  std::vector<int16_t> samples(static_cast<std::size_t>(seconds * kSampleRateHz));
  for (std::size_t n = 0; n < samples.size(); ++n) {
    double value = noise_rms > 0 ? noise(random) : 0.0;
    for (const auto& [hz, amplitude] : tones) value += amplitude * std::sin(2 * kPi * hz * n / kSampleRateHz);
    samples[n] = static_cast<int16_t>(std::clamp(std::lround(value), -32768L, 32767L));
  }
  return samples;
}

// Feeds the audio block by block as the window does; the lines made.
std::vector<std::vector<float>> Lines(Spectrogram& spectrogram, const std::vector<int16_t>& audio) {
  std::vector<std::vector<float>> lines;
  for (std::size_t at = 0; at + kAudioBlockSamples <= audio.size(); at += kAudioBlockSamples)
    if (spectrogram.Feed(audio.data() + at, kAudioBlockSamples)) lines.push_back(spectrogram.Line());
  return lines;
}

TEST(Spectrogram, TenLinesASecondWithTonesOnTheirBins) {
  Spectrogram spectrogram;
  // 1500 Hz is bin 192 exactly; 1531.25 Hz, one 8/250 tone spacing above,
  // is bin 196. A full-scale sine on a bin reads 0 dB.
  const auto lines = Lines(spectrogram, Audio(10.0, {{1500.0, 16000.0}, {1531.25, 16000.0}}, 0.0));
  EXPECT_EQ(lines.size(), 156u * 512 / 800);  // the 156 whole blocks of 10 s, a line per 800 samples
  const std::vector<float>& line = lines.back();
  const double half_scale_db = 20 * std::log10(16000.0 / 32767.0);
  EXPECT_NEAR(line[192], half_scale_db, 0.1);
  EXPECT_NEAR(line[196], half_scale_db, 0.1);
  // The tones stand apart: the Hann window's sidelobes have fallen by more
  // than 30 dB at the midpoint two bins from each tone.
  EXPECT_LT(line[194], half_scale_db - 30);
  EXPECT_LT(line[100], half_scale_db - 60);
}

TEST(Waterfall, AToneLightsItsColumnOnTheTopRow) {
  Spectrogram spectrogram;
  Waterfall waterfall;
  waterfall.SetBandPlan(BandPlanForMode(101));
  // Noise of RMS 300 (-41 dBFS) and a tone of amplitude 100, 30 dB below the
  // noise in the whole band. In its bin the tone has (100 N / 4)^2, the
  // noise 300^2 N 0.375 on average: 12.7 dB more. The brightest of 360 noise
  // bins (exponentially spread) lies near ln 360 = 5.9 times, 7.7 dB above,
  // the mean, so the tone's column is the brightest.
  for (const auto& line : Lines(spectrogram, Audio(5.0, {{1812.5, 100.0}}, 300.0))) waterfall.AddLine(line);
  const uint32_t* top = waterfall.Pixels();
  const int tone_x = Waterfall::XForFrequency(1812.5, Waterfall::kColumns);
  EXPECT_EQ(tone_x, 232 - Waterfall::kFirstBin);  // 1812.5 Hz is bin 232
  auto brightness = [](uint32_t pixel) { return (pixel >> 16 & 0xFF) + (pixel >> 8 & 0xFF) + (pixel & 0xFF); };
  uint32_t brightest = 0;
  int brightest_x = -1;
  for (int x = 0; x < Waterfall::kColumns; ++x)
    if (top[x] != Waterfall::kBandMark && top[x] != Waterfall::kSearchMark && brightness(top[x]) > brightest) {
      brightest = brightness(top[x]);
      brightest_x = x;
    }
  EXPECT_EQ(brightest_x, tone_x);
  // The noise sits at the floor's colour, darker than the tone.
  EXPECT_LT(brightness(top[20]), brightest);
  // The floor is the noise per bin: RMS 300 spread over 4000 Hz, in bins of
  // 7.8 Hz through a Hann window (noise bandwidth 1.5 bins), relative to a
  // full-scale sine at 32767 N / 4. The median of bin powers averaged over
  // a line's four overlapping FFTs lies between 1.6 dB (one FFT, exponential
  // spread) and 0.4 dB (four independent ones) below their mean.
  const double mean_db = 10 * std::log10(300.0 * 300.0 * 1024 * 0.375 / std::pow(32767.0 * 1024 / 4, 2));
  EXPECT_NEAR(waterfall.NoiseFloorDb(), mean_db - 1.0, 0.6);

  // Later lines push the tone's row down; the newest row is on top.
  const uint32_t tone_colour = top[tone_x];
  int later_lines = 0;
  for (const auto& line : Lines(spectrogram, Audio(0.5, {}, 300.0, 2))) {
    waterfall.AddLine(line);
    ++later_lines;
  }
  ASSERT_GT(later_lines, 0);
  EXPECT_EQ(waterfall.Pixels()[later_lines * Waterfall::kColumns + tone_x], tone_colour);
}

TEST(Waterfall, MarksTheBandAndTheSearchRangeWhereTheScaleSaysTheyAre) {
  Waterfall waterfall;
  const BandPlan plan = BandPlanForMode(101);  // 8/500: 1250..1750 Hz, searched to 1000..2000 Hz
  waterfall.SetBandPlan(plan);
  const std::vector<float> quiet(Spectrogram::kBins, -100.0f);
  waterfall.AddLine(quiet);
  const uint32_t* top = waterfall.Pixels();
  EXPECT_EQ(top[Waterfall::XForFrequency(1250.0, Waterfall::kColumns)], Waterfall::kBandMark);
  EXPECT_EQ(top[Waterfall::XForFrequency(1750.0, Waterfall::kColumns)], Waterfall::kBandMark);
  EXPECT_EQ(top[Waterfall::XForFrequency(1000.0, Waterfall::kColumns)], Waterfall::kSearchMark);
  EXPECT_EQ(top[Waterfall::XForFrequency(2000.0, Waterfall::kColumns)], Waterfall::kSearchMark);
  EXPECT_EQ(std::count(top, top + Waterfall::kColumns, Waterfall::kBandMark), 2);
  // Stretched to any width the scale keeps its order and its ends: 200 Hz
  // and 2800 Hz inside the picture.
  for (int width : {260, 360, 800}) {
    EXPECT_GE(Waterfall::XForFrequency(200.0, width), 0);
    EXPECT_LT(Waterfall::XForFrequency(2800.0, width), width);
    EXPECT_LT(Waterfall::XForFrequency(1250.0, width), Waterfall::XForFrequency(1750.0, width));
  }
  // 4/2000's search range reaches outside the picture: no mark, no crash.
  waterfall.SetBandPlan(BandPlanForMode(98));
  waterfall.AddLine(quiet);
  EXPECT_EQ(std::count(waterfall.Pixels(), waterfall.Pixels() + Waterfall::kColumns, Waterfall::kSearchMark), 0);
}

TEST(LevelMeter, SineLevelsAndVerdicts) {
  LevelMeter meter;
  const auto full = Audio(1.0, {{1000.0, 32767.0}}, 0.0);
  meter.Feed(full.data(), static_cast<int>(full.size()));
  LevelReading reading = meter.Take();
  // A full-scale sine: RMS 1/sqrt(2) of full scale, -3.01 dB; its rounding
  // to 16 bits moves that by far less than 0.05 dB.
  EXPECT_NEAR(reading.rms_dbfs, -3.01, 0.05);
  EXPECT_NEAR(reading.peak_dbfs, 0.0, 0.01);
  EXPECT_EQ(reading.verdict, LevelVerdict::kClipping);

  // A sine peaking at -20 dBFS sits in the good region. The clipped block is
  // still held half a second later; two seconds after it the verdict clears.
  const auto moderate = Audio(2.0, {{1000.0, 3277.0}}, 0.0);
  meter.Feed(moderate.data(), 4000);
  EXPECT_EQ(meter.Take().verdict, LevelVerdict::kClipping);
  meter.Feed(moderate.data() + 4000, 12000);
  reading = meter.Take();
  EXPECT_NEAR(reading.rms_dbfs, -23.01, 0.05);
  EXPECT_NEAR(reading.peak_dbfs, -20.0, 0.01);
  EXPECT_EQ(reading.verdict, LevelVerdict::kGood);

  // Just under the clip level (-1 dBFS is 29204) is no clipping.
  const auto hot = Audio(1.0, {{1000.0, 29000.0}}, 0.0);
  meter.Feed(hot.data(), static_cast<int>(hot.size()));
  EXPECT_EQ(meter.Take().verdict, LevelVerdict::kAcceptable);

  const auto faint = Audio(1.0, {{1000.0, 20.0}}, 0.0);  // -64 dBFS peak
  meter.Feed(faint.data(), static_cast<int>(faint.size()));
  EXPECT_EQ(meter.Take().verdict, LevelVerdict::kTooWeak);
  reading = meter.Take();  // nothing fed: silence, not minus infinity
  EXPECT_EQ(reading.rms_dbfs, LevelMeter::kSilenceDbfs);
  EXPECT_EQ(reading.verdict, LevelVerdict::kTooWeak);
  EXPECT_EQ(LevelMeter::ScaleFraction(0.0), 1.0);
  EXPECT_EQ(LevelMeter::ScaleFraction(LevelMeter::kSilenceDbfs), 0.0);
}

// The plan's search margin is the one the adapter's receiver ends up with,
// for every mode.
TEST(BandPlan, SearchRangeIsTheAdaptersReceiverRange) {
  for (const OliviaMode& mode : kOliviaModes) {
    LinkState link;
    StationState station(link, 8);
    station.diagnostic_output = nullptr;
    const auto adapter = MakeOliviaModem(mode.number, station);
    const auto& receiver = adapter->Receiver();
    const double bin_hz = static_cast<double>(kSampleRateHz) / receiver.Demodulator.SymbolLen;
    const BandPlan plan = BandPlanForMode(mode.number);
    SCOPED_TRACE(mode.label);
    EXPECT_DOUBLE_EQ(plan.search_margin_hz, receiver.SearchMargin * bin_hz);
    EXPECT_DOUBLE_EQ(plan.band_low_hz, 1500.0 - mode.Bandwidth() / 2.0);
    EXPECT_DOUBLE_EQ(plan.search_high_hz, plan.band_high_hz + plan.search_margin_hz);
  }
  // 8/500: 8 bins of 31.25 Hz; 4/2000: only 3 bins of 250 Hz fit below its
  // lowest tone.
  EXPECT_DOUBLE_EQ(BandPlanForMode(101).search_margin_hz, 250.0);
  EXPECT_DOUBLE_EQ(BandPlanForMode(98).search_margin_hz, 750.0);
}

TEST(StripTexts, ReportAndStationLines) {
  SignalReport report;
  report.snr_db = -8.4;
  report.offset_hz = 22.6;
  report.mode_number = 101;
  report.time = 0;
  const std::string text = SignalReportText(report);
  EXPECT_EQ(text.substr(0, 25), "SNR -8 dB  +23 Hz  8/500 ");
  EXPECT_EQ(text.size(), 34u);  // and the time as " hh:mm:ss"
  report.snr_db = -0.4;  // no "-0"
  report.offset_hz = -0.3;
  report.mode_number = 93;
  EXPECT_EQ(SignalReportText(report).substr(0, 25), "SNR 0 dB  +0 Hz  64/250  ");
  report.offset_hz = -117.5;
  EXPECT_NE(SignalReportText(report).find(" -118 Hz "), std::string::npos);

  EXPECT_EQ(StationText(105, "", "USB Audio"),
            "OLIVIA 16/1000   \xC2\xF5\xEE\xE4: \xEF\xEE \xF3\xEC\xEE\xEB\xF7\xE0\xED\xE8\xFE   "
            "\xC2\xFB\xF5\xEE\xE4: USB Audio");
  LevelReading reading;
  reading.rms_dbfs = -23.4;
  EXPECT_EQ(LevelText(reading), "-23 dBFS");
}

bool Inside(const ControlRect& inner, const ControlRect& outer) {
  return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.width <= outer.x + outer.width &&
         inner.y + inner.height <= outer.y + outer.height;
}

bool Overlap(const ControlRect& a, const ControlRect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

// At the smallest window (the menu bar and the status bar take some 50
// pixels of its height, more with large fonts) and the largest, every control
// and every part of the strip lies inside the client area, none overlaps
// another and none has a negative size.
TEST(Layout, StripFitsWithoutOverlapFromTheSmallestToTheLargestWindow) {
  for (const auto& [width, height] : {std::pair{kMinWindowWidth, kMinWindowHeight - 50},
                                     std::pair{kMinWindowWidth, kMinWindowHeight - 70},
                                     std::pair{kMaxWindowWidth, kMaxWindowHeight - 50}}) {
    SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
    const ControlRect client{0, 0, width, height};
    const ControlLayout layout = ComputeWindowLayout(width, height);
    const BandStripLayout strip = ComputeBandStripLayout(layout.band_strip);
    const std::vector<ControlRect> controls{layout.upper_pane, layout.lower_pane, layout.transmit_button,
                                            layout.archive_button, layout.band_strip};
    const std::vector<ControlRect> parts{strip.waterfall,  strip.frequency_scale, strip.report_line,
                                         strip.station_line, strip.meter_bar,   strip.meter_scale,
                                         strip.meter_reading};
    for (std::size_t i = 0; i < controls.size(); ++i) {
      EXPECT_TRUE(Inside(controls[i], client)) << i;
      EXPECT_GT(controls[i].width, 0) << i;
      EXPECT_GT(controls[i].height, 0) << i;
      for (std::size_t j = 0; j < i; ++j) EXPECT_FALSE(Overlap(controls[i], controls[j])) << i << " " << j;
    }
    for (std::size_t i = 0; i < parts.size(); ++i) {
      EXPECT_TRUE(Inside(parts[i], layout.band_strip)) << i;
      EXPECT_GT(parts[i].width, 0) << i;
      for (std::size_t j = 0; j < i; ++j) EXPECT_FALSE(Overlap(parts[i], parts[j])) << i << " " << j;
    }
    // The waterfall shows its 90 rows one to one and is at least 260 wide.
    EXPECT_EQ(strip.waterfall.height, Waterfall::kRows);
    EXPECT_GE(strip.waterfall.width, 260);
  }
  // Above the strip the panes and buttons are laid out as without it.
  const ControlLayout with_strip = ComputeWindowLayout(400, 300 + kBandStripHeight);
  const ControlLayout panes = ComputeControlLayout(400, 300);
  EXPECT_EQ(with_strip.lower_pane.height, panes.lower_pane.height);
  EXPECT_EQ(with_strip.archive_button.y, panes.archive_button.y);
  EXPECT_EQ(with_strip.band_strip.y, 300);
}

}  // namespace
}  // namespace quillon
