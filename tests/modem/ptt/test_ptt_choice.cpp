// SPDX-License-Identifier: GPL-3.0-or-later
// The --ptt and settings-file PTT strings: what each form means, that a
// written choice reads back the same, and that bad input says what is wrong.

#include <gtest/gtest.h>

#include "modem/ptt/PttChoice.h"

namespace quillon {
namespace {

PttChoice Parse(const std::string& text) {
  PttChoice choice;
  std::string error;
  EXPECT_TRUE(ParsePttChoice(text, choice, error)) << text << ": " << error;
  return choice;
}

std::string ErrorOf(const std::string& text) {
  PttChoice choice;
  choice.kind = PttChoice::Kind::kVox;
  std::string error;
  EXPECT_FALSE(ParsePttChoice(text, choice, error)) << text;
  EXPECT_EQ(choice.kind, PttChoice::Kind::kVox) << "a refused choice must leave the old one";
  return error;
}

TEST(PttChoice, EachFormParsesAndReadsBackTheSame) {
  EXPECT_TRUE(Parse("none").KeysNothing());
  EXPECT_TRUE(Parse("vox").KeysNothing());

  const PttChoice rigctld = Parse("rigctld:127.0.0.1:4533");
  EXPECT_EQ(rigctld.kind, PttChoice::Kind::kRigctld);
  EXPECT_EQ(rigctld.host, "127.0.0.1");
  EXPECT_EQ(rigctld.port, 4533);
  EXPECT_EQ(Parse("rigctld:radio.local").port, kDefaultRigctldPort);

  const PttChoice hamlib = Parse("hamlib:3073:/dev/ttyUSB0:19200");
  EXPECT_EQ(hamlib.model, 3073);
  EXPECT_EQ(hamlib.device, "/dev/ttyUSB0");
  EXPECT_EQ(hamlib.speed, 19200);
  EXPECT_EQ(Parse("hamlib:1:COM3").speed, 0);
  // A network rig's port holds ':'; the speed after it keeps its last part.
  const PttChoice network = Parse("hamlib:2:localhost:4532:0");
  EXPECT_EQ(network.device, "localhost:4532");
  EXPECT_EQ(network.speed, 0);

  EXPECT_EQ(Parse("dtr:COM12").kind, PttChoice::Kind::kDtr);
  EXPECT_EQ(Parse("rts:/dev/ttyS0").device, "/dev/ttyS0");

  for (const char* text : {"none", "vox", "rigctld:127.0.0.1:4533", "hamlib:3073:/dev/ttyUSB0:19200",
                           "hamlib:1:COM3", "hamlib:2:localhost:4532:0", "rts:/dev/ttyS0", "dtr:COM12"})
    EXPECT_EQ(FormatPttChoice(Parse(text)), text);
}

TEST(PttChoice, BadInputIsRefusedWithTheReason) {
  EXPECT_NE(ErrorOf("cat:/dev/ttyUSB0").find("rigctld:HOST:PORT"), std::string::npos);  // lists the forms
  EXPECT_NE(ErrorOf("").find("is not one of"), std::string::npos);
  EXPECT_NE(ErrorOf("rigctld:localhost:70000").find("1..65535"), std::string::npos);
  EXPECT_NE(ErrorOf("rigctld:localhost:").find("port"), std::string::npos);
  EXPECT_NE(ErrorOf("rigctld:").find("host"), std::string::npos);
  EXPECT_NE(ErrorOf("hamlib:ic7300:/dev/ttyUSB0").find("model"), std::string::npos);
  EXPECT_NE(ErrorOf("hamlib:3073").find("hamlib:MODEL:PORT"), std::string::npos);
  EXPECT_NE(ErrorOf("hamlib:3073:/dev/ttyUSB0:99999999").find("speed"), std::string::npos);
  EXPECT_NE(ErrorOf("rts:").find("serial port"), std::string::npos);
  EXPECT_NE(ErrorOf("vox:1").find("nothing after"), std::string::npos);
}

}  // namespace
}  // namespace quillon
