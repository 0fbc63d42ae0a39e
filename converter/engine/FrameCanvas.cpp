// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/engine/FrameCanvas.h"

#include <algorithm>
#include <vector>

namespace karvelo::converter {

FrameCanvas::FrameCanvas(PixelSize screen)
    : screen_(screen), pixels_(std::size_t{screen.width} * 4, screen.height) {}

FrameCanvas::Span FrameCanvas::clip(std::uint32_t start, std::uint32_t length,
                                    std::uint32_t limit) {
  const std::uint32_t first = std::min(start, limit);
  return {first, static_cast<std::uint32_t>(
                     std::min<std::uint64_t>(std::uint64_t{start} + length, limit) - first)};
}

void FrameCanvas::beginFrame(FrameArea area, int disposal) {
  disposePrevious();
  across_ = clip(area.left, area.width, screen_.width);
  down_ = clip(area.top, area.height, screen_.height);
  disposal_ = disposal;
  saved_.reset();
  if (disposal_ == 3 && across_.count > 0 && down_.count > 0) {
    saved_.emplace(std::size_t{across_.count} * 4, down_.count);
  }
}

void FrameCanvas::disposePrevious() {
  if ((disposal_ != 2 && disposal_ != 3) || across_.count == 0) {
    return;
  }
  std::vector<std::uint8_t> part(std::size_t{across_.count} * 4);
  std::vector<std::uint8_t> row(pixels_.rowBytes());
  for (std::uint32_t i = 0; i < down_.count; ++i) {
    if (saved_) {
      saved_->read(i, 0, part);
    }
    pixels_.read(down_.first + i, 0, row);
    std::copy(part.begin(), part.end(), row.begin() + static_cast<std::ptrdiff_t>(across_.first) * 4);
    pixels_.write(down_.first + i, row);
  }
}

void FrameCanvas::composeRow(std::uint32_t y, std::span<const std::uint8_t> frameRow,
                             std::span<std::uint8_t> out) {
  pixels_.read(y, 0, out);
  if (frameRow.empty() || y < down_.first || y - down_.first >= down_.count) {
    return;
  }
  std::uint8_t* area = out.data() + std::size_t{across_.first} * 4;
  if (saved_) {
    saved_->write(y - down_.first, std::span(area, std::size_t{across_.count} * 4));
  }
  // The frame's columns left of the screen's are none: a frame's left edge is never negative.
  const std::uint8_t* in = frameRow.data();
  for (std::uint32_t x = 0; x < across_.count && (x + 1) * 4 <= frameRow.size(); ++x) {
    if (in[x * 4 + 3] != 0) {
      std::copy_n(in + x * 4, 4, area + std::size_t{x} * 4);
    }
  }
  pixels_.write(y, out);
}

}  // namespace karvelo::converter
