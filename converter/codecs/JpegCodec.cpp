// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/codecs/LibraryCodecs.h"
#include "converter/core/ConversionError.h"
#include "converter/engine/RowStore.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

namespace karvelo::converter {

namespace {

constexpr int jpegQuality = 90;
constexpr std::size_t bufferBytes = 64 * 1024;

// libjpeg reports failures through a long jump back to the call that started the work; a
// warning (a truncated scan, corrupt entropy data) counts as a failure too, since the result
// would show grey or garbled areas. A failure of the byte source or sink is kept and thrown again.
struct ErrorJump {
  jpeg_error_mgr manager{};
  std::jmp_buf jump{};
  char message[JMSG_LENGTH_MAX] = "";
  std::exception_ptr cause;
};

[[noreturn]] void jumpBack(j_common_ptr info) {
  auto* error = reinterpret_cast<ErrorJump*>(info->err);
  if (!error->cause) {
    (*info->err->format_message)(info, error->message);
  }
  std::longjmp(error->jump, 1);
}

void onMessage(j_common_ptr info, int level) {
  if (level < 0) {
    jumpBack(info);
  }
}

void installErrors(ErrorJump& error, jpeg_common_struct& info) {
  info.err = jpeg_std_error(&error.manager);
  error.manager.error_exit = jumpBack;
  error.manager.emit_message = onMessage;
}

// Runs libjpeg calls; returns normally only when they succeeded. Whatever `calls` holds must
// need no destructor, since a failure jumps over it.
template <typename Calls>
void guarded(ErrorJump& error, Calls&& calls, bool decoding) {
  if (setjmp(error.jump) != 0) {
    if (error.cause) {
      std::rethrow_exception(error.cause);
    }
    if (decoding) {
      damagedPicture(error.message);
    }
    throw std::runtime_error(std::string("JPEG compression failed: ") + error.message);
  }
  calls();
}

struct Source {
  jpeg_source_mgr manager{};
  SourceReader reader;
  ErrorJump* error;
  JOCTET buffer[bufferBytes];
};

boolean fillBuffer(j_decompress_ptr info) {
  auto* source = reinterpret_cast<Source*>(info->src);
  std::size_t got = 0;
  try {
    got = source->reader.read(source->buffer, bufferBytes);
  } catch (...) {
    source->error->cause = std::current_exception();
    jumpBack(reinterpret_cast<j_common_ptr>(info));
  }
  if (got == 0) {
    WARNMS(info, JWRN_JPEG_EOF);  // a failure: the file ends too early
  }
  source->manager.next_input_byte = source->buffer;
  source->manager.bytes_in_buffer = got;
  return TRUE;
}

void skipData(j_decompress_ptr info, long count) {
  auto* source = reinterpret_cast<Source*>(info->src);
  if (count <= 0) {
    return;
  }
  const auto skip = static_cast<std::size_t>(count);
  if (skip <= source->manager.bytes_in_buffer) {
    source->manager.next_input_byte += skip;
    source->manager.bytes_in_buffer -= skip;
    return;
  }
  source->reader.seek(source->reader.position() + (skip - source->manager.bytes_in_buffer));
  source->manager.bytes_in_buffer = 0;
}

void nothing(j_decompress_ptr) {}

}  // namespace

}  // namespace karvelo::converter

// The coefficients of a progressive (or otherwise multi-scan) JPEG, which libjpeg keeps for the
// whole picture until its last scan: 2 bytes for each coefficient, 3 bytes a pixel for 4:2:0,
// 6 for 4:4:4, whatever the scale of the output. The name is the one jpeglib.h declares for the
// arrays its memory manager hands out; the decoder replaces the manager's array functions.
struct jvirt_barray_control {
  JDIMENSION rows = 0;
  JDIMENSION blocksPerRow = 0;
  JDIMENSION maxAccess = 0;
  std::optional<karvelo::converter::RowStore> disk;  // only for pictures too large for memory
  std::vector<JCOEF> window;                         // the rows at hand
  std::vector<JBLOCKROW> pointers;
  JDIMENSION first = 0;
  JDIMENSION windowRows = 0;
  bool dirty = false;
};

namespace karvelo::converter {

namespace {

// Coefficients up to this many bytes stay in memory; beyond it they go to a temporary file, and
// each array keeps a window of this share of it at hand.
constexpr std::uint64_t coefficientMemory = 64 << 20;
constexpr std::uint64_t coefficientWindow = 8 << 20;

class CoefficientStore {
 public:
  void install(jpeg_decompress_struct& info) {
    info.client_data = this;
    realizeOthers_ = info.mem->realize_virt_arrays;
    info.mem->request_virt_barray = request;
    info.mem->realize_virt_arrays = realize;
    info.mem->access_virt_barray = access;
  }

 private:
  static CoefficientStore& of(j_common_ptr info) {
    return *static_cast<CoefficientStore*>(info->client_data);
  }

  static jvirt_barray_ptr request(j_common_ptr info, int, boolean, JDIMENSION blocksPerRow,
                                  JDIMENSION rows, JDIMENSION maxAccess) {
    auto array = std::make_unique<jvirt_barray_control>();
    array->rows = rows;
    array->blocksPerRow = blocksPerRow;
    array->maxAccess = maxAccess;
    return of(info).arrays_.emplace_back(std::move(array)).get();
  }

  static void realize(j_common_ptr info) {
    CoefficientStore& store = of(info);
    store.realizeOthers_(info);
    std::uint64_t total = 0;
    for (const auto& array : store.arrays_) {
      total += std::uint64_t{array->rows} * array->blocksPerRow * sizeof(JBLOCK);
    }
    try {
      for (const auto& array : store.arrays_) {
        const std::size_t rowBytes = std::size_t{array->blocksPerRow} * sizeof(JBLOCK);
        array->windowRows = array->rows;
        if (total > coefficientMemory) {
          array->disk.emplace(rowBytes, array->rows, 0);
          array->windowRows = static_cast<JDIMENSION>(
              std::clamp<std::uint64_t>(coefficientWindow / std::max<std::size_t>(rowBytes, 1),
                                        array->maxAccess, array->rows));
        }
        array->window.assign(std::size_t{array->windowRows} * array->blocksPerRow * DCTSIZE2, 0);
        for (JDIMENSION row = 0; row < array->windowRows; ++row) {
          array->pointers.push_back(reinterpret_cast<JBLOCKROW>(
              array->window.data() + std::size_t{row} * array->blocksPerRow * DCTSIZE2));
        }
      }
    } catch (...) {
      reinterpret_cast<ErrorJump*>(info->err)->cause = std::current_exception();
      jumpBack(info);
    }
  }

  // Rows from `start` on, moving the window first when they are not all in it.
  static JBLOCKARRAY access(j_common_ptr info, jvirt_barray_ptr array, JDIMENSION start,
                            JDIMENSION count, boolean writable) {
    if (start + count > array->rows || count > array->windowRows) {
      ERREXIT(info, JERR_BAD_VIRTUAL_ACCESS);
    }
    if (start < array->first || start + count > array->first + array->windowRows) {
      try {
        move(*array, std::min(start, array->rows - array->windowRows));
      } catch (...) {
        reinterpret_cast<ErrorJump*>(info->err)->cause = std::current_exception();
        jumpBack(info);
      }
    }
    array->dirty = array->dirty || writable != 0;
    return array->pointers.data() + (start - array->first);
  }

  static void move(jvirt_barray_control& array, JDIMENSION first) {
    const std::size_t rowBytes = std::size_t{array.blocksPerRow} * sizeof(JBLOCK);
    const auto bytes = std::as_writable_bytes(std::span(array.window));
    auto row = [&](JDIMENSION i) {
      return std::span(reinterpret_cast<std::uint8_t*>(bytes.data()) + i * rowBytes, rowBytes);
    };
    for (JDIMENSION i = 0; array.dirty && i < array.windowRows; ++i) {
      array.disk->write(array.first + i, row(i));
    }
    for (JDIMENSION i = 0; i < array.windowRows; ++i) {
      array.disk->read(first + i, 0, row(i));
    }
    array.first = first;
    array.dirty = false;
  }

  void (*realizeOthers_)(j_common_ptr) = nullptr;
  std::vector<std::unique_ptr<jvirt_barray_control>> arrays_;
};

class JpegDecoder final : public Decoder {
 public:
  explicit JpegDecoder(const ByteSource& source) : source_{{}, SourceReader(source), &error_, {}} {
    installErrors(error_, *reinterpret_cast<jpeg_common_struct*>(&info_));
    guarded(
        error_, [&] { jpeg_create_decompress(&info_); }, true);
    source_.manager.init_source = nothing;
    source_.manager.fill_input_buffer = fillBuffer;
    source_.manager.skip_input_data = skipData;
    source_.manager.resync_to_restart = jpeg_resync_to_restart;
    source_.manager.term_source = nothing;
    info_.src = &source_.manager;
    coefficients_.install(info_);
  }

  ~JpegDecoder() override { jpeg_destroy_decompress(&info_); }

  DecodedRows start(PixelSize atLeast) override {
    DecodedRows rows;
    guarded(
        error_,
        [&] {
          jpeg_read_header(&info_, TRUE);
          // The largest reduction of the inverse DCT to 1/2, 1/4 or 1/8 that keeps both sides at
          // least as large as asked. The other eighths were measured too: libjpeg-turbo has no
          // SIMD code for them, and their blocks of 3, 5, 6 or 7 pixels blur lines of text.
          info_.scale_denom = 8;
          for (info_.scale_num = 1; info_.scale_num < 8; info_.scale_num *= 2) {
            jpeg_calc_output_dimensions(&info_);
            if (info_.output_width >= atLeast.width && info_.output_height >= atLeast.height) {
              break;
            }
          }
          if (info_.jpeg_color_space == JCS_GRAYSCALE) {
            info_.out_color_space = JCS_GRAYSCALE;
            rows.model = ColorModel::Gray;
          } else if (info_.jpeg_color_space == JCS_CMYK || info_.jpeg_color_space == JCS_YCCK) {
            info_.out_color_space = JCS_CMYK;
            rows.model = ColorModel::Cmyk;
          } else {
            info_.out_color_space = JCS_RGB;
            rows.model = ColorModel::Rgb;
          }
          info_.dct_method = JDCT_ISLOW;
          // Where the filter halves the decoded rows or more, it smooths the colour that the
          // decoder would otherwise interpolate: the plain upsampling is merged with the colour
          // conversion, which is faster.
          jpeg_calc_output_dimensions(&info_);
          info_.do_fancy_upsampling = info_.output_width + 2 < 2 * atLeast.width ||
                                              info_.output_height + 2 < 2 * atLeast.height
                                          ? TRUE
                                          : FALSE;
          jpeg_start_decompress(&info_);
          rows.size = {info_.output_width, info_.output_height};
          rows.scaleX = rows.scaleY = static_cast<double>(info_.scale_num) / info_.scale_denom;
          const jpeg_component_info* components = info_.comp_info;
          rows.hints.chroma =
              info_.num_components < 2
                  ? ChromaSampling{1, 1}
                  : chromaSamplingOf(components[0].h_samp_factor, components[0].v_samp_factor,
                                     components[1].h_samp_factor, components[1].v_samp_factor);
        },
        true);
    return rows;
  }

  void readRow(std::span<std::uint8_t> row) override {
    JSAMPROW rowPointer = row.data();
    guarded(
        error_,
        [&] {
          if (jpeg_read_scanlines(&info_, &rowPointer, 1) != 1) {
            damagedPicture("the JPEG data ends early");
          }
        },
        true);
  }

 private:
  jpeg_decompress_struct info_{};
  ErrorJump error_;
  Source source_;
  CoefficientStore coefficients_;
};

struct Destination {
  jpeg_destination_mgr manager{};
  ByteSink* sink = nullptr;
  ErrorJump* error = nullptr;
  JOCTET buffer[bufferBytes];
};

void startBuffer(j_compress_ptr info) {
  auto* destination = reinterpret_cast<Destination*>(info->dest);
  destination->manager.next_output_byte = destination->buffer;
  destination->manager.free_in_buffer = bufferBytes;
}

void pass(j_compress_ptr info, std::size_t count) {
  auto* destination = reinterpret_cast<Destination*>(info->dest);
  try {
    destination->sink->append(std::span<const std::uint8_t>(destination->buffer, count));
  } catch (...) {
    destination->error->cause = std::current_exception();
    jumpBack(reinterpret_cast<j_common_ptr>(info));
  }
}

boolean emptyBuffer(j_compress_ptr info) {
  pass(info, bufferBytes);
  startBuffer(info);
  return TRUE;
}

void endBuffer(j_compress_ptr info) { pass(info, bufferBytes - info->dest->free_in_buffer); }

class JpegEncoder final : public Encoder {
 public:
  JpegEncoder() {
    installErrors(error_, *reinterpret_cast<jpeg_common_struct*>(&info_));
    guarded(
        error_, [&] { jpeg_create_compress(&info_); }, false);
    destination_.error = &error_;
    destination_.manager.init_destination = startBuffer;
    destination_.manager.empty_output_buffer = emptyBuffer;
    destination_.manager.term_destination = endBuffer;
    info_.dest = &destination_.manager;
  }

  ~JpegEncoder() override { jpeg_destroy_compress(&info_); }

  void start(const EncodedRows& result, ByteSink& sink) override {
    if (hasAlpha(result.model)) {
      throw std::logic_error("a JPEG cannot hold transparency");
    }
    destination_.sink = &sink;
    guarded(
        error_,
        [&] {
          info_.image_width = result.size.width;
          info_.image_height = result.size.height;
          info_.input_components = channelsOf(result.model);
          info_.in_color_space = result.model == ColorModel::Gray   ? JCS_GRAYSCALE
                                 : result.model == ColorModel::Cmyk ? JCS_CMYK
                                                                    : JCS_RGB;
          jpeg_set_defaults(&info_);
          jpeg_set_quality(&info_, jpegQuality, TRUE);
          info_.dct_method = JDCT_ISLOW;
          if (result.model == ColorModel::Cmyk) {
            jpeg_set_colorspace(&info_, JCS_YCCK);
          }
          // Colour is subsampled as the source's was (4:2:0 unless told otherwise), black with
          // brightness; gray has one component.
          const ChromaSampling chroma =
              result.model == ColorModel::Gray ? ChromaSampling{1, 1} : result.hints.chroma;
          for (int i : {0, 3}) {
            if (i < info_.num_components) {
              info_.comp_info[i].h_samp_factor = chroma.across;
              info_.comp_info[i].v_samp_factor = chroma.down;
            }
          }
          jpeg_start_compress(&info_, TRUE);
        },
        false);
  }

  void writeRow(std::span<const std::uint8_t> row) override {
    JSAMPROW rowPointer = const_cast<JSAMPROW>(row.data());
    guarded(
        error_, [&] { jpeg_write_scanlines(&info_, &rowPointer, 1); }, false);
  }

  void finish() override {
    guarded(
        error_, [&] { jpeg_finish_compress(&info_); }, false);
  }

 private:
  jpeg_compress_struct info_{};
  ErrorJump error_;
  Destination destination_;
};

}  // namespace

std::unique_ptr<Decoder> jpegDecoder(const ByteSource& source) {
  return std::make_unique<JpegDecoder>(source);
}

std::unique_ptr<Encoder> jpegEncoder() { return std::make_unique<JpegEncoder>(); }

}  // namespace karvelo::converter
