#include "converter/core/ConversionError.h"
#include "converter/wic/Wic.h"

#include <cstdio>
#include <stdexcept>
#include <vector>

namespace karvelo::converter {

namespace wic {

IWICImagingFactory& factory() {
  static const ComPtr<IWICImagingFactory> instance = [] {
    ::CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    ComPtr<IWICImagingFactory> made;
    const HRESULT result = ::CoCreateInstance(CLSID_WICImagingFactory, nullptr,
                                              CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&made));
    if (FAILED(result)) {
      throw std::runtime_error("the Windows Imaging Component cannot be loaded (" + hex(result) +
                               ")");
    }
    return made;
  }();
  return *instance.Get();
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
    case PictureFormat::Bmp:
      break;
  }
  return "BMP";
}

std::string hex(HRESULT result) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
  return text;
}

ComPtr<IWICBitmapEncoder> createEncoder(PictureFormat format) {
  ComPtr<IWICBitmapEncoder> encoder;
  if (FAILED(factory().CreateEncoder(containerOf(format), nullptr, &encoder))) {
    throw ConversionError(ExitCode::UnsupportedFormat,
                          "this system cannot write " + nameOf(format) +
                              " pictures: it has no " + nameOf(format) + " encoder installed");
  }
  return encoder;
}

bool encoderTakes(PictureFormat format, const GUID& pixelFormat) {
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapEncoderInfo> info;
  UINT count = 0;
  if (FAILED(factory().CreateEncoder(containerOf(format), nullptr, &encoder)) ||
      FAILED(encoder->GetEncoderInfo(&info)) ||
      FAILED(info->GetPixelFormats(0, nullptr, &count))) {
    return false;
  }
  std::vector<GUID> formats(count);
  if (FAILED(info->GetPixelFormats(count, formats.data(), &count))) {
    return false;
  }
  for (const GUID& taken : formats) {
    if (IsEqualGUID(taken, pixelFormat)) {
      return true;
    }
  }
  return false;
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
