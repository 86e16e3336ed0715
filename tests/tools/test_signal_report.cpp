// SPDX-License-Identifier: GPL-3.0-or-later
// The signal report of decoded frames against the channel simulator that
// made their noise and offset.

#include <gtest/gtest.h>

#include <cmath>

#include "tools/ModeArg.h"
#include "tools/ReportBench.h"

namespace quillon {
namespace {

struct Case {
  const char* mode;
  double snr_db;
  bool check_offset;
};

// The report aims at 1.5 dB and an eighth of a tone spacing. Over 10 trials
// per point (bench report) the spread of snr_db was at most 0.3 dB at these
// points and of the offset at most 0.03 spacings at 0 dB and above, so a
// trial outside the aim is a fault, not bad luck. Near the threshold the
// offset spreads 0.05..0.09 spacings and is left to the benchmark. The
// points cover what once went wrong: in 32/1000 the noise beside the band
// reaches where the rate converter's response falls (1.7 dB too high at
// -10 dB before its response was undone), and in 4/2000 the only noise is
// above 2.8 kHz (15 dB too high).
TEST(SignalReport, MatchesTheChannelSimulatorInSeveralModes) {
  const Case cases[] = {{"8/500", -10.0, false}, {"8/500", 10.0, true},  {"32/1000", -10.0, false},
                        {"32/1000", 0.0, true},  {"4/2000", 0.0, true},   {"64/250", -12.0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.mode) + " at " + std::to_string(c.snr_db) + " dB");
    ReportBenchSettings settings;
    settings.from_db = settings.to_db = c.snr_db;
    settings.trials = 3;
    settings.length = 20;
    settings.threads = 2;
    const std::vector<ReportCurve> curves = MeasureReportCalibration({&ParseMode(c.mode)}, settings);
    ASSERT_EQ(curves.size(), 1u);
    ASSERT_EQ(curves[0].points.size(), 1u);
    const ReportPoint& point = curves[0].points[0];
    EXPECT_EQ(point.measured, point.trials);
    EXPECT_LE(std::fabs(point.snr_error.worst), 1.5);
    if (c.check_offset) {
      EXPECT_LE(std::fabs(point.offset_error.worst), 0.125);
    }
  }
}

}  // namespace
}  // namespace quillon
