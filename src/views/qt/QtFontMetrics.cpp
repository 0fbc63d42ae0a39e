// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/qt/QtFontMetrics.h"

#include <QFontMetricsF>
#include <QString>
#include <cmath>

#include "views/qt/Appearance.h"

namespace karvelo::views::qt {

int QtFontMetrics::textWidthTwips(const forms::TextFont& font, std::string_view text) const {
  const QFontMetricsF metrics(toQFont(font));
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  return static_cast<int>(std::lround(Scale.toTwips(metrics.horizontalAdvance(s))));
}

int QtFontMetrics::textHeightTwips(const forms::TextFont& font, std::string_view) const {
  // The height of a line, as the window system measures text: ascent plus descent.
  const QFontMetricsF metrics(toQFont(font));
  return static_cast<int>(std::lround(Scale.toTwips(std::ceil(metrics.height()))));
}

}  // namespace karvelo::views::qt
