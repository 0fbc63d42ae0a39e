// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "converter/engine/ByteSink.h"
#include "converter/platform/ResultFile.h"

#include <cstdint>
#include <string>
#include <vector>

namespace karvelo::converter {

// The result's bytes, written safely into a ResultFile (see there): no reader ever sees the
// result half written, and nothing is left of it unless it is committed.
class OutputFile final : public ByteSink {
 public:
  OutputFile(const std::string& finalPath, bool replace) : file_(finalPath, replace) {}
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  std::uint64_t size() const override { return written_ + pending_.size(); }
  std::size_t readAt(std::uint64_t offset, void* buffer, std::size_t length) const override;
  void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) override;

  void commit();

 private:
  void flush() const;
  void put(std::uint64_t offset, std::span<const std::uint8_t> bytes) const;

  mutable ResultFile file_;  // a failed write removes it
  // Appends are gathered, since some encoders write a few bytes at a time.
  mutable std::vector<std::uint8_t> pending_;
  mutable std::uint64_t written_ = 0;
};

}  // namespace karvelo::converter
