// SPDX-License-Identifier: GPL-3.0-or-later
// What the user types: options, mode words and message texts.

#include <gtest/gtest.h>

#include "tools/Args.h"
#include "tools/CliError.h"
#include "tools/ModeArg.h"
#include "tools/TextInput.h"

namespace quillon {
namespace {

TEST(Args, ValuesFlagsAliasesAndPositionals) {
  const Args args({"-m", "8/500", "--snr", "-5", "--json", "-", "in.wav"},
                  {{"mode", 'm', true}, {"snr", 0, true}, {"json", 0, false}});
  EXPECT_EQ(args.Text("mode"), "8/500");
  EXPECT_DOUBLE_EQ(args.Number("snr", 0.0, {-60.0, 60.0, "dB"}), -5.0);  // a negative value is a value, not an option
  EXPECT_TRUE(args.Has("json"));
  EXPECT_FALSE(args.Help());
  EXPECT_EQ(args.Positionals(), (std::vector<std::string>{"-", "in.wav"}));
  EXPECT_EQ(args.Integer("seed", 7, {0, 10}), 7);
  EXPECT_TRUE(Args({"--help"}, {}).Help());
}

TEST(Args, MistakesAreRefused) {
  const std::vector<OptionSpec> options = {{"snr", 0, true}, {"seed", 0, true}};
  EXPECT_THROW(Args({"--bogus"}, options), CliError);
  EXPECT_THROW(Args({"--snr"}, options), CliError);
  EXPECT_THROW(Args({"--snr", "loud"}, options).Number("snr", 0.0, {-60.0, 60.0, "dB"}), CliError);
  EXPECT_THROW(Args({"--seed", "1.5"}, options).Integer("seed", 0, {0, 10}), CliError);
}

std::string NumberError(const std::string& value, const NumberRange& range) {
  try {
    Args({"--snr", value}, {{"snr", 0, true}}).Number("snr", 0.0, range);
  } catch (const CliError& error) {
    return error.what();
  }
  return "<accepted>";
}

std::string IntegerError(const std::string& value, const WholeRange& range) {
  try {
    Args({"--seed", value}, {{"seed", 0, true}}).Integer("seed", 0, range);
  } catch (const CliError& error) {
    return error.what();
  }
  return "<accepted>";
}

TEST(Args, NumbersOutsideTheirRangeOrNoNumbersAtAllAreRefused) {
  const NumberRange snr{-60.0, 60.0, "dB"};
  EXPECT_EQ(NumberError("60", snr), "<accepted>");  // both ends belong to the range
  EXPECT_EQ(NumberError("-60", snr), "<accepted>");
  EXPECT_EQ(NumberError("60.001", snr), "--snr must be within -60..60 dB, not '60.001'");
  EXPECT_EQ(NumberError("1e9", {0.0, 600.0, "s"}), "--snr must be within 0..600 s, not '1e9'");
  EXPECT_EQ(NumberError("5", {1.0, 4.0, ""}), "--snr must be within 1..4, not '5'");
  // strtod reads these, and a NaN passes every range comparison.
  for (const char* word : {"nan", "NAN", "inf", "-infinity", "1e999"})
    EXPECT_EQ(NumberError(word, snr), std::string("--snr wants a number, not '") + word + "'") << word;

  EXPECT_EQ(IntegerError("10", {0, 10}), "<accepted>");
  EXPECT_EQ(IntegerError("-1", {0, 10}), "--seed must be within 0..10, not '-1'");
  // Beyond 64 bits, and 2^32 + 1, which a 32-bit long or int would wrap to 1.
  EXPECT_EQ(IntegerError("99999999999999999999", {0, 10}), "--seed must be within 0..10, not '99999999999999999999'");
  EXPECT_EQ(IntegerError("4294967297", {1, 10000}), "--seed must be within 1..10000, not '4294967297'");
}

TEST(ModeArg, LabelTonesOverBandwidthAndNumberNameTheSameMode) {
  EXPECT_EQ(ParseMode("OLIVIA_8_500").number, 101);
  EXPECT_EQ(ParseMode("olivia_8_500").number, 101);
  EXPECT_EQ(ParseMode("8/500").number, 101);
  EXPECT_EQ(ParseMode("101").number, 101);
  EXPECT_EQ(ParseMode("64/250").number, 93);
  EXPECT_EQ(ParseMode("111").label, std::string("OLIVIA_64_2000"));
  EXPECT_EQ(ParseModes("all").size(), 19u);
  EXPECT_EQ(ParseModes("16/1000").size(), 1u);
  for (const char* wrong : {"", "92", "112", "8/300", "8/", "/500", "OLIVIA_8", "8/500x", "-101", "abc"})
    EXPECT_THROW(ParseMode(wrong), CliError) << wrong;
}

TEST(ModeArg, SymbolLengthsAndBins) {
  EXPECT_EQ(ModeSymbolLen(ParseMode("8/500")), 256);
  EXPECT_EQ(ModeSymbolLen(ParseMode("64/250")), 4096);
  EXPECT_EQ(ModeSymbolLen(ParseMode("4/2000")), 32);
  EXPECT_DOUBLE_EQ(ModeBinHz(ParseMode("8/500")), 31.25);  // half the 62.5 Hz tone spacing
  EXPECT_EQ(ModeBlockSamples(ParseMode("8/500")), 8192);
}

TEST(TextInput, Utf8BecomesCp1251OrNamesTheMissingCharacter) {
  EXPECT_EQ(Utf8ToCp1251Strict("abc"), "abc");
  // "Привет Ёё €№" in cp1251.
  EXPECT_EQ(Utf8ToCp1251Strict("\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82 \xD0\x81\xD1\x91 \xE2\x82\xAC\xE2\x84\x96"),
            "\xCF\xF0\xE8\xE2\xE5\xF2 \xA8\xB8 \x88\xB9");
  EXPECT_EQ(Utf8ToCp1251Strict("a\r\nb"), "a\r\nb");
  try {
    Utf8ToCp1251Strict("ok \xE6\x97\xA5");
    FAIL() << "U+65E5 has no cp1251 code";
  } catch (const CliError& error) {
    EXPECT_STREQ(error.what(), "the character '\xE6\x97\xA5' (U+65E5) has no cp1251 code");
  }
  for (const char* broken : {"\xFF", "\xD0", "a\xE2\x82", "\x80", "\xC3("}) EXPECT_THROW(Utf8ToCp1251Strict(broken), CliError);
}

TEST(TextInput, UpperPaneLimits) {
  EXPECT_THROW(CheckUpperPaneText(""), CliError);
  EXPECT_THROW(CheckUpperPaneText(std::string("a\0b", 3)), CliError);
  // The link's limit, in link bytes: 9989 Latin letters fit, 9990 do not.
  EXPECT_NO_THROW(CheckUpperPaneText(std::string(9989, 'a')));
  EXPECT_THROW(CheckUpperPaneText(std::string(9990, 'a')), CliError);
  // Cyrillic and Latin letters in turn take two link bytes each.
  std::string mixed;
  while (mixed.size() < 4998) mixed += "\xE0" "b";  // "аb"
  EXPECT_THROW(CheckUpperPaneText(mixed), CliError);
  EXPECT_NO_THROW(CheckUpperPaneText(mixed.substr(0, 4994)));
  // The numero sign is dropped by the coder: 9995 bytes code to 9990 link
  // bytes, but the pane hands the link no more than 9994 bytes.
  EXPECT_THROW(CheckUpperPaneText(std::string(9990, 'a') + std::string(5, '\xB9')), CliError);
}

}  // namespace
}  // namespace quillon
