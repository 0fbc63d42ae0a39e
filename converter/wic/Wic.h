// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/engine/Codec.h"

#include <string>

#include <wincodec.h>
#include <wrl/client.h>

// The converter's codecs on the Windows Imaging Component.
namespace karvelo::converter::wic {

using Microsoft::WRL::ComPtr;

// The imaging factory, made on first use, so that a converter waiting for its slot has not yet
// loaded the imaging component. Throws std::runtime_error when the component is missing.
IWICImagingFactory& factory();

// Frees what a property value holds.
void clear(PROPVARIANT& value);

// The container of a format, and its name for messages.
const GUID& containerOf(PictureFormat format);
std::string nameOf(PictureFormat format);
// The message for a format whose decoder or encoder (`kind`) the system lacks, naming the system
// extension that brings it where one does.
std::string missingCodec(PictureFormat format, const char* kind);

// "0x88982F50": a failed call's result, for messages.
std::string hex(HRESULT result);

// The encoder of a format; throws ConversionError(UnsupportedFormat) when the system has none.
ComPtr<IWICBitmapEncoder> createEncoder(PictureFormat format);

// Whether CMYK pixels that this system's encoder of the format writes come back from its decoder
// as they were written. Wine's JPEG encoder, for one, stores its inks inverted against the Adobe
// convention that its decoder and others read by; CMYK pictures are then converted as colour.
bool keepsCmyk(PictureFormat format);

std::unique_ptr<Decoder> wicDecoder(PictureFormat format, const ByteSource& source);
std::unique_ptr<Encoder> wicEncoder(PictureFormat format);
std::unique_ptr<Encoder> wicGifEncoder();

}  // namespace karvelo::converter::wic
