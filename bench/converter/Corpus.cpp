// SPDX-License-Identifier: GPL-3.0-or-later
#include "Corpus.h"

#include "converter/engine/WholePicture.h"

#include <gif_lib.h>
#include <zlib.h>
#include <stb/stb_easy_font.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <functional>
#include <span>
#include <thread>

namespace karvelo::bench {

namespace {

using converter::ColorModel;
using converter::Image;
using converter::Picture;
using converter::PictureFormat;
using converter::PixelSize;

std::uint32_t hash(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
  std::uint32_t h = x * 0x8da6b343U ^ y * 0xd8163841U ^ seed * 0xcb1ab31fU;
  h ^= h >> 13;
  h *= 0x5bd1e995U;
  h ^= h >> 15;
  return h;
}

double lattice(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
  return (hash(x, y, seed) & 0xFFFF) / 65535.0 * 2.0 - 1.0;
}

// Smooth value noise at one wavelength.
double valueNoise(double x, double y, double wavelength, std::uint32_t seed) {
  const double fx = x / wavelength;
  const double fy = y / wavelength;
  const auto ix = static_cast<std::uint32_t>(fx);
  const auto iy = static_cast<std::uint32_t>(fy);
  double tx = fx - ix;
  double ty = fy - iy;
  tx = tx * tx * (3 - 2 * tx);
  ty = ty * ty * (3 - 2 * ty);
  const double top = lattice(ix, iy, seed) * (1 - tx) + lattice(ix + 1, iy, seed) * tx;
  const double bottom = lattice(ix, iy + 1, seed) * (1 - tx) + lattice(ix + 1, iy + 1, seed) * tx;
  return top * (1 - ty) + bottom * ty;
}

std::uint8_t clamp8(double v) {
  return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

// Photo-like: brightness with a 1/f-like spread of detail from large shapes down to fine
// texture, gently varying colour, a few objects with sharp outlines, and a little sensor grain.
Image photo(PixelSize size, std::uint32_t seed) {
  Image image = Image::blank(size, ColorModel::Rgb);
  const double scale = size.width / 4000.0;
  struct Disc {
    double x, y, r, tint;
  };
  std::vector<Disc> discs;
  for (std::uint32_t i = 0; i < 12; ++i) {
    discs.push_back({(hash(i, 1, seed) % 1000) / 1000.0 * size.width,
                     (hash(i, 2, seed) % 1000) / 1000.0 * size.height,
                     (80 + hash(i, 3, seed) % 500) * scale, (hash(i, 4, seed) % 200) - 100.0});
  }
  for (std::uint32_t y = 0; y < size.height; ++y) {
    std::uint8_t* row = image.pixels.data() + image.rowBytes() * y;
    for (std::uint32_t x = 0; x < size.width; ++x) {
      double light = 0;
      double amplitude = 60;
      for (double wavelength = 1600 * scale; wavelength >= 6; wavelength /= 2, amplitude *= 0.62) {
        light +=
            amplitude * valueNoise(x, y, wavelength, seed + static_cast<std::uint32_t>(wavelength));
      }
      const double warm = 30 * valueNoise(x, y, 900 * scale, seed + 7);
      const double green = 25 * valueNoise(x, y, 700 * scale, seed + 9);
      for (const Disc& disc : discs) {
        const double dx = x - disc.x;
        const double dy = y - disc.y;
        if (dx * dx + dy * dy < disc.r * disc.r) {
          light += disc.tint * 0.6;
        }
      }
      const double grain = ((hash(x, y, seed + 99) & 0xFF) / 255.0 - 0.5) * 5;
      const double base = 120 + light + grain;
      row[3 * x] = clamp8(base + warm);
      row[3 * x + 1] = clamp8(base + green - warm * 0.3);
      row[3 * x + 2] = clamp8(base - warm - green * 0.5);
    }
  }
  return image;
}

void fill(Image& image, int x0, int y0, int x1, int y1, const std::array<std::uint8_t, 4>& color) {
  x0 = std::max(x0, 0);
  y0 = std::max(y0, 0);
  x1 = std::min(x1, static_cast<int>(image.size.width));
  y1 = std::min(y1, static_cast<int>(image.size.height));
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      std::copy(color.begin(), color.end(),
                image.pixels.begin() +
                    static_cast<long>((static_cast<std::size_t>(y) * image.size.width + x) * 4));
    }
  }
}

void text(Image& image, int x, int y, int zoom, const std::string& line,
          const std::array<std::uint8_t, 4>& color) {
  thread_local char buffer[60000];
  unsigned char unused[4] = {0, 0, 0, 255};
  const int quads =
      stb_easy_font_print(0, 0, const_cast<char*>(line.c_str()), unused, buffer, sizeof buffer);
  for (int q = 0; q < quads; ++q) {
    const float* v = reinterpret_cast<const float*>(buffer + q * 64);
    const float* w = reinterpret_cast<const float*>(buffer + q * 64 + 32);
    fill(image, x + static_cast<int>(v[0] * zoom), y + static_cast<int>(v[1] * zoom),
         x + static_cast<int>(w[0] * zoom), y + static_cast<int>(w[1] * zoom), color);
  }
}

// A screenshot: a desktop-like window with a title bar, panels, lines of text, and a
// transparent margin with a soft shadow.
Image screenshot(PixelSize size, std::uint32_t seed) {
  Image image = Image::blank(size, ColorModel::Rgba);
  const int w = static_cast<int>(size.width);
  const int h = static_cast<int>(size.height);
  for (int i = 0; i < 24; ++i) {  // shadow ramp into full transparency
    const auto alpha = static_cast<std::uint8_t>(4 * i);
    fill(image, 40 + i, 40 + i, w - 40 - i + 16, h - 40 - i + 16, {0, 0, 0, alpha});
  }
  fill(image, 40, 40, w - 64, h - 64, {246, 246, 248, 255});
  fill(image, 40, 40, w - 64, 80, {40, 70, 120, 255});
  text(image, 56, 50, 2, "Karvelo benchmark window " + std::to_string(seed), {255, 255, 255, 255});
  fill(image, 40, 80, 340, h - 64, {225, 228, 235, 255});
  for (int i = 0; i < 30; ++i) {
    text(image, 56, 96 + i * 30, 2, "Folder " + std::to_string(hash(i, 0, seed) % 10000),
         {20, 20, 30, 255});
  }
  for (int line = 0; line < 70; ++line) {
    std::string words;
    for (int word = 0; word < 14; ++word) {
      const std::uint32_t n = hash(line, word, seed);
      words += std::string(1 + n % 9, static_cast<char>('a' + n % 26)) + " ";
    }
    text(image, 370, 100 + line * 13, 1, words, {30, 30, 30, 255});
  }
  fill(image, 1200, 120, 1800, 520, {200, 60, 60, 160});  // a translucent panel
  text(image, 1220, 140, 3, "Translucent note", {255, 255, 255, 255});
  return image;
}

void save(const std::filesystem::path& path, const Picture& picture, PictureFormat format) {
  const std::vector<std::uint8_t> bytes =
      converter::encodePicture(converter::platformCodecs(), format, picture);
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

void writeBytes(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
}

// 20000 x 20000 pixels, written a row at a time: a smooth RGB PNG, and a GIF of eight stripes.
void largePictures(const std::filesystem::path& dir) {
  constexpr std::uint32_t side = 20000;
  if (!std::filesystem::exists(dir / "big.png")) {
    converter::MemorySink sink;
    const auto encoder = converter::platformCodecs().encoder(PictureFormat::Png);
    encoder->start({{side, side}, ColorModel::Rgb, {}}, sink);
    std::vector<std::uint8_t> row(side * 3);
    for (std::uint32_t y = 0; y < side; ++y) {
      for (std::uint32_t x = 0; x < side; ++x) {
        row[3 * x] = static_cast<std::uint8_t>(x * 255 / side);
        row[3 * x + 1] = static_cast<std::uint8_t>(y * 255 / side);
        row[3 * x + 2] = 128;
      }
      encoder->writeRow(row);
    }
    encoder->finish();
    writeBytes(dir / "big.png", sink.bytes());
  }
  if (!std::filesystem::exists(dir / "big.gif")) {
    int error = 0;
    GifFileType* gif = EGifOpenFileName((dir / "big.gif").c_str(), false, &error);
    std::vector<GifColorType> colors(8);
    for (int i = 0; i < 8; ++i) {
      colors[static_cast<std::size_t>(i)] = {static_cast<GifByteType>(i * 36), 90,
                                             static_cast<GifByteType>(255 - i * 36)};
    }
    ColorMapObject* map = GifMakeMapObject(8, colors.data());
    EGifPutScreenDesc(gif, side, side, 8, 0, map);
    EGifPutImageDesc(gif, 0, 0, side, side, false, nullptr);
    std::vector<GifPixelType> line(side);
    for (std::uint32_t y = 0; y < side; ++y) {
      for (std::uint32_t x = 0; x < side; ++x) {
        line[x] = static_cast<GifPixelType>((x + y) / 2500 % 8);
      }
      EGifPutLine(gif, line.data(), side);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
  }
  // A few bytes each, declaring 20000 x 20000 (the JPEG 22000 x 22000) pixels: a one-pixel frame
  // on a GIF screen, a PNG with ten bytes of data, a TIFF with one strip of eight bytes, and a
  // JPEG of a few hundred bytes.
  const std::string screen(
      "GIF89a\x20\x4E\x20\x4E\x80\0\0\0\0\0\xFF\xFF\xFF,\0\0\0\0\x01\0\x01\0\0\x02\x02\x44\x01\0;",
      35);
  writeBytes(dir / "screen.gif",
             std::span(reinterpret_cast<const std::uint8_t*>(screen.data()), screen.size()));
  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  auto put32 = [&](std::uint32_t number) {
    for (int shift = 24; shift >= 0; shift -= 8) {
      png.push_back(static_cast<std::uint8_t>(number >> shift));
    }
  };
  auto chunk = [&](const char* type, std::vector<std::uint8_t> data) {
    put32(static_cast<std::uint32_t>(data.size()));
    data.insert(data.begin(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    put32(static_cast<std::uint32_t>(crc32(0, data.data(), static_cast<uInt>(data.size()))));
  };
  chunk("IHDR", {0, 0, 0x4E, 0x20, 0, 0, 0x4E, 0x20, 8, 2, 0, 0, 0});
  chunk("IDAT", {0x78, 0x9C, 0x63, 0x60, 0x80, 0x01, 0, 0, 0x0A, 0, 0x01});
  chunk("IEND", {});
  writeBytes(dir / "tiny.png", png);
  std::vector<std::uint8_t> tiff = {'I', 'I', 42, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 0};
  for (const auto& [tag, type, value] : {std::array<std::uint32_t, 3>{256, 4, 20000},
                                         {257, 4, 20000},
                                         {258, 3, 8},
                                         {259, 3, 1},
                                         {262, 3, 2},
                                         {273, 4, 8},
                                         {277, 3, 3},
                                         {278, 4, 20000},
                                         {279, 4, 8}}) {
    for (const std::uint32_t field : {tag | (type << 16), 1U, value}) {
      for (int shift = 0; shift < 32; shift += 8) {
        tiff.push_back(static_cast<std::uint8_t>(field >> shift));
      }
    }
  }
  tiff.resize(204, 0);
  writeBytes(dir / "tiny.tif", tiff);
  Picture small;
  small.image = photo({64, 64}, 7);
  std::vector<std::uint8_t> jpeg =
      converter::encodePicture(converter::platformCodecs(), PictureFormat::Jpeg, small);
  const std::uint8_t startOfFrame[] = {0xFF, 0xC0};
  const auto frame =
      std::search(jpeg.begin(), jpeg.end(), std::begin(startOfFrame), std::end(startOfFrame));
  frame[5] = frame[7] = 22000 >> 8;
  frame[6] = frame[8] = 22000 & 0xFF;
  writeBytes(dir / "tiny.jpg", jpeg);
}

// Draws the pictures of a corpus that are not written yet, on every processor at once.
class Drawing {
 public:
  using Build = std::function<Picture()>;

  void add(const std::filesystem::path& path, PictureFormat format, Build build) {
    if (!std::filesystem::exists(path)) {
      missing_.push_back([=] { save(path, build(), format); });
    }
  }

  void run() {
    std::atomic<std::size_t> next = 0;
    std::vector<std::jthread> drawers(std::max(1U, std::thread::hardware_concurrency()));
    for (std::jthread& drawer : drawers) {
      drawer = std::jthread([&] {
        for (std::size_t i; (i = next++) < missing_.size();) missing_[i]();
      });
    }
  }  // every drawer has ended here

 private:
  std::vector<std::function<void()>> missing_;
};

Picture pictureOf(Image image, bool lossless = false) {
  Picture picture;
  picture.image = std::move(image);
  picture.hints.lossless = lossless;
  return picture;
}

// A screenshot as a JPEG holds it: the window on white, without transparency.
Image flattened(const Image& rgba) {
  Image image = Image::blank(rgba.size, ColorModel::Rgb);
  for (std::size_t p = 0; p < rgba.size.area(); ++p) {
    const unsigned alpha = rgba.pixels[4 * p + 3];
    for (int c = 0; c < 3; ++c) {
      image.pixels[3 * p + c] =
          static_cast<std::uint8_t>((rgba.pixels[4 * p + c] * alpha + 255 * (255 - alpha) + 127) / 255);
    }
  }
  return image;
}

}  // namespace

std::vector<PictureClass> makeCorpus(const std::filesystem::path& folder, int photos,
                                     int smallPhotos, int screenshots, bool large) {
  std::vector<PictureClass> classes = {
      {"12 MP JPEG", {}, true}, {"800x600 JPEG", {}, true}, {"1920x1080 PNG", {}, false}};
  const std::filesystem::path dirs[3] = {folder / "photo12mp", folder / "photo800",
                                         folder / "screen"};
  for (const auto& dir : dirs) {
    std::filesystem::create_directories(dir);
  }
  Drawing drawing;
  for (int i = 0; i < photos; ++i) {
    const auto path = dirs[0] / ("photo" + std::to_string(i) + ".jpg");
    const auto seed = static_cast<std::uint32_t>(i);
    drawing.add(path, PictureFormat::Jpeg, [=] { return pictureOf(photo({4000, 3000}, seed)); });
    classes[0].files.push_back(path);
  }
  for (int i = 0; i < smallPhotos; ++i) {
    const auto path = dirs[1] / ("small" + std::to_string(i) + ".jpg");
    const auto seed = static_cast<std::uint32_t>(1000 + i);
    drawing.add(path, PictureFormat::Jpeg, [=] { return pictureOf(photo({800, 600}, seed)); });
    classes[1].files.push_back(path);
  }
  for (int i = 0; i < screenshots; ++i) {
    const auto path = dirs[2] / ("screen" + std::to_string(i) + ".png");
    const auto seed = static_cast<std::uint32_t>(i);
    drawing.add(path, PictureFormat::Png,
                [=] { return pictureOf(screenshot({1920, 1080}, seed)); });
    classes[2].files.push_back(path);
  }
  drawing.run();
  if (large) {
    const std::filesystem::path dir = folder / "large";
    std::filesystem::create_directories(dir);
    largePictures(dir);
    PictureClass pictures{"large and hostile", {}, false, 100};
    for (const char* name :
         {"big.png", "big.gif", "screen.gif", "tiny.png", "tiny.tif", "tiny.jpg"}) {
      pictures.files.push_back(dir / name);
    }
    classes.push_back(pictures);
  }
  return classes;
}

FormatCorpus makeFormatCorpus(const std::filesystem::path& folder, int count) {
  const std::filesystem::path dir = folder / "formats";
  std::filesystem::create_directories(dir);
  FormatCorpus corpus{{"JPEG screenshot", {}, false},
                      {"large PNG", {}, true},
                      {"lossy WebP", {}, true},
                      {"lossless WebP", {}, false},
                      {"HEIC", {}, true},
                      {"AVIF", {}, true}};
  Drawing drawing;
  for (int i = 0; i < count; ++i) {
    const auto seed = static_cast<std::uint32_t>(2000 + i);
    const std::string n = std::to_string(i);
    corpus.jpegScreenshots.files.push_back(dir / ("text" + n + ".jpg"));
    drawing.add(corpus.jpegScreenshots.files.back(), PictureFormat::Jpeg,
                [=] { return pictureOf(flattened(screenshot({1920, 1080}, seed))); });
    corpus.lossyWebp.files.push_back(dir / ("photo" + n + ".webp"));
    drawing.add(corpus.lossyWebp.files.back(), PictureFormat::Webp,
                [=] { return pictureOf(photo({4000, 3000}, seed)); });
    corpus.losslessWebp.files.push_back(dir / ("screen" + n + ".webp"));
    drawing.add(corpus.losslessWebp.files.back(), PictureFormat::Webp,
                [=] { return pictureOf(screenshot({2560, 1440}, seed), true); });
    corpus.heic.files.push_back(dir / ("phone" + n + ".heic"));
    drawing.add(corpus.heic.files.back(), PictureFormat::Heif,
                [=] { return pictureOf(photo({4000, 3000}, seed)); });
    corpus.avif.files.push_back(dir / ("phone" + n + ".avif"));
    drawing.add(corpus.avif.files.back(), PictureFormat::Avif,
                [=] { return pictureOf(photo({4000, 3000}, seed)); });
  }
  // The large PNG is a photograph of about 18 megapixels, as a camera's picture saved losslessly.
  for (int i = 0; i < 2; ++i) {
    const auto seed = static_cast<std::uint32_t>(3000 + i);
    corpus.largePng.files.push_back(dir / ("large" + std::to_string(i) + ".png"));
    drawing.add(corpus.largePng.files.back(), PictureFormat::Png,
                [=] { return pictureOf(photo({5640, 3172}, seed)); });
  }
  drawing.run();
  return corpus;
}

}  // namespace karvelo::bench
