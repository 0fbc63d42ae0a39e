// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/core/ConversionError.h"
#include "converter/core/TargetSize.h"

#include <gtest/gtest.h>

using namespace karvelo::converter;

namespace {

ConverterOptions sizing(SizeMethod method, bool keepAspect, double factor, std::uint32_t pixels) {
  ConverterOptions options;
  options.method = method;
  options.keepAspect = keepAspect;
  options.factor = factor;
  options.pixels = pixels;
  return options;
}

}  // namespace

TEST(TargetSize, EachMethodWithAndWithoutAspect) {
  const PixelSize photo{4000, 3000};
  EXPECT_EQ(targetSize(photo, sizing(SizeMethod::Ratio, true, 0.25, 0)), (PixelSize{1000, 750}));
  EXPECT_EQ(targetSize(photo, sizing(SizeMethod::Ratio, true, 0.1, 0)), (PixelSize{400, 300}));
  EXPECT_EQ(targetSize(photo, sizing(SizeMethod::Ratio, true, 2, 0)), (PixelSize{8000, 6000}));
  EXPECT_EQ(targetSize(photo, sizing(SizeMethod::Height, false, 0, 480)), (PixelSize{4000, 480}));
  EXPECT_EQ(targetSize(photo, sizing(SizeMethod::Height, true, 0, 480)), (PixelSize{640, 480}));
  EXPECT_EQ(targetSize(photo, sizing(SizeMethod::Width, false, 0, 640)), (PixelSize{640, 3000}));
  EXPECT_EQ(targetSize(photo, sizing(SizeMethod::Width, true, 0, 640)), (PixelSize{640, 480}));

  // Rounding to the nearest pixel, half away from zero, and never below one pixel.
  EXPECT_EQ(targetSize({333, 101}, sizing(SizeMethod::Ratio, true, 0.5, 0)), (PixelSize{167, 51}));
  EXPECT_EQ(targetSize({3, 2}, sizing(SizeMethod::Ratio, true, 0.1, 0)), (PixelSize{1, 1}));
  EXPECT_EQ(targetSize({1000, 3}, sizing(SizeMethod::Width, true, 0, 10)), (PixelSize{10, 1}));
  EXPECT_EQ(targetSize({3, 1000}, sizing(SizeMethod::Height, true, 0, 10)), (PixelSize{1, 10}));
  EXPECT_EQ(targetSize({1001, 2}, sizing(SizeMethod::Height, true, 0, 1)), (PixelSize{501, 1}));
}

TEST(TargetSize, RefusesPicturesAndResultsAboveTheLimit) {
  EXPECT_NO_THROW(checkSourceSize({25000, 20000}));
  try {
    checkSourceSize({64000, 64000});
    FAIL();
  } catch (const ConversionError& error) {
    EXPECT_EQ(error.code(), ExitCode::PictureTooLarge);
  }
  try {
    checkSourceSize({0, 10});
    FAIL();
  } catch (const ConversionError& error) {
    EXPECT_EQ(error.code(), ExitCode::DamagedPicture);
  }
  EXPECT_THROW(targetSize({10000, 10000}, sizing(SizeMethod::Ratio, true, 10, 0)), ConversionError);
  EXPECT_THROW(targetSize({1, 1000}, sizing(SizeMethod::Height, true, 0, 1000000)),
               ConversionError);
  EXPECT_EQ(targetSize({1, 1000}, sizing(SizeMethod::Height, true, 0, 100000)),
            (PixelSize{100, 100000}));
  // Sides beyond a million pixels, though under 500 megapixels, in the source or the result.
  EXPECT_THROW(checkSourceSize({1'000'001, 1}), ConversionError);
  EXPECT_THROW(targetSize({10, 10}, sizing(SizeMethod::Width, false, 0, 1'000'001)),
               ConversionError);
}
