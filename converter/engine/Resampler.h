// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/engine/Image.h"

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace karvelo::converter {

// Receives rows one at a time, top to bottom.
using RowConsumer = std::function<void(std::span<const std::uint8_t> row)>;

// The part of the source rows, in source pixels from the top left corner, that the result covers:
// all of them, or a little less after a reduced decode whose last row and column partly lie past
// the stored picture's edge.
struct SourceArea {
  double width = 0;
  double height = 0;
};

// Resizes with a separable Lanczos-3 filter as the rows arrive: each source row is filtered
// across, then taken down, and a result row is passed on as soon as its last source row has
// arrived. Memory follows the result's width and a few rows, never the source's height. Edges
// repeat the outermost pixels.
// Colour is weighted by alpha while filtering, so transparent pixels do not bleed their hidden
// colour into the edges.
class Resampler {
 public:
  // Rows hold samples of `bitsPerSample` bits: 8, or 16 in the machine's byte order; result rows
  // hold samples of the same width.
  Resampler(PixelSize source, SourceArea area, PixelSize target, ColorModel model, RowConsumer out,
            int bitsPerSample = 8);

  // The next source row: width times channels samples.
  void push(std::span<const std::uint8_t> row);

  struct Taps {
    std::uint32_t first;  // the first source pixel
    std::uint32_t count;
    std::size_t weights;  // where its weights begin
  };
  struct Axis {
    std::vector<Taps> taps;  // per result pixel
    std::vector<float> weights;
    bool identity = false;  // each result pixel is its source pixel
    // Result pixels [uniformFrom, uniformTo) take the same weights from sources `uniformStep`
    // pixels apart: the inner pixels of a reduction by a whole factor.
    std::uint32_t uniformFrom = 0;
    std::uint32_t uniformTo = 0;
    std::uint32_t uniformStep = 0;
  };

 private:
  // One pixel's channels (up to four), colour weighted by alpha; four lanes whatever the model,
  // so that each step of the filters works on a whole pixel at once.
  using Pixel = float __attribute__((vector_size(16)));

  void filterAcross(std::span<const std::uint8_t> row, std::vector<Pixel>& filtered);
  void addIntoSums();
  void makeFromRing();
  void emit(std::vector<Pixel>& sums);
  template <typename Sample>
  void weighRow(std::span<const std::uint8_t> row);
  template <typename Sample>
  void emitRow(std::vector<Pixel>& sums);

  PixelSize source_;
  PixelSize target_;
  ColorModel model_;
  int channels_;
  bool deep_;  // 16-bit samples
  RowConsumer out_;
  Axis across_;
  Axis down_;
  std::uint32_t sourceRow_ = 0;
  std::uint32_t nextResult_ = 0;  // the first result row not yet passed on
  bool ring_ = false;  // growing the height: rows_ holds the last source rows, filtered across
  // Shrinking: the result rows being summed, by row modulo their count.
  std::vector<std::vector<Pixel>> rows_;
  std::vector<Pixel> sums_;             // growing: the result row being made
  std::vector<Pixel> weighted_;         // the source row
  std::vector<Pixel> filtered_;         // shrinking: the source row filtered across
  std::vector<std::uint8_t> previous_;  // the last source row, to reuse its filtering
  std::vector<std::uint8_t> result_;
};

}  // namespace karvelo::converter
