// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/codecs/LibraryCodecs.h"
#include "converter/core/ConversionError.h"

#include <libheif/heif.h>

#include <algorithm>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>

// HEIF (HEVC) and AVIF (AV1) through libheif, which Debian ships only as a shared library with
// four codec libraries behind it. Linked into multiconv-heif alone (and the tests): multiconv,
// linked whole, hands these pictures to it (platform/posix/HeifHandOver.cpp), so that a converter
// of any other format starts without loading and binding these libraries.
namespace karvelo::converter {

namespace {

// Quality 0 to 100 of libheif's encoders: a source's own quality cannot be read back from HEVC or
// AV1 data, so every result gets one that keeps 12-megapixel photographs made 1000 pixels wide
// at 46 to 52 dB from a full resize (see the converter's notes).
constexpr int heicQuality = 75;
constexpr int avifQuality = 75;
// libaom's speed, 0 (slowest) to 9: AV1 is slow to encode, and 6 keeps a result to about a
// second.
constexpr const char* avifSpeed = "6";

// Turns a libheif failure into the converter's: damaged data, an unsupported kind, no memory.
void check(heif_error error, const char* what) {
  switch (error.code) {
    case heif_error_Ok:
      return;
    case heif_error_Memory_allocation_error:
      // libheif's own limits: a file whose item list claims more bytes than any picture needs
      // (an extent of 4 GB in a file of a few kilobytes) is damaged, not too much for memory.
      if (error.subcode == heif_suberror_Security_limit_exceeded) {
        damagedPicture(std::string("the HEIF data ").append(what).append(" (")
                           .append(error.message)
                           .append(")"));
      }
      throw std::bad_alloc();
    case heif_error_Unsupported_filetype:
    case heif_error_Unsupported_feature:
    case heif_error_Plugin_loading_error:
      throw ConversionError(ExitCode::UnsupportedFormat,
                            std::string("this kind of HEIF picture is not supported (")
                                .append(error.message)
                                .append(")"));
    case heif_error_Input_does_not_exist:
    case heif_error_Invalid_input:
    case heif_error_Decoder_plugin_error:
      damagedPicture(std::string("the HEIF data ").append(what).append(" (")
                         .append(error.message)
                         .append(")"));
    default:
      throw std::runtime_error(std::string("libheif ").append(what).append(": ").append(error.message));
  }
}

template <typename Type, auto Release>
struct Owned {
  Type* object = nullptr;
  Owned() = default;
  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  ~Owned() {
    if (object != nullptr) {
      Release(object);
    }
  }
};
using Context = Owned<heif_context, heif_context_free>;
using Handle = Owned<heif_image_handle, heif_image_handle_release>;
using ImageObject = Owned<heif_image, heif_image_release>;
using EncoderObject = Owned<heif_encoder, heif_encoder_release>;

heif_chroma interleaved(bool alpha, int bits) {
  if (bits > 8) {
    return alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE;
  }
  return alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB;
}

// libheif decodes a whole picture in one call (its tiles and planes included), so the file is
// read whole and the decoded picture is held: about 6 bytes a pixel of the source at 8 bits, 12
// at 10 or 12. The file's own rotation, mirror and crop are applied by it.
class HeifDecoder final : public Decoder {
 public:
  explicit HeifDecoder(const ByteSource& source) : source_(source) {}

  DecodedRows start(PixelSize) override {
    file_ = source_.read(0, static_cast<std::size_t>(source_.size()));
    context_.object = heif_context_alloc();
    if (context_.object == nullptr) {
      throw std::bad_alloc();
    }
    check(heif_context_read_from_memory_without_copy(context_.object, file_.data(), file_.size(),
                                                     nullptr),
          "cannot be read");
    check(heif_context_get_primary_image_handle(context_.object, &handle_.object),
          "holds no primary picture");
    const bool alpha = heif_image_handle_has_alpha_channel(handle_.object) != 0;
    const int codedBits = heif_image_handle_get_luma_bits_per_pixel(handle_.object);
    bits_ = codedBits > 8 ? codedBits : 8;
    heif_decoding_options* options = heif_decoding_options_alloc();
    const heif_error decoded = heif_decode_image(
        handle_.object, &image_.object, heif_colorspace_RGB, interleaved(alpha, bits_), options);
    heif_decoding_options_free(options);
    check(decoded, "cannot be decoded");
    file_ = {};  // the context reads the file only while decoding: the rows need it no longer

    DecodedRows rows;
    rows.model = alpha ? ColorModel::Rgba : ColorModel::Rgb;
    rows.size = {
        static_cast<std::uint32_t>(heif_image_get_width(image_.object, heif_channel_interleaved)),
        static_cast<std::uint32_t>(heif_image_get_height(image_.object, heif_channel_interleaved))};
    rows.bitsPerSample = bits_ > 8 ? 16 : 8;
    rows.hints.codedBits = bits_;
    int stride = 0;
    pixels_ = heif_image_get_plane_readonly(image_.object, heif_channel_interleaved, &stride);
    if (pixels_ == nullptr || rows.size.width == 0 || rows.size.height == 0) {
      damagedPicture("the HEIF data decodes to no pixels");
    }
    stride_ = static_cast<std::size_t>(stride);
    return rows;
  }

  void readRow(std::span<std::uint8_t> row) override {
    const std::uint8_t* from = pixels_ + stride_ * row_++;
    if (bits_ == 8) {
      std::copy_n(from, row.size(), row.begin());
      return;
    }
    // 10 or 12 bits, little-endian, widened to the full 16-bit range.
    const std::uint32_t top = (1u << bits_) - 1;
    for (std::size_t i = 0; i + 1 < row.size(); i += 2) {
      const std::uint32_t value = std::min<std::uint32_t>(from[i] | (from[i + 1] << 8), top);
      const auto wide = static_cast<std::uint16_t>((value * 65535 + top / 2) / top);
      std::copy_n(reinterpret_cast<const std::uint8_t*>(&wide), 2, row.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }

 private:
  const ByteSource& source_;
  std::vector<std::uint8_t> file_;
  Context context_;
  Handle handle_;
  ImageObject image_;
  const std::uint8_t* pixels_ = nullptr;
  std::size_t stride_ = 0;
  std::uint32_t row_ = 0;
  int bits_ = 8;
};

struct WriteState {
  ByteSink* sink;
  std::exception_ptr cause;
};

heif_error writeSink(heif_context*, const void* data, std::size_t size, void* user) {
  auto* state = static_cast<WriteState*>(user);
  try {
    state->sink->append(std::span(static_cast<const std::uint8_t*>(data), size));
    return {heif_error_Ok, heif_suberror_Unspecified, ""};
  } catch (...) {
    state->cause = std::current_exception();
    return {heif_error_Encoding_error, heif_suberror_Cannot_write_output_data, "write failed"};
  }
}

// libheif encodes whole pictures: the rows go straight into its picture, which is encoded at the
// end with the metadata attached.
class HeifEncoder final : public Encoder {
 public:
  explicit HeifEncoder(heif_compression_format compression) : compression_(compression) {}

  void start(const EncodedRows& result, ByteSink& sink) override {
    if (result.model != ColorModel::Rgb && result.model != ColorModel::Rgba) {
      throw std::logic_error("HEIF takes RGB or RGBA pixels");
    }
    result_ = result;
    sink_ = &sink;
    // 16-bit rows keep the source's 10 or 12 bits; others are coded with 8.
    bits_ = result.bitsPerSample == 16 ? std::clamp(result.hints.codedBits, 10, 12) : 8;
    if (bits_ == 11) {
      bits_ = 12;
    }
    const bool alpha = hasAlpha(result.model);
    const auto width = static_cast<int>(result.size.width);
    const auto height = static_cast<int>(result.size.height);
    check(heif_image_create(width, height, heif_colorspace_RGB, interleaved(alpha, bits_),
                            &image_.object),
          "cannot be made");
    check(heif_image_add_plane(image_.object, heif_channel_interleaved, width, height, bits_),
          "cannot be made");
    int stride = 0;
    pixels_ = heif_image_get_plane(image_.object, heif_channel_interleaved, &stride);
    stride_ = static_cast<std::size_t>(stride);
  }

  void writeRow(std::span<const std::uint8_t> row) override {
    std::uint8_t* to = pixels_ + stride_ * row_++;
    if (result_.bitsPerSample == 8) {
      std::copy(row.begin(), row.end(), to);
      return;
    }
    const std::uint32_t top = (1u << bits_) - 1;
    for (std::size_t i = 0; i + 1 < row.size(); i += 2) {
      std::uint16_t wide = 0;
      std::copy_n(row.begin() + static_cast<std::ptrdiff_t>(i), 2, reinterpret_cast<std::uint8_t*>(&wide));
      const std::uint32_t value = (wide * top + 32767) / 65535;
      to[i] = static_cast<std::uint8_t>(value);
      to[i + 1] = static_cast<std::uint8_t>(value >> 8);
    }
  }

  void finish() override {
    const Metadata* metadata = result_.metadata;
    if (metadata != nullptr && !metadata->icc.empty()) {
      check(heif_image_set_raw_color_profile(image_.object, "prof", metadata->icc.data(),
                                             metadata->icc.size()),
            "cannot take its profile");
    }
    Context context;
    context.object = heif_context_alloc();
    if (context.object == nullptr) {
      throw std::bad_alloc();
    }
    EncoderObject encoder;
    check(heif_context_get_encoder_for_format(context.object, compression_, &encoder.object),
          "has no encoder");
    const bool av1 = compression_ == heif_compression_AV1;
    check(heif_encoder_set_lossy_quality(encoder.object, av1 ? avifQuality : heicQuality),
          "cannot be encoded");
    if (av1) {
      heif_encoder_set_parameter_string(encoder.object, "speed", avifSpeed);
    }
    heif_encoding_options* options = heif_encoding_options_alloc();
    options->save_alpha_channel = 1;
    // A result is upright; a picture written whole (tests) keeps the orientation it is given.
    if (metadata != nullptr) {
      options->image_orientation = static_cast<heif_orientation>(metadata->orientation);
    }
    Handle handle;
    const heif_error encoded = heif_context_encode_image(context.object, image_.object,
                                                         encoder.object, options, &handle.object);
    heif_encoding_options_free(options);
    check(encoded, "cannot be encoded");
    if (metadata != nullptr && !metadata->exif.empty()) {
      check(heif_context_add_exif_metadata(context.object, handle.object, metadata->exif.data(),
                                           static_cast<int>(metadata->exif.size())),
            "cannot take its EXIF data");
    }
    if (metadata != nullptr && !metadata->xmp.empty()) {
      check(heif_context_add_XMP_metadata(context.object, handle.object, metadata->xmp.data(),
                                          static_cast<int>(metadata->xmp.size())),
            "cannot take its XMP packet");
    }
    heif_writer writer{1, writeSink};
    WriteState state{sink_, nullptr};
    const heif_error written = heif_context_write(context.object, &writer, &state);
    if (state.cause) {
      std::rethrow_exception(state.cause);
    }
    check(written, "cannot be written");
  }

 private:
  heif_compression_format compression_;
  EncodedRows result_;
  ByteSink* sink_ = nullptr;
  ImageObject image_;
  std::uint8_t* pixels_ = nullptr;
  std::size_t stride_ = 0;
  std::uint32_t row_ = 0;
  int bits_ = 8;
};

}  // namespace

std::unique_ptr<Decoder> heifDecoder(const ByteSource& source) {
  return std::make_unique<HeifDecoder>(source);
}

std::unique_ptr<Encoder> heifEncoder(PictureFormat format) {
  return std::make_unique<HeifEncoder>(format == PictureFormat::Avif ? heif_compression_AV1
                                                                     : heif_compression_HEVC);
}

}  // namespace karvelo::converter
