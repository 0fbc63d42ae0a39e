// SPDX-License-Identifier: GPL-3.0-or-later
#include "converter/engine/Resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

// The loops over rows run in a second version for processors with AVX2 and FMA (fused multiply-
// adds, a tenth less time to halve a 12-megapixel photograph), chosen once when the program
// starts. Only where the loader makes that choice: Linux on x86-64, built by GCC.
#if defined(__x86_64__) && defined(__linux__) && !defined(__clang__)
#define FOR_EACH_PROCESSOR __attribute__((target_clones("arch=x86-64-v3", "default"), flatten))
#else
#define FOR_EACH_PROCESSOR
#endif

namespace karvelo::converter {

namespace {

constexpr double lobes = 3.0;

double lanczos3(double x) {
  x = std::abs(x);
  if (x < 1e-9) {
    return 1.0;
  }
  if (x >= lobes) {
    return 0.0;
  }
  const double px = std::numbers::pi * x;
  return lobes * std::sin(px) * std::sin(px / lobes) / (px * px);
}

// The longest run of result pixels whose taps are those of the run's first pixel moved along
// by a whole number of source pixels, with the same weights.
void findUniform(Resampler::Axis& axis) {
  const std::vector<Resampler::Taps>& taps = axis.taps;
  const auto sameWeights = [&](std::size_t a, std::size_t b) {
    return taps[a].count == taps[b].count &&
           std::equal(axis.weights.begin() + static_cast<std::ptrdiff_t>(taps[a].weights),
                      axis.weights.begin() +
                          static_cast<std::ptrdiff_t>(taps[a].weights + taps[a].count),
                      axis.weights.begin() + static_cast<std::ptrdiff_t>(taps[b].weights));
  };
  for (std::size_t from = 0; from + 1 < taps.size();) {
    const std::int64_t step = std::int64_t{taps[from + 1].first} - taps[from].first;
    std::size_t to = from + 1;
    while (to < taps.size() && step > 0 &&
           std::int64_t{taps[to].first} - taps[to - 1].first == step && sameWeights(from, to)) {
      ++to;
    }
    if (to - from > axis.uniformTo - axis.uniformFrom) {
      axis.uniformFrom = static_cast<std::uint32_t>(from);
      axis.uniformTo = static_cast<std::uint32_t>(to);
      axis.uniformStep = static_cast<std::uint32_t>(step);
    }
    from = to;
  }
}

// The weights of each result pixel along one axis. Taps past the edges fall onto the outermost
// source pixel.
Resampler::Axis axisFor(std::uint32_t sourceSize, double extent, std::uint32_t targetSize) {
  Resampler::Axis axis;
  axis.identity = sourceSize == targetSize && extent == sourceSize;
  const double scale = extent / targetSize;
  const double stretch = std::max(1.0, scale);
  const double reach = lobes * stretch;
  const auto last = static_cast<std::int64_t>(sourceSize) - 1;
  std::vector<double> local;
  for (std::uint32_t i = 0; i < targetSize; ++i) {
    const double centre = (i + 0.5) * scale - 0.5;
    const auto from = static_cast<std::int64_t>(std::floor(centre - reach)) + 1;
    const auto to = static_cast<std::int64_t>(std::ceil(centre + reach)) - 1;
    const std::int64_t first = std::clamp<std::int64_t>(from, 0, last);
    const std::int64_t end = std::clamp<std::int64_t>(to, 0, last) + 1;
    local.assign(static_cast<std::size_t>(end - first), 0.0);
    double sum = 0;
    for (std::int64_t j = from; j <= to; ++j) {
      const double weight = lanczos3((static_cast<double>(j) - centre) / stretch);
      local[static_cast<std::size_t>(std::clamp(j, first, end - 1) - first)] += weight;
      sum += weight;
    }
    axis.taps.push_back({static_cast<std::uint32_t>(first),
                         static_cast<std::uint32_t>(local.size()), axis.weights.size()});
    for (double weight : local) {
      axis.weights.push_back(static_cast<float>(weight / sum));
    }
  }
  findUniform(axis);
  return axis;
}

template <typename Sample>
constexpr float maxSample = static_cast<float>(std::numeric_limits<Sample>::max());

template <typename Sample>
Sample toSample(float value) {
  return static_cast<Sample>(std::clamp(value, 0.0F, maxSample<Sample>) + 0.5F);
}

}  // namespace

Resampler::Resampler(PixelSize source, SourceArea area, PixelSize target, ColorModel model,
                     RowConsumer out, int bitsPerSample)
    : source_(source),
      target_(target),
      model_(model),
      channels_(channelsOf(model)),
      deep_(bitsPerSample == 16),
      out_(std::move(out)),
      across_(axisFor(source.width, area.width, target.width)),
      down_(axisFor(source.height, area.height, target.height)) {
  // Shrinking (or keeping) the height, each source row is added into the few result rows that
  // its filter reaches, as many as overlap; growing it, each result row is made from a ring of
  // the last source rows, as many as its filter reaches. Either way a few rows, whatever the
  // scale: shrinking by 100 would need a ring of 600 rows, growing by 100 600 sums.
  ring_ = area.height < target.height;
  std::size_t rows = 1;
  for (std::uint32_t i = 0, j = 0; i < target.height; ++i) {
    const std::uint32_t end = down_.taps[i].first + down_.taps[i].count;
    while (j < target.height && down_.taps[j].first < end) {
      ++j;
    }
    rows = std::max<std::size_t>(rows, ring_ ? down_.taps[i].count : j - i);
  }
  rows_.assign(std::min<std::size_t>(rows, ring_ ? source.height : target.height),
               std::vector<Pixel>(target.width, Pixel{}));
  sums_.resize(ring_ ? target.width : 0);
  weighted_.resize(source.width);
  filtered_.resize(ring_ ? 0 : target.width);
  result_.resize(std::size_t{target.width} * channels_ * (deep_ ? 2 : 1));
}

void Resampler::push(std::span<const std::uint8_t> row) {
  if (across_.identity && down_.identity) {
    out_(row.first(result_.size()));
    return;
  }
  std::vector<Pixel>& filtered = ring_ ? rows_[sourceRow_ % rows_.size()] : filtered_;
  if (sourceRow_ > 0 && std::equal(row.begin(), row.end(), previous_.begin())) {
    if (ring_) {  // the same row filtered the same way
      filtered = rows_[(sourceRow_ - 1) % rows_.size()];
    }
  } else {
    filterAcross(row, filtered);
    previous_.assign(row.begin(), row.end());
  }
  if (ring_) {
    makeFromRing();
  } else {
    addIntoSums();
  }
  ++sourceRow_;
}

FOR_EACH_PROCESSOR void Resampler::addIntoSums() {
  for (std::uint32_t i = nextResult_; i < target_.height && down_.taps[i].first <= sourceRow_;
       ++i) {
    const Taps& taps = down_.taps[i];
    if (sourceRow_ >= taps.first + taps.count) {
      continue;
    }
    const float weight = down_.weights[taps.weights + (sourceRow_ - taps.first)];
    Pixel* __restrict sums = rows_[i % rows_.size()].data();
    const Pixel* __restrict filtered = filtered_.data();
    for (std::size_t x = 0; x < target_.width; ++x) {
      sums[x] += weight * filtered[x];
    }
  }
  while (nextResult_ < target_.height &&
         down_.taps[nextResult_].first + down_.taps[nextResult_].count == sourceRow_ + 1) {
    emit(rows_[nextResult_ % rows_.size()]);
    ++nextResult_;
  }
}

FOR_EACH_PROCESSOR void Resampler::makeFromRing() {
  while (nextResult_ < target_.height &&
         down_.taps[nextResult_].first + down_.taps[nextResult_].count <= sourceRow_ + 1) {
    const Taps& taps = down_.taps[nextResult_];
    for (std::uint32_t t = 0; t < taps.count; ++t) {
      const float weight = down_.weights[taps.weights + t];
      Pixel* __restrict sums = sums_.data();
      const Pixel* __restrict source = rows_[(taps.first + t) % rows_.size()].data();
      for (std::size_t x = 0; x < target_.width; ++x) {
        sums[x] += weight * source[x];
      }
    }
    emit(sums_);
    ++nextResult_;
  }
}

namespace {

// The row's pixels as four lanes each, colour weighted by alpha. Samples are read a byte at a
// time: a row of 16-bit samples is held as bytes.
template <std::size_t channels, bool alpha, typename Sample, typename Pixel>
void weigh(const std::uint8_t* in, Pixel* out, std::size_t width) {
  for (std::size_t x = 0; x < width; ++x, in += channels * sizeof(Sample)) {
    Sample samples[channels];
    std::memcpy(samples, in, sizeof samples);
    Pixel pixel{};
    for (std::size_t c = 0; c < channels; ++c) {
      pixel[c] = samples[c];
    }
    if constexpr (alpha) {
      const float a = samples[channels - 1] * (1.0F / maxSample<Sample>);
      for (std::size_t c = 0; c + 1 < channels; ++c) {
        pixel[c] *= a;
      }
    }
    out[x] = pixel;
  }
}

// Calls `visit` with the model's channels and whether the last one is alpha, as template
// arguments, so that the loops over a row are compiled for each layout.
template <typename Visit>
void withLayout(ColorModel model, Visit visit) {
  switch (model) {
    case ColorModel::Gray:
      visit.template operator()<1, false>();
      break;
    case ColorModel::GrayAlpha:
      visit.template operator()<2, true>();
      break;
    case ColorModel::Rgb:
      visit.template operator()<3, false>();
      break;
    case ColorModel::Rgba:
      visit.template operator()<4, true>();
      break;
    case ColorModel::Cmyk:
      visit.template operator()<4, false>();
      break;
  }
}

// Filters `count` result pixels whose `taps` sources start `step` pixels apart, all with the same
// weights.
template <std::uint32_t taps, typename Pixel>
void filterUniform(const Pixel* in, Pixel* out, std::size_t count, std::size_t step,
                   const float* weight) {
  Pixel weights[taps];
  for (std::uint32_t t = 0; t < taps; ++t) {
    weights[t] = Pixel{} + weight[t];
  }
  for (std::size_t x = 0; x < count; ++x, in += step) {
    Pixel sums[2] = {};
    for (std::uint32_t t = 0; t < taps; t += 2) {
      sums[0] += weights[t] * in[t];
      sums[1] += weights[t + 1] * in[t + 1];
    }
    out[x] = sums[0] + sums[1];
  }
}

}  // namespace

template <typename Sample>
void Resampler::weighRow(std::span<const std::uint8_t> row) {
  withLayout(model_, [&]<std::size_t channels, bool alpha>() {
    weigh<channels, alpha, Sample>(row.data(), weighted_.data(), weighted_.size());
  });
}

FOR_EACH_PROCESSOR void Resampler::filterAcross(std::span<const std::uint8_t> row,
                                                std::vector<Pixel>& filtered) {
  if (deep_) {
    weighRow<std::uint16_t>(row);
  } else {
    weighRow<std::uint8_t>(row);
  }
  if (across_.identity) {
    filtered = weighted_;
    return;
  }
  std::size_t x = 0;
  const auto filterTo = [&](std::size_t end) {
    for (; x < end; ++x) {
      const Taps& taps = across_.taps[x];
      const float* weight = across_.weights.data() + taps.weights;
      const Pixel* in = weighted_.data() + taps.first;
      // Two sums in turn, so that each addition need not wait for the one before.
      Pixel sums[2] = {};
      std::uint32_t t = 0;
      for (; t + 1 < taps.count; t += 2) {
        sums[0] += weight[t] * in[t];
        sums[1] += weight[t + 1] * in[t + 1];
      }
      if (t < taps.count) {
        sums[0] += weight[t] * in[t];
      }
      filtered[x] = sums[0] + sums[1];
    }
  };
  // A halving or quartering reads 12 or 24 taps with the same weights for every inner pixel:
  // those weights are held for the whole run instead of being read for each pixel.
  const std::uint32_t runFrom = across_.uniformFrom;
  const std::uint32_t runTo = across_.uniformTo;
  const std::uint32_t count = runTo > runFrom ? across_.taps[runFrom].count : 0;
  if (count == 12 || count == 24) {
    filterTo(runFrom);
    const Taps& taps = across_.taps[runFrom];
    const float* weight = across_.weights.data() + taps.weights;
    const Pixel* in = weighted_.data() + taps.first;
    if (count == 12) {
      filterUniform<12>(in, filtered.data() + runFrom, runTo - runFrom, across_.uniformStep, weight);
    } else {
      filterUniform<24>(in, filtered.data() + runFrom, runTo - runFrom, across_.uniformStep, weight);
    }
    x = runTo;
  }
  filterTo(filtered.size());
}

FOR_EACH_PROCESSOR void Resampler::emit(std::vector<Pixel>& sums) {
  if (deep_) {
    emitRow<std::uint16_t>(sums);
  } else {
    emitRow<std::uint8_t>(sums);
  }
  out_(result_);
}

namespace {

// The sums as samples, colour unweighted by alpha, rounded and clamped.
template <std::size_t channels, bool alpha, typename Sample, typename Pixel>
void unweigh(Pixel* sums, std::size_t width, std::uint8_t* out) {
  for (std::size_t x = 0; x < width; ++x, out += channels * sizeof(Sample)) {
    Pixel& sum = sums[x];
    const float a = sum[channels - 1];
    const float unweight = alpha ? (a > 0.0F ? maxSample<Sample> / a : 0.0F) : 1.0F;
    Sample samples[channels];
    for (std::size_t c = 0; c < channels; ++c) {
      samples[c] = toSample<Sample>(alpha && c + 1 == channels ? a : sum[c] * unweight);
    }
    std::memcpy(out, samples, sizeof samples);
    sum = Pixel{};
  }
}

}  // namespace

template <typename Sample>
void Resampler::emitRow(std::vector<Pixel>& sums) {
  withLayout(model_, [&]<std::size_t channels, bool alpha>() {
    unweigh<channels, alpha, Sample>(sums.data(), sums.size(), result_.data());
  });
}

}  // namespace karvelo::converter
