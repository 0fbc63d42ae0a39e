// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/engine/Codec.h"

// The Linux codecs: libjpeg-turbo, libpng, libwebp, giflib with libimagequant, libtiff, libheif,
// and a bitmap codec of the project's own.
namespace karvelo::converter {

std::unique_ptr<Decoder> jpegDecoder(const ByteSource& source);
std::unique_ptr<Encoder> jpegEncoder();
std::unique_ptr<Decoder> pngDecoder(const ByteSource& source);
std::unique_ptr<Encoder> pngEncoder();
std::unique_ptr<Decoder> webpDecoder(const ByteSource& source);
std::unique_ptr<Encoder> webpEncoder();
std::unique_ptr<Decoder> gifDecoder(const ByteSource& source);
std::unique_ptr<Encoder> gifEncoder();
std::unique_ptr<Decoder> tiffDecoder(const ByteSource& source);
std::unique_ptr<Encoder> tiffEncoder();
std::unique_ptr<Decoder> bmpDecoder(const ByteSource& source);
std::unique_ptr<Encoder> bmpEncoder();
// HEIF and AVIF: the decoder reads both, the encoder codes HEVC or AV1 by the format. Defined by
// HeifCodec.cpp, or in multiconv, which is linked whole, by platform/posix/HeifHandOver.cpp,
// which hands the run to multiconv-heif.
std::unique_ptr<Decoder> heifDecoder(const ByteSource& source);
std::unique_ptr<Encoder> heifEncoder(PictureFormat format);

}  // namespace karvelo::converter
