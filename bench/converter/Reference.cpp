// SPDX-License-Identifier: GPL-3.0-or-later
#include "Reference.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace karvelo::bench {

namespace {

double lanczos3(double x) {
  x = std::abs(x);
  if (x < 1e-12) {
    return 1.0;
  }
  if (x >= 3.0) {
    return 0.0;
  }
  const double px = std::numbers::pi * x;
  return 3.0 * std::sin(px) * std::sin(px / 3.0) / (px * px);
}

// Resizes one axis: `count` lines of `from` samples each (stride `step` between samples,
// `lineStep` between lines) into `to` samples.
struct Weights {
  int first;
  std::vector<double> taps;
};

std::vector<Weights> weightsFor(std::uint32_t from, std::uint32_t to) {
  const double scale = static_cast<double>(from) / to;
  const double support = 3.0 * std::max(1.0, scale);
  const double stretch = std::max(1.0, scale);
  std::vector<Weights> all;
  for (std::uint32_t i = 0; i < to; ++i) {
    const double centre = (i + 0.5) * scale - 0.5;
    const int first = static_cast<int>(std::floor(centre - support)) + 1;
    const int last = static_cast<int>(std::ceil(centre + support)) - 1;
    Weights w{first, {}};
    double sum = 0;
    for (int j = first; j <= last; ++j) {
      const double weight = lanczos3((j - centre) / stretch);
      w.taps.push_back(weight);
      sum += weight;
    }
    for (double& t : w.taps) {
      t /= sum;
    }
    all.push_back(std::move(w));
  }
  return all;
}

}  // namespace

ReferenceImage lanczosReference(const converter::Image& source, converter::PixelSize target) {
  const int channels = source.channels();
  const bool alpha = converter::hasAlpha(source.model);
  const std::uint32_t w = source.size.width;
  const std::uint32_t h = source.size.height;
  std::vector<double> input(static_cast<std::size_t>(w) * h * channels);
  for (std::size_t p = 0; p < static_cast<std::size_t>(w) * h; ++p) {
    const double a = alpha ? source.pixels[p * channels + channels - 1] / 255.0 : 1.0;
    for (int c = 0; c < channels; ++c) {
      const double v = source.pixels[p * channels + c];
      input[p * channels + c] = alpha && c != channels - 1 ? v * a : v;
    }
  }
  // Horizontal, then vertical; edges clamp.
  const auto horizontal = weightsFor(w, target.width);
  std::vector<double> middle(static_cast<std::size_t>(target.width) * h * channels);
  for (std::uint32_t y = 0; y < h; ++y) {
    for (std::uint32_t x = 0; x < target.width; ++x) {
      const Weights& wt = horizontal[x];
      for (int c = 0; c < channels; ++c) {
        double sum = 0;
        for (std::size_t t = 0; t < wt.taps.size(); ++t) {
          const long sx = std::clamp<long>(wt.first + static_cast<long>(t), 0, w - 1);
          sum += wt.taps[t] * input[(static_cast<std::size_t>(y) * w + sx) * channels + c];
        }
        middle[(static_cast<std::size_t>(y) * target.width + x) * channels + c] = sum;
      }
    }
  }
  const auto vertical = weightsFor(h, target.height);
  ReferenceImage out{
      target, channels,
      std::vector<double>(static_cast<std::size_t>(target.width) * target.height * channels)};
  for (std::uint32_t y = 0; y < target.height; ++y) {
    const Weights& wt = vertical[y];
    for (std::uint32_t x = 0; x < target.width; ++x) {
      for (int c = 0; c < channels; ++c) {
        double sum = 0;
        for (std::size_t t = 0; t < wt.taps.size(); ++t) {
          const long sy = std::clamp<long>(wt.first + static_cast<long>(t), 0, h - 1);
          sum +=
              wt.taps[t] * middle[(static_cast<std::size_t>(sy) * target.width + x) * channels + c];
        }
        out.values[(static_cast<std::size_t>(y) * target.width + x) * channels + c] =
            std::clamp(sum, 0.0, 255.0);
      }
    }
  }
  return out;
}

double psnr(const converter::Image& result, const ReferenceImage& reference) {
  if (result.size != reference.size || result.channels() != reference.channels) {
    return std::numeric_limits<double>::quiet_NaN();
  }
  const int channels = reference.channels;
  const bool alpha = channels == 2 || channels == 4;
  double squared = 0;
  const std::size_t pixels = reference.values.size() / channels;
  for (std::size_t p = 0; p < pixels; ++p) {
    const double a = alpha ? result.pixels[p * channels + channels - 1] / 255.0 : 1.0;
    for (int c = 0; c < channels; ++c) {
      double v = result.pixels[p * channels + c];
      if (alpha && c != channels - 1) {
        v *= a;
      }
      const double d = v - reference.values[p * channels + c];
      squared += d * d;
    }
  }
  const double mse = squared / reference.values.size();
  return mse == 0 ? std::numeric_limits<double>::infinity() : 10 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace karvelo::bench
