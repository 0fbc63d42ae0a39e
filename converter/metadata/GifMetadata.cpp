// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/core/ConversionError.h"
#include "converter/metadata/FormatMetadata.h"

#include <limits>

namespace karvelo::converter {

namespace {

constexpr std::uint8_t imageBlock = 0x2C;
constexpr std::uint8_t extensionBlock = 0x21;
constexpr std::uint8_t trailer = 0x3B;
constexpr std::uint8_t commentLabel = 0xFE;

// What walking a GIF's blocks finds: its frames, the extent of the first, and its comments.
struct GifLayout {
  std::uint32_t frames = 0;
  PixelSize firstExtent;  // the first frame's right and bottom edges
  std::uint64_t end = 0;  // just past the last frame's data
};

// Where the blocks after the header and global colour table begin.
std::uint64_t headEnd(std::uint8_t flags) {
  return 13 + ((flags & 0x80) != 0 ? 3u << ((flags & 7) + 1) : 0);
}

// Walks the blocks from `from` (the end of the head, or of a frame), hopping over each frame's
// data by its sub-block lengths, up to the trailer, to `maxFrames` frames, or to wherever the file
// ends or stops making sense: the decoder reports damage. Comments are gathered when `metadata`
// is given, within the limit of what is carried.
GifLayout walkGif(const ByteSource& source, std::uint64_t from, Metadata* metadata,
                  std::uint32_t maxFrames = std::numeric_limits<std::uint32_t>::max()) {
  GifLayout layout;
  SourceReader reader(source, from);
  std::uint8_t byte = 0;
  const auto subBlocks = [&](std::vector<std::uint8_t>* data) {
    while (reader.read(&byte, 1) == 1 && byte != 0) {
      const std::uint64_t next = reader.position() + byte;
      if (data != nullptr) {
        const std::size_t at = data->size();
        data->resize(at + byte);
        data->resize(at + reader.read(data->data() + at, byte));
      }
      reader.seek(next);
    }
    return byte == 0;
  };
  while (reader.read(&byte, 1) == 1 && byte != trailer) {
    if (byte == imageBlock) {
      std::uint8_t desc[10];  // the descriptor, and the first byte of the data
      if (reader.read(desc, 9) != 9) {
        break;
      }
      if (layout.frames++ == 0) {
        layout.firstExtent = {littleEndian16(&desc[0]) + littleEndian16(&desc[4]),
                              littleEndian16(&desc[2]) + littleEndian16(&desc[6])};
      }
      if ((desc[8] & 0x80) != 0) {
        reader.seek(reader.position() + (3u << ((desc[8] & 7) + 1)));
      }
      if (reader.read(&desc[9], 1) != 1 || !subBlocks(nullptr)) {
        break;
      }
      layout.end = reader.position();
      if (layout.frames == maxFrames) {
        break;
      }
    } else if (byte == extensionBlock) {
      std::uint8_t label = 0;
      if (reader.read(&label, 1) != 1) {
        break;
      }
      std::vector<std::uint8_t> comment;
      const bool wanted = label == commentLabel && metadata != nullptr;
      if (!subBlocks(wanted ? &comment : nullptr)) {
        break;
      }
      if (wanted && !comment.empty() && roomFor(*metadata, comment.size())) {
        metadata->comments.push_back(std::move(comment));
      }
    } else {
      break;
    }
  }
  return layout;
}

// The length of the head that comes before a GIF's first frame: the header, the global colour
// table and the application extensions (the loop count); 0 while the bytes do not show it yet.
std::size_t headBeforeFrames(std::span<const std::uint8_t> start) {
  if (start.size() < 13) {
    return 0;
  }
  std::size_t pos = 13 + ((start[10] & 0x80) != 0 ? 3u << ((start[10] & 7) + 1) : 0);
  while (pos + 2 <= start.size() && start[pos] == extensionBlock && start[pos + 1] == 0xFF) {
    std::size_t block = pos + 2;
    while (block < start.size() && start[block] != 0) {
      block += 1 + start[block];
    }
    if (block >= start.size()) {
      return 0;
    }
    pos = block + 1;
  }
  return pos < start.size() ? pos : 0;
}

// Puts the comments as comment extensions before the first frame, after the head, where
// readers that tie a comment to a frame tie them to the first.
class GifMetadataWriter final : public HeadRewriter {
 public:
  GifMetadataWriter(ByteSink& file, const Metadata& metadata)
      : HeadRewriter(file, headBeforeFrames,
                     [this](std::span<const std::uint8_t> head) { return rewrite(head); }),
        comments_(metadata.comments) {}

 private:
  std::vector<std::uint8_t> rewrite(std::span<const std::uint8_t> head) const {
    std::vector<std::uint8_t> out(head.begin(), head.end());
    for (const std::vector<std::uint8_t>& comment : comments_) {
      out.insert(out.end(), {extensionBlock, commentLabel});
      for (std::size_t at = 0; at < comment.size(); at += 255) {
        const std::size_t length = std::min<std::size_t>(255, comment.size() - at);
        out.push_back(static_cast<std::uint8_t>(length));
        out.insert(out.end(), comment.begin() + static_cast<std::ptrdiff_t>(at),
                   comment.begin() + static_cast<std::ptrdiff_t>(at + length));
      }
      out.push_back(0);
    }
    return out;
  }

  std::vector<std::vector<std::uint8_t>> comments_;
};

}  // namespace

PictureHeaders readGifHeaders(const ByteSource& source) {
  const std::vector<std::uint8_t> head = source.read(0, 13);
  if (head.size() < 13) {
    damagedPicture("the GIF headers are cut short");
  }
  PictureHeaders headers;
  const GifLayout layout = walkGif(source, headEnd(head[10]), &headers.metadata);
  headers.size = {littleEndian16(&head[6]), littleEndian16(&head[8])};
  if (headers.size.width == 0 || headers.size.height == 0) {
    // A screen of no size: the first frame's extent stands for it.
    if (layout.frames == 0) {
      damagedPicture("the GIF file holds no picture");
    }
    headers.size = layout.firstExtent;
  }
  // Every frame is composed onto the whole screen before it is resized.
  headers.frames = std::max<std::uint32_t>(layout.frames, 1);
  headers.allPixels = headers.size.area() * headers.frames;
  return headers;
}

std::uint32_t gifFrameCount(const ByteSource& source) {
  const std::vector<std::uint8_t> head = source.read(0, 13);
  return head.size() < 13 ? 0 : walkGif(source, headEnd(head[10]), nullptr).frames;
}

GifFrameBlocks gifFrameBlocks(const ByteSource& source, std::uint64_t from) {
  const std::vector<std::uint8_t> head = source.read(0, 13);
  if (head.size() < 13) {
    return {};
  }
  const std::uint64_t start = from != 0 ? from : headEnd(head[10]);
  const GifLayout layout = walkGif(source, start, nullptr, 1);
  if (layout.frames == 0) {
    return {};
  }
  // A frame cut short runs to the file's end, where its decoder finds it damaged.
  return {start, layout.end != 0 ? layout.end : source.size()};
}

std::unique_ptr<MetadataWriter> gifMetadataWriter(ByteSink& file, const Metadata& metadata) {
  return std::make_unique<GifMetadataWriter>(file, metadata);
}

}  // namespace karvelo::converter
