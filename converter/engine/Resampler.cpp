#include "converter/engine/Resampler.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

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
  return axis;
}

template <int channels>
void filterRow(const float* in, float* out, const Resampler::Axis& axis) {
  for (const Resampler::Taps& taps : axis.taps) {
    float sums[channels] = {};
    const float* weight = axis.weights.data() + taps.weights;
    const float* pixel = in + std::size_t{taps.first} * channels;
    for (std::uint32_t t = 0; t < taps.count; ++t, pixel += channels) {
      for (int c = 0; c < channels; ++c) {
        sums[c] += weight[t] * pixel[c];
      }
    }
    std::memcpy(out, sums, sizeof sums);
    out += channels;
  }
}

std::uint8_t toByte(float value) {
  return static_cast<std::uint8_t>(std::clamp(value, 0.0F, 255.0F) + 0.5F);
}

}  // namespace

Resampler::Resampler(PixelSize source, SourceArea area, PixelSize target, ColorModel model,
                     RowConsumer out)
    : source_(source),
      target_(target),
      model_(model),
      channels_(channelsOf(model)),
      out_(std::move(out)),
      across_(axisFor(source.width, area.width, target.width)),
      down_(axisFor(source.height, area.height, target.height)) {
  // As many sums as result rows can take a share of one source row at a time.
  std::size_t live = 1;
  for (std::uint32_t i = 0, j = 0; i < target.height; ++i) {
    const std::uint32_t end = down_.taps[i].first + down_.taps[i].count;
    while (j < target.height && down_.taps[j].first < end) {
      ++j;
    }
    live = std::max<std::size_t>(live, j - i);
  }
  const std::size_t rowValues = std::size_t{target.width} * channels_;
  sums_.assign(std::min<std::size_t>(live, target.height), std::vector<float>(rowValues, 0.0F));
  weighted_.resize(std::size_t{source.width} * channels_);
  filtered_.resize(rowValues);
  result_.resize(rowValues);
}

void Resampler::push(std::span<const std::uint8_t> row) {
  if (across_.identity && down_.identity) {
    out_(row.first(result_.size()));
    return;
  }
  const bool repeated = sourceRow_ > 0 && std::equal(row.begin(), row.end(), previous_.begin());
  if (!repeated) {
    filterAcross(row);
    previous_.assign(row.begin(), row.end());
  }
  for (std::uint32_t i = nextResult_; i < target_.height && down_.taps[i].first <= sourceRow_;
       ++i) {
    const Taps& taps = down_.taps[i];
    if (sourceRow_ >= taps.first + taps.count) {
      continue;
    }
    const float weight = down_.weights[taps.weights + (sourceRow_ - taps.first)];
    std::vector<float>& sums = sums_[i % sums_.size()];
    for (std::size_t v = 0; v < sums.size(); ++v) {
      sums[v] += weight * filtered_[v];
    }
  }
  while (nextResult_ < target_.height &&
         down_.taps[nextResult_].first + down_.taps[nextResult_].count == sourceRow_ + 1) {
    emit(sums_[nextResult_ % sums_.size()]);
    ++nextResult_;
  }
  ++sourceRow_;
}

void Resampler::filterAcross(std::span<const std::uint8_t> row) {
  const std::size_t values = weighted_.size();
  if (hasAlpha(model_)) {
    const int alpha = channels_ - 1;
    for (std::size_t p = 0; p < values; p += static_cast<std::size_t>(channels_)) {
      const float a = row[p + static_cast<std::size_t>(alpha)] * (1.0F / 255.0F);
      for (int c = 0; c < alpha; ++c) {
        weighted_[p + static_cast<std::size_t>(c)] = row[p + static_cast<std::size_t>(c)] * a;
      }
      weighted_[p + static_cast<std::size_t>(alpha)] = row[p + static_cast<std::size_t>(alpha)];
    }
  } else {
    std::copy(row.begin(), row.begin() + static_cast<std::ptrdiff_t>(values), weighted_.begin());
  }
  if (across_.identity) {
    filtered_ = weighted_;
    return;
  }
  switch (channels_) {
    case 1:
      filterRow<1>(weighted_.data(), filtered_.data(), across_);
      break;
    case 2:
      filterRow<2>(weighted_.data(), filtered_.data(), across_);
      break;
    case 3:
      filterRow<3>(weighted_.data(), filtered_.data(), across_);
      break;
    default:
      filterRow<4>(weighted_.data(), filtered_.data(), across_);
      break;
  }
}

void Resampler::emit(std::vector<float>& sums) {
  const auto channels = static_cast<std::size_t>(channels_);
  if (hasAlpha(model_)) {
    for (std::size_t p = 0; p < sums.size(); p += channels) {
      const float alpha = sums[p + channels - 1];
      const float unweight = alpha > 0.0F ? 255.0F / alpha : 0.0F;
      for (std::size_t c = 0; c + 1 < channels; ++c) {
        result_[p + c] = toByte(sums[p + c] * unweight);
      }
      result_[p + channels - 1] = toByte(alpha);
    }
  } else {
    for (std::size_t v = 0; v < sums.size(); ++v) {
      result_[v] = toByte(sums[v]);
    }
  }
  std::fill(sums.begin(), sums.end(), 0.0F);
  out_(result_);
}

}  // namespace karvelo::converter
