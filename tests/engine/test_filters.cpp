// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include "engine/BoxFilter.h"
#include "engine/LowPass3Filter.h"

namespace quillon {
namespace {

TEST(BoxFilter, SumsTheLastLengthInputs) {
  BoxFilter<double, double> box;
  box.Length = 3;
  ASSERT_EQ(box.Preset(), 0);
  const double expected[] = {1, 3, 6, 9, 12};
  for (int i = 0; i < 5; ++i) {
    box.Process(i + 1.0);
    EXPECT_DOUBLE_EQ(box.Sum, expected[i]);
  }
  EXPECT_EQ(box.TapIndex, 2u);
}

TEST(BoxFilter, PresetClearsAndAcceptsShorterAndLongerLengths) {
  BoxFilter<double, double> box;
  box.Length = 4;
  ASSERT_EQ(box.Preset(), 0);
  for (int i = 0; i < 6; ++i) box.Process(5.0);
  box.Length = 2;  // shorter: the taps it has are reused
  ASSERT_EQ(box.Preset(), 0);
  EXPECT_EQ(box.Sum, 0.0);
  box.Process(1.0);
  box.Process(2.0);
  box.Process(4.0);
  EXPECT_DOUBLE_EQ(box.Sum, 6.0);
  box.Length = 8;  // longer: reallocated, all taps zero
  ASSERT_EQ(box.Preset(), 0);
  for (int i = 0; i < 7; ++i) box.Process(1.0);
  EXPECT_DOUBLE_EQ(box.Sum, 7.0);
  box.Process(1.0);
  box.Process(1.0);
  EXPECT_DOUBLE_EQ(box.Sum, 8.0);
}

TEST(LowPass3Filter, StepsAndConvergesAsTheIntegratorOfTheSynchroniser) {
  LowPass3_Filter<double> filter;
  filter = 0;
  filter.Process(1.0, 0.25, 0.1);
  EXPECT_DOUBLE_EQ(filter.Stage1, 0.5);
  EXPECT_DOUBLE_EQ(filter.Stage2, 0.0);
  EXPECT_DOUBLE_EQ(filter.Stage3, 0.0);
  filter.Process(1.0, 0.25, 0.1);
  EXPECT_DOUBLE_EQ(filter.Stage1, 0.75);
  EXPECT_DOUBLE_EQ(filter.Stage2, 0.25);
  EXPECT_DOUBLE_EQ(filter.Stage3, 0.0);
  // Third step: the feedback term enters the middle stage.
  filter.Process(1.0, 0.25, 0.1);
  EXPECT_DOUBLE_EQ(filter.Stage1, 0.875);
  EXPECT_DOUBLE_EQ(filter.Stage3, 0.125);
  EXPECT_DOUBLE_EQ(filter.Stage2, 0.25 + 0.5 * 0.5 + 0.1 * (0.5 * 0.25));
  for (int i = 0; i < 200; ++i) filter.Process(1.0, 0.25, 0.1);
  EXPECT_NEAR(filter.Stage1, 1.0, 1e-12);
  EXPECT_NEAR(filter.Stage2, 1.0, 1e-12);
  EXPECT_NEAR(filter.Stage3, 1.0, 1e-12);
  filter = 3;
  EXPECT_EQ(filter.Stage1, 3.0);
  EXPECT_EQ(filter.Stage2, 3.0);
  EXPECT_EQ(filter.Stage3, 3.0);
}

}  // namespace
}  // namespace quillon
