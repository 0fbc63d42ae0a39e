#include "converter/engine/GifCodec.h"

#include "converter/core/ConversionError.h"
#include "converter/core/TargetSize.h"

#include <gif_lib.h>
#include <libimagequant.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

namespace karvelo::converter {

namespace {

constexpr int quantizeSpeed = 6;

struct ReadCursor {
  std::span<const std::uint8_t> data;
  std::size_t pos = 0;
};

int readFromMemory(GifFileType* gif, GifByteType* out, int length) {
  auto* cursor = static_cast<ReadCursor*>(gif->UserData);
  const std::size_t count =
      std::min<std::size_t>(static_cast<std::size_t>(length), cursor->data.size() - cursor->pos);
  std::memcpy(out, cursor->data.data() + cursor->pos, count);
  cursor->pos += count;
  return static_cast<int>(count);
}

int writeToVector(GifFileType* gif, const GifByteType* data, int length) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + length);
  return length;
}

struct DecoderClose {
  void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};
using Decoder = std::unique_ptr<GifFileType, DecoderClose>;

[[noreturn]] void gifDamaged(int error) {
  const char* text = GifErrorString(error);
  damagedPicture(text != nullptr ? text : "GIF data cannot be read");
}

// Reads the first frame onto the logical screen; returns the screen in RGBA.
Image readFirstFrame(GifFileType* gif) {
  int transparent = NO_TRANSPARENT_COLOR;
  for (;;) {
    GifRecordType record = UNDEFINED_RECORD_TYPE;
    if (DGifGetRecordType(gif, &record) == GIF_ERROR) {
      gifDamaged(gif->Error);
    }
    if (record == TERMINATE_RECORD_TYPE) {
      damagedPicture("the GIF file holds no picture");
    }
    if (record == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* extension = nullptr;
      if (DGifGetExtension(gif, &code, &extension) == GIF_ERROR) {
        gifDamaged(gif->Error);
      }
      if (code == GRAPHICS_EXT_FUNC_CODE && extension != nullptr && extension[0] >= 4) {
        GraphicsControlBlock control;
        if (DGifExtensionToGCB(extension[0], extension + 1, &control) == GIF_OK) {
          transparent = control.TransparentColor;
        }
      }
      while (extension != nullptr) {
        if (DGifGetExtensionNext(gif, &extension) == GIF_ERROR) {
          gifDamaged(gif->Error);
        }
      }
      continue;
    }
    if (record != IMAGE_DESC_RECORD_TYPE) {
      continue;
    }
    if (DGifGetImageDesc(gif) == GIF_ERROR) {
      gifDamaged(gif->Error);
    }
    const GifImageDesc& frame = gif->Image;
    if (frame.Width <= 0 || frame.Height <= 0) {
      damagedPicture("a GIF frame has no pixels");
    }
    PixelSize screen{static_cast<std::uint32_t>(gif->SWidth),
                     static_cast<std::uint32_t>(gif->SHeight)};
    if (screen.width == 0 || screen.height == 0) {
      screen = {static_cast<std::uint32_t>(frame.Left + frame.Width),
                static_cast<std::uint32_t>(frame.Top + frame.Height)};
    }
    checkSourceSize(PixelSize{static_cast<std::uint32_t>(frame.Width),
                              static_cast<std::uint32_t>(frame.Height)});
    checkSourceSize(screen);
    const ColorMapObject* colors = frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
    if (colors == nullptr) {
      damagedPicture("the GIF file has no colour table");
    }
    Image image = Image::blank(screen, ColorModel::Rgba);
    std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
    auto paint = [&](int row) {
      const long y = frame.Top + row;
      if (y < 0 || y >= static_cast<long>(screen.height)) {
        return;
      }
      for (int column = 0; column < frame.Width; ++column) {
        const long x = frame.Left + column;
        const int index = line[static_cast<std::size_t>(column)];
        if (x < 0 || x >= static_cast<long>(screen.width) || index == transparent ||
            index >= colors->ColorCount) {
          continue;
        }
        std::uint8_t* pixel =
            image.pixels.data() +
            (static_cast<std::size_t>(y) * screen.width + static_cast<std::size_t>(x)) * 4;
        pixel[0] = colors->Colors[index].Red;
        pixel[1] = colors->Colors[index].Green;
        pixel[2] = colors->Colors[index].Blue;
        pixel[3] = 255;
      }
    };
    auto readRow = [&](int row) {
      if (DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR) {
        gifDamaged(gif->Error);
      }
      paint(row);
    };
    if (frame.Interlace) {
      constexpr int starts[] = {0, 4, 2, 1};
      constexpr int steps[] = {8, 8, 4, 2};
      for (int pass = 0; pass < 4; ++pass) {
        for (int row = starts[pass]; row < frame.Height; row += steps[pass]) {
          readRow(row);
        }
      }
    } else {
      for (int row = 0; row < frame.Height; ++row) {
        readRow(row);
      }
    }
    return image;
  }
}

struct LiqAttrFree {
  void operator()(liq_attr* attr) const { liq_attr_destroy(attr); }
};
struct LiqImageFree {
  void operator()(liq_image* image) const { liq_image_destroy(image); }
};
struct LiqResultFree {
  void operator()(liq_result* result) const { liq_result_destroy(result); }
};

}  // namespace

PictureHeader GifCodec::probe(const SourceFile& source) const {
  const std::vector<std::uint8_t> head = source.read(0, 13);
  if (head.size() < 13) {
    damagedPicture("the GIF headers are cut short");
  }
  return {{static_cast<std::uint32_t>(head[6] | (head[7] << 8)),
           static_cast<std::uint32_t>(head[8] | (head[9] << 8))},
          1};
}

Picture GifCodec::decode(const SourceFile& source, PixelSize) const {
  const std::vector<std::uint8_t> data = source.readAll();
  ReadCursor cursor{data, 0};
  int error = 0;
  Decoder gif(DGifOpen(&cursor, readFromMemory, &error));
  if (!gif) {
    gifDamaged(error);
  }
  Picture picture;
  picture.image = readFirstFrame(gif.get());
  return picture;
}

std::vector<std::uint8_t> GifCodec::encode(const Picture& picture) const {
  const Image& source = picture.image;
  checkFormatLimit(source.size, 65535, "GIF");
  if (source.model != ColorModel::Rgba) {
    throw std::logic_error("GIF pictures are quantized from RGBA pixels");
  }
  // A GIF pixel is either opaque or fully transparent.
  std::vector<std::uint8_t> pixels = source.pixels;
  for (std::size_t i = 0; i < pixels.size(); i += 4) {
    if (pixels[i + 3] < 128) {
      std::fill_n(pixels.begin() + static_cast<long>(i), 4, 0);
    } else {
      pixels[i + 3] = 255;
    }
  }
  const int width = static_cast<int>(source.size.width);
  const int height = static_cast<int>(source.size.height);
  std::unique_ptr<liq_attr, LiqAttrFree> attr(liq_attr_create());
  if (!attr) {
    throw std::bad_alloc();
  }
  liq_set_speed(attr.get(), quantizeSpeed);
  std::unique_ptr<liq_image, LiqImageFree> image(
      liq_image_create_rgba(attr.get(), pixels.data(), width, height, 0));
  liq_result* rawResult = nullptr;
  if (!image || liq_image_quantize(image.get(), attr.get(), &rawResult) != LIQ_OK) {
    throw std::runtime_error("GIF colour reduction failed");
  }
  std::unique_ptr<liq_result, LiqResultFree> result(rawResult);
  liq_set_dithering_level(result.get(), 1.0F);
  std::vector<std::uint8_t> indexes(static_cast<std::size_t>(width) * height);
  if (liq_write_remapped_image(result.get(), image.get(), indexes.data(), indexes.size()) !=
      LIQ_OK) {
    throw std::runtime_error("GIF colour reduction failed");
  }
  const liq_palette* palette = liq_get_palette(result.get());
  int tableSize = 2;
  while (tableSize < static_cast<int>(palette->count)) {
    tableSize *= 2;
  }
  std::vector<GifColorType> colors(static_cast<std::size_t>(tableSize), GifColorType{0, 0, 0});
  int transparent = NO_TRANSPARENT_COLOR;
  for (unsigned i = 0; i < palette->count; ++i) {
    colors[i] = {palette->entries[i].r, palette->entries[i].g, palette->entries[i].b};
    if (palette->entries[i].a < 128 && transparent == NO_TRANSPARENT_COLOR) {
      transparent = static_cast<int>(i);
    }
  }

  std::vector<std::uint8_t> out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, writeToVector, &error);
  if (gif == nullptr) {
    throw std::runtime_error("GIF encoding failed");
  }
  ColorMapObject* map = GifMakeMapObject(tableSize, colors.data());
  bool ok = map != nullptr;
  EGifSetGifVersion(gif, true);
  ok = ok && EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK;
  if (ok && transparent != NO_TRANSPARENT_COLOR) {
    GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, transparent};
    GifByteType extension[4];
    EGifGCBToExtension(&control, extension);
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK;
  }
  ok = ok && EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
  for (int y = 0; ok && y < height; ++y) {
    ok = EGifPutLine(gif, indexes.data() + static_cast<std::size_t>(y) * width, width) == GIF_OK;
  }
  ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
  GifFreeMapObject(map);
  if (!ok) {
    throw std::runtime_error("GIF encoding failed");
  }
  return out;
}

}  // namespace karvelo::converter
