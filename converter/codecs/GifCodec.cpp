// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/codecs/LibraryCodecs.h"
#include "converter/codecs/PaletteQuantizer.h"
#include "converter/core/ConversionError.h"
#include "converter/engine/RowStore.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <optional>
#include <stdexcept>

namespace karvelo::converter {

namespace {

struct ReadState {
  SourceReader reader;
  std::exception_ptr cause;
};

int readSource(GifFileType* gif, GifByteType* out, int length) {
  auto* state = static_cast<ReadState*>(gif->UserData);
  try {
    return static_cast<int>(state->reader.read(out, static_cast<std::size_t>(length)));
  } catch (...) {
    state->cause = std::current_exception();
    return 0;
  }
}

struct DecoderClose {
  void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};

// The first frame, painted onto the logical screen: rows outside the frame, and its transparent
// pixels, are fully transparent.
class GifDecoder final : public Decoder {
 public:
  explicit GifDecoder(const ByteSource& source) : state_{SourceReader(source), nullptr} {}

  DecodedRows start(PixelSize) override {
    int error = 0;
    gif_.reset(DGifOpen(&state_, readSource, &error));
    if (!gif_) {
      fail(error);
    }
    int transparent = NO_TRANSPARENT_COLOR;
    for (GifRecordType record = UNDEFINED_RECORD_TYPE; record != IMAGE_DESC_RECORD_TYPE;) {
      check(DGifGetRecordType(gif_.get(), &record));
      if (record == TERMINATE_RECORD_TYPE) {
        damagedPicture("the GIF file holds no picture");
      }
      if (record == EXTENSION_RECORD_TYPE) {
        int code = 0;
        GifByteType* extension = nullptr;
        check(DGifGetExtension(gif_.get(), &code, &extension));
        GraphicsControlBlock control;
        if (code == GRAPHICS_EXT_FUNC_CODE && extension != nullptr && extension[0] >= 4 &&
            DGifExtensionToGCB(extension[0], extension + 1, &control) == GIF_OK) {
          transparent = control.TransparentColor;
        }
        while (extension != nullptr) {
          check(DGifGetExtensionNext(gif_.get(), &extension));
        }
      }
    }
    check(DGifGetImageDesc(gif_.get()));
    frame_ = gif_->Image;
    if (frame_.Width <= 0 || frame_.Height <= 0) {
      damagedPicture("a GIF frame has no pixels");
    }
    screen_ = {static_cast<std::uint32_t>(gif_->SWidth), static_cast<std::uint32_t>(gif_->SHeight)};
    if (screen_.width == 0 || screen_.height == 0) {
      screen_ = {static_cast<std::uint32_t>(frame_.Left + frame_.Width),
                 static_cast<std::uint32_t>(frame_.Top + frame_.Height)};
    }
    const ColorMapObject* colors = frame_.ColorMap != nullptr ? frame_.ColorMap : gif_->SColorMap;
    if (colors == nullptr) {
      damagedPicture("the GIF file has no colour table");
    }
    for (int i = 0; i < colors->ColorCount && i < 256; ++i) {
      if (i != transparent) {
        palette_[static_cast<std::size_t>(i)] = {colors->Colors[i].Red, colors->Colors[i].Green,
                                                 colors->Colors[i].Blue, 255};
      }
    }
    line_.resize(static_cast<std::size_t>(frame_.Width));
    // Only the frame's rows that lie on the screen are kept.
    visibleRows_ = static_cast<std::uint32_t>(
        std::clamp<long>(static_cast<long>(screen_.height) - frame_.Top, 0, frame_.Height));
    if (frame_.Interlace && visibleRows_ > 0) {
      readInterlaced();
    }
    DecodedRows rows;
    rows.size = screen_;
    rows.model = ColorModel::Rgba;
    rows.hints.paletteBits = 8;
    return rows;
  }

  void readRow(std::span<std::uint8_t> row) override {
    std::fill(row.begin(), row.end(), 0);
    const long frameRow = static_cast<long>(row_++) - frame_.Top;
    if (frameRow < 0 || frameRow >= static_cast<long>(visibleRows_)) {
      return;
    }
    if (store_) {
      store_->read(static_cast<std::uint32_t>(frameRow), 0, line_);
    } else {
      check(DGifGetLine(gif_.get(), line_.data(), frame_.Width));
    }
    for (int column = 0; column < frame_.Width; ++column) {
      const long x = frame_.Left + column;
      if (x >= 0 && x < static_cast<long>(screen_.width)) {
        std::memcpy(row.data() + x * 4, palette_[line_[static_cast<std::size_t>(column)]].data(),
                    4);
      }
    }
  }

 private:
  // An interlaced frame comes in four passes over its rows, so its rows are gathered first.
  void readInterlaced() {
    store_.emplace(line_.size(), visibleRows_);
    constexpr int starts[] = {0, 4, 2, 1};
    constexpr int steps[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
      for (int y = starts[pass]; y < frame_.Height; y += steps[pass]) {
        check(DGifGetLine(gif_.get(), line_.data(), frame_.Width));
        if (static_cast<std::uint32_t>(y) < visibleRows_) {
          store_->write(static_cast<std::uint32_t>(y), line_);
        }
      }
    }
  }

  [[noreturn]] void fail(int error) {
    if (state_.cause) {
      std::rethrow_exception(state_.cause);
    }
    const char* text = GifErrorString(error);
    damagedPicture(text != nullptr ? text : "GIF data cannot be read");
  }

  void check(int status) {
    if (status == GIF_ERROR) {
      fail(gif_->Error);
    }
  }

  ReadState state_;
  std::unique_ptr<GifFileType, DecoderClose> gif_;
  GifImageDesc frame_{};
  PixelSize screen_;
  std::uint32_t visibleRows_ = 0;
  std::array<std::array<std::uint8_t, 4>, 256> palette_{};
  std::vector<GifPixelType> line_;
  std::optional<RowStore> store_;
  std::uint32_t row_ = 0;
};

struct WriteState {
  ByteSink* sink;
  std::exception_ptr cause;
};

int writeSink(GifFileType* gif, const GifByteType* data, int length) {
  auto* state = static_cast<WriteState*>(gif->UserData);
  try {
    state->sink->append(std::span<const std::uint8_t>(data, static_cast<std::size_t>(length)));
    return length;
  } catch (...) {
    state->cause = std::current_exception();
    return 0;
  }
}

// A GIF needs one palette for the whole picture, so the rows are gathered and quantised first.
class GifEncoder final : public Encoder {
 public:
  void start(const EncodedRows& result, ByteSink& sink) override {
    if (result.model != ColorModel::Rgba) {
      throw std::logic_error("GIF pictures are quantized from RGBA pixels");
    }
    size_ = result.size;
    state_.sink = &sink;
    quantizer_.emplace(size_, 256);
  }

  void writeRow(std::span<const std::uint8_t> row) override {
    // A GIF pixel is either opaque or fully transparent.
    std::vector<std::uint8_t>& pixels = row_;
    pixels.assign(row.begin(), row.end());
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
      if (pixels[i + 3] < 128) {
        std::fill_n(pixels.begin() + static_cast<std::ptrdiff_t>(i), 4, 0);
      } else {
        pixels[i + 3] = 255;
      }
    }
    quantizer_->addRow(pixels, 4);
  }

  void finish() override {
    const std::vector<PaletteColor> palette = quantizer_->quantize();
    int error = 0;
    GifFileType* gif = EGifOpen(&state_, writeSink, &error);
    if (gif == nullptr) {
      throw std::runtime_error("GIF encoding failed");
    }
    bool ok = writeHeader(gif, palette);
    try {
      quantizer_->remap([&](std::uint32_t, std::span<const std::uint8_t> indexes) {
        ok = ok && EGifPutLine(gif, const_cast<GifPixelType*>(indexes.data()),
                               static_cast<int>(size_.width)) == GIF_OK;
      });
    } catch (...) {
      EGifCloseFile(gif, &error);
      throw;
    }
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    if (state_.cause) {
      std::rethrow_exception(state_.cause);
    }
    if (!ok) {
      throw std::runtime_error("GIF encoding failed");
    }
  }

 private:
  bool writeHeader(GifFileType* gif, const std::vector<PaletteColor>& palette) {
    int tableSize = 2;
    while (tableSize < static_cast<int>(palette.size())) {
      tableSize *= 2;
    }
    std::vector<GifColorType> colors(static_cast<std::size_t>(tableSize), GifColorType{0, 0, 0});
    int transparent = NO_TRANSPARENT_COLOR;
    for (std::size_t i = 0; i < palette.size(); ++i) {
      colors[i] = {palette[i][0], palette[i][1], palette[i][2]};
      if (palette[i][3] < 128 && transparent == NO_TRANSPARENT_COLOR) {
        transparent = static_cast<int>(i);
      }
    }
    ColorMapObject* map = GifMakeMapObject(tableSize, colors.data());
    const int width = static_cast<int>(size_.width);
    const int height = static_cast<int>(size_.height);
    EGifSetGifVersion(gif, true);
    bool ok = map != nullptr && EGifPutScreenDesc(gif, width, height, 8, 0, map) == GIF_OK;
    if (ok && transparent != NO_TRANSPARENT_COLOR) {
      GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, transparent};
      GifByteType extension[4];
      EGifGCBToExtension(&control, extension);
      ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK;
    }
    ok = ok && EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr) == GIF_OK;
    GifFreeMapObject(map);
    return ok;
  }

  PixelSize size_;
  WriteState state_{nullptr, nullptr};
  std::optional<PaletteQuantizer> quantizer_;
  std::vector<std::uint8_t> row_;
};

}  // namespace

std::unique_ptr<Decoder> gifDecoder(const ByteSource& source) {
  return std::make_unique<GifDecoder>(source);
}

std::unique_ptr<Encoder> gifEncoder() { return std::make_unique<GifEncoder>(); }

}  // namespace karvelo::converter
