#pragma once

#include <cstdint>
#include <string>

namespace karvelo::converter {

// One of N conversion slots shared by every converter process of the user (N = the number of
// processors), so that a batch of thousands of pictures decodes N at a time. A converter waits
// only while all N slots are busy and then takes the first one that frees; the system frees a
// slot when its holder ends in any way, crashes and kills included.
//
// On POSIX the slots are one counting semaphore (System V, with the kernel undoing the holder's
// share when it ends) keyed on a file in a folder of the user's own: the first usable of
// $MULTICONV_SLOT_DIR, $XDG_RUNTIME_DIR/karvelo-slots, /tmp/karvelo-<uid> and
// ~/.cache/karvelo-slots. Where no such semaphore can be had, N lock files in that folder stand
// in for it. On Windows they are N named mutexes in the session's namespace. Only when no slot
// can be had at all does the conversion run without waiting rather than fail.
class ConversionSlot {
 public:
  // Waits until a slot is free and takes it.
  static ConversionSlot acquire();

  // Removes the slots kept in `folder`, for tests and benchmarks that keep theirs apart.
  static void discard(const std::string& folder);

  ConversionSlot(ConversionSlot&& other) noexcept;
  ConversionSlot& operator=(ConversionSlot&&) = delete;
  ConversionSlot(const ConversionSlot&) = delete;
  ConversionSlot& operator=(const ConversionSlot&) = delete;
  ~ConversionSlot();

 private:
  enum class Kind { None, Semaphore, LockFile, Mutex };

  ConversionSlot() = default;

  Kind kind_ = Kind::None;
  std::intptr_t handle_ = -1;  // semaphore set id, lock file descriptor, or HANDLE
  int lock_ = -1;              // with the semaphores: the key file, locked for every decision
};

}  // namespace karvelo::converter
