// SPDX-License-Identifier: GPL-3.0-or-later
#include "ConverterProcess.h"
#include "TestPictures.h"

#include "converter/core/ExifBlock.h"
#include "converter/core/ExitCode.h"
#include "converter/platform/ConversionSlot.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <set>
#ifndef _WIN32
#include <fcntl.h>
#include <jpeglib.h>
#include <webp/encode.h>
#include <unistd.h>
#include <webp/mux.h>

#include "common/Outcome.h"
#endif
#include <thread>

namespace fs = std::filesystem;
using namespace karvelo::converter;
using namespace karvelo::converter::testing;

namespace {

int code(ExitCode exitCode) { return static_cast<int>(exitCode); }

#ifndef _WIN32
// Writes an RGB image as a progressive JPEG, which the converter's encoder never makes.
void writeProgressiveJpeg(const fs::path& path, const Image& image) {
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  unsigned char* bytes = nullptr;
  unsigned long length = 0;
  jpeg_mem_dest(&info, &bytes, &length);
  info.image_width = image.size.width;
  info.image_height = image.size.height;
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_simple_progression(&info);
  jpeg_start_compress(&info, TRUE);
  for (std::uint32_t y = 0; y < image.size.height; ++y) {
    JSAMPROW row = const_cast<JSAMPROW>(image.pixels.data() + y * image.rowBytes());
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(length));
  std::free(bytes);
}
#endif

// A PNG chunk with its length and checksum.
// The bytes compressed as a zlib stream, as PNG's IDAT and zTXt chunks hold them.
std::string zlibStream(const std::string& bytes) {
  uLongf length = compressBound(static_cast<uLong>(bytes.size()));
  std::string data(length, '\0');
  compress(reinterpret_cast<Bytef*>(data.data()), &length,
           reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uLong>(bytes.size()));
  data.resize(length);
  return data;
}

std::string pngChunk(const std::string& type, const std::string& data) {
  auto bigEndian = [](std::uint32_t n) {
    return std::string{static_cast<char>(n >> 24), static_cast<char>(n >> 16),
                       static_cast<char>(n >> 8), static_cast<char>(n)};
  };
  const std::string body = type + data;
  return bigEndian(static_cast<std::uint32_t>(data.size())) + body +
         bigEndian(static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                                    static_cast<uInt>(body.size()))));
}

// A TIFF of 204 bytes that declares side x side RGB pixels in one strip of 8 bytes.
std::string tinyTiff(std::uint32_t side) {
  std::string tiff("II*\0\x10\0\0\0", 8);
  tiff.resize(16, '\0');
  auto put = [&](std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      tiff += static_cast<char>(value >> (8 * i));
    }
  };
  const std::uint32_t entries[][3] = {{256, 4, side}, {257, 4, side}, {258, 3, 8},
                                      {259, 3, 1},    {262, 3, 2},    {273, 4, 8},
                                      {277, 3, 3},    {278, 4, side}, {279, 4, 8}};
  put(std::size(entries), 2);
  for (const auto& [tag, type, value] : entries) {
    put(tag, 2), put(type, 2), put(1, 4), put(value, 4);
  }
  put(0, 4);
  tiff.resize(204, '\0');
  return tiff;
}

// A gray PNG of 16 bits a sample, every sample `value`, with a pHYs chunk.
std::string deepPng(PixelSize size, std::uint16_t value, const Resolution& density) {
  auto bigEndian = [](std::uint32_t n) {
    return std::string{static_cast<char>(n >> 24), static_cast<char>(n >> 16),
                       static_cast<char>(n >> 8), static_cast<char>(n)};
  };
  std::string rows;
  for (std::uint32_t y = 0; y < size.height; ++y) {
    rows += '\0';  // no filter
    for (std::uint32_t x = 0; x < size.width; ++x) {
      rows += {static_cast<char>(value >> 8), static_cast<char>(value)};
    }
  }
  const std::string data = zlibStream(rows);
  return "\x89PNG\r\n\x1A\n" +
         pngChunk("IHDR",
                  bigEndian(size.width) + bigEndian(size.height) + std::string("\x10\0\0\0\0", 5)) +
         pngChunk("pHYs", bigEndian(density.x) + bigEndian(density.y) +
                              std::string(1, density.unit == Resolution::Unit::Metre ? 1 : 0)) +
         pngChunk("IDAT", data) + pngChunk("IEND", "");
}

// A big-endian gray TIFF of 16 bits a sample, every sample `value`, with its resolution.
std::string deepTiff(PixelSize size, std::uint16_t value, const Resolution& density) {
  std::string tiff("MM\0*", 4);
  auto put = [&](std::uint32_t number, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) {
      tiff += static_cast<char>(number >> (8 * i));
    }
  };
  const std::uint32_t entries = 12;
  const std::uint32_t values = 8 + 2 + 12 * entries + 4;  // the two resolutions
  const std::uint32_t pixels = values + 16;
  const std::uint32_t unit = density.unit == Resolution::Unit::Inch ? 2 : 3;
  const std::uint32_t table[entries][3] = {
      {256, 4, size.width}, {257, 4, size.height}, {258, 3, 16},
      {259, 3, 1},          {262, 3, 1},           {273, 4, pixels},
      {277, 3, 1},          {278, 4, size.height}, {279, 4, size.width * size.height * 2},
      {282, 5, values},     {283, 5, values + 8},  {296, 3, unit}};
  put(8, 4);
  put(entries, 2);
  for (const auto& [tag, type, number] : table) {
    put(tag, 2), put(type, 2), put(1, 4), put(number, type == 3 ? 2 : 4);
    if (type == 3) {
      put(0, 2);
    }
  }
  put(0, 4);
  put(density.x, 4), put(density.xDenominator, 4), put(density.y, 4), put(density.yDenominator, 4);
  for (std::uint32_t i = 0; i < size.width * size.height; ++i) {
    put(value, 2);
  }
  return tiff;
}

// The first sample of a picture, of 8 or 16 bits.
int firstSample(const Image& image) {
  std::uint16_t sample = image.pixels.at(0);
  if (image.bitsPerSample == 16) {
    std::memcpy(&sample, image.pixels.data(), 2);
  }
  return sample;
}

// Little- or big-endian numbers as file bytes.
std::string bigEndian(std::uint32_t n, int bytes) {
  std::string out;
  for (int i = bytes - 1; i >= 0; --i) {
    out += static_cast<char>(n >> (8 * i));
  }
  return out;
}
std::string littleEndian(std::uint32_t n, int bytes) {
  std::string out;
  for (int i = 0; i < bytes; ++i) {
    out += static_cast<char>(n >> (8 * i));
  }
  return out;
}

std::vector<std::uint8_t> asBytes(const std::string& text) { return {text.begin(), text.end()}; }

// A little-endian TIFF of 16-bit samples in 32 x 32 tiles, every sample of channel c
// `values[c]`: gray, or RGB with its samples in separate planes.
std::string tiledTiff(PixelSize size, const std::vector<std::uint16_t>& values) {
  const auto samples = static_cast<std::uint32_t>(values.size());
  const std::uint32_t side = 32;
  const std::uint32_t perPlane = (size.width + side - 1) / side * ((size.height + side - 1) / side);
  const std::uint32_t tiles = perPlane * samples;
  const std::uint32_t tileBytes = side * side * 2;
  const std::uint32_t bitsAt = 8 + 2 + 11 * 12 + 4;
  const std::uint32_t offsetsAt = bitsAt + 8;
  const std::uint32_t dataAt = offsetsAt + 8 * tiles;
  std::string tiff = std::string("II*\0", 4) + littleEndian(8, 4) + littleEndian(11, 2);
  const std::uint32_t entries[][4] = {{256, 4, 1, size.width},
                                      {257, 4, 1, size.height},
                                      {258, 3, samples, samples == 1 ? 16 : bitsAt},
                                      {259, 3, 1, 1},
                                      {262, 3, 1, samples == 1 ? 1U : 2U},
                                      {277, 3, 1, samples},
                                      {284, 3, 1, samples == 1 ? 1U : 2U},
                                      {322, 3, 1, side},
                                      {323, 3, 1, side},
                                      {324, 4, tiles, offsetsAt},
                                      {325, 4, tiles, offsetsAt + 4 * tiles}};
  for (const auto& [tag, type, count, value] : entries) {
    tiff += littleEndian(tag, 2) + littleEndian(type, 2) + littleEndian(count, 4) +
            littleEndian(value, 4);
  }
  tiff += littleEndian(0, 4) + littleEndian(16, 2) + littleEndian(16, 2) + littleEndian(16, 4);
  for (std::uint32_t i = 0; i < tiles; ++i) {
    tiff += littleEndian(dataAt + i * tileBytes, 4);
  }
  for (std::uint32_t i = 0; i < tiles; ++i) {
    tiff += littleEndian(tileBytes, 4);
  }
  for (std::uint32_t i = 0; i < tiles; ++i) {
    for (std::uint32_t j = 0; j < side * side; ++j) {
      tiff += littleEndian(values[i / perPlane], 2);
    }
  }
  return tiff;
}

// The picture's left quarter is fully transparent, its second quarter half transparent (where
// the format holds that), the rest opaque: colour entries 0, 1 and the others of a palette in
// diagonal bands. A palette of two has bands throughout.
int quarterEntry(std::uint32_t x, std::uint32_t y, PixelSize size, int entries) {
  const auto band = static_cast<int>((x + y) / 6);
  if (entries <= 2) {
    return band % 2;
  }
  return x < size.width / 4 ? 0 : x < size.width / 2 ? 1 : 2 + band % (entries - 2);
}

// A palette PNG of `bits` bits an index, quartered as above, with its transparency in tRNS.
std::string palettePng(PixelSize size, int bits) {
  const int entries = 1 << bits;
  std::string palette;
  for (int i = 0; i < entries; ++i) {
    palette += {static_cast<char>(i * 255 / (entries - 1)), static_cast<char>(200 - i * 7),
                static_cast<char>(i % 3 * 100)};
  }
  std::string rows;
  for (std::uint32_t y = 0; y < size.height; ++y) {
    std::string row((size.width * bits + 7) / 8, '\0');
    for (std::uint32_t x = 0; x < size.width; ++x) {
      const std::uint32_t bit = x * static_cast<std::uint32_t>(bits);
      row[bit / 8] = static_cast<char>(row[bit / 8] |
                                       quarterEntry(x, y, size, entries) << (8 - bits - bit % 8));
    }
    rows += '\0' + row;
  }
  const std::string data = zlibStream(rows);
  return "\x89PNG\r\n\x1A\n" +
         pngChunk("IHDR", bigEndian(size.width, 4) + bigEndian(size.height, 4) +
                              static_cast<char>(bits) + std::string("\3\0\0\0", 4)) +
         pngChunk("PLTE", palette) + pngChunk("tRNS", std::string("\0\x80", 2)) +
         pngChunk("IDAT", data) + pngChunk("IEND", "");
}

// A bottom-up bitmap of `bits` bits an index (1, 4 or 8), its pixels as quarterEntry gives them
// (a bitmap's palette has no alpha).
std::string paletteBmp(PixelSize size, int bits, const Resolution& density) {
  const int entries = 1 << bits;
  const std::uint32_t rowBytes = (size.width * static_cast<std::uint32_t>(bits) + 31) / 32 * 4;
  const auto offset = static_cast<std::uint32_t>(14 + 40 + 4 * entries);
  std::string bmp = "BM" + littleEndian(offset + rowBytes * size.height, 4) + littleEndian(0, 4) +
                    littleEndian(offset, 4) + littleEndian(40, 4) + littleEndian(size.width, 4) +
                    littleEndian(size.height, 4) + littleEndian(1, 2) + littleEndian(bits, 2) +
                    littleEndian(0, 4) + littleEndian(rowBytes * size.height, 4) +
                    littleEndian(density.x, 4) + littleEndian(density.y, 4) +
                    littleEndian(0, 4) + littleEndian(0, 4);
  for (int i = 0; i < entries; ++i) {
    bmp += {static_cast<char>(i * 255 / (entries - 1)), static_cast<char>(i * 37),
            static_cast<char>(255 - i * 255 / (entries - 1)), '\0'};
  }
  for (std::uint32_t y = size.height; y-- > 0;) {
    std::string row(rowBytes, '\0');
    for (std::uint32_t x = 0; x < size.width; ++x) {
      const std::uint32_t bit = x * static_cast<std::uint32_t>(bits);
      row[bit / 8] = static_cast<char>(row[bit / 8] |
                                       quarterEntry(x, y, size, entries) << (8 - bits - bit % 8));
    }
    bmp += row;
  }
  return bmp;
}

// How many different pixels a picture has.
std::size_t colorsOf(const Image& image) {
  std::set<std::vector<std::uint8_t>> colors;
  const auto pixelBytes = static_cast<std::size_t>(image.channels());
  for (std::size_t i = 0; i < image.pixels.size(); i += pixelBytes) {
    colors.emplace(image.pixels.begin() + static_cast<std::ptrdiff_t>(i),
                   image.pixels.begin() + static_cast<std::ptrdiff_t>(i + pixelBytes));
  }
  return colors.size();
}

// A JPEG segment: its marker, its length and the payload.
std::string jpegSegment(std::uint8_t marker, const std::string& payload) {
  return std::string{'\xFF', static_cast<char>(marker)} +
         bigEndian(static_cast<std::uint32_t>(payload.size() + 2), 2) + payload;
}

// The JPEG with segments put in after its start and any segments up to the last APP1.
std::string withJpegSegments(std::string jpeg, const std::string& segments) {
  std::size_t pos = 2;
  while (pos + 4 <= jpeg.size() && jpeg[pos] == '\xFF' &&
         (jpeg[pos + 1] == '\xE0' || jpeg[pos + 1] == '\xE1')) {
    pos += 2 + (std::uint8_t(jpeg[pos + 2]) << 8 | std::uint8_t(jpeg[pos + 3]));
  }
  return jpeg.insert(pos, segments);
}

// The PNG with chunks put in after its header.
std::string withPngChunks(std::string png, const std::string& chunks) {
  return png.insert(8 + 25, chunks);
}

// A simple WebP made extended, declaring and holding an XMP packet after its bitstream.
std::string withWebpXmp(const std::string& webp, PixelSize size, const std::string& xmp) {
  const std::string vp8x = "VP8X" + littleEndian(10, 4) + std::string("\x04\0\0\0", 4) +
                           littleEndian(size.width - 1, 3) + littleEndian(size.height - 1, 3);
  std::string body = "WEBP" + vp8x + webp.substr(12) + "XMP " +
                     littleEndian(static_cast<std::uint32_t>(xmp.size()), 4) + xmp;
  if (xmp.size() % 2 != 0) {
    body += '\0';
  }
  return "RIFF" + littleEndian(static_cast<std::uint32_t>(body.size()), 4) + body;
}

using TiffEntries = std::map<std::uint16_t, std::pair<std::uint16_t, std::string>>;

// An uncompressed little-endian TIFF of 8-bit gray or RGB pages, each in one strip with the extra
// entries given as tag, type and value bytes; several pages are marked as pages.
std::string tiffPages(const std::vector<std::pair<Image, TiffEntries>>& pages) {
  std::string tiff = std::string("II*\0", 4) + littleEndian(0, 4);
  std::size_t link = 4;  // where the offset of the next directory goes
  for (auto [page, extra] : pages) {
    const auto channels = static_cast<std::uint32_t>(page.channels());
    const auto pixelsAt = static_cast<std::uint32_t>(tiff.size());
    tiff.append(page.pixels.begin(), page.pixels.end());
    tiff.append(tiff.size() % 2, '\0');
    std::string bits;
    for (std::uint32_t c = 0; c < channels; ++c) {
      bits += littleEndian(8, 2);
    }
    if (pages.size() > 1) {
      extra[254] = {4, littleEndian(2, 4)};
    }
    extra[256] = {4, littleEndian(page.size.width, 4)};
    extra[257] = {4, littleEndian(page.size.height, 4)};
    extra[258] = {3, bits};
    extra[259] = {3, littleEndian(1, 2)};
    extra[262] = {3, littleEndian(channels == 1 ? 1 : 2, 2)};
    extra[273] = {4, littleEndian(pixelsAt, 4)};
    extra[277] = {3, littleEndian(channels, 2)};
    extra[278] = {4, littleEndian(page.size.height, 4)};
    extra[279] = {4, littleEndian(static_cast<std::uint32_t>(page.pixels.size()), 4)};
    const auto directoryAt = static_cast<std::uint32_t>(tiff.size());
    tiff.replace(link, 4, littleEndian(directoryAt, 4));
    const std::uint32_t valuesAt =
        directoryAt + 2 + 12 * static_cast<std::uint32_t>(extra.size()) + 4;
    std::string directory = littleEndian(static_cast<std::uint32_t>(extra.size()), 2);
    std::string values;
    for (const auto& [tag, typed] : extra) {
      const auto& [type, value] = typed;
      const std::uint32_t unit = type == 3 ? 2 : type == 4 ? 4 : 1;
      directory += littleEndian(tag, 2) + littleEndian(type, 2) +
                   littleEndian(static_cast<std::uint32_t>(value.size()) / unit, 4);
      if (value.size() <= 4) {
        directory += value + std::string(4 - value.size(), '\0');
      } else {
        directory += littleEndian(valuesAt + static_cast<std::uint32_t>(values.size()), 4);
        values += value + std::string(value.size() % 2, '\0');
      }
    }
    link = directoryAt + directory.size();
    tiff += directory + littleEndian(0, 4) + values;
  }
  return tiff;
}

// An uncompressed little-endian RGB TIFF of flat gray with the extra entries given as tag, type
// and value bytes.
std::string tiffWith(PixelSize size, TiffEntries extra) {
  Image gray = Image::blank(size, ColorModel::Rgb);
  std::fill(gray.pixels.begin(), gray.pixels.end(), 0x80);
  return tiffPages({{gray, std::move(extra)}});
}

// An XMP packet with the orientation and pixel size in attributes or elements as given, a
// creator, and the padding that lets it be edited in place.
// A GIF whose comments stand right after its global colour table.
std::string withGifComments(std::string gif, const std::vector<std::string>& comments) {
  std::string blocks;
  for (const std::string& comment : comments) {
    blocks += "\x21\xFE";
    for (std::size_t at = 0; at < comment.size(); at += 255) {
      const std::string part = comment.substr(at, 255);
      blocks += static_cast<char>(part.size()) + part;
    }
    blocks += '\0';
  }
  const auto flags = static_cast<std::uint8_t>(gif[10]);
  return gif.insert(13 + ((flags & 0x80) != 0 ? 3u << ((flags & 7) + 1) : 0), blocks);
}

// A GIF's image data uncompressed: each index of 0 to 3 its own 3-bit code, with a clear code
// before every two so that the codes never widen.
std::string gifImageData(const std::vector<std::uint8_t>& indexes) {
  std::string packed;
  std::uint32_t bits = 0;
  int held = 0;
  const auto put = [&](std::uint32_t code) {
    bits |= code << held;
    for (held += 3; held >= 8; held -= 8, bits >>= 8) {
      packed += static_cast<char>(bits & 0xFF);
    }
  };
  for (std::size_t i = 0; i < indexes.size(); ++i) {
    if (i % 2 == 0) {
      put(4);  // clear
    }
    put(indexes[i]);
  }
  put(5);  // end of information
  if (held > 0) {
    packed += static_cast<char>(bits & 0xFF);
  }
  std::string data(1, '\2');  // the minimum code size
  for (std::size_t at = 0; at < packed.size(); at += 255) {
    const std::string part = packed.substr(at, 255);
    data += static_cast<char>(part.size()) + part;
  }
  return data + '\0';
}

// A GIF on a 40 x 30 screen, looping three times, with a comment: a first frame red on its left
// half and clear on its right, kept; a blue frame over the top right, cleared after it shows; a
// green one over the bottom left. Delays of 0.1, 0.5 and 0.3 seconds; entry 0 is transparent.
void writeAnimatedGif(const fs::path& path) {
  std::string gif("GIF89a");
  gif.append(littleEndian(40, 2)).append(littleEndian(30, 2));
  gif.append("\xF1").append(5, '\0');  // four colours, the first black
  for (const Rgb& color : {red, blue, green}) {
    gif.append(color.begin(), color.end());
  }
  gif.append("\x21\xFF\x0BNETSCAPE2.0\x03\x01\x03\0\0", 19);
  struct Part {
    std::uint32_t left, top, width, height, color, delay, disposal;
  };
  for (const Part& part : {Part{0, 0, 40, 30, 1, 10, 1}, Part{20, 0, 20, 15, 2, 50, 2},
                           Part{0, 15, 20, 15, 3, 30, 0}}) {
    gif.append("\x21\xF9\x04").append(1, static_cast<char>(part.disposal << 2 | 1));
    gif.append(littleEndian(part.delay, 2)).append(2, '\0');
    gif.append("\x2C").append(littleEndian(part.left, 2)).append(littleEndian(part.top, 2));
    gif.append(littleEndian(part.width, 2)).append(littleEndian(part.height, 2)).append(1, '\0');
    std::vector<std::uint8_t> indexes;
    for (std::uint32_t y = 0; y < part.height; ++y) {
      for (std::uint32_t x = 0; x < part.width; ++x) {
        // The first frame is clear (entry 0) on its right half.
        indexes.push_back(static_cast<std::uint8_t>(part.color == 1 && x >= 20 ? 0 : part.color));
      }
    }
    gif += gifImageData(indexes);
  }
  std::ofstream(path, std::ios::binary) << withGifComments(gif + ';', {"made by hand"});
}

// Three pages: 40 x 30 red, 20 x 20 gray, 30 x 10 green.
void writeThreePageTiff(const fs::path& path) {
  std::ofstream(path, std::ios::binary)
      << tiffPages({{quadrants({40, 30}, {red, red, red, red}), {}},
                    {Image::blank({20, 20}, ColorModel::Gray), {}},
                    {quadrants({30, 10}, {green, green, green, green}), {}}});
}

#ifndef _WIN32
// A lossless WebP animation of 40 x 30, looping twice: red, blue, then green, for 0.1, 0.5 and
// 0.3 seconds.
void writeAnimatedWebp(const fs::path& path) {
  WebPAnimEncoderOptions options;
  WebPAnimEncoderOptionsInit(&options);
  options.anim_params.loop_count = 2;
  WebPAnimEncoder* encoder = WebPAnimEncoderNew(40, 30, &options);
  WebPConfig config;
  WebPConfigInit(&config);
  config.lossless = 1;
  int shown = 0;
  for (const auto& [color, delay] : {std::pair{red, 100}, {blue, 500}, {green, 300}}) {
    const Image image = quadrants({40, 30}, {color, color, color, color});
    WebPPicture frame;
    WebPPictureInit(&frame);
    frame.use_argb = 1;
    frame.width = 40;
    frame.height = 30;
    WebPPictureImportRGB(&frame, image.pixels.data(), 40 * 3);
    WebPAnimEncoderAdd(encoder, &frame, shown, &config);
    WebPPictureFree(&frame);
    shown += delay;
  }
  WebPAnimEncoderAdd(encoder, nullptr, shown, nullptr);
  WebPData data;
  WebPDataInit(&data);
  WebPAnimEncoderAssemble(encoder, &data);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(data.bytes), static_cast<std::streamsize>(data.size));
  WebPDataClear(&data);
  WebPAnimEncoderDelete(encoder);
}

#endif

std::string xmpPacket(const std::string& properties, const std::string& elements) {
  return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
         "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
         "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
         "rdf:about=\"\" xmlns:tiff=\"http://ns.adobe.com/tiff/1.0/\" "
         "xmlns:exif=\"http://ns.adobe.com/exif/1.0/\" "
         "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" " +
         properties + ">" + elements +
         "<dc:creator><rdf:Seq><rdf:li>Ada Example</rdf:li></rdf:Seq></dc:creator>"
         "</rdf:Description></rdf:RDF></x:xmpmeta>" +
         std::string(200, ' ') + "<?xpacket end=\"w\"?>";
}

// The smallest ICC profile header: its size, version 2.1, a display profile of the colour space,
// the "acsp" signature and no tags. Enough to be carried and recognised.
std::vector<std::uint8_t> iccProfile(const char* colorSpace) {
  std::vector<std::uint8_t> profile(132, 0);
  profile[3] = 132;
  profile[8] = 2;
  profile[9] = 0x10;
  std::copy_n("mntr", 4, profile.begin() + 12);
  std::copy_n(colorSpace, 4, profile.begin() + 16);
  std::copy_n("XYZ ", 4, profile.begin() + 20);
  std::copy_n("acsp", 4, profile.begin() + 36);
  return profile;
}

class ConverterEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder = fs::temp_directory_path() / ("multiconv-e2e-" + processTag() + "-" + info->name());
    removeAll(folder);
    fs::create_directories(folder / "in");
    fs::create_directories(folder / "out");
    converter = std::make_unique<ConverterProcess>(folder / "run");
  }

  void TearDown() override {
    converter->discardSlots();
    removeAll(folder);
  }

  fs::path writeJpeg(const std::string& name, PixelSize size) {
    Picture picture;
    picture.image = ramp(size, ColorModel::Rgb);
    writePicture(folder / "in" / pathOf(name), picture, PictureFormat::Jpeg);
    return folder / "in" / pathOf(name);
  }

  std::size_t filesIn(const fs::path& dir) const {
    return static_cast<std::size_t>(
        std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
  }

  fs::path folder;
  std::unique_ptr<ConverterProcess> converter;
};

}  // namespace

TEST_F(ConverterEndToEnd, EachMethodAndNamingGivesTheRightFileAndSize) {
  const fs::path source = writeJpeg("beach.jpg", {400, 300});
  const fs::path out = folder / "out";
  const std::string head = sourceAndDest(source, out);
  struct Case {
    std::string switches;
    std::string name;
    PixelSize size;
  };
  const std::vector<Case> cases = {
      {" /m:r /r:00.25", "beach.jpg", {100, 75}},
      {" /m:r /r:0,5 /suf:-half", "beach-half.jpg", {200, 150}},
      {" /m:r /r:.1 /pre:t ", "tbeach.jpg", {40, 30}},
      {" /m:r /r:2 /pre:big ", "bigbeach.jpg", {800, 600}},
      {" /m:h /h:120 /pre:h ", "hbeach.jpg", {400, 120}},
      {" /m:hr /h:120 /pre:hr  /suf:-small", "hrbeach-small.jpg", {160, 120}},
      {R"( /m:w /w:80  /pre:"my  pic"  /suf:"-x y")", "my  picbeach-x y.jpg", {80, 300}},
      {" /m:wr /w:79.6  /pre:wr ", "wrbeach.jpg", {80, 60}},
  };
  // The same from HEIF and AVIF sources (where the platform has their codecs).
  std::size_t sources = 0;
  for (const auto& [format, extension] : {std::pair{PictureFormat::Jpeg, ".jpg"},
                                          std::pair{PictureFormat::Heif, ".heic"},
                                          std::pair{PictureFormat::Avif, ".avif"}}) {
    if (!platformWrites(format)) {
      continue;
    }
    ++sources;
    fs::path picture = source;
    if (format != PictureFormat::Jpeg) {
      picture.replace_extension(extension);
      writePicture(picture, readPicture(source), format);
    }
    for (const Case& c : cases) {
      const std::string name = fs::path(c.name).replace_extension(extension).string();
      const RunResult result = converter->run(sourceAndDest(picture, out) + c.switches);
      EXPECT_EQ(result.exitCode, 0) << name << c.switches << ": " << result.errorOutput;
      EXPECT_EQ(result.errorOutput, "");
      ASSERT_TRUE(fs::exists(out / name)) << c.switches;
      EXPECT_EQ(readPicture(out / name).image.size, c.size) << name << c.switches;
    }
  }
  EXPECT_EQ(filesIn(out), cases.size() * sources);  // nothing else, no temporary files
  // /o writes the source's own name, whatever prefix and suffix say.
  fs::create_directories(folder / "other");
  EXPECT_EQ(
      converter->run(sourceAndDest(source, folder / "other") + " /m:hr /h:30 /o /suf:-s").exitCode,
      0);
  EXPECT_EQ(readPicture(folder / "other" / "beach.jpg").image.size, (PixelSize{40, 30}));
  EXPECT_FALSE(fs::exists(converter->logFile()));
}

TEST_F(ConverterEndToEnd, EveryFormatComesOutInItselfWithAlphaSizeAndExif) {
  struct Case {
    PictureFormat format;
    const char* name;
    ColorModel model;
    bool lossless;
  };
  for (const Case& c : {Case{PictureFormat::Png, "a.png", ColorModel::Rgba, true},
                        Case{PictureFormat::Png, "g.png", ColorModel::GrayAlpha, true},
                        Case{PictureFormat::Webp, "a.webp", ColorModel::Rgba, true},
                        Case{PictureFormat::Webp, "b.webp", ColorModel::Rgb, false},
                        Case{PictureFormat::Bmp, "a.bmp", ColorModel::Rgb, true},
                        Case{PictureFormat::Bmp, "b.bmp", ColorModel::Rgba, true},
                        Case{PictureFormat::Gif, "a.gif", ColorModel::Rgba, false},
                        Case{PictureFormat::Tiff, "a.tif", ColorModel::Rgba, true},
                        Case{PictureFormat::Tiff, "g.tiff", ColorModel::Gray, true},
                        Case{PictureFormat::Heif, "a.heic", ColorModel::Rgba, false},
                        Case{PictureFormat::Avif, "a.avif", ColorModel::Rgba, false},
                        Case{PictureFormat::Avif, "b.avif", ColorModel::Rgb, false}}) {
    if (!platformWrites(c.format)) {
      continue;  // WebP, HEIF and AVIF where the system has no codec for them
    }
    Picture picture;
    picture.image = ramp({120, 90}, c.model);
    picture.hints.lossless = c.lossless;
    picture.hints.compression = 5;  // LZW for TIFF
    picture.metadata.exif = exifBlock(1);
    writePicture(folder / "in" / c.name, picture, c.format);
    const RunResult result =
        converter->run(sourceAndDest(folder / "in" / c.name, folder / "out") + " /m:wr /w:60 ");
    ASSERT_EQ(result.exitCode, 0) << c.name << ": " << result.errorOutput;
    const Picture output = readPicture(folder / "out" / c.name);
    EXPECT_EQ(output.image.size, (PixelSize{60, 45})) << c.name;
    // Alpha as the source holds it: some Windows encoders store none in a BMP.
    const bool alpha = hasAlpha(readPicture(folder / "in" / c.name).image.model);
    EXPECT_EQ(hasAlpha(output.image.model), alpha) << c.name;
    const bool holdsExif = c.format != PictureFormat::Bmp && c.format != PictureFormat::Gif;
    EXPECT_EQ(exifDate(output.metadata.exif), holdsExif ? "2024:01:02 03:04:05" : "") << c.name;
    // The first bytes name the same format.
    const std::string in = readFile(folder / "in" / c.name).substr(0, 2);
    EXPECT_EQ(readFile(folder / "out" / c.name).substr(0, 2), in) << c.name;
    // The opaque corner (bottom left) stays opaque, the nearly clear top edge stays clear.
    if (alpha) {
      const Image& image = output.image;
      const std::size_t alpha = static_cast<std::size_t>(image.channels() - 1);
      const std::size_t clear = image.size.width / 10 * image.channels() + alpha;
      const std::size_t opaque = (std::size_t{image.size.height} - 1) * image.rowBytes() + alpha;
      EXPECT_LT(image.pixels[clear], 64) << c.name;
      EXPECT_GT(image.pixels[opaque], 250) << c.name;
    }
  }
}

TEST_F(ConverterEndToEnd, ResultsKeepTheResolutionSamplesPaletteAndChromaSamplingOfTheirSources) {
  using Unit = Resolution::Unit;
  struct Case {
    const char* name;
    std::function<void(const fs::path&)> write;
    std::optional<Resolution> resolution;  // as the source holds it
    ChromaSampling chroma;                 // of a JPEG source
    int deepSample = -1;                   // the 16-bit sample of a flat source
    int tolerance = 0;  // how far a lossy codec may move it (AV1 by a level of 12 bits in 16)
    int paletteBits = 0;                   // of a palette source
    bool quartered = false;  // transparent in its left quarter, half so in the next (PNG)
  };
  const auto picture = [](PictureFormat format, std::optional<Resolution> resolution,
                          ChromaSampling chroma = {}) {
    return [=](const fs::path& path) {
      Picture source;
      source.image = texture({96, 64}, ColorModel::Rgb);
      source.metadata.resolution = resolution;
      source.hints.chroma = chroma;
      writePicture(path, source, format);
    };
  };
  const auto bytes = [](std::string file) {
    return [=](const fs::path& path) { std::ofstream(path, std::ios::binary) << file; };
  };
  // A flat gray HEIF or AVIF of 10 or 12 bits a sample, given as the 16-bit sample it decodes to.
  const auto deep = [](PictureFormat format, int codedBits, std::uint16_t sample) {
    return [=](const fs::path& path) {
      Picture source;
      source.image = Image::blank({96, 64}, ColorModel::Rgb, 16);
      auto* samples = reinterpret_cast<std::uint16_t*>(source.image.pixels.data());
      std::fill_n(samples, source.image.pixels.size() / 2, sample);
      source.hints.codedBits = codedBits;
      writePicture(path, source, format);
    };
  };
  const auto gif = [](const fs::path& path) {
    Picture source;
    source.image = texture({96, 64}, ColorModel::Rgba);
    for (std::size_t i = 0; i < source.image.pixels.size(); i += 4) {
      source.image.pixels[i + 3] = i / 4 % 96 < 24 ? 0 : 255;
    }
    writePicture(path, source, PictureFormat::Gif);
  };
  const Resolution dpi{.x = 300, .y = 200, .unit = Unit::Inch};
  const Resolution perCm{.x = 118, .y = 59, .unit = Unit::Centimetre};
  const Resolution aspect{.x = 2, .y = 1, .unit = Unit::None};
  const Resolution perMetre{.x = 11811, .y = 7874, .unit = Unit::Metre};
  const Resolution fraction{.x = 2997, .xDenominator = 10, .y = 1500, .unit = Unit::Centimetre};
  std::vector<Case> cases = {
      {"444.jpg", picture(PictureFormat::Jpeg, dpi, {1, 1}), dpi, {1, 1}},
      {"422.jpg", picture(PictureFormat::Jpeg, perCm, {2, 1}), perCm, {2, 1}},
      {"440.jpg", picture(PictureFormat::Jpeg, aspect, {1, 2}), aspect, {1, 2}},
      {"420.jpg", picture(PictureFormat::Jpeg, std::nullopt), std::nullopt, {2, 2}},
      {"a.png", picture(PictureFormat::Png, perMetre), perMetre, {}},
      {"a.bmp", picture(PictureFormat::Bmp, perMetre), perMetre, {}},
      {"deep.png", bytes(deepPng({96, 64}, 767, perMetre)), perMetre, {}, 767},
      // Below 256 throughout, as in a dark picture: narrowed to 8 bits, they would be black.
      {"deep.tif", bytes(deepTiff({96, 64}, 255, fraction)), fraction, {}, 255},
      {"deep.heic", deep(PictureFormat::Heif, 10, 769), std::nullopt, {}, 769},
      {"deep.avif", deep(PictureFormat::Avif, 12, 768), std::nullopt, {}, 768, 300},
      {"tiles.tif", bytes(tiledTiff({96, 64}, {255})), std::nullopt, {}, 255},
      {"palette.png", bytes(palettePng({96, 64}, 4)), std::nullopt, {}, -1, 0, 4, true},
      {"palette8.bmp", bytes(paletteBmp({96, 64}, 8, perMetre)), perMetre, {}, -1, 0, 8},
      {"palette1.bmp", bytes(paletteBmp({96, 64}, 1, perMetre)), perMetre, {}, -1, 0, 1},
      {"palette.gif", gif, std::nullopt, {}, -1, 0, 8, true},
  };
#ifndef _WIN32
  // Wine's decoder reads no TIFF of separate planes.
  cases.push_back(
      {"planes.tif", bytes(tiledTiff({96, 64}, {255, 767, 40000})), std::nullopt, {}, 255});
#endif
  for (const Case& c : cases) {
    const fs::path in = folder / "in" / c.name;
    const std::string extension = fs::path(c.name).extension().string();
    if ((extension == ".heic" || extension == ".avif") && !platformWrites(PictureFormat::Heif)) {
      continue;  // no HEIF codec on this system
    }
    c.write(in);
    const Picture source = readPicture(in);
    // Under Wine, where the Windows tests run, the encoder writes 4:2:0 whatever it is told.
#ifndef _WIN32
    EXPECT_EQ(source.hints.chroma, c.chroma) << c.name;
#endif
    EXPECT_EQ(source.metadata.resolution, c.resolution) << c.name;
    const RunResult run = converter->run(sourceAndDest(in, folder / "out") + " /m:r /r:0.5");
    ASSERT_EQ(run.exitCode, 0) << c.name << ": " << run.errorOutput;
    const Picture result = readPicture(folder / "out" / c.name);
    EXPECT_EQ(result.image.size, (PixelSize{48, 32})) << c.name;
    EXPECT_EQ(result.metadata.resolution, c.resolution) << c.name;
    if (source.image.channels() > 1) {
      EXPECT_EQ(result.hints.chroma, source.hints.chroma) << c.name;
    }
    // Samples as wide and as bright as the source's.
    EXPECT_EQ(result.image.bitsPerSample, source.image.bitsPerSample) << c.name;
    if (c.deepSample >= 0) {
      EXPECT_EQ(source.image.bitsPerSample, 16) << c.name;
#ifdef _WIN32
      // Wine's decoder reads a big-endian TIFF's 16-bit samples with their bytes exchanged.
      const bool misread = std::string(c.name) == "deep.tif";
#else
      const bool misread = false;
#endif
      if (!misread) {
        EXPECT_NEAR(firstSample(source.image), c.deepSample, c.tolerance) << c.name;
      }
      EXPECT_NEAR(firstSample(result.image), firstSample(source.image), c.tolerance) << c.name;
    }
    // A palette source gives a palette result of as many colours at most, with its indexes as
    // wide where the encoder takes them (the Windows ones may take 8 bits).
    EXPECT_EQ(source.hints.paletteBits, c.paletteBits) << c.name;
    EXPECT_EQ(result.hints.paletteBits > 0, c.paletteBits > 0) << c.name;
    if (c.paletteBits > 0) {
#ifndef _WIN32
      EXPECT_EQ(result.hints.paletteBits, c.paletteBits) << c.name;
#endif
      EXPECT_LE(colorsOf(result.image), std::size_t{1} << c.paletteBits) << c.name;
      EXPECT_GT(colorsOf(result.image), std::size_t{1}) << c.name;
    }
    // The transparency of each quarter, half transparency where the format and the encoder
    // keep it (on Linux, in a PNG); the imaging component's palettes have one clear entry.
    EXPECT_EQ(hasAlpha(result.image.model), c.quartered) << c.name;
    if (c.quartered) {
      const Image& image = result.image;
#ifdef _WIN32
      const bool halfKept = false;
#else
      const bool halfKept = std::string(c.name).ends_with(".png");
#endif
      const int expected[] = {0, halfKept ? 128 : 255, 255, 255};
      for (std::uint32_t quarter = 0; quarter < 4; ++quarter) {
        const std::uint32_t x = image.size.width / 8 + quarter * image.size.width / 4;
        const int alpha = image.pixels[(std::size_t{16} * image.size.width + x) * 4 + 3];
        EXPECT_NEAR(alpha, expected[quarter], 8) << c.name << ", quarter " << quarter;
      }
    }
  }
}

TEST_F(ConverterEndToEnd, ResultsKeepXmpIptcCommentsAndDescriptiveTagsWithTheXmpMadeTrue) {
  struct Case {
    const char* name;
    std::string file;
    PixelSize result;  // the upright size at half scale
    Metadata carried;  // what the source carries besides its XMP, as written into it
    // What the result's XMP must say (empty: the source has none, or a damaged one).
    std::vector<std::string> xmpSays;
  };
  const PixelSize size{96, 64};
  const auto encoded = [&](PictureFormat format, std::vector<std::uint8_t> exif = {},
                           const std::string& xmp = {}) {
    Picture picture;
    picture.image =
        texture(size, format == PictureFormat::Gif ? ColorModel::Rgba : ColorModel::Rgb);
    picture.hints.lossless = true;
    picture.metadata.exif = std::move(exif);
    picture.metadata.xmp = asBytes(xmp);
    const fs::path path = folder / "in" / "plain";
    writePicture(path, picture, format);
    return readFile(path);
  };
  const std::string xmpTag("http://ns.adobe.com/xap/1.0/\0", 29);
  const std::string extendedXmp = std::string("http://ns.adobe.com/xmp/extension/\0", 35) +
                                  std::string(32, 'A') + bigEndian(9, 4) + bigEndian(0, 4) +
                                  "<x:x>.</x:x>";
  const std::string iptc = std::string(
                               "Photoshop 3.0\0"
                               "8BIM\x04\x04\0\0",
                               22) +
                           bigEndian(10, 4) + std::string("\x1C\x02\x05\0\x05Title\0", 11);
  const std::string turnedXmp =
      xmpPacket("tiff:Orientation=\"6\" exif:PixelXDimension=\"96\" exif:PixelYDimension='64'", "");
  const std::string elementXmp = xmpPacket(
      "",
      "<tiff:Orientation>1</tiff:Orientation><tiff:ImageWidth>96</tiff:ImageWidth>"
      "<tiff:ImageLength> 64 </tiff:ImageLength><exif:PixelXDimension>96</exif:PixelXDimension>");
  const std::string zText = [] {
    return std::string("Comment\0\0", 9) + zlibStream("Written by hand");
  }();
  const std::string pngTexts[] = {std::string("Title\0A title", 13), zText,
                                  std::string("Author\0\0\0de\0Autor\0Ada", 22)};
  const std::map<std::uint16_t, std::string> tiffText = {
      {270, "A test picture"},      {271, "Maker"},       {272, "Model 1"},  {305, "Hand-made"},
      {306, "2024:01:02 03:04:05"}, {315, "Ada Example"}, {33432, "(c) Ada"}};
  std::map<std::uint16_t, std::pair<std::uint16_t, std::string>> tiffEntries = {
      {700, {1, elementXmp}}, {33723, {7, iptc.substr(14)}}};
  using Blocks = std::vector<std::vector<std::uint8_t>>;
  const auto carried = [](Blocks extendedXmp, std::vector<std::uint8_t> iptc, Blocks comments,
                          std::map<std::uint16_t, std::vector<std::uint8_t>> tiffText = {}) {
    Metadata metadata;
    metadata.extendedXmp = std::move(extendedXmp);
    metadata.iptc = std::move(iptc);
    metadata.comments = std::move(comments);
    metadata.tiffText = std::move(tiffText);
    return metadata;
  };
  std::map<std::uint16_t, std::vector<std::uint8_t>> tiffTextBytes;
  for (const auto& [tag, text] : tiffText) {
    tiffEntries[tag] = {2, text + '\0'};
    tiffTextBytes[tag] = asBytes(text + '\0');
  }
  const std::vector<std::string> sizedXmp = {"tiff:ImageWidth>48<", "tiff:ImageLength>32<",
                                             "exif:PixelXDimension>48<", "Ada Example"};
  const std::vector<Case> cases = {
      // Turned: the XMP stands upright with the EXIF, at the result's size.
      {"turned.jpg",
       withJpegSegments(encoded(PictureFormat::Jpeg, exifBlock(6)),
                        jpegSegment(0xE1, xmpTag + turnedXmp) + jpegSegment(0xE1, extendedXmp) +
                            jpegSegment(0xED, iptc) + jpegSegment(0xFE, "First comment") +
                            jpegSegment(0xFE, "Second")),
       {32, 48},
       carried({asBytes(extendedXmp)}, asBytes(iptc),
               {asBytes("First comment"), asBytes("Second")}),
       {"tiff:Orientation=\"1\"", "exif:PixelXDimension=\"32\"", "exif:PixelYDimension='48'",
        "Ada Example"}},
      {"texts.png",
       withPngChunks(encoded(PictureFormat::Png),
                     pngChunk("iTXt", std::string("XML:com.adobe.xmp\0\0\0\0\0", 22) + elementXmp) +
                         pngChunk("tEXt", pngTexts[0]) + pngChunk("zTXt", pngTexts[1]) +
                         pngChunk("iTXt", pngTexts[2])),
       {48, 32},
       carried({}, {},
               {asBytes("tEXt" + pngTexts[0]), asBytes("zTXt" + pngTexts[1]),
                asBytes("iTXt" + pngTexts[2])}),
       sizedXmp},
      // A compressed XMP packet that does not inflate is left out; the picture converts.
      {"damaged.png",
       withPngChunks(encoded(PictureFormat::Png),
                     pngChunk("iTXt", std::string("XML:com.adobe.xmp\0\1\0\0\0", 22) + "not zlib")),
       {48, 32},
       carried({}, {}, {}),
       {}},
      {"tags.tif",
       tiffWith(size, tiffEntries),
       {48, 32},
       carried({}, asBytes(iptc.substr(14)), {}, tiffTextBytes),
       sizedXmp},
      // A GIF's comments, one longer than a sub-block of 255 bytes.
      {"comments.gif",
       withGifComments(encoded(PictureFormat::Gif), {std::string(300, 'c'), "Second"}),
       {48, 32},
       carried({}, {}, {asBytes(std::string(300, 'c')), asBytes("Second")}),
       {}},
      // A HEIF file's XMP item, and its EXIF item, whose orientation is reset.
      {"xmp.heic",
       platformWrites(PictureFormat::Heif) ? encoded(PictureFormat::Heif, exifBlock(1), turnedXmp)
                                           : "",
       {48, 32},
       carried({}, {}, {}),
       {"tiff:Orientation=\"1\"", "exif:PixelXDimension=\"48\"", "exif:PixelYDimension='32'"}},
      // Not made where the system has no WebP codec.
      {"xmp.webp",
       platformWrites(PictureFormat::Webp)
           ? withWebpXmp(encoded(PictureFormat::Webp), size, elementXmp)
           : "",
       {48, 32},
       carried({}, {}, {}),
       sizedXmp},
  };
  for (const Case& c : cases) {
    if (c.file.empty()) {
      continue;
    }
    const fs::path in = folder / "in" / c.name;
    std::ofstream(in, std::ios::binary) << c.file;
    const RunResult run = converter->run(sourceAndDest(in, folder / "out") + " /m:r /r:0.5");
    ASSERT_EQ(run.exitCode, 0) << c.name << ": " << run.errorOutput;
    const Picture source = readPicture(in);
    const Picture result = readPicture(folder / "out" / c.name);
    EXPECT_EQ(result.image.size, c.result) << c.name;
    for (const Metadata* metadata : {&source.metadata, &result.metadata}) {
      const char* which = metadata == &source.metadata ? " (source)" : " (result)";
      EXPECT_EQ(metadata->extendedXmp, c.carried.extendedXmp) << c.name << which;
      EXPECT_EQ(metadata->iptc, c.carried.iptc) << c.name << which;
      EXPECT_EQ(metadata->comments, c.carried.comments) << c.name << which;
      EXPECT_EQ(metadata->tiffText, c.carried.tiffText) << c.name << which;
    }
    const std::string xmp(result.metadata.xmp.begin(), result.metadata.xmp.end());
    EXPECT_EQ(xmp.empty(), c.xmpSays.empty()) << c.name;
    for (const std::string& says : c.xmpSays) {
      EXPECT_NE(xmp.find(says), std::string::npos) << c.name << " lacks " << says;
    }
    // The padding took up the change, so the packet kept its length.
    EXPECT_EQ(result.metadata.xmp.size(), source.metadata.xmp.size()) << c.name;
  }
}

// The frames of an animation are composed onto its screen before they are resized, so each
// result frame shows what the source's showed, with the same delay and disposal.
TEST_F(ConverterEndToEnd, AnimationsAndPagesKeepEveryFrameWithItsTimingAndLoops) {
  const fs::path in = folder / "in";
  writeAnimatedGif(in / "anim.gif");
#ifndef _WIN32
  writeAnimatedWebp(in / "anim.webp");
#endif
  writeThreePageTiff(in / "pages.tif");
  const Rgb clear{0, 0, 0};
  struct Probe {
    std::uint32_t x, y;
    Rgb color;  // `clear`: fully transparent
  };
  struct Expected {
    PixelSize size;
    ColorModel model;
    std::uint32_t delayMs;
    int disposal;
    std::vector<Probe> probes;
  };
  struct Case {
    const char* name;
    PictureFormat format;
    std::optional<std::uint32_t> loops;
    std::vector<Expected> frames;
  };
  const Case cases[] = {
      {"anim.gif",
       PictureFormat::Gif,
       3,
       {{{20, 15}, ColorModel::Rgba, 100, 1, {{5, 3, red}, {15, 3, clear}, {15, 11, clear}}},
        // The blue frame over the kept red one.
        {{20, 15}, ColorModel::Rgba, 500, 2, {{5, 3, red}, {15, 3, blue}, {15, 11, clear}}},
        // The blue frame cleared, green over the red one.
        {{20, 15}, ColorModel::Rgba, 300, 0, {{5, 3, red}, {5, 11, green}, {15, 3, clear}}}}},
      {"anim.webp",
       PictureFormat::Webp,
       2,
       {{{20, 15}, ColorModel::Rgba, 100, 0, {{10, 7, red}}},
        {{20, 15}, ColorModel::Rgba, 500, 0, {{10, 7, blue}}},
        {{20, 15}, ColorModel::Rgba, 300, 0, {{10, 7, green}}}}},
      {"pages.tif",
       PictureFormat::Tiff,
       std::nullopt,
       {{{20, 15}, ColorModel::Rgb, 0, 0, {{10, 7, red}}},
        {{10, 10}, ColorModel::Gray, 0, 0, {}},
        {{15, 5}, ColorModel::Rgb, 0, 0, {{7, 2, green}}}}},
  };
  for (const Case& c : cases) {
    if (!fs::exists(in / c.name) || !platformWrites(c.format)) {
      std::printf("%s skipped: this system cannot make or write an animated WebP\n", c.name);
      continue;
    }
    const RunResult run = converter->run(sourceAndDest(in / c.name, folder / "out") + " /m:r /r:0.5");
    ASSERT_EQ(run.exitCode, 0) << c.name << ": " << run.errorOutput;
    const Frames result = readFrames(folder / "out" / c.name);
    EXPECT_EQ(result.loops, c.loops) << c.name;
    ASSERT_EQ(result.frames.size(), c.frames.size()) << c.name;
    for (std::size_t i = 0; i < c.frames.size(); ++i) {
      const Image& image = result.frames[i].image;
      const Expected& expected = c.frames[i];
      const std::string which = std::string(c.name) + " frame " + std::to_string(i);
      EXPECT_EQ(image.size, expected.size) << which;
      EXPECT_EQ(image.model, expected.model) << which;
      EXPECT_EQ(result.frames[i].delayMs, expected.delayMs) << which;
      EXPECT_EQ(result.frames[i].disposal, expected.disposal) << which;
      for (const Probe& probe : expected.probes) {
        const std::uint8_t* pixel =
            image.pixels.data() + probe.y * image.rowBytes() + probe.x * image.channels();
        const Rgb seen{pixel[0], pixel[1], pixel[2]};
        if (probe.color == clear) {
          EXPECT_EQ(pixel[3], 0) << which << " at " << probe.x << "," << probe.y;
        } else {
          EXPECT_TRUE(near(seen, probe.color, 8)) << which << " at " << probe.x << "," << probe.y;
        }
      }
    }
  }
  EXPECT_EQ(readPicture(folder / "out" / "anim.gif").metadata.comments,
            std::vector<std::vector<std::uint8_t>>{asBytes("made by hand")});
}

TEST_F(ConverterEndToEnd, WebpWithoutASystemCodecIsRefusedClearly) {
  if (platformWrites(PictureFormat::Webp)) {
    GTEST_SKIP() << "this platform reads and writes WebP";
  }
  // A 4 x 4 lossless WebP.
  const unsigned char webp[] = {'R',  'I',  'F',  'F',  0x1c, 0,    0,    0,    'W',
                                'E',  'B',  'P',  'V',  'P',  '8',  'L',  0x0f, 0,
                                0,    0,    0x2f, 0x03, 0xc0, 0,    0,    0x07, 0x10,
                                0xfd, 0x8f, 0xfe, 0x07, 0x22, 0xa2, 0xff, 0x01, 0};
  std::ofstream(folder / "in" / "w.webp", std::ios::binary)
      .write(reinterpret_cast<const char*>(webp), sizeof webp);
  const RunResult result =
      converter->run(sourceAndDest(folder / "in" / "w.webp", folder / "out") + " /m:r /r:2");
  EXPECT_EQ(result.exitCode, code(ExitCode::UnsupportedFormat));
  EXPECT_NE(result.errorOutput.find("WebP"), std::string::npos) << result.errorOutput;
  EXPECT_EQ(filesIn(folder / "out"), 0u);
}

TEST_F(ConverterEndToEnd, HeifAndAvifWithoutSystemCodecsAreRefusedNamingTheExtension) {
  if (platformWrites(PictureFormat::Heif)) {
    GTEST_SKIP() << "this platform reads and writes HEIF";
  }
  // The headers of a 64 x 48 HEIC and AVIF, enough to be recognised and sized; the system's
  // decoder is asked for before any coded byte is read.
  const auto heif = [](const char* brand, const char* codec) {
    const auto box = [](const std::string& type, const std::string& body) {
      return bigEndian(static_cast<std::uint32_t>(8 + body.size()), 4) + type + body;
    };
    const std::string zero(4, '\0');
    const std::string item = box("infe", std::string("\2\0\0\0\0\1\0\0", 8) + codec + '\0');
    const std::string ispe = box("ispe", zero + bigEndian(64, 4) + bigEndian(48, 4));
    const std::string ipma = box("ipma", zero + bigEndian(1, 4) + std::string("\0\1\1\x81", 4));
    return box("ftyp", std::string(brand) + zero + "mif1" + brand) +
           box("meta", zero + box("pitm", zero + std::string("\0\1", 2)) +
                           box("iinf", zero + std::string("\0\1", 2) + item) +
                           box("iprp", box("ipco", ispe) + ipma));
  };
  struct Case {
    const char* name;
    std::string file;
    const char* extension;  // the system extension that the message names
  };
  for (const Case& c : {Case{"p.heic", heif("heic", "hvc1"), "HEIF Image Extensions"},
                        Case{"p.avif", heif("avif", "av01"), "AV1 Video Extension"}}) {
    std::ofstream(folder / "in" / c.name, std::ios::binary) << c.file;
    const RunResult result =
        converter->run(sourceAndDest(folder / "in" / c.name, folder / "out") + " /m:r /r:0.5");
    EXPECT_EQ(result.exitCode, code(ExitCode::UnsupportedFormat)) << c.name << result.errorOutput;
    EXPECT_NE(result.errorOutput.find(c.extension), std::string::npos) << result.errorOutput;
  }
  EXPECT_EQ(filesIn(folder / "out"), 0u);
}

#ifndef _WIN32
// multiconv, linked whole, hands HEIF and AVIF pictures to multiconv-heif in its own folder. It
// gives its slot back first: a semaphore's undo survives exec, so a slot kept would be held twice
// and, with every slot busy, the new program would wait for itself. The outcome channel reaches
// the program that does the work; where it is missing, the picture is refused naming it.
TEST_F(ConverterEndToEnd, HeifIsHandedToTheConverterBesideWithTheSlotGivenBackAndTheOutcomeKept) {
  Picture picture;
  picture.image = ramp({120, 90}, ColorModel::Rgb);
  const fs::path source = folder / "in" / "phone.heic";
  writePicture(source, picture, PictureFormat::Heif);
  fs::create_directories(folder / "alone");
  fs::copy_file(MULTICONV_PATH, folder / "alone" / "multiconv");
  const struct {
    fs::path program;
    int exitCode;
    const char* slotTrace;
  } cases[] = {{folder / "alone" / "multiconv", code(ExitCode::UnsupportedFormat), "+\n-\n"},
               {MULTICONV_PATH, 0, "+\n-\n+\n-\n"}};
  for (const auto& c : cases) {
    const fs::path trace = folder / "slots.trace";
    fs::remove(trace);
    int channel[2];
    ASSERT_EQ(::pipe2(channel, O_CLOEXEC), 0);
    ::fcntl(channel[1], F_SETFD, 0);  // the write end is inherited, as the program's is
    const RunResult result = ConverterProcess(folder / "run", c.program)
                                 .run(sourceAndDest(source, folder / "out") + " /m:w /w:60",
                                      {"MULTICONV_OUTCOME=" + std::to_string(channel[1]),
                                       "MULTICONV_SLOT_TRACE=" + utf8(trace)});
    ::close(channel[1]);
    std::string bytes;
    char buffer[4096];
    for (ssize_t n; (n = ::read(channel[0], buffer, sizeof buffer)) > 0;) {
      bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(channel[0]);
    const std::vector<karvelo::common::Outcome> outcomes =
        karvelo::common::OutcomeReader().take(bytes);

    EXPECT_EQ(result.exitCode, c.exitCode) << c.program << ": " << result.errorOutput;
    EXPECT_EQ(readFile(trace), c.slotTrace) << c.program;
    ASSERT_EQ(outcomes.size(), 1u) << c.program;
    EXPECT_EQ(outcomes[0].source, utf8(source));
    EXPECT_EQ(outcomes[0].exitCode, c.exitCode);
    if (c.exitCode != 0) {
      const std::string missing = utf8(folder / "alone" / "multiconv-heif");
      EXPECT_NE(result.errorOutput.find(missing + ", which cannot be started"), std::string::npos)
          << result.errorOutput;
      EXPECT_NE(outcomes[0].message.find(missing), std::string::npos) << outcomes[0].message;
      EXPECT_EQ(filesIn(folder / "out"), 0u);
    } else {
      EXPECT_EQ(readPicture(folder / "out" / "phone.heic").image.size, (PixelSize{60, 90}));
    }
  }
}
#endif

TEST_F(ConverterEndToEnd, AllEightOrientationsComeOutUprightWithTheTagReset) {
  // Stored top left, top right, bottom left, bottom right; the upright quadrants that each
  // orientation gives, following the EXIF descriptions of row 0 and column 0.
  const std::array<Rgb, 4> stored = {red, green, blue, white};
  const std::array<std::array<Rgb, 4>, 9> upright = {{
      {},
      {red, green, blue, white},  // 1: row 0 top, column 0 left
      {green, red, white, blue},  // 2: row 0 top, column 0 right
      {white, blue, green, red},  // 3: row 0 bottom, column 0 right
      {blue, white, red, green},  // 4: row 0 bottom, column 0 left
      {red, blue, green, white},  // 5: row 0 left, column 0 top
      {blue, red, white, green},  // 6: row 0 right, column 0 top
      {white, green, blue, red},  // 7: row 0 right, column 0 bottom
      {green, white, red, blue},  // 8: row 0 left, column 0 bottom
  }};
  for (std::uint16_t orientation = 1; orientation <= 8; ++orientation) {
    for (const auto& [format, extension] :
         {std::pair{PictureFormat::Jpeg, ".jpg"}, std::pair{PictureFormat::Png, ".png"},
          std::pair{PictureFormat::Heif, ".heic"}, std::pair{PictureFormat::Avif, ".avif"}}) {
      if ((format == PictureFormat::Png && orientation != 6) || !platformWrites(format)) {
        continue;  // one case shows that PNG's eXIf chunk is read as well
      }
      Picture picture;
      picture.image = quadrants({128, 64}, stored);
      picture.metadata.exif = exifBlock(orientation, true);
      // A HEIF file stores the turn as its own rotation and mirror, which the EXIF tag repeats.
      picture.metadata.orientation = orientation;
      const std::string name = std::to_string(orientation).append(extension);
      writePicture(folder / "in" / name, picture, format);
      const RunResult result =
          converter->run(sourceAndDest(folder / "in" / name, folder / "out") + " /m:r /r:0.5");
      ASSERT_EQ(result.exitCode, 0) << name << result.errorOutput;
      const Picture output = readPicture(folder / "out" / name);
      const PixelSize expected = orientation >= 5 ? PixelSize{32, 64} : PixelSize{64, 32};
      EXPECT_EQ(output.image.size, expected) << name;
      for (int quadrant = 0; quadrant < 4; ++quadrant) {
        EXPECT_TRUE(near(quadrantColor(output.image, quadrant),
                         upright[orientation][static_cast<std::size_t>(quadrant)]))
            << name << " quadrant " << quadrant;
      }
      ASSERT_FALSE(output.metadata.exif.empty()) << name;
      EXPECT_EQ(ExifBlock(output.metadata.exif).orientation(), 1) << name;
      // A thumbnail of the stored pixels would stand the wrong way once they are turned.
      EXPECT_EQ(linksThumbnail(output.metadata.exif), orientation == 1) << name;
    }
  }
}

TEST_F(ConverterEndToEnd, CmykAndAdobeRgbKeepTheirColoursAndProfiles) {
  // CMYK, with a profile large enough to need two APP2 segments, where the platform's JPEG codec
  // keeps CMYK (a Windows encoder that cannot write it faithfully gets colour instead).
  Picture cmyk;
  cmyk.image = Image::blank({96, 64}, ColorModel::Cmyk);
  for (std::size_t i = 0; i < cmyk.image.pixels.size(); i += 4) {
    cmyk.image.pixels[i] = 200;
    cmyk.image.pixels[i + 1] = 60;
    cmyk.image.pixels[i + 2] = 10;
    cmyk.image.pixels[i + 3] = 30;
  }
  cmyk.metadata.icc = iccProfile("CMYK");
  cmyk.metadata.icc.resize(100000);
  for (std::size_t i = 132; i < cmyk.metadata.icc.size(); ++i) {
    cmyk.metadata.icc[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  }
  writePicture(folder / "in" / "cmyk.jpg", cmyk, PictureFormat::Jpeg);
  if (readPicture(folder / "in" / "cmyk.jpg").image.model == ColorModel::Cmyk) {
    ASSERT_EQ(
        converter->run(sourceAndDest(folder / "in" / "cmyk.jpg", folder / "out") + " /m:r /r:0.5")
            .exitCode,
        0);
    const Picture cmykOut = readPicture(folder / "out" / "cmyk.jpg");
    ASSERT_EQ(cmykOut.image.model, ColorModel::Cmyk);
    EXPECT_EQ(cmykOut.image.size, (PixelSize{48, 32}));
    const std::uint8_t* pixel = cmykOut.image.pixels.data() + cmykOut.image.pixels.size() / 2;
    EXPECT_NEAR(pixel[0], 200, 6);
    EXPECT_NEAR(pixel[1], 60, 6);
    EXPECT_NEAR(pixel[2], 10, 6);
    EXPECT_NEAR(pixel[3], 30, 6);
    EXPECT_EQ(cmykOut.metadata.icc, cmyk.metadata.icc);
  }

  // Adobe RGB: the pixels stay in their own space and the profile goes with them.
  Picture adobe;
  adobe.metadata.icc = iccProfile("RGB ");
  adobe.image = quadrants({96, 64}, {red, green, blue, white});
  for (const auto& [format, name] : {std::pair{PictureFormat::Jpeg, "adobe.jpg"},
                                     std::pair{PictureFormat::Heif, "adobe.heic"},
                                     std::pair{PictureFormat::Avif, "adobe.avif"}}) {
    if (!platformWrites(format)) {
      continue;
    }
    writePicture(folder / "in" / name, adobe, format);
    ASSERT_EQ(
        converter->run(sourceAndDest(folder / "in" / name, folder / "out") + " /m:r /r:0.5")
            .exitCode,
        0);
    const Picture adobeOut = readPicture(folder / "out" / name);
    EXPECT_EQ(adobeOut.metadata.icc, adobe.metadata.icc) << name;
    for (int quadrant = 0; quadrant < 4; ++quadrant) {
      EXPECT_TRUE(
          near(quadrantColor(adobeOut.image, quadrant), quadrantColor(adobe.image, quadrant), 12))
          << name << " " << quadrant;
    }
  }
}

TEST_F(ConverterEndToEnd, UnusualNamesAndLongPathsWork) {
  fs::path deep = folder / "in";
  while (utf8(deep).size() < 300) {
    deep /= std::string(60, 'd') + std::to_string(utf8(deep).size());
    fs::create_directory(reachable(deep));
  }
  const std::vector<std::string> names = {
      "café déjà vu.jpg",     "Фото пляж.jpg",  "写真 海.jpg",  "beach 😀🌊.jpg",
      "a [1] (2) {3}.jpg",    "100% 50%20.jpg", "-leading.jpg", "--o.jpg",
      "'quote' & ;semi$.jpg", "x.JPEG"};
  for (const std::string& name : names) {
    writeJpeg(name, {64, 48});
    const RunResult result =
        converter->run(sourceAndDest(folder / "in" / pathOf(name), folder / "out") +
                       R"( /m:wr /w:32  /pre:"é ü"  /suf:"-% 😀")");
    EXPECT_EQ(result.exitCode, 0) << name << ": " << result.errorOutput;
    const fs::path stem = pathOf(name).stem();
    const fs::path out =
        folder / "out" / pathOf("é ü" + utf8(stem) + "-% 😀" + utf8(pathOf(name).extension()));
    ASSERT_TRUE(fs::exists(out)) << utf8(out);
    EXPECT_EQ(readPicture(out).image.size, (PixelSize{32, 24}));
  }
  Picture picture;
  picture.image = ramp({64, 48}, ColorModel::Rgb);
  writePicture(reachable(deep / "long.jpg"), picture, PictureFormat::Jpeg);
  ASSERT_GT(utf8(deep / "long.jpg").size(), 260u);
  const RunResult result =
      converter->run(sourceAndDest(deep / "long.jpg", deep) + " /m:r /r:0.5 /suf:-s");
  EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
  EXPECT_EQ(readPicture(deep / "long-s.jpg").image.size, (PixelSize{32, 24}));
}

TEST_F(ConverterEndToEnd, OverwriteReplacesInPlaceAndNothingElseReplaces) {
  const fs::path source = writeJpeg("p.jpg", {200, 100});
#ifndef _WIN32
  fs::permissions(source, fs::perms(0640));
#endif
  const std::string original = readFile(source);

  // Without /o: the source is never its own target.
  RunResult result = converter->run(sourceAndDest(source, folder / "in") + " /m:r /r:0.5");
  EXPECT_EQ(result.exitCode, code(ExitCode::OutputExists));
  EXPECT_EQ(readFile(source), original);
  EXPECT_EQ(std::count(result.errorOutput.begin(), result.errorOutput.end(), '\n'), 1);

  // Without /o: an existing output is left byte for byte.
  const std::string existing = "not a picture, but mine";
  std::ofstream(folder / "out" / "p-s.jpg") << existing;
  result = converter->run(sourceAndDest(source, folder / "out") + " /m:r /r:0.5 /suf:-s");
  EXPECT_EQ(result.exitCode, code(ExitCode::OutputExists));
  EXPECT_EQ(readFile(folder / "out" / "p-s.jpg"), existing);
  EXPECT_EQ(filesIn(folder / "out"), 1u);

  // With /o: replaced in place by the complete new picture, keeping the file's permissions.
  result = converter->run(sourceAndDest(source, folder / "in") + " /m:r /r:0.5 /o");
  EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
  EXPECT_EQ(readPicture(source).image.size, (PixelSize{100, 50}));
#ifndef _WIN32
  EXPECT_EQ(fs::status(source).permissions() & fs::perms::all, fs::perms(0640));
#endif
  EXPECT_EQ(filesIn(folder / "in"), 1u);

  const std::string log = readFile(converter->logFile());
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);
  EXPECT_NE(log.find("exit 7"), std::string::npos);
}

TEST_F(ConverterEndToEnd, BadInputsFailWithTheirCodesAndNoOutput) {
  const fs::path in = folder / "in";
  writeJpeg("good.jpg", {64, 64});
  const std::string good = readFile(in / "good.jpg");
  std::ofstream(in / "truncated.jpg", std::ios::binary) << good.substr(0, good.size() / 2);
  std::string corrupt = good;
  for (std::size_t i = good.size() / 3; i < good.size() - 2; i += 7) {
    corrupt[i] = static_cast<char>(0xFF - corrupt[i]);
  }
  std::ofstream(in / "corrupt.jpg", std::ios::binary) << corrupt;
  std::ofstream(in / "garbage.jpg", std::ios::binary) << std::string("\xFF\xD8\xFF\x01garbage", 11);
  std::ofstream(in / "empty.png");
  std::ofstream(in / "notes.png") << "just some text, not a picture\n";
  Picture picture;
  picture.image = ramp({64, 64}, ColorModel::Rgb);
  writePicture(in / "whole.png", picture, PictureFormat::Png);
  const std::string png = readFile(in / "whole.png");
  std::ofstream(in / "truncated.png", std::ios::binary) << png.substr(0, png.size() - 40);
  // Small files that declare 64000 x 64000 pixels.
  std::string hugePng = png.substr(0, 33);
  const char side[4] = {0, 0, static_cast<char>(0xFA), 0};  // 64000, big-endian
  hugePng.replace(16, 4, side, 4);
  hugePng.replace(20, 4, side, 4);
  std::ofstream(in / "huge.png", std::ios::binary) << hugePng + png.substr(33);
  std::string hugeJpeg = good;
  const std::size_t frame = hugeJpeg.find("\xFF\xC0");
  ASSERT_NE(frame, std::string::npos);
  hugeJpeg[frame + 5] = hugeJpeg[frame + 7] = static_cast<char>(0xFA);
  hugeJpeg[frame + 6] = hugeJpeg[frame + 8] = 0;
  std::ofstream(in / "huge.jpg", std::ios::binary) << hugeJpeg;
  // Files of a few bytes that declare 20000 x 20000 or 22000 x 22000 pixels, under the limit:
  // refused before any memory is taken for pixels that they cannot hold.
  std::string tinyJpeg = good;
  tinyJpeg[frame + 5] = tinyJpeg[frame + 7] = static_cast<char>(22000 >> 8);
  tinyJpeg[frame + 6] = tinyJpeg[frame + 8] = static_cast<char>(22000 & 0xFF);
  std::ofstream(in / "tiny.jpg", std::ios::binary) << tinyJpeg;
  std::ofstream(in / "tiny.png", std::ios::binary)
      << png.substr(0, 8) +
             pngChunk("IHDR", std::string("\0\0\x4E\x20\0\0\x4E\x20\x08\x02\0\0\0", 13))
      << pngChunk("IDAT", std::string("\x78\x9C\x63\0\0\0\x01\0\x01", 9)) << pngChunk("IEND", "");
  std::ofstream(in / "tiny.tif", std::ios::binary) << tinyTiff(20000);
  // 501 frames of one pixel on a 1000 x 1000 screen: each is composed onto the whole screen, so
  // together they pass the limit of 500 megapixels.
  std::string manyFrames("GIF89a\xE8\x03\xE8\x03\x80\0\0\0\0\0\xFF\xFF\xFF", 19);
  for (int i = 0; i < 501; ++i) {
    manyFrames.append(",\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0", 15);
  }
  std::ofstream(in / "frames.gif", std::ios::binary) << manyFrames + ";";
  // An animation cut short in its last frame, whose first frames are whole.
  writeAnimatedGif(in / "whole.gif");
  const std::string animation = readFile(in / "whole.gif");
  std::ofstream(in / "cut.gif", std::ios::binary) << animation.substr(0, animation.size() - 40);
  // HEIF: cut short in its coded data, and one whose size property declares 64000 x 64000.
  std::vector<std::string> heifCases;
  if (platformWrites(PictureFormat::Heif)) {
    writePicture(in / "whole.heic", picture, PictureFormat::Heif);
    const std::string heic = readFile(in / "whole.heic");
    std::ofstream(in / "truncated.heic", std::ios::binary) << heic.substr(0, heic.size() * 3 / 4);
    std::string hugeHeic = heic;
    const std::size_t ispe = hugeHeic.find("ispe");
    ASSERT_NE(ispe, std::string::npos);
    hugeHeic.replace(ispe + 8, 8, std::string("\0\0\xFA\0\0\0\xFA\0", 8));
    std::ofstream(in / "huge.heic", std::ios::binary) << hugeHeic;
    heifCases = {"truncated.heic", "huge.heic"};
  }
  // Three pages whose second directory lies past the end of the file.
  writeThreePageTiff(in / "pages.tif");
  std::string pages = readFile(in / "pages.tif");
  const auto at = [&](std::size_t offset) {
    std::uint32_t value = 0;
    std::memcpy(&value, pages.data() + offset, 4);
    return value;
  };
  const std::uint32_t first = at(4);
  const std::size_t nextOffset = first + 2 + 12 * (static_cast<std::uint8_t>(pages[first]) |
                                                   static_cast<std::uint8_t>(pages[first + 1]) << 8);
  const std::uint32_t past = static_cast<std::uint32_t>(pages.size() + 1000);
  std::memcpy(pages.data() + nextOffset, &past, 4);
  std::ofstream(in / "lostpage.tif", std::ios::binary) << pages;
  // An RGB TIFF that declares 64-bit samples.
  std::string doubles = tiffWith({8, 8}, {});
  const std::string eightBits("\x08\0\x08\0\x08\0", 6);
  doubles.replace(doubles.find(eightBits), eightBits.size(), std::string("\x40\0\x40\0\x40\0", 6));
  std::ofstream(in / "doubles.tif", std::ios::binary) << doubles;
  fs::create_directories(in / "folder.jpg");

  struct Case {
    std::string name;
    ExitCode expected;
  };
  for (const Case& c :
       {Case{"truncated.jpg", ExitCode::DamagedPicture},
        Case{"corrupt.jpg", ExitCode::DamagedPicture},
        Case{"garbage.jpg", ExitCode::DamagedPicture},
        Case{"truncated.png", ExitCode::DamagedPicture},
        Case{"empty.png", ExitCode::UnsupportedFormat},
        Case{"notes.png", ExitCode::UnsupportedFormat}, Case{"huge.png", ExitCode::PictureTooLarge},
        Case{"huge.jpg", ExitCode::PictureTooLarge}, Case{"tiny.jpg", ExitCode::DamagedPicture},
        Case{"tiny.png", ExitCode::DamagedPicture}, Case{"tiny.tif", ExitCode::DamagedPicture},
        Case{"frames.gif", ExitCode::PictureTooLarge}, Case{"cut.gif", ExitCode::DamagedPicture},
        Case{"missing.jpg", ExitCode::InputUnreadable},
        Case{"folder.jpg", ExitCode::InputUnreadable},
        Case{"truncated.heic", ExitCode::DamagedPicture},
        Case{"huge.heic", ExitCode::PictureTooLarge},
        Case{"lostpage.tif", ExitCode::DamagedPicture},
        Case{"doubles.tif", ExitCode::UnsupportedFormat}}) {
    if (c.name.ends_with(".heic") && heifCases.empty()) {
      continue;
    }
    const RunResult result =
        converter->run(sourceAndDest(in / c.name, folder / "out") + " /m:r /r:0.5");
    EXPECT_EQ(result.exitCode, code(c.expected)) << c.name << ": " << result.errorOutput;
    EXPECT_TRUE(result.errorOutput.starts_with("multiconv: ")) << c.name;
    EXPECT_EQ(std::count(result.errorOutput.begin(), result.errorOutput.end(), '\n'), 1) << c.name;
    // Refused from the headers or the first rows: no pixel buffer is allocated.
    EXPECT_LT(result.peakMemoryKilobytes, 64 * 1024) << c.name;
  }
  EXPECT_EQ(filesIn(folder / "out"), 0u);

  // Usage errors and a missing destination folder.
  const std::string head = sourceAndDest(in / "good.jpg", folder / "out");
  for (const std::string& bad :
       {head + " /m:r /r:0", head + " /m:r /r:11", head + " /m:h /h:-5", head + " /m:w /w:0.4 ",
        head + " /m:r", head + " /m:r /r:0.5 /o /o", head + " /m:r /r:0.5 /x",
        std::string(" /m:r /r:0.5")}) {
    EXPECT_EQ(converter->run(bad).exitCode, code(ExitCode::Usage)) << bad;
  }
  EXPECT_EQ(
      converter->run(sourceAndDest(in / "good.jpg", folder / "nowhere") + " /m:r /r:0.5").exitCode,
      code(ExitCode::WriteFailure));
  EXPECT_EQ(filesIn(folder / "out"), 0u);
  const std::string log = readFile(converter->logFile());
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 26 + heifCases.size());
}

TEST_F(ConverterEndToEnd, LargeScreensAndResultsStayWithinMemory) {
  // 35 bytes: a one-pixel frame on a 20000 x 20000 screen.
  std::ofstream(folder / "in" / "screen.gif", std::ios::binary) << std::string(
      "GIF89a\x20\x4E\x20\x4E\x80\0\0"
      "\0\0\0\xFF\xFF\xFF,\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0;",
      35);
  writeJpeg("wide.jpg", {2000, 1500});
  struct Case {
    std::string name;
    std::string switches;
    ExitCode expected;
    PixelSize size;
  };
  for (const Case& c : {Case{"screen.gif", " /m:hr /h:100", ExitCode::Success, {100, 100}},
                        Case{"wide.jpg", " /m:h /h:65535", ExitCode::PictureTooLarge, {}}}) {
    const RunResult result =
        converter->run(sourceAndDest(folder / "in" / c.name, folder / "out") + c.switches);
    EXPECT_EQ(result.exitCode, code(c.expected)) << c.name << ": " << result.errorOutput;
    EXPECT_LT(result.peakMemoryKilobytes, 64 * 1024) << c.name;
    if (c.expected == ExitCode::Success) {
      EXPECT_EQ(readPicture(folder / "out" / c.name).image.size, c.size);
    }
  }
}

#ifndef _WIN32
// The Linux JPEG decoder's own coefficient store; the Windows codec keeps its own.
TEST_F(ConverterEndToEnd, ProgressiveJpegTooLargeForMemoryIsDecodedThroughDisk) {
  // 24 megapixels: about 72 MB of coefficients, which go to disk a window at a time.
  const PixelSize size{6000, 4000};
  Image reference;
  {
    Image image = Image::blank(size, ColorModel::Rgb);
    for (std::uint32_t y = 0; y < size.height; ++y) {
      for (std::uint32_t x = 0; x < size.width; ++x) {
        std::uint8_t* pixel = image.pixels.data() + (std::size_t{y} * size.width + x) * 3;
        pixel[0] = static_cast<std::uint8_t>(x * 255 / size.width);
        pixel[1] = static_cast<std::uint8_t>(y * 255 / size.height);
        pixel[2] = static_cast<std::uint8_t>((x + 2 * y) % 256);
      }
    }
    writeProgressiveJpeg(folder / "in" / "p.jpg", image);
    reference = resized(image, {1500, 1000});
  }
  const RunResult result =
      converter->run(sourceAndDest(folder / "in" / "p.jpg", folder / "out") + " /m:r /r:0.25");
  ASSERT_EQ(result.exitCode, 0) << result.errorOutput;
  EXPECT_LT(result.peakMemoryKilobytes, 64 * 1024);
  EXPECT_GT(psnr(readPicture(folder / "out" / "p.jpg").image, reference), 25);
}

#endif

TEST_F(ConverterEndToEnd, ReducedDecodesKeepTheirEdgesAndGrayStaysGray) {
  // Each result is compared with the full decode resized by the same filter: reduced decodes of
  // odd sizes included, it may lose little more than a plain re-encode of that reference does.
  // Text at exactly half is where a reduced decode alone would blur the most.
  struct Case {
    ColorModel model;
    PixelSize size;
    std::string switches;
    bool text = false;
  };
  for (const Case& c : {Case{ColorModel::Gray, {1600, 1199}, " /m:r /r:0.5"},
                        Case{ColorModel::Rgb, {1600, 1199}, " /m:r /r:0.5"},
                        Case{ColorModel::Gray, {1600, 1199}, " /m:hr /h:777"},
                        Case{ColorModel::Rgb, {999, 750}, " /m:r /r:0.25"},
                        Case{ColorModel::Rgb, {1280, 720}, " /m:r /r:0.5", true}}) {
    Picture picture;
    picture.image = c.text ? textLike(c.size) : texture(c.size, c.model);
    writePicture(folder / "in" / "t.jpg", picture, PictureFormat::Jpeg);
    fs::remove(folder / "out" / "t.jpg");
    ASSERT_EQ(converter->run(sourceAndDest(folder / "in" / "t.jpg", folder / "out") + c.switches)
                  .exitCode,
              0);
    const Image result = readPicture(folder / "out" / "t.jpg").image;
    const Image reference = resized(readPicture(folder / "in" / "t.jpg").image, result.size);
    Picture plain;
    plain.image = reference;
    writePicture(folder / "plain.jpg", plain, PictureFormat::Jpeg);
    const double ours = psnr(result, reference);
    const double plainLoss = psnr(readPicture(folder / "plain.jpg").image, reference);
    EXPECT_EQ(result.model, c.model) << c.switches;
    EXPECT_GT(ours, plainLoss - 1.5) << c.switches << " " << c.size.width << "x" << c.size.height;
  }
}

// The Linux bitmap decoder; the Windows imaging component decodes bitmaps itself (Wine's paints
// the pixels that a move skips differently).
#ifndef _WIN32
TEST_F(ConverterEndToEnd, RunLengthBitmapsAreDecoded) {
  // 6 x 4 pixels over a palette of black, red, green and blue; rows are coded bottom up.
  auto bitmap = [](int bits, const std::string& runs) {
    std::string file = "BM";
    auto put = [&](std::uint32_t value, int bytes) {
      for (int i = 0; i < bytes; ++i) {
        file += static_cast<char>(value >> (8 * i));
      }
    };
    put(70 + static_cast<std::uint32_t>(runs.size()), 4), put(0, 4), put(70, 4);
    put(40, 4), put(6, 4), put(4, 4), put(1, 2), put(static_cast<std::uint32_t>(bits), 2);
    put(bits == 8 ? 1 : 2, 4), put(static_cast<std::uint32_t>(runs.size()), 4);
    put(2835, 4), put(2835, 4), put(4, 4), put(0, 4);
    for (std::uint32_t color : {0x000000u, 0xFF0000u, 0x00FF00u, 0x0000FFu}) {
      put(color, 4);
    }
    return file + runs;
  };
  // Eight bits: a run of red; three literal pixels (padded to a word) and a run; a move two
  // right and one up, past an untouched row; a run of blue; the end.
  const std::string rle8(
      "\x06\x01\0\0"
      "\0\x03\x02\x03\x02\0\x03\x01\0\0"
      "\0\x02\x02\x01\x04\x03\0\x01",
      22);
  // Four bits: an alternating run; four literal pixels and a run; the end.
  const std::string rle4("\x06\x12\0\0\0\x04\x32\x10\x02\x33\0\0\0\x01", 14);
  std::ofstream(folder / "in" / "rle8.bmp", std::ios::binary) << bitmap(8, rle8);
  std::ofstream(folder / "in" / "rle4.bmp", std::ios::binary) << bitmap(4, rle4);
  std::ofstream(folder / "in" / "cut.bmp", std::ios::binary) << bitmap(8, rle8.substr(0, 12));
  const std::map<std::string, std::vector<std::string>> expected = {
      {"rle8.bmp", {"..BBBB", "......", "GBGRRR", "RRRRRR"}},
      {"rle4.bmp", {"......", "......", "BGR.BB", "RGRGRG"}}};
  for (const auto& [name, rows] : expected) {
    const RunResult result =
        converter->run(sourceAndDest(folder / "in" / name, folder / "out") + " /m:r /r:1");
    ASSERT_EQ(result.exitCode, 0) << name << ": " << result.errorOutput;
    const Image image = readPicture(folder / "out" / name).image;
    ASSERT_EQ(image.size, (PixelSize{6, 4})) << name;
    for (std::uint32_t y = 0; y < 4; ++y) {
      std::string seen;
      for (std::uint32_t x = 0; x < 6; ++x) {
        const std::uint8_t* pixel =
            image.pixels.data() + (std::size_t{y} * 6 + x) * image.channels();
        seen += pixel[0] > 128 ? 'R' : pixel[1] > 128 ? 'G' : pixel[2] > 128 ? 'B' : '.';
      }
      EXPECT_EQ(seen, rows[y]) << name << " row " << y;
    }
  }
  EXPECT_EQ(converter->run(sourceAndDest(folder / "in" / "cut.bmp", folder / "out") + " /m:r /r:1")
                .exitCode,
            code(ExitCode::DamagedPicture));
}

#endif

TEST_F(ConverterEndToEnd, KilledWhileWritingLeavesNothingThatALaterConverterKeeps) {
  const fs::path source = writeJpeg("k.jpg", {300, 200});
  const std::string original = readFile(source);
  const fs::path in = folder / "in";
  auto temporaries = [&] {
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(in)) {
      count += entry.path().filename().string().starts_with(".multiconv-");
    }
    return count;
  };
  // With the file that the system removes when its writer dies (on POSIX one without a name,
  // where the file system allows it), and with a named one that a later converter must remove.
  for (const bool named : {false, true}) {
    std::vector<std::string> environment;
    if (named) environment.push_back("MULTICONV_TEST_NAMED_TEMPORARY=1");
#ifdef _WIN32
    const std::size_t whileWriting = 1;
#else
    const std::size_t whileWriting = named ? 1 : 0;
#endif
    for (const std::string& switches :
         {std::string(" /m:r /r:0.5 /o"), std::string(" /m:r /r:0.5 /suf:-new")}) {
      // Killed outright: the original stays whole and nothing is under the final name. A named
      // file stays only until a later converter writing there finds its writer gone; the file of
      // a writer that lives is left alone.
      StartedConverter killed =
          converter->startStoppedBeforeRename(sourceAndDest(source, in) + switches, environment);
      StartedConverter alive = converter->startStoppedBeforeRename(
          sourceAndDest(source, in) + " /m:r /r:0.5 /suf:-alive", environment);
      EXPECT_EQ(temporaries(), 2 * whileWriting);
      killed.kill();
      // Only a named file outlives its writer.
      EXPECT_EQ(temporaries(), named ? 2 * whileWriting : whileWriting);
      EXPECT_EQ(readFile(source), original);
      EXPECT_FALSE(fs::exists(in / "k-new.jpg"));
      EXPECT_EQ(converter->run(sourceAndDest(source, in) + " /m:r /r:0.5 /suf:-later").exitCode, 0);
      EXPECT_EQ(temporaries(), whileWriting);
      fs::remove(in / "k-later.jpg");
#ifdef _WIN32
      alive.kill();
      EXPECT_EQ(converter->run(sourceAndDest(source, in) + " /m:r /r:0.5 /suf:-later").exitCode, 0);
#else
      EXPECT_EQ(alive.carryOn(), 0);
      EXPECT_TRUE(fs::exists(in / "k-alive.jpg"));
#endif
      EXPECT_EQ(temporaries(), 0u);
      fs::remove(in / "k-later.jpg");
      fs::remove(in / "k-alive.jpg");
#ifndef _WIN32
      // Told to end: the temporary file goes too.
      converter->startStoppedBeforeRename(sourceAndDest(source, in) + switches, environment)
          .askToEnd();
      EXPECT_EQ(temporaries(), 0u);
      EXPECT_EQ(readFile(source), original);
      EXPECT_FALSE(fs::exists(in / "k-new.jpg"));
#endif
    }
  }
}

TEST_F(ConverterEndToEnd, SlotsAreHeldWhileConvertingAndFreedWhenTheHolderDies) {
  const fs::path source = writeJpeg("s.jpg", {64, 64});
  const unsigned slots = std::max(1U, std::thread::hardware_concurrency());
  // Converters stopped with their result written hold their slots; the slot trace tells whether
  // one more takes a slot at once ("+") or waits ("w", which Windows does not record).
  auto startHolders = [&](const fs::path& trace) {
    std::vector<StartedConverter> holders;
    for (unsigned i = 0; i < slots; ++i) {
      holders.push_back(converter->startStoppedBeforeRename(
          sourceAndDest(source, folder / "out") + " /m:r /r:0.5 /o",
          {"MULTICONV_SLOT_TRACE=" + utf8(trace)}));
    }
    return holders;
  };
  std::vector<StartedConverter> holders = startHolders(folder / "holders.trace");
  const fs::path trace = folder / "waiter.trace";
  StartedConverter waiter =
      converter->start(sourceAndDest(source, folder / "out") + " /m:r /r:0.5 /suf:-waiter",
                       {"MULTICONV_SLOT_TRACE=" + utf8(trace)});
#ifdef _WIN32
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_EQ(readFile(trace), "");
  EXPECT_FALSE(waiter.exitCode().has_value());
  const std::string waited = "+\n-\n";
#else
  while (readFile(trace).empty()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(readFile(trace), "w\n");
  const std::string waited = "w\n-\n";
#endif
  for (StartedConverter& holder : holders) {
    holder.kill();
  }
  EXPECT_EQ(waiter.wait(), 0);
  EXPECT_EQ(readFile(trace), waited);
  // Every slot of the killed holders came free: as many again take one at once.
  const fs::path again = folder / "again.trace";
  for (StartedConverter& holder : startHolders(again)) {
    holder.kill();
  }
  std::string eachAtOnce;
  for (unsigned i = 0; i < slots; ++i) eachAtOnce += "+\n";
  EXPECT_EQ(readFile(again), eachAtOnce);
}

#ifndef _WIN32
TEST_F(ConverterEndToEnd, AnUnusableSlotFolderGivesWayToTheNextPlace) {
  const fs::path source = writeJpeg("f.jpg", {64, 64});
  const fs::path runtime = folder / "runtime";
  fs::create_directories(runtime);
  std::ofstream(folder / "a file") << "x";
  fs::create_directories(folder / "shared");
  fs::permissions(folder / "shared", fs::perms::all);
  const struct {
    const char* why;
    fs::path slotFolder;
  } cases[] = {{"a file in its place", folder / "a file"},
               {"a missing parent", folder / "missing" / "slots"},
               {"writable by others", folder / "shared"}};
  for (const auto& [why, slotFolder] : cases) {
    const fs::path trace = folder / "slots.trace";
    fs::remove(trace);
    const RunResult result = converter->run(
        sourceAndDest(source, folder / "out") + " /m:r /r:0.5 /o",
        {"MULTICONV_SLOT_DIR=" + slotFolder.string(), "XDG_RUNTIME_DIR=" + runtime.string(),
         "MULTICONV_SLOT_TRACE=" + trace.string()});
    EXPECT_EQ(result.exitCode, 0) << why;
    EXPECT_EQ(readFile(trace), "+\n-\n") << why;
    EXPECT_TRUE(fs::exists(runtime / "karvelo-slots" / "slots")) << why;
  }
  ConversionSlot::discard((runtime / "karvelo-slots").string());
}
#endif
