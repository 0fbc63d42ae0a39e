// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace karvelo::converter {

// Thrown by a codec table that leaves a format to another program of the converter's own (the
// Linux multiconv, linked whole, leaves HEIF and AVIF to multiconv-heif beside it). It is caught
// in main, once the run has unwound: the slot given back, the source closed, no result opened.
// A slot must be given back before the other program starts: System V semaphore adjustments
// survive an exec, so a slot still held would be held twice, and with all slots busy the other
// program would wait for itself. `start` then starts that program in this process's place with
// the same command line and environment; it returns only when it cannot, with the reason.
struct HandOver {
  std::string (*start)(char** argv);
};

}  // namespace karvelo::converter
