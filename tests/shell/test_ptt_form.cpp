// SPDX-License-Identifier: GPL-3.0-or-later
// The "Передатчик" dialog's shared contents: the fields of every keying
// method read back as the same settings, wrong input names its field and
// changes nothing, and OK's saving and the check reach the file and the keyer.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "modem/ptt/PttChoice.h"
#include "shell/PttForm.h"
#include "tests/support/RecordingPtt.h"
#include "tests/support/TempHome.h"

namespace quillon {
namespace {

PttSettings Settings(const std::string& spec_text, int lead_ms = 50, int tail_ms = 20, int limit_s = 0) {
  PttSettings settings;
  std::string error;
  EXPECT_TRUE(ParsePttChoice(spec_text, settings.choice, error)) << spec_text << ": " << error;
  settings.timing.lead = std::chrono::milliseconds(lead_ms);
  settings.timing.tail = std::chrono::milliseconds(tail_ms);
  settings.timing.time_limit = std::chrono::seconds(limit_s);
  return settings;
}

std::string FileText(const TempHome& home, const char* name) {
  std::ifstream file(home.File(name));
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST(PttForm, EveryMethodReadsBackAsTheSameSettings) {
  // A hamlib port holding ':' (a network rig) and vox, which the list shows
  // as "Нет / VOX", are the cases that could change on the way.
  for (const char* text : {"none", "vox", "rigctld:127.0.0.1:4532", "rigctld:radio.local:4000", "hamlib:1:/dev/null",
                           "hamlib:3073:/dev/ttyUSB0:9600", "hamlib:2:localhost:4532:0", "rts:/dev/ttyS0", "dtr:COM3"}) {
    const PttSettings original = Settings(text, 120, 300, 600);
    const PttFormFields fields = FieldsFromSettings(original);
    PttSettings back;
    const std::optional<PttFormError> wrong = SettingsFromFields(fields, true, back);
    ASSERT_FALSE(wrong) << text << ": " << wrong->message;
    EXPECT_EQ(FormatPttChoice(back.choice), text);
    EXPECT_EQ(back.timing.lead.count(), 120) << text;
    EXPECT_EQ(back.timing.tail.count(), 300) << text;
    EXPECT_EQ(back.timing.time_limit.count(), 600) << text;
  }
}

TEST(PttForm, AnotherMethodStartsFromUsableFieldsAndBlanksDoNotCount) {
  PttFormFields fields = FieldsFromSettings(PttSettings{});
  EXPECT_EQ(fields.method, PttMethod::kNone);
  EXPECT_EQ(fields[PttField::kLead], "50");  // the keying's default lead
  // Switching to rigctld offers this computer's rigctld at once.
  fields.method = PttMethod::kRigctld;
  PttSettings settings;
  ASSERT_FALSE(SettingsFromFields(fields, true, settings));
  EXPECT_EQ(FormatPttChoice(settings.choice), "rigctld:127.0.0.1:4532");

  fields.method = PttMethod::kHamlib;
  fields[PttField::kModel] = " 1 ";
  fields[PttField::kRigPort] = "\t/dev/ttyUSB1 ";
  fields[PttField::kSpeed] = "";  // the rig's own speed
  fields[PttField::kLead] = " 75";
  ASSERT_FALSE(SettingsFromFields(fields, true, settings));
  EXPECT_EQ(FormatPttChoice(settings.choice), "hamlib:1:/dev/ttyUSB1");
  EXPECT_EQ(settings.timing.lead.count(), 75);

}

TEST(PttForm, WrongInputNamesItsFieldAndSetsNothing) {
  struct Case {
    PttMethod method;
    PttField field;
    const char* text;
    int row;  // where the message goes
  };
  const int method_row = kPttMethodRow;
  const Case cases[] = {
      {PttMethod::kRigctld, PttField::kHost, "  ", static_cast<int>(PttField::kHost)},
      {PttMethod::kRigctld, PttField::kHost, "my radio", static_cast<int>(PttField::kHost)},
      {PttMethod::kRigctld, PttField::kPort, "0", static_cast<int>(PttField::kPort)},
      {PttMethod::kRigctld, PttField::kPort, "65536", static_cast<int>(PttField::kPort)},
      {PttMethod::kRigctld, PttField::kPort, "45x", static_cast<int>(PttField::kPort)},
      {PttMethod::kHamlib, PttField::kModel, "", static_cast<int>(PttField::kModel)},
      {PttMethod::kHamlib, PttField::kModel, "-1", static_cast<int>(PttField::kModel)},
      {PttMethod::kHamlib, PttField::kRigPort, "", static_cast<int>(PttField::kRigPort)},
      {PttMethod::kHamlib, PttField::kSpeed, "fast", static_cast<int>(PttField::kSpeed)},
      {PttMethod::kRts, PttField::kSerialPort, "", static_cast<int>(PttField::kSerialPort)},
      {PttMethod::kDtr, PttField::kSerialPort, "COM 3", static_cast<int>(PttField::kSerialPort)},
      {PttMethod::kRts, PttField::kLead, "2001", static_cast<int>(PttField::kLead)},  // two seconds at most
      {PttMethod::kRts, PttField::kTail, "-5", static_cast<int>(PttField::kTail)},
      {PttMethod::kRts, PttField::kTimeLimit, "86401", static_cast<int>(PttField::kTimeLimit)},  // a day at most
      {PttMethod::kRts, PttField::kTimeLimit, "", static_cast<int>(PttField::kTimeLimit)},
  };
  for (const Case& c : cases) {
    PttFormFields fields = FieldsFromSettings(Settings("hamlib:1:/dev/null"));
    fields[PttField::kSerialPort] = "/dev/ttyS0";
    fields.method = c.method;
    fields[c.field] = c.text;
    PttSettings settings = Settings("vox", 10, 10, 10);
    const std::optional<PttFormError> wrong = SettingsFromFields(fields, true, settings);
    ASSERT_TRUE(wrong) << PttFieldLabel(c.field) << " '" << c.text << "'";
    EXPECT_EQ(wrong->row, c.row) << wrong->message;
    EXPECT_FALSE(wrong->message.empty());
    EXPECT_EQ(FormatPttChoice(settings.choice), "vox");
    EXPECT_EQ(settings.timing.lead.count(), 10);
  }
  // A wrong field of another method is not this method's business.
  PttFormFields fields = FieldsFromSettings(Settings("dtr:COM3"));
  fields[PttField::kPort] = "nonsense";
  PttSettings settings;
  EXPECT_FALSE(SettingsFromFields(fields, true, settings));

  // Hamlib in a build without it: said at the method list.
  fields = FieldsFromSettings(Settings("hamlib:1:/dev/null"));
  const std::optional<PttFormError> wrong = SettingsFromFields(fields, false, settings);
  ASSERT_TRUE(wrong);
  EXPECT_EQ(wrong->row, method_row);
  EXPECT_NE(std::string(PttMethodLabel(PttMethod::kHamlib, false)), PttMethodLabel(PttMethod::kHamlib, true));
}

TEST(PttForm, ApplyingWritesTheFileKeepingItsOtherLinesAndConfiguresTheKeyer) {
  TempHome home;
  {
    std::ofstream file(home.File("quillon.conf"));
    file << "# the operator's note\noutput_device = hw:CARD=USB,DEV=0\nptt = vox\n";
  }
  PttKeyer keyer;
  std::string error;
  ASSERT_TRUE(ApplyPttSettings(home.Path(), Settings("rigctld:127.0.0.1:4533", 80, 150, 120), keyer, error)) << error;
  const std::string text = FileText(home, "quillon.conf");
  EXPECT_NE(text.find("# the operator's note\noutput_device = hw:CARD=USB,DEV=0\nptt = rigctld:127.0.0.1:4533\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(keyer.Timing().lead.count(), 80);
  EXPECT_EQ(keyer.Timing().time_limit.count(), 120);
  // What was applied is what the next start reads.
  const PttSettings loaded = LoadPttSettings(home.Path());
  EXPECT_EQ(FormatPttChoice(loaded.choice), "rigctld:127.0.0.1:4533");
  EXPECT_EQ(loaded.timing.tail.count(), 150);

  // A quillon.conf that cannot be replaced (a folder of that name, which
  // stops root too): the reason, and the keyer keeps its keying.
  TempHome blocked;
  std::filesystem::create_directory(blocked.File("quillon.conf"));
  error.clear();
  EXPECT_FALSE(ApplyPttSettings(blocked.Path(), Settings("none", 5, 5, 5), keyer, error));
  EXPECT_NE(error.find("quillon.conf"), std::string::npos) << error;
  EXPECT_EQ(keyer.Timing().lead.count(), 80);
}

TEST(PttForm, CheckKeysThroughTheKeyerAndSaysWhatHappened) {
  PttKeyer keyer;
  {
    PttCheck check;
    ASSERT_TRUE(check.Start(keyer, Settings("vox")));
    EXPECT_FALSE(check.Start(keyer, Settings("vox")));  // one at a time
    std::optional<std::string> result;
    while (!(result = check.TakeResult())) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(*result, kPttCheckPassedText);
    EXPECT_TRUE(check.ChangedKeyer());
    EXPECT_FALSE(check.Running());
  }
  // Port 1 on this computer: nothing listens there, the connection is refused.
  PttCheck check;
  ASSERT_TRUE(check.Start(keyer, Settings("rigctld:127.0.0.1:1")));
  std::optional<std::string> result;
  while (!(result = check.TakeResult())) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(result->rfind(kPttCheckFailedPrefix, 0), 0u) << *result;
  EXPECT_GT(result->size(), std::string(kPttCheckFailedPrefix).size() + 5) << "the backend's reason follows";
}

TEST(PttForm, CheckLeavesARadioATransmissionHasKeyedAlone) {
  PttKeyer keyer;
  RecordingPtt::Log log;
  keyer.Configure(std::make_unique<RecordingPtt>(log), PttTiming{std::chrono::milliseconds(0)});
  std::string error;
  ASSERT_TRUE(keyer.KeyForTransmission(error)) << error;
  PttCheck check;
  ASSERT_TRUE(check.Start(keyer, Settings("vox")));
  std::optional<std::string> result;
  while (!(result = check.TakeResult())) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(*result, std::string(kPttCheckFailedPrefix) + kPttCheckWhileKeyedText);
  EXPECT_TRUE(keyer.Keyed());
  EXPECT_TRUE(log.Keyed()) << "the transmission's radio was released by the check";
  EXPECT_FALSE(check.ChangedKeyer()) << "Cancel would give the keyer settings and release the radio";
  keyer.ReleaseNow(ReleaseCause::kExit);
}

}  // namespace
}  // namespace quillon
