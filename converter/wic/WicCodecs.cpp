// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/core/ConversionError.h"
#include "converter/wic/ByteStream.h"
#include "converter/wic/Wic.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace karvelo::converter {

namespace wic {

namespace {

// COM is loaded on first use, like the imaging component itself: a converter that waits for its
// slot, or fails before it decodes, never loads it (under Wine that is a third of a start).
struct Com {
  HMODULE module = ::LoadLibraryW(L"ole32.dll");
  template <typename Function>
  Function* function(const char* name) const {
    return module != nullptr ? reinterpret_cast<Function*>(
                                   reinterpret_cast<void*>(::GetProcAddress(module, name)))
                             : nullptr;
  }
  decltype(::CoInitializeEx)* initialize = function<decltype(::CoInitializeEx)>("CoInitializeEx");
  decltype(::CoCreateInstance)* create = function<decltype(::CoCreateInstance)>("CoCreateInstance");
  decltype(::PropVariantClear)* clear = function<decltype(::PropVariantClear)>("PropVariantClear");
};

const Com& com() {
  static const Com loaded;
  return loaded;
}

}  // namespace

IWICImagingFactory& factory() {
  static const ComPtr<IWICImagingFactory> instance = [] {
    const Com& loaded = com();
    ComPtr<IWICImagingFactory> made;
    HRESULT result = E_NOINTERFACE;
    if (loaded.initialize != nullptr && loaded.create != nullptr) {
      loaded.initialize(nullptr, COINIT_MULTITHREADED);
      result = loaded.create(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                             IID_PPV_ARGS(&made));
    }
    if (FAILED(result)) {
      throw std::runtime_error("the Windows Imaging Component cannot be loaded (" + hex(result) +
                               ")");
    }
    return made;
  }();
  return *instance.Get();
}

void clear(PROPVARIANT& value) {
  if (com().clear != nullptr) {
    com().clear(&value);
  }
}

const GUID& containerOf(PictureFormat format) {
  switch (format) {
    case PictureFormat::Jpeg:
      return GUID_ContainerFormatJpeg;
    case PictureFormat::Png:
      return GUID_ContainerFormatPng;
    case PictureFormat::Webp:
      return GUID_ContainerFormatWebp;
    case PictureFormat::Gif:
      return GUID_ContainerFormatGif;
    case PictureFormat::Tiff:
      return GUID_ContainerFormatTiff;
    case PictureFormat::Heif:
    case PictureFormat::Avif:  // one container; the encoder is told to code AV1
      return GUID_ContainerFormatHeif;
    case PictureFormat::Bmp:
      break;
  }
  return GUID_ContainerFormatBmp;
}

std::string nameOf(PictureFormat format) {
  switch (format) {
    case PictureFormat::Jpeg:
      return "JPEG";
    case PictureFormat::Png:
      return "PNG";
    case PictureFormat::Webp:
      return "WebP";
    case PictureFormat::Gif:
      return "GIF";
    case PictureFormat::Tiff:
      return "TIFF";
    case PictureFormat::Heif:
      return "HEIF";
    case PictureFormat::Avif:
      return "AVIF";
    case PictureFormat::Bmp:
      break;
  }
  return "BMP";
}

std::string missingCodec(PictureFormat format, const char* kind) {
  std::string message = "this system cannot ";
  message.append(kind[0] == 'd' ? "read " : "write ")
      .append(nameOf(format))
      .append(" pictures: it has no ")
      .append(nameOf(format))
      .append(" ")
      .append(kind)
      .append(" installed");
  // The codecs come with the system's extensions, which a user installs from the Store.
  if (format == PictureFormat::Heif) {
    message.append(" (the \"HEIF Image Extensions\" and \"HEVC Video Extensions\")");
  } else if (format == PictureFormat::Avif) {
    message.append(" (the \"AV1 Video Extension\" and \"HEIF Image Extensions\")");
  }
  return message;
}

std::string hex(HRESULT result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
  return text;
}

ComPtr<IWICBitmapEncoder> createEncoder(PictureFormat format) {
  ComPtr<IWICBitmapEncoder> encoder;
  if (FAILED(factory().CreateEncoder(containerOf(format), nullptr, &encoder))) {
    throw ConversionError(ExitCode::UnsupportedFormat, missingCodec(format, "encoder"));
  }
  return encoder;
}

bool keepsCmyk(PictureFormat format) {
  constexpr std::uint8_t ink[4] = {200, 60, 10, 30};
  constexpr std::uint32_t side = 8;
  try {
    MemorySink file;
    const std::unique_ptr<Encoder> encoder = wicEncoder(format);
    encoder->start({{side, side}, ColorModel::Cmyk, {}}, file);
    std::vector<std::uint8_t> row(side * 4);
    for (std::size_t i = 0; i < row.size(); ++i) {
      row[i] = ink[i % 4];
    }
    for (std::uint32_t y = 0; y < side; ++y) {
      encoder->writeRow(row);
    }
    encoder->finish();
    const MemorySource written(file.bytes());
    ComPtr<ByteStream> stream;
    stream.Attach(new ByteStream(written));
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    GUID pixelFormat{};
    std::uint8_t read[4] = {};
    const WICRect middle{side / 2, side / 2, 1, 1};
    if (FAILED(factory().CreateDecoder(containerOf(format), nullptr, &decoder)) ||
        FAILED(decoder->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand)) ||
        FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetPixelFormat(&pixelFormat)) ||
        !IsEqualGUID(pixelFormat, GUID_WICPixelFormat32bppCMYK) ||
        FAILED(frame->CopyPixels(&middle, 4, 4, read))) {
      return false;
    }
    for (int i = 0; i < 4; ++i) {
      if (std::abs(read[i] - ink[i]) > 8) {
        return false;
      }
    }
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

namespace {

class WicCodecs final : public Codecs {
 public:
  std::unique_ptr<Decoder> decoder(PictureFormat format, const ByteSource& source) const override {
    return wicDecoder(format, source);
  }

  std::unique_ptr<Encoder> encoder(PictureFormat format) const override {
    return format == PictureFormat::Gif ? wicGifEncoder() : wicEncoder(format);
  }
};

}  // namespace

}  // namespace wic

const Codecs& platformCodecs() {
  static const wic::WicCodecs codecs;
  return codecs;
}

}  // namespace karvelo::converter
