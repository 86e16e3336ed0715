// SPDX-License-Identifier: GPL-3.0-or-later
// The block code against its written worked examples, and the round trip
// through the soft-decision decoder.

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "engine/CodeVariant.h"
#include "engine/Encoder.h"
#include "engine/SoftDecoder.h"
#include "tests/engine/HelloBlock.h"

namespace quillon {
namespace {

std::vector<unsigned> Encode(MFSK_Encoder& encoder, const std::string& text) {
  std::vector<uint8_t> block(text.begin(), text.end());
  block.resize(encoder.BitsPerSymbol, 0);
  encoder.EncodeBlock(block.data());
  return std::vector<unsigned>(encoder.SymbolBlock.get(), encoder.SymbolBlock.get() + encoder.SymbolsPerBlock);
}

std::string Digits(const std::vector<unsigned>& symbols) {
  std::string s;
  for (unsigned x : symbols) s += static_cast<char>('0' + x);
  return s;
}

// Both ends of the code must derive the same variant, whatever the owner
// wrote into the fields that Preset sets.
TEST(Encoder, EncoderAndDecoderDeriveTheSameVariant) {
  const struct {
    bool reduced;
    unsigned bits_per_character, symbols_per_block;
    uint64_t code;
  } variants[] = {{false, 7, 64, 0xE257E6D0291574ECULL}, {true, 6, 32, 0xEDB88320ULL}};
  for (const auto& variant : variants) {
    MFSK_Encoder encoder;
    MFSK_SoftDecoder<double> decoder;
    encoder.ReducedCharset = decoder.ReducedCharset = variant.reduced;
    encoder.BitsPerSymbol = decoder.BitsPerSymbol = 3;
    encoder.BitsPerCharacter = decoder.BitsPerCharacter = 2;
    encoder.ScramblingCode = decoder.ScramblingCode = 5;
    ASSERT_EQ(encoder.Preset(), 0);
    ASSERT_EQ(decoder.Preset(), 0);
    EXPECT_EQ(encoder.BitsPerCharacter, variant.bits_per_character);
    EXPECT_EQ(encoder.SymbolsPerBlock, variant.symbols_per_block);
    EXPECT_EQ(encoder.ScramblingCode, variant.code);
    EXPECT_EQ(encoder.Symbols, 8u);
    EXPECT_EQ(decoder.BitsPerCharacter, encoder.BitsPerCharacter);
    EXPECT_EQ(decoder.SymbolsPerBlock, encoder.SymbolsPerBlock);
    EXPECT_EQ(decoder.ScramblingCode, encoder.ScramblingCode);
    EXPECT_EQ(decoder.Symbols, encoder.Symbols);
    EXPECT_EQ(decoder.InputBufferLen, variant.symbols_per_block * 3);
  }
  MFSK_Encoder defaults;
  ASSERT_EQ(defaults.Preset(), 0);
  EXPECT_EQ(defaults.Symbols, 32u);
  EXPECT_EQ(defaults.SymbolsPerBlock, 64u);
  // A symbol is one byte and a decoded block is packed into 64 bits.
  MFSK_SoftDecoder<double> wide;
  wide.BitsPerSymbol = 12;
  ASSERT_EQ(wide.Preset(), 0);
  EXPECT_EQ(wide.BitsPerSymbol, 8u);
}

TEST(Encoder, WorkedExampleHello) {
  MFSK_Encoder encoder;
  ASSERT_EQ(encoder.Preset(), 0);
  const std::vector<unsigned> expected(std::begin(test::kHelloSymbols), std::end(test::kHelloSymbols));
  EXPECT_EQ(Encode(encoder, "Hello"), expected);
  const unsigned gray[8] = {23, 13, 7, 14, 8, 16, 9, 17};
  for (unsigned t = 0; t < 8; ++t) EXPECT_EQ(GrayCode(encoder.SymbolBlock[t]), gray[t]) << t;
}

TEST(Encoder, WorkedExamplesWithTwoBitsPerSymbol) {
  MFSK_Encoder normal;
  normal.BitsPerSymbol = 2;
  ASSERT_EQ(normal.Preset(), 0);
  EXPECT_EQ(Digits(Encode(normal, "Hi")), "2012021232232002311111002310113201011133100331011310311030331000");
  MFSK_Encoder reduced;
  reduced.BitsPerSymbol = 2;
  reduced.ReducedCharset = true;
  ASSERT_EQ(reduced.Preset(), 0);
  EXPECT_EQ(Digits(Encode(reduced, "HI")), "00210220013313300003330222211101");
}

TEST(Encoder, WalshRowOfH) {
  MFSK_Encoder encoder;
  ASSERT_EQ(encoder.Preset(), 0);
  encoder.EncodeCharacter('H');
  for (unsigned t = 0; t < 64; ++t) EXPECT_EQ(encoder.WalshBuffer[t], (t / 8) % 2 ? -1 : 1) << t;
}

TEST(Encoder, CharactersThatShareACode) {
  MFSK_Encoder normal;
  ASSERT_EQ(normal.Preset(), 0);
  EXPECT_EQ(Encode(normal, "\xC8\xE5l\xECo"), Encode(normal, "Hello"));  // eighth bit dropped
  const std::vector<unsigned> zeros = Encode(normal, "");
  EXPECT_NE(zeros, std::vector<unsigned>(64, 0));  // the scrambling sequence shows through

  MFSK_Encoder reduced;
  reduced.ReducedCharset = true;
  ASSERT_EQ(reduced.Preset(), 0);
  EXPECT_EQ(Encode(reduced, "hello"), Encode(reduced, "HELLO"));
  EXPECT_EQ(Encode(reduced, "~~~~~"), Encode(reduced, "?????"));
  EXPECT_EQ(Encode(reduced, "\n\n\n\n\n"), Encode(reduced, std::string(5, '\0')));
}

// Noiseless soft values: +1 for a 0 bit, -1 for a 1 bit.
std::vector<uint8_t> RoundTrip(MFSK_Encoder& encoder, MFSK_SoftDecoder<double>& decoder,
                               const std::vector<uint8_t>& block) {
  encoder.EncodeBlock(block.data());
  std::vector<double> soft(encoder.BitsPerSymbol);
  for (unsigned t = 0; t < encoder.SymbolsPerBlock; ++t) {
    for (unsigned bit = 0; bit < encoder.BitsPerSymbol; ++bit)
      soft[bit] = ((encoder.SymbolBlock[t] >> bit) & 1) ? -1.0 : 1.0;
    decoder.Input(soft.data());
  }
  decoder.Process();
  return std::vector<uint8_t>(decoder.DecodedBlock.get(), decoder.DecodedBlock.get() + decoder.BitsPerSymbol);
}

TEST(Encoder, DecoderReturnsEveryBlockForAllSymbolSizesAndBothVariants) {
  for (bool reduced : {false, true}) {
    for (unsigned bits = 1; bits <= 8; ++bits) {
      MFSK_Encoder encoder;
      encoder.ReducedCharset = reduced;
      encoder.BitsPerSymbol = bits;
      ASSERT_EQ(encoder.Preset(), 0);
      MFSK_SoftDecoder<double> decoder;
      decoder.ReducedCharset = reduced;
      decoder.BitsPerSymbol = bits;
      ASSERT_EQ(decoder.Preset(), 0);
      // Every byte value in every character position, several blocks deep.
      for (unsigned start = 0; start < 256; start += 3) {
        std::vector<uint8_t> block(bits);
        for (unsigned f = 0; f < bits; ++f) block[f] = static_cast<uint8_t>(start + 37 * f);
        const std::vector<uint8_t> decoded = RoundTrip(encoder, decoder, block);
        for (unsigned f = 0; f < bits; ++f) {
          const uint8_t sent = reduced ? ReducedCharsetCharacter(ReducedCharsetCode(block[f])) : (block[f] & 0x7F);
          ASSERT_EQ(decoded[f], sent) << "reduced " << reduced << " bits " << bits << " byte " << unsigned(block[f]);
        }
        ASSERT_FLOAT_EQ(decoder.Signal, static_cast<float>(encoder.SymbolsPerBlock));
        ASSERT_FLOAT_EQ(decoder.NoiseEnergy, 0.0f);
      }
    }
  }
}

}  // namespace
}  // namespace quillon
