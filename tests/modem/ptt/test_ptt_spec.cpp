// The --ptt and settings-file PTT strings: what each form means, that a
// written spec reads back the same, and that bad input says what is wrong.

#include <gtest/gtest.h>

#include "modem/ptt/PttSpec.h"

namespace quillon {
namespace {

PttSpec Parse(const std::string& text) {
  PttSpec spec;
  std::string error;
  EXPECT_TRUE(ParsePttSpec(text, spec, error)) << text << ": " << error;
  return spec;
}

std::string ErrorOf(const std::string& text) {
  PttSpec spec;
  spec.kind = PttSpec::Kind::kVox;
  std::string error;
  EXPECT_FALSE(ParsePttSpec(text, spec, error)) << text;
  EXPECT_EQ(spec.kind, PttSpec::Kind::kVox) << "a refused spec must leave the old one";
  return error;
}

TEST(PttSpec, EachFormParsesAndReadsBackTheSame) {
  EXPECT_TRUE(Parse("none").KeysNothing());
  EXPECT_TRUE(Parse("vox").KeysNothing());

  const PttSpec rigctld = Parse("rigctld:127.0.0.1:4533");
  EXPECT_EQ(rigctld.kind, PttSpec::Kind::kRigctld);
  EXPECT_EQ(rigctld.host, "127.0.0.1");
  EXPECT_EQ(rigctld.port, 4533);
  EXPECT_EQ(Parse("rigctld:radio.local").port, kDefaultRigctldPort);

  const PttSpec hamlib = Parse("hamlib:3073:/dev/ttyUSB0:19200");
  EXPECT_EQ(hamlib.model, 3073);
  EXPECT_EQ(hamlib.device, "/dev/ttyUSB0");
  EXPECT_EQ(hamlib.speed, 19200);
  EXPECT_EQ(Parse("hamlib:1:COM3").speed, 0);
  // A network rig's port holds ':'; the speed after it keeps its last part.
  const PttSpec network = Parse("hamlib:2:localhost:4532:0");
  EXPECT_EQ(network.device, "localhost:4532");
  EXPECT_EQ(network.speed, 0);

  EXPECT_EQ(Parse("dtr:COM12").kind, PttSpec::Kind::kDtr);
  EXPECT_EQ(Parse("rts:/dev/ttyS0").device, "/dev/ttyS0");

  for (const char* text : {"none", "vox", "rigctld:127.0.0.1:4533", "hamlib:3073:/dev/ttyUSB0:19200",
                           "hamlib:1:COM3", "hamlib:2:localhost:4532:0", "rts:/dev/ttyS0", "dtr:COM12"})
    EXPECT_EQ(FormatPttSpec(Parse(text)), text);
}

TEST(PttSpec, BadInputIsRefusedWithTheReason) {
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
