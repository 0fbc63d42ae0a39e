// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace karvelo::converter {

// Sets a numeric property of an XMP packet wherever the packet states it, as an attribute
// (`tiff:Orientation="6"`) or as an element (`<tiff:Orientation>6</tiff:Orientation>`), by editing
// the text: no XML is parsed, so a packet of any size is edited in one pass over it. Only values
// of a few digits are replaced; anything else is left as it is, and so is a packet that states
// the property in some other form.
void setXmpNumber(std::vector<std::uint8_t>& packet, std::string_view property,
                  std::uint32_t value);

}  // namespace karvelo::converter
