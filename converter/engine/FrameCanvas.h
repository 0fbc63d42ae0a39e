// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/core/PixelSize.h"
#include "converter/engine/RowStore.h"

#include <cstdint>
#include <optional>
#include <span>

namespace karvelo::converter {

// Where a frame lies on an animation's screen; it may reach past the screen's edges.
struct FrameArea {
  std::uint32_t left = 0;
  std::uint32_t top = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

// The screen of an animation whose frames cover parts of it (a GIF's), onto which each frame is
// drawn as a viewer draws it, so that every frame is delivered whole, RGBA, and resized as it is
// seen. Before a frame is drawn, the one before is disposed of as it asked: 0 or 1 leave it,
// 2 clears its area to transparent (as browsers do, whatever background colour the file names),
// 3 puts back what its area held before it. Drawn frames written whole with the same disposal
// show alike: whole frames clear at least what the parts did, and where a frame is transparent
// the screen beneath it was too. The screen is kept in a row store, on disk when it is large.
class FrameCanvas {
 public:
  explicit FrameCanvas(PixelSize screen);

  // Begins a frame over `area` that will be disposed of by `disposal` once the next begins.
  void beginFrame(FrameArea area, int disposal);

  // The screen's row `y`, top to bottom, with the frame's row drawn over it where the row lies
  // within the frame: `frameRow` holds RGBA pixels of the frame's width, or nothing outside the
  // frame. Pixels of alpha 0 leave the screen as it was. Fills `out`, RGBA of the screen's width.
  void composeRow(std::uint32_t y, std::span<const std::uint8_t> frameRow,
                  std::span<std::uint8_t> out);

 private:
  struct Span {
    std::uint32_t first = 0;  // the first screen column or row covered
    std::uint32_t count = 0;
  };
  static Span clip(std::uint32_t start, std::uint32_t length, std::uint32_t limit);
  void disposePrevious();

  PixelSize screen_;
  RowStore pixels_;
  Span across_;
  Span down_;
  int disposal_ = 0;
  std::optional<RowStore> saved_;  // the area beneath a frame to be disposed of by method 3
};

}  // namespace karvelo::converter
