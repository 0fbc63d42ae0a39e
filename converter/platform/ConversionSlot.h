// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
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
  // What the system holds for a slot taken; releasing it gives the slot back. Each system
  // defines its own.
  struct Held;

  explicit ConversionSlot(std::unique_ptr<Held> held);

  std::unique_ptr<Held> held_;  // none when no slot could be had
};

// For the implementations: the number of slots, and the slot trace for tests. When
// MULTICONV_SLOT_TRACE names a file, every slot event appends a line to it: "+" a free slot
// taken, "w" a converter begins to wait, ">" a slot passed from a converter that is done to one
// that waits, "-" a slot given back free. On Windows, where the system hands a freed mutex to a
// waiting converter, only "+" and "-" are recorded.
unsigned slotCount();
void traceSlotEvent(char event);

}  // namespace karvelo::converter
