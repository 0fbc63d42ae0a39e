// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/core/TargetSize.h"

#include "converter/core/ConversionError.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace karvelo::converter {

namespace {

std::string describe(double width, double height) {
  return std::to_string(static_cast<std::uint64_t>(width)) + " x " +
         std::to_string(static_cast<std::uint64_t>(height));
}

double side(double exact) { return std::max(1.0, std::round(exact)); }

}  // namespace

void checkSourceSize(PixelSize source) {
  if (source.width == 0 || source.height == 0) {
    throw ConversionError(ExitCode::DamagedPicture, "the picture declares no pixels");
  }
  if (source.area() > maxPictureArea) {
    throw ConversionError(ExitCode::PictureTooLarge,
                          "the picture has " + describe(source.width, source.height) +
                              " pixels, more than the limit of 500 megapixels");
  }
  if (std::max(source.width, source.height) > maxPictureSide) {
    throw ConversionError(ExitCode::PictureTooLarge,
                          "the picture has " + describe(source.width, source.height) +
                              " pixels, more than the limit of 1000000 on a side");
  }
}

void checkAllFrames(std::uint64_t pixels, std::uint32_t frames, const char* whose) {
  if (pixels > maxPictureArea) {
    throw ConversionError(ExitCode::PictureTooLarge,
                          std::string("the ")
                              .append(whose)
                              .append("'s ")
                              .append(std::to_string(frames))
                              .append(" frames have ")
                              .append(std::to_string(pixels))
                              .append(" pixels together, more than the limit of 500 megapixels"));
  }
}

PixelSize targetSize(PixelSize source, const ConverterOptions& options) {
  const double width = source.width;
  const double height = source.height;
  double newWidth = width;
  double newHeight = height;
  switch (options.method) {
    case SizeMethod::Ratio:
      newWidth = side(width * options.factor);
      newHeight = side(height * options.factor);
      break;
    case SizeMethod::Height:
      newHeight = options.pixels;
      if (options.keepAspect) {
        newWidth = side(width * options.pixels / height);
      }
      break;
    case SizeMethod::Width:
      newWidth = options.pixels;
      if (options.keepAspect) {
        newHeight = side(height * options.pixels / width);
      }
      break;
  }
  if (newWidth * newHeight > static_cast<double>(maxPictureArea)) {
    throw ConversionError(ExitCode::PictureTooLarge,
                          "the result would have " + describe(newWidth, newHeight) +
                              " pixels, more than the limit of 500 megapixels");
  }
  if (std::max(newWidth, newHeight) > maxPictureSide) {
    throw ConversionError(ExitCode::PictureTooLarge,
                          "the result would have " + describe(newWidth, newHeight) +
                              " pixels, more than the limit of 1000000 on a side");
  }
  return {static_cast<std::uint32_t>(newWidth), static_cast<std::uint32_t>(newHeight)};
}

}  // namespace karvelo::converter
