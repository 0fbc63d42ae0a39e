#include "converter/engine/Conversion.h"

#include "converter/core/ConversionError.h"
#include "converter/core/ExifBlock.h"
#include "converter/core/OutputNaming.h"
#include "converter/core/TargetSize.h"
#include "converter/engine/Codec.h"
#include "converter/engine/ConversionSlot.h"
#include "converter/engine/Orientation.h"
#include "converter/engine/Resampler.h"
#include "converter/engine/SafeOutput.h"

#include <algorithm>
#include <cmath>
#include <sys/stat.h>

namespace karvelo::converter {

namespace {

// A JPEG decoded at a reduced scale is then filtered down the rest of the way; decoding at
// least this many times the final size keeps the reduced inverse DCT's softness and block
// edges out of the result.
constexpr double decodeMargin = 2.0;

void checkDestination(const std::string& folder)
{
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        throw ConversionError(ExitCode::WriteFailure,
                              "the destination folder \"" + folder + "\" does not exist");
    }
}

// The smallest stored size a reduced decode may give for the wanted upright result.
PixelSize decodeAtLeast(PixelSize stored, int orientation, PixelSize target)
{
    const PixelSize wanted = uprightSize(target, orientation); // turning is its own inverse in size
    auto side = [](std::uint32_t want, std::uint32_t have) {
        return static_cast<std::uint32_t>(
            std::min<double>(have, std::ceil(want * decodeMargin)));
    };
    return {side(wanted.width, stored.width), side(wanted.height, stored.height)};
}

} // namespace

void convert(const ConverterOptions& options)
{
    const std::string finalPath = outputPath(options);
    if (!options.overwrite && pathExists(finalPath)) {
        throw ConversionError(ExitCode::OutputExists,
                              "\"" + finalPath + "\" already exists and /o was not given");
    }
    checkDestination(options.destFolder);

    const SourceFile source(options.source);
    if (source.size() == 0) {
        throw ConversionError(ExitCode::UnsupportedFormat,
                              "\"" + options.source + "\" is empty");
    }
    const std::optional<PictureFormat> format = detectFormat(source.read(0, 16));
    if (!format) {
        throw ConversionError(ExitCode::UnsupportedFormat,
                              "\"" + options.source +
                                  "\" is not a JPEG, PNG, WebP, BMP, GIF or TIFF picture");
    }
    const std::unique_ptr<Codec> codec = codecFor(*format);
    const PictureHeader header = codec->probe(source);
    checkSourceSize(header.size);
    PixelSize target = targetSize(uprightSize(header.size, header.orientation), options);

    const ConversionSlot slot = ConversionSlot::acquire();
    Picture picture = codec->decode(source, decodeAtLeast(header.size, header.orientation, target));
    // Formats that keep their EXIF data after the pixels tell the orientation only now.
    target = targetSize(uprightSize(header.size, picture.orientation), options);
    picture.image = resample(orientUpright(std::move(picture.image), picture.orientation), target);
    picture.orientation = 1;
    if (!picture.exif.empty()) {
        ExifBlock exif(std::move(picture.exif));
        exif.resetOrientation();
        exif.setPixelDimensions(target.width, target.height);
        picture.exif = exif.bytes();
    }
    const std::vector<std::uint8_t> bytes = codec->encode(picture);
    writeSafely(finalPath, bytes, options.overwrite);
}

} // namespace karvelo::converter
