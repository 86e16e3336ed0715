#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "engine/SoftDecoder.h"
#include "engine/SoftDecoderBank.h"

namespace quillon {
namespace {

using Decoder = MFSK_SoftDecoder<double, double>;

// Two rows of decoders fed the same soft values: one decoded alone, one by
// the bank. Every character and both figures must agree to the bit, or the
// receiver's decisions would change.
void ExpectSameAsAlone(unsigned bits, bool reduced, unsigned count, unsigned symbols, unsigned seed) {
  SCOPED_TRACE(testing::Message() << "bits " << bits << " reduced " << reduced << " count " << count);
  std::vector<Decoder> alone(count), banked(count);
  for (std::vector<Decoder>* row : {&alone, &banked})
    for (Decoder& decoder : *row) {
      decoder.BitsPerSymbol = bits;
      decoder.ReducedCharset = reduced;
      ASSERT_EQ(decoder.Preset(), 0);
    }
  SoftDecoderBank bank;
  ASSERT_EQ(bank.Preset(count, alone[0].SymbolsPerBlock), 0);
  std::mt19937 random(seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  std::vector<double> soft(bits);
  for (unsigned symbol = 0; symbol < symbols; ++symbol) {
    for (unsigned d = 0; d < count; ++d) {
      for (double& x : soft) x = gauss(random) + ((random() & 1) ? 0.7 : -0.7);
      // Whole values make equal transform outputs common: ties must keep
      // the lower index in every lane.
      if (symbol % 3 == 0)
        for (double& x : soft) x = static_cast<double>(random() % 3) - 1;
      alone[d].Input(soft.data());
      banked[d].Input(soft.data());
      alone[d].Process();
    }
    bank.Process(banked.data());
    for (unsigned d = 0; d < count; ++d) {
      uint64_t want = 0, got = 0;
      alone[d].Output(want);
      banked[d].Output(got);
      ASSERT_EQ(got, want) << "symbol " << symbol << " decoder " << d;
      ASSERT_EQ(banked[d].Signal, alone[d].Signal) << "symbol " << symbol << " decoder " << d;
      ASSERT_EQ(banked[d].NoiseEnergy, alone[d].NoiseEnergy) << "symbol " << symbol << " decoder " << d;
    }
  }
}

TEST(SoftDecoderBank, DecodesEveryRowExactlyAsEachDecoderAlone) {
  for (unsigned bits = 1; bits <= 8; ++bits)
    for (bool reduced : {false, true}) ExpectSameAsAlone(bits, reduced, bits % 2 ? 17 : 7, 80, bits);
  ExpectSameAsAlone(5, false, 1, 70, 99);
  ExpectSameAsAlone(3, false, 13, 70, 98);
}

TEST(SoftDecoderBank, SilentWindowsDecodeToCodeZero) {
  std::vector<Decoder> row(5);
  for (Decoder& decoder : row) {
    decoder.BitsPerSymbol = 4;
    ASSERT_EQ(decoder.Preset(), 0);
  }
  SoftDecoderBank bank;
  ASSERT_EQ(bank.Preset(5, 64), 0);
  bank.Process(row.data());
  for (Decoder& decoder : row) {
    uint64_t word = 1;
    decoder.Output(word);
    EXPECT_EQ(word, 0u);
    EXPECT_EQ(decoder.Signal, 0.0f);
    EXPECT_EQ(decoder.NoiseEnergy, 0.0f);
  }
}

TEST(SoftDecoderBank, RowsOutOfStepAreDecodedOneByOne) {
  std::vector<Decoder> alone(3), banked(3);
  for (std::vector<Decoder>* row : {&alone, &banked})
    for (Decoder& decoder : *row) {
      decoder.BitsPerSymbol = 2;
      ASSERT_EQ(decoder.Preset(), 0);
    }
  const double soft[2] = {0.5, -0.25};
  for (unsigned d = 0; d < 3; ++d)
    for (unsigned k = 0; k <= d; ++k) {
      alone[d].Input(soft);
      banked[d].Input(soft);
    }
  SoftDecoderBank bank;
  ASSERT_EQ(bank.Preset(3, 64), 0);
  bank.Process(banked.data());
  for (unsigned d = 0; d < 3; ++d) {
    alone[d].Process();
    EXPECT_EQ(banked[d].Signal, alone[d].Signal);
    EXPECT_EQ(banked[d].DecodedBlock[0], alone[d].DecodedBlock[0]);
    EXPECT_EQ(banked[d].DecodedBlock[1], alone[d].DecodedBlock[1]);
  }
}

}  // namespace
}  // namespace quillon
