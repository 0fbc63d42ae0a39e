// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QFont>

#include "forms/Color.h"
#include "forms/TextFont.h"
#include "views/layout/PixelScale.h"

namespace karvelo::views::qt {

// The view lays out at 96 dots per inch, 15 twips a pixel; Qt scales the whole window on
// high-density screens.
constexpr layout::PixelScale Scale{96};
constexpr int toPixels(int twips) { return Scale.toPixels(twips); }

// The colour of a model colour: fixed colours are 0x00BBGGRR, system colours come from the
// application palette, so the window follows the desktop's colour scheme.
QColor toQColor(forms::Color color);

// The font of a model font. Sizes in points are turned into pixels at 96 dots per inch, the
// measure that the twips geometry assumes; Qt scales both together on high-density screens.
QFont toQFont(const forms::TextFont& font);

// The file of a picture, icon or cursor that the model names ("app", "about.bmp"): a resource
// compiled into the program (":/<kind>/<name>"), else a file in the "resources" folder beside the
// executable; with the name as given, or with one of the usual extensions added. Empty if none.
QString resourceFile(const QString& kind, const std::string& name);

// Makes the laid-out faces available: registers the Tahoma and MS Sans Serif replacements that
// Wine ships, and maps every face the machine lacks to a metric-compatible or similar one.
// Call once after the QApplication exists.
void installFonts();

}  // namespace karvelo::views::qt
