// SPDX-License-Identifier: GPL-3.0-or-later
// A picture file of any bytes through the converter's run, held in memory: headers, limits,
// decoding (JPEG, PNG, WebP, GIF, BMP, TIFF), resizing, the turn upright, the metadata and
// encoding. A file is converted or refused as damaged, unsupported or too large, with nothing
// allocated for pixels it only claims; and what the converter writes, it reads back at the size
// it was asked for, upright.
#include "FuzzInput.h"

#include "converter/core/ConversionError.h"
#include "converter/core/TargetSize.h"
#include "converter/engine/Conversion.h"
#include "converter/engine/Orientation.h"
#include "converter/engine/WholePicture.h"
#include "converter/metadata/Headers.h"

#include <array>

using namespace karvelo::converter;
using karvelo::fuzz::require;

namespace {

// Small results, so that a run costs what the source costs: a few ratios and sides, both with
// and without the aspect kept. (The names play no part in a conversion in memory.)
ConverterOptions sizeAsked(std::uint8_t choice) {
  ConverterOptions options;
  constexpr std::array<double, 4> factors{0.01, 0.1, 0.25, 0.5};
  switch (choice % 4) {
    case 0:
    case 1:
      options.method = SizeMethod::Ratio;
      options.factor = factors[choice / 4 % factors.size()];
      break;
    case 2:
      options.method = SizeMethod::Width;
      options.pixels = 1 + choice / 4 % 32;
      options.keepAspect = choice / 128 != 0;
      break;
    default:
      options.method = SizeMethod::Height;
      options.pixels = 1 + choice / 4 % 32;
      options.keepAspect = choice / 128 != 0;
      break;
  }
  return options;
}

constexpr std::uint64_t largestConverted = 1 << 22;

bool isRefusal(ExitCode code) {
  return code == ExitCode::DamagedPicture || code == ExitCode::UnsupportedFormat ||
         code == ExitCode::PictureTooLarge;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  karvelo::fuzz::FuzzInput in(data, size);
  const ConverterOptions options = sizeAsked(in.byte());
  const std::span<const std::uint8_t> file = in.rest();
  const MemorySource source(file);
  const std::optional<PictureFormat> format = detectFormat(source.read(0, formatHeadBytes));
  if (!format) return 0;

  MemorySink result;
  try {
    // Pictures above a few megapixels are read for their headers and limits only: converting one
    // takes seconds under the sanitizers, which would stall the fuzzer. The converter's end-to-end
    // tests convert large pictures, through disk as well.
    if (readHeaders(*format, source).size.area() > largestConverted) return 0;
    convertPicture(source, *format, options, platformCodecs(),
                   [&]() -> ByteSink& { return result; });
  } catch (const ConversionError& error) {
    require(isRefusal(error.code()), error.what());
    return 0;
  }

  const PictureHeaders stored = readHeaders(*format, source);
  const PixelSize asked =
      targetSize(uprightSize(stored.size, stored.metadata.orientation), options);
  const MemorySource written(result.bytes());
  require(detectFormat(written.read(0, formatHeadBytes)) == format, "the result is of the source's format");
  try {
    const Picture again = decodePicture(platformCodecs(), written);
    require(again.image.size == asked, "the result has the size asked for");
    require(again.metadata.orientation == 1, "the result stands upright");
  } catch (const ConversionError& error) {
    require(false, std::string("the converter cannot read its own result: ") + error.what());
  }
  return 0;
}
