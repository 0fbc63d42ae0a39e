// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/RuntimeError.h"
#include "resize_job/NumberText.h"

#include <gtest/gtest.h>

using namespace karvelo;
using namespace karvelo::resize_job;

TEST(NumberText, ReadsWhatTheConversionAcceptsAndNothingElse) {
  struct Case {
    const char* text;
    char separator;
    double value;
  };
  // clang-format off
  const Case accepted[] = {
      {"480", '.', 480},     {"  25 ", '.', 25},   {"\t7", '.', 7},      {"12.5", '.', 12.5},
      {"-5", '.', -5},       {"+5", '.', 5},       {".5", '.', 0.5},     {"5.", '.', 5},
      {"1e3", '.', 1000},    {"1E-2", '.', 0.01},  {"2.5e+1", '.', 25},  {"12,5", ',', 12.5},
      {"00", '.', 0},        {" -0,25 ", ',', -0.25},
  };
  for (const Case& c : accepted) {
    SCOPED_TRACE(c.text);
    EXPECT_TRUE(isNumeric(c.text, c.separator));
    EXPECT_DOUBLE_EQ(textToDouble(c.text, c.separator), c.value);
  }
  const Case rejected[] = {
      {"", '.', 0},      {" ", '.', 0},     {"ab", '.', 0},    {"2a", '.', 0},   {"a2", '.', 0},
      {".", '.', 0},     {"-", '.', 0},     {"1.2.3", '.', 0}, {"1e", '.', 0},   {"1e+", '.', 0},
      {"12,5", '.', 0},  {"12.5", ',', 0},  {"1 2", '.', 0},   {"--1", '.', 0},  {"1e999", '.', 0},
      {"0x10", '.', 0},  {"inf", '.', 0},   {"nan", '.', 0},   {"5 %", '.', 0},
  };
  // clang-format on
  for (const Case& c : rejected) {
    SCOPED_TRACE(c.text);
    EXPECT_FALSE(isNumeric(c.text, c.separator));
    EXPECT_THROW(textToDouble(c.text, c.separator), RuntimeError);
  }
}

TEST(NumberText, WritesTheGeneralFormWithoutALeadingZero) {
  EXPECT_EQ(doubleToText(0.25, '.'), ".25");
  EXPECT_EQ(doubleToText(0.1, '.'), ".1");
  EXPECT_EQ(doubleToText(0.5, '.'), ".5");
  EXPECT_EQ(doubleToText(0.85, '.'), ".85");
  EXPECT_EQ(doubleToText(0.25, ','), ",25");
  EXPECT_EQ(doubleToText(-0.5, '.'), "-.5");
  EXPECT_EQ(doubleToText(0.0, '.'), "0");
  EXPECT_EQ(doubleToText(1.0, '.'), "1");
  EXPECT_EQ(doubleToText(12.5, '.'), "12.5");
  EXPECT_EQ(doubleToText(1.0 / 3.0, '.'), ".333333333333333");
  EXPECT_EQ(doubleToText(123456789012345.0, '.'), "123456789012345");
  EXPECT_EQ(doubleToText(1e15, '.'), "1E+15");
  EXPECT_EQ(doubleToText(1e-7, '.'), "1E-07");
  // Every ratio of two digits reads back as itself.
  for (int percent = 0; percent < 100; ++percent) {
    const double factor = percent / 100.0;
    EXPECT_EQ(textToDouble(doubleToText(factor, '.'), '.'), factor) << percent;
  }
}
