// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/engine/ByteSink.h"
#include "converter/engine/Picture.h"

#include <memory>

namespace karvelo::converter {

// Passes an encoder's bytes on to the file, adding the ICC profile, the EXIF data, the
// resolution, the XMP packet, IPTC data, comments and descriptive tags where the format holds them:
// segments after a JPEG's first and the density of its JFIF segment, chunks after a PNG's header,
// an extended WebP header with its chunks, entries in a TIFF's first directory, a bitmap's header
// fields. Works on the encoded bytes, so every platform's encoders get the same metadata.
class MetadataWriter : public ByteSink {
 public:
  // Completes the file after the encoder has finished.
  virtual void finish() = 0;
};

std::unique_ptr<MetadataWriter> metadataWriter(PictureFormat format, ByteSink& file,
                                               const Metadata& metadata);

}  // namespace karvelo::converter
