// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/codecs/LibraryCodecs.h"
#include "converter/codecs/PaletteQuantizer.h"
#include "converter/core/ConversionError.h"
#include "converter/engine/FrameCanvas.h"
#include "converter/engine/RowStore.h"
#include "converter/metadata/FormatMetadata.h"

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

// The frames painted onto the logical screen. A still picture's frame is painted onto a
// transparent screen row by row; an animation's frames are composed onto the screen kept in a
// FrameCanvas, each as the frames before it left the screen. Rows outside the frame, and its
// transparent pixels, show what lies beneath.
class GifDecoder final : public Decoder {
 public:
  explicit GifDecoder(const ByteSource& source) : state_{SourceReader(source), nullptr} {}

  DecodedRows start(PixelSize) override {
    int error = 0;
    gif_.reset(DGifOpen(&state_, readSource, &error));
    if (!gif_) {
      fail(error);
    }
    screen_ = {static_cast<std::uint32_t>(gif_->SWidth), static_cast<std::uint32_t>(gif_->SHeight)};
    if (!startFrame()) {
      damagedPicture("the GIF file holds no picture");
    }
    if (screen_.width == 0 || screen_.height == 0) {
      screen_ = {static_cast<std::uint32_t>(frame_.Left + frame_.Width),
                 static_cast<std::uint32_t>(frame_.Top + frame_.Height)};
    }
    if (gifFrameCount(state_.reader.source()) > 1) {
      startCanvas();
    }
    return rows();
  }

  void readRow(std::span<std::uint8_t> row) override {
    const long frameRow = static_cast<long>(row_++) - frame_.Top;
    const bool inFrame = frameRow >= 0 && frameRow < static_cast<long>(visibleRows_);
    if (inFrame) {
      readLine(static_cast<std::uint32_t>(frameRow));
    }
    if (canvas_) {
      pixels_.resize(line_.size() * 4);
      for (std::size_t column = 0; inFrame && column < line_.size(); ++column) {
        std::memcpy(pixels_.data() + column * 4, palette_[line_[column]].data(), 4);
      }
      canvas_->composeRow(row_ - 1, inFrame ? std::span(pixels_) : std::span<std::uint8_t>(), row);
      return;
    }
    std::fill(row.begin(), row.end(), 0);
    for (int column = 0; inFrame && column < frame_.Width; ++column) {
      const long x = frame_.Left + column;
      if (x >= 0 && x < static_cast<long>(screen_.width)) {
        std::memcpy(row.data() + x * 4, palette_[line_[static_cast<std::size_t>(column)]].data(),
                    4);
      }
    }
  }

  std::optional<DecodedRows> nextFrame() override {
    // The frame's rows below the screen are read past.
    while (!store_ && linesRead_ < static_cast<std::uint32_t>(frame_.Height)) {
      readLine(linesRead_);
    }
    if (!startFrame()) {
      return std::nullopt;
    }
    if (!canvas_) {
      startCanvas();
    }
    row_ = 0;
    return rows();
  }

 private:
  DecodedRows rows() const {
    DecodedRows rows{screen_, ColorModel::Rgba, 1.0, 1.0, {}};
    rows.hints.paletteBits = 8;
    rows.timing = timing_;
    rows.loops = loops_;
    return rows;
  }

  // Reads the blocks up to the next frame and its descriptor; false at the file's end.
  bool startFrame() {
    int transparent = NO_TRANSPARENT_COLOR;
    timing_ = {};
    for (GifRecordType record = UNDEFINED_RECORD_TYPE; record != IMAGE_DESC_RECORD_TYPE;) {
      check(DGifGetRecordType(gif_.get(), &record));
      if (record == TERMINATE_RECORD_TYPE) {
        return false;
      }
      if (record == EXTENSION_RECORD_TYPE) {
        readExtension(transparent);
      }
    }
    check(DGifGetImageDesc(gif_.get()));
    frame_ = gif_->Image;
    if (frame_.Width <= 0 || frame_.Height <= 0) {
      damagedPicture("a GIF frame has no pixels");
    }
    const ColorMapObject* colors = frame_.ColorMap != nullptr ? frame_.ColorMap : gif_->SColorMap;
    if (colors == nullptr) {
      damagedPicture("the GIF file has no colour table");
    }
    palette_ = {};
    for (int i = 0; i < colors->ColorCount && i < 256; ++i) {
      if (i != transparent) {
        palette_[static_cast<std::size_t>(i)] = {colors->Colors[i].Red, colors->Colors[i].Green,
                                                 colors->Colors[i].Blue, 255};
      }
    }
    line_.resize(static_cast<std::size_t>(frame_.Width));
    linesRead_ = 0;
    // Only the frame's rows that lie on the screen are kept.
    const std::uint32_t screenHeight =
        screen_.height != 0 ? screen_.height
                            : static_cast<std::uint32_t>(frame_.Top + frame_.Height);
    visibleRows_ = static_cast<std::uint32_t>(
        std::clamp<long>(static_cast<long>(screenHeight) - frame_.Top, 0, frame_.Height));
    store_.reset();
    if (frame_.Interlace) {
      readInterlaced();
    }
    if (canvas_) {
      drawOnCanvas();
    }
    return true;
  }

  void startCanvas() {
    canvas_.emplace(screen_);
    drawOnCanvas();
  }

  void drawOnCanvas() {
    canvas_->beginFrame({static_cast<std::uint32_t>(frame_.Left),
                         static_cast<std::uint32_t>(frame_.Top),
                         static_cast<std::uint32_t>(frame_.Width),
                         static_cast<std::uint32_t>(frame_.Height)},
                        timing_.disposal);
  }

  // A frame's graphic control (delay, disposal, transparent colour), or the loop count of the
  // application extension that browsers heed; the rest is read past.
  void readExtension(int& transparent) {
    int code = 0;
    GifByteType* extension = nullptr;
    check(DGifGetExtension(gif_.get(), &code, &extension));
    GraphicsControlBlock control;
    if (code == GRAPHICS_EXT_FUNC_CODE && extension != nullptr && extension[0] >= 4 &&
        DGifExtensionToGCB(extension[0], extension + 1, &control) == GIF_OK) {
      transparent = control.TransparentColor;
      timing_.delayMs = static_cast<std::uint32_t>(std::max(control.DelayTime, 0)) * 10;
      timing_.disposal = std::clamp(control.DisposalMode, 0, 3);
    }
    const bool looping = code == APPLICATION_EXT_FUNC_CODE && extension != nullptr &&
                         extension[0] == 11 &&
                         (std::memcmp(extension + 1, "NETSCAPE2.0", 11) == 0 ||
                          std::memcmp(extension + 1, "ANIMEXTS1.0", 11) == 0);
    while (extension != nullptr) {
      check(DGifGetExtensionNext(gif_.get(), &extension));
      if (looping && extension != nullptr && extension[0] >= 3 && extension[1] == 1 && !loops_) {
        loops_ = littleEndian16(extension + 2);
      }
    }
  }

  void readLine(std::uint32_t frameRow) {
    if (store_) {
      store_->read(frameRow, 0, line_);
    } else {
      check(DGifGetLine(gif_.get(), line_.data(), frame_.Width));
      ++linesRead_;
    }
  }

  // An interlaced frame comes in four passes over its rows, so its rows are gathered first.
  void readInterlaced() {
    store_.emplace(line_.size(), std::max<std::uint32_t>(visibleRows_, 1));
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
  std::uint32_t linesRead_ = 0;
  std::array<std::array<std::uint8_t, 4>, 256> palette_{};
  std::vector<GifPixelType> line_;
  std::optional<RowStore> store_;
  std::optional<FrameCanvas> canvas_;
  std::vector<std::uint8_t> pixels_;
  FrameTiming timing_;
  std::optional<std::uint32_t> loops_;
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

struct EncoderClose {
  void operator()(GifFileType* gif) const { EGifCloseFile(gif, nullptr); }
};

// A GIF frame needs one palette for all its pixels, so its rows are gathered and quantised first.
// The frames of an animation are quantised one by one, each in its own palette: the first frame's
// is the file's global one, the others' their own.
class GifEncoder final : public Encoder {
 public:
  void start(const EncodedRows& result, ByteSink& sink) override {
    if (result.model != ColorModel::Rgba) {
      throw std::logic_error("GIF pictures are quantized from RGBA pixels");
    }
    result_ = result;
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

  void nextFrame(const EncodedRows& frame) override {
    writeFrame();
    result_.timing = frame.timing;
    quantizer_.emplace(size_, 256);
  }

  void finish() override {
    writeFrame();
    int error = 0;
    const bool ok = EGifCloseFile(gif_.release(), &error) == GIF_OK;
    if (state_.cause) {
      std::rethrow_exception(state_.cause);
    }
    if (!ok) {
      throw std::runtime_error("GIF encoding failed");
    }
  }

 private:
  // Quantises the gathered frame and writes it, after the file's head for the first.
  void writeFrame() {
    const std::vector<PaletteColor> palette = quantizer_->quantize();
    bool ok = writeHeaders(palette);
    quantizer_->remap([&](std::uint32_t, std::span<const std::uint8_t> indexes) {
      ok = ok && EGifPutLine(gif_.get(), const_cast<GifPixelType*>(indexes.data()),
                             static_cast<int>(size_.width)) == GIF_OK;
    });
    if (state_.cause) {
      std::rethrow_exception(state_.cause);
    }
    if (!ok) {
      throw std::runtime_error("GIF encoding failed");
    }
  }

  // The file's head before the first frame (the screen with the first palette, and the loop
  // count of an animation), then the frame's control block and descriptor.
  bool writeHeaders(const std::vector<PaletteColor>& palette) {
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
    const std::unique_ptr<ColorMapObject, void (*)(ColorMapObject*)> map(
        GifMakeMapObject(tableSize, colors.data()), GifFreeMapObject);
    const int width = static_cast<int>(size_.width);
    const int height = static_cast<int>(size_.height);
    const bool first = !gif_;
    const bool animated = result_.frames > 1;
    bool ok = map != nullptr;
    if (ok && first) {
      int error = 0;
      gif_.reset(EGifOpen(&state_, writeSink, &error));
      if (!gif_) {
        throw std::runtime_error("GIF encoding failed");
      }
      EGifSetGifVersion(gif_.get(), true);
      ok = EGifPutScreenDesc(gif_.get(), width, height, 8, 0, map.get()) == GIF_OK;
      if (ok && animated && result_.loops) {
        const auto loops =
            static_cast<std::uint16_t>(std::min<std::uint32_t>(*result_.loops, 0xFFFF));
        const GifByteType count[] = {1, static_cast<GifByteType>(loops & 0xFF),
                                     static_cast<GifByteType>(loops >> 8)};
        ok = EGifPutExtensionLeader(gif_.get(), APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
             EGifPutExtensionBlock(gif_.get(), 11, "NETSCAPE2.0") == GIF_OK &&
             EGifPutExtensionBlock(gif_.get(), 3, count) == GIF_OK &&
             EGifPutExtensionTrailer(gif_.get()) == GIF_OK;
      }
    }
    if (ok && (animated || transparent != NO_TRANSPARENT_COLOR)) {
      GraphicsControlBlock control{result_.timing.disposal, false,
                                   static_cast<int>((result_.timing.delayMs + 5) / 10),
                                   transparent};
      control.DelayTime = std::min(control.DelayTime, 0xFFFF);
      GifByteType extension[4];
      EGifGCBToExtension(&control, extension);
      ok = EGifPutExtension(gif_.get(), GRAPHICS_EXT_FUNC_CODE, 4, extension) == GIF_OK;
    }
    return ok && EGifPutImageDesc(gif_.get(), 0, 0, width, height, false,
                                  first ? nullptr : map.get()) == GIF_OK;
  }

  EncodedRows result_;
  PixelSize size_;
  WriteState state_{nullptr, nullptr};
  std::unique_ptr<GifFileType, EncoderClose> gif_;
  std::optional<PaletteQuantizer> quantizer_;
  std::vector<std::uint8_t> row_;
};

}  // namespace

std::unique_ptr<Decoder> gifDecoder(const ByteSource& source) {
  return std::make_unique<GifDecoder>(source);
}

std::unique_ptr<Encoder> gifEncoder() { return std::make_unique<GifEncoder>(); }

}  // namespace karvelo::converter
