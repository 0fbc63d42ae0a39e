#pragma once

#include <cstdint>

namespace karvelo::converter {

// One of N conversion slots shared by every converter process (N = the number of processors),
// so that a batch of thousands of pictures decodes N at a time. A slot is a lock on a lock file
// (a named mutex on Windows); the system frees it when the process ends in any way, crashes and
// kills included.
//
// The lock files live in the user's runtime folder ($XDG_RUNTIME_DIR, else /tmp/karvelo-<uid>),
// or in $MULTICONV_SLOT_DIR when set. When no slot folder can be made the conversion runs
// without waiting rather than failing.
class ConversionSlot {
 public:
  // Waits until a slot is free and takes it.
  static ConversionSlot acquire();

  ConversionSlot(ConversionSlot&& other) noexcept;
  ConversionSlot& operator=(ConversionSlot&&) = delete;
  ConversionSlot(const ConversionSlot&) = delete;
  ConversionSlot& operator=(const ConversionSlot&) = delete;
  ~ConversionSlot();

 private:
  ConversionSlot() = default;

  std::intptr_t handle_ = -1;  // file descriptor, or HANDLE on Windows
  bool traced_ = false;
};

}  // namespace karvelo::converter
