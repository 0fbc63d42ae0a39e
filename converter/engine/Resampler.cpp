#include "converter/engine/Resampler.h"

extern "C" {
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <stdexcept>

namespace karvelo::converter {

namespace {

constexpr std::size_t alignment = 64;

std::size_t alignedStride(std::uint32_t width) {
  return (std::size_t{width} + alignment - 1) / alignment * alignment;
}

struct AlignedFree {
  void operator()(std::uint8_t* bytes) const { std::free(bytes); }
};
using AlignedBuffer = std::unique_ptr<std::uint8_t, AlignedFree>;

AlignedBuffer alignedBuffer(std::size_t size) {
  // Room past the end for the vector loads of the scaler.
  const std::size_t rounded = (size + 2 * alignment - 1) / alignment * alignment;
  auto* bytes = static_cast<std::uint8_t*>(std::aligned_alloc(alignment, rounded));
  if (bytes == nullptr) {
    throw std::bad_alloc();
  }
  return AlignedBuffer(bytes);
}

struct ContextFree {
  void operator()(SwsContext* context) const { sws_freeContext(context); }
};

}  // namespace

Image resample(Image source, PixelSize target) {
  if (source.size == target) {
    return source;
  }
  const std::size_t channels = static_cast<std::size_t>(source.channels());
  const bool alpha = hasAlpha(source.model);
  const std::size_t alphaIndex = channels - 1;
  const PixelSize from = source.size;
  const std::size_t fromStride = alignedStride(from.width);
  const std::size_t toStride = alignedStride(target.width);
  const std::size_t fromPlane = fromStride * from.height;
  const std::size_t toPlane = toStride * target.height;

  // Split into planes, premultiplying colour by alpha.
  AlignedBuffer planes = alignedBuffer(fromPlane * channels);
  for (std::size_t y = 0; y < from.height; ++y) {
    const std::uint8_t* in = source.pixels.data() + y * source.rowBytes();
    for (std::size_t x = 0; x < from.width; ++x, in += channels) {
      const unsigned a = alpha ? in[alphaIndex] : 255;
      for (std::size_t c = 0; c < channels; ++c) {
        unsigned value = in[c];
        if (alpha && c != alphaIndex) {
          value = (value * a + 127) / 255;
        }
        planes.get()[c * fromPlane + y * fromStride + x] = static_cast<std::uint8_t>(value);
      }
    }
  }
  source.pixels = {};

  std::unique_ptr<SwsContext, ContextFree> context(sws_getContext(
      static_cast<int>(from.width), static_cast<int>(from.height), AV_PIX_FMT_GRAY8,
      static_cast<int>(target.width), static_cast<int>(target.height), AV_PIX_FMT_GRAY8,
      SWS_LANCZOS | SWS_ACCURATE_RND | SWS_BITEXACT, nullptr, nullptr, nullptr));
  if (!context) {
    throw std::runtime_error("the scaler cannot resize " + std::to_string(from.width) + " x " +
                             std::to_string(from.height) + " to " + std::to_string(target.width) +
                             " x " + std::to_string(target.height));
  }
  AlignedBuffer scaled = alignedBuffer(toPlane * channels);
  for (std::size_t c = 0; c < channels; ++c) {
    const std::uint8_t* const in[4] = {planes.get() + c * fromPlane, nullptr, nullptr, nullptr};
    const int inStride[4] = {static_cast<int>(fromStride), 0, 0, 0};
    std::uint8_t* const out[4] = {scaled.get() + c * toPlane, nullptr, nullptr, nullptr};
    const int outStride[4] = {static_cast<int>(toStride), 0, 0, 0};
    sws_scale(context.get(), in, inStride, 0, static_cast<int>(from.height), out, outStride);
  }
  planes.reset();

  // Interleave again, undoing the premultiplication.
  Image result = Image::blank(target, source.model);
  std::uint8_t* out = result.pixels.data();
  for (std::size_t y = 0; y < target.height; ++y) {
    for (std::size_t x = 0; x < target.width; ++x, out += channels) {
      const std::size_t offset = y * toStride + x;
      const unsigned a = alpha ? scaled.get()[alphaIndex * toPlane + offset] : 255;
      for (std::size_t c = 0; c < channels; ++c) {
        unsigned value = scaled.get()[c * toPlane + offset];
        if (alpha && c != alphaIndex) {
          value = a == 0 ? 0 : std::min(255U, (value * 255 + a / 2) / a);
        }
        out[c] = static_cast<std::uint8_t>(value);
      }
    }
  }
  return result;
}

}  // namespace karvelo::converter
