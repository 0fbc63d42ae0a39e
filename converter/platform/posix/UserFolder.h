// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>

namespace karvelo::converter {

// A folder of the user's own for what converters share: the conversion slots and the records of
// results being written. The first usable of $MULTICONV_SLOT_DIR, $XDG_RUNTIME_DIR/karvelo-slots,
// /tmp/karvelo-<uid> and ~/.cache/karvelo-slots, made where missing; a file or another user's
// folder in one place, or a place whose parent is missing, passes on to the next. None when no
// place is usable.
std::optional<std::string> userRuntimeFolder();

// Whether the folder exists or can be made, and only this user can write to it: where another
// user can write, they could hold every slot or plant records.
bool isPrivateFolder(const std::string& folder);

}  // namespace karvelo::converter
