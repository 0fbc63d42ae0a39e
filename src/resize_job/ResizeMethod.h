// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace karvelo::resize_job {

// The sizing mode: which of the option buttons opt1 (ratio), opt2 (height) and opt3 (width) is
// set, or none.
enum class ResizeMethod {
  None,
  Ratio,
  SpecificHeight,
  SpecificWidth,
};

}  // namespace karvelo::resize_job
