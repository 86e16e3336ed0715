// SPDX-License-Identifier: GPL-3.0-or-later
// The readable settings file: what is read, what is written back, and that
// nothing the program does not understand is lost or fatal.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "shell/StationConfig.h"
#include "tests/support/TempHome.h"

namespace quillon {
namespace {

std::string ReadText(const TempHome& home) {
  const std::vector<unsigned char> bytes = home.Read(kStationConfigFileName);
  return std::string(bytes.begin(), bytes.end());
}

TEST(StationConfig, SavedSettingsComeBackAndForeignLinesSurvive) {
  TempHome home;
  const std::string path = home.File(kStationConfigFileName);
  const std::string original =
      "# my station\n"
      "output_device = USB Audio CODEC: Audio (hw:1,0)\n"
      "future_key = keep me = exactly\n"
      "\n"
      "ptt = vox\n";
  home.Write(kStationConfigFileName, std::vector<unsigned char>(original.begin(), original.end()));

  StationConfig config = StationConfig::Load(path);
  EXPECT_EQ(config.GetOr("future_key", ""), "keep me = exactly");  // only the first '=' separates
  EXPECT_EQ(config.GetOr("output_device", ""), "USB Audio CODEC: Audio (hw:1,0)");
  ASSERT_TRUE(config.Set(config_key::kPtt, "rigctld:127.0.0.1:4532"));
  ASSERT_TRUE(config.Set(config_key::kPttLeadMs, "80"));
  ASSERT_TRUE(config.Set("callsign", "Р3ФЫВ"));  // Cyrillic text stays UTF-8
  std::string error;
  ASSERT_TRUE(config.Save(path, &error)) << error;
  EXPECT_FALSE(home.Exists("quillon.conf.new"));  // the temporary file was renamed over the old one

  // The comment, the blank line and the unknown key stay where they were;
  // the changed key is changed in place, new keys come at the end.
  EXPECT_EQ(ReadText(home),
            "# my station\n"
            "output_device = USB Audio CODEC: Audio (hw:1,0)\n"
            "future_key = keep me = exactly\n"
            "\n"
            "ptt = rigctld:127.0.0.1:4532\n"
            "ptt_lead_ms = 80\n"
            "callsign = Р3ФЫВ\n");
  const StationConfig again = StationConfig::Load(path);
  EXPECT_EQ(again.GetInt(config_key::kPttLeadMs, 50, 0, 2000), 80);
  EXPECT_EQ(again.GetOr("callsign", ""), "Р3ФЫВ");
}

TEST(StationConfig, DamagedLinesAreIgnoredWithAWarningAndKept) {
  std::vector<std::string> warnings;
  const std::string text =
      "\xEF\xBB\xBFptt = dtr:/dev/ttyUSB0\r\n"  // byte-order mark and CRLF from a Windows editor
      "just some words\n"
      "bad key = 1\n"
      " = 2\n"
      "latin1 = caf\xE9\n"
      "ptt_tail_ms = lots\n"
      "ptt_tail_ms = 30\n";  // the last line of a key counts
  const StationConfig config = StationConfig::FromText(text, &warnings);
  EXPECT_EQ(config.GetOr(config_key::kPtt, ""), "dtr:/dev/ttyUSB0");
  EXPECT_EQ(config.GetInt(config_key::kPttTailMs, 0, 0, 2000, &warnings), 30);
  ASSERT_EQ(warnings.size(), 4u);
  EXPECT_NE(warnings[0].find("line 2"), std::string::npos) << warnings[0];
  EXPECT_NE(warnings[3].find("line 5"), std::string::npos) << warnings[3];
  EXPECT_FALSE(config.Get("latin1").has_value());
  // Written back, the damaged lines are still there for the operator to mend.
  EXPECT_NE(config.ToText().find("just some words\nbad key = 1\n = 2\nlatin1 = caf\xE9\n"), std::string::npos);
}

TEST(StationConfig, NumbersOutOfRangeAndRefusedValuesFallBack) {
  std::vector<std::string> warnings;
  StationConfig config = StationConfig::FromText("ptt_lead_ms = -5\ntx_time_limit_s = 99999999999999999999\n");
  EXPECT_EQ(config.GetInt(config_key::kPttLeadMs, 50, 0, 2000, &warnings), 50);
  EXPECT_EQ(config.GetInt(config_key::kTxTimeLimitS, 600, 0, 86400, &warnings), 600);
  EXPECT_EQ(config.GetInt("absent", 7, 0, 10, &warnings), 7);  // absent is no fault
  EXPECT_EQ(warnings.size(), 2u);
  // A line break or a bad key could not be read back as the same setting.
  EXPECT_FALSE(config.Set("ptt", "none\nptt = vox"));
  EXPECT_FALSE(config.Set("two words", "x"));
  config.Remove(config_key::kPttLeadMs);
  EXPECT_EQ(config.ToText(), "tx_time_limit_s = 99999999999999999999\n");
}

TEST(StationConfig, MissingFileIsEmptyAndUnwritablePlaceIsReported) {
  TempHome home;
  std::vector<std::string> warnings;
  const StationConfig config = StationConfig::Load(home.File(kStationConfigFileName), &warnings);
  EXPECT_TRUE(warnings.empty());
  EXPECT_FALSE(config.Get(config_key::kPtt).has_value());
  std::string error;
  EXPECT_FALSE(config.Save(home.File("no-such-folder/quillon.conf"), &error));
  EXPECT_NE(error.find("cannot be created"), std::string::npos) << error;
}

}  // namespace
}  // namespace quillon
