// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/engine/Picture.h"

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace karvelo::converter::testing {

using Rgb = std::array<std::uint8_t, 3>;

inline constexpr Rgb red{220, 30, 30};
inline constexpr Rgb green{30, 200, 40};
inline constexpr Rgb blue{30, 40, 220};
inline constexpr Rgb white{250, 250, 250};

// Four plain quadrants: top left, top right, bottom left, bottom right.
Image quadrants(PixelSize size, const std::array<Rgb, 4>& colors,
                ColorModel model = ColorModel::Rgb);

// A smooth colour ramp with a diagonal edge, in the given colour model.
Image ramp(PixelSize size, ColorModel model);

// Detail in every direction (waves of 16 to 41 pixels) over a diagonal edge, so that a
// result shifted by a fraction of a pixel shows.
Image texture(PixelSize size, ColorModel model);

// Text-like: black letters of one-pixel strokes on white, as in a screenshot.
Image textLike(PixelSize size);

// Photo-like: smooth light and colour, textures of several sizes, sharp edges and a little grain.
Image photoLike(PixelSize size);

// A little-endian EXIF block with the orientation, an EXIF directory holding the date the picture
// was taken, and, when asked, a second directory that points at a (token) thumbnail.
std::vector<std::uint8_t> exifBlock(std::uint16_t orientation, bool thumbnail = false);

// The date an EXIF block holds in its EXIF directory; empty when there is none.
std::string exifDate(const std::vector<std::uint8_t>& exif);

// Whether an EXIF block links a second directory (the thumbnail's).
bool linksThumbnail(const std::vector<std::uint8_t>& exif);

// Peak signal-to-noise ratio of two images of one size and model, in dB.
double psnr(const Image& a, const Image& b);

// Whether this platform's codecs write the format (WebP is missing from some Windows systems).
bool platformWrites(PictureFormat format);

// Writes the picture through the converter's own encoders. This and readPicture go through the
// platform's codecs, so they link only with converter_test_support.
void writePicture(const std::filesystem::path& path, const Picture& picture, PictureFormat format);

// Reads a picture whole, at full scale.
Picture readPicture(const std::filesystem::path& path);

// One frame of an animation or one page, whole, as the platform's decoder delivers it.
struct Frame {
  Image image;
  std::uint32_t delayMs = 0;
  int disposal = 0;
};

// Every frame or page of a picture, and how often an animation plays (none: no loop count).
struct Frames {
  std::vector<Frame> frames;
  std::optional<std::uint32_t> loops;
};
Frames readFrames(const std::filesystem::path& path);

// A folder for a Resize to 480 rows with the prefix "t" in which four of seven pictures fail:
// a.jpg, b.jpg and c.jpg are good; cut.png is cut in half; exists.jpg's result "texists.jpg" is
// already in `dest`; killed.jpg is the one whose converter a test kills; note.jpg is text.
void writePicturesThatPartlyFail(const std::filesystem::path& source,
                                 const std::filesystem::path& dest);
// The message that names those four failures, with the converter's log.
std::string partlyFailedMessage(const std::string& converterLog);

// The image resized with the converter's resampler, all rows at once.
Image resized(const Image& image, PixelSize target);

// The colour at the centre of a quadrant (0 top left, 1 top right, 2 bottom left, 3 bottom right).
Rgb quadrantColor(const Image& image, int quadrant);

// The peak signal-to-noise ratio between two pictures of one size and model, in decibels.
double psnr(const Image& a, const Image& b);

// Whether two colours differ by at most `tolerance` in every channel.
bool near(const Rgb& a, const Rgb& b, int tolerance = 40);

}  // namespace karvelo::converter::testing
