// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/qt/Appearance.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QFontDatabase>
#include <QPalette>
#include <cmath>

namespace karvelo::views::qt {

namespace {

constexpr double PixelsPerPoint = 96.0 / 72.0;

// System colour indexes of the window system, mapped to the palette roles that play their part.
QColor systemColor(std::uint8_t index) {
  const QPalette palette = QApplication::palette();
  switch (index) {
    case 2:   // active title bar
    case 13:  // selected items
      return palette.color(QPalette::Active, QPalette::Highlight);
    case 9:   // active title text
    case 14:  // text of selected items
      return palette.color(QPalette::Active, QPalette::HighlightedText);
    case 3:  // inactive title bar
      return palette.color(QPalette::Active, QPalette::Mid);
    case 5:  // window background
      return palette.color(QPalette::Active, QPalette::Base);
    case 6:   // window frame
    case 21:  // 3-D dark shadow
      return palette.color(QPalette::Active, QPalette::Shadow);
    case 7:  // menu text
    case 8:  // window text
      return palette.color(QPalette::Active, QPalette::Text);
    case 12:  // application workspace
    case 16:  // button shadow
      return palette.color(QPalette::Active, QPalette::Dark);
    case 17:  // disabled text
      return palette.color(QPalette::Disabled, QPalette::Text);
    case 18:  // button text
      return palette.color(QPalette::Active, QPalette::ButtonText);
    case 19:  // inactive title text
      return palette.color(QPalette::Active, QPalette::Midlight);
    case 20:  // 3-D highlight
      return palette.color(QPalette::Active, QPalette::Light);
    case 22:  // 3-D light
      return palette.color(QPalette::Active, QPalette::Midlight);
    case 23:  // tool tip text
      return palette.color(QPalette::Active, QPalette::ToolTipText);
    case 24:  // tool tip background
      return palette.color(QPalette::Active, QPalette::ToolTipBase);
    default:  // 4 menu, 10 and 11 borders, 15 button face, and anything unknown
      return palette.color(QPalette::Active, QPalette::Window);
  }
}

// The faces that draw bold text for laid-out faces whose bold is missing or too light at small
// sizes here: Wine's MS Sans Serif has one weight only, and Wine's Tahoma Bold has strokes as thin
// as the regular's. The stand-ins are of about the same width.
QString boldFaceFor(const QString& family) {
  if (family == QLatin1String("Tahoma")) return QStringLiteral("DejaVu Sans Condensed");
  if (family == QLatin1String("MS Sans Serif")) return QStringLiteral("Liberation Sans");
  return family;
}

}  // namespace

QColor toQColor(forms::Color color) {
  if (forms::isSystemColor(color)) return systemColor(forms::systemColorIndex(color));
  return QColor(static_cast<int>(color & 0xFFu), static_cast<int>((color >> 8) & 0xFFu),
                static_cast<int>((color >> 16) & 0xFFu));
}

QFont toQFont(const forms::TextFont& font) {
  QString family = QString::fromStdString(font.face);
  if (font.bold) family = boldFaceFor(family);
  QFont result(family);
  result.setPixelSize(std::max(1, static_cast<int>(std::lround(font.size * PixelsPerPoint))));
  result.setBold(font.bold);
  result.setItalic(font.italic);
  result.setStyleHint(QFont::SansSerif);
  return result;
}

QString resourceFile(const QString& kind, const std::string& name) {
  if (name.empty()) return {};
  const QString base = QString::fromStdString(name);
  const QStringList folders = {
      QStringLiteral(":/") + kind + QLatin1Char('/'),
      QCoreApplication::applicationDirPath() + QStringLiteral("/resources/")};
  for (const QString& folder : folders) {
    for (const char* extension : {"", ".png", ".ico", ".bmp", ".cur"}) {
      const QString path = folder + base + QLatin1String(extension);
      if (QFile::exists(path)) return path;
    }
  }
  return {};
}

void installFonts() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  for (const char* file : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf",
                           "/usr/share/wine/fonts/ms_sans_serif.ttf"}) {
    if (QFile::exists(QString::fromLatin1(file))) {
      QFontDatabase::addApplicationFont(QString::fromLatin1(file));
    }
  }
  // Used only for faces that are missing. Liberation Sans has Arial's metrics; Tahoma and
  // MS Sans Serif are narrow humanist faces, nearest to DejaVu Sans Condensed and Liberation Sans.
  QFont::insertSubstitutions(QStringLiteral("Arial"),
                             {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                             {QStringLiteral("DejaVu Sans Condensed"),
                              QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"),
                             {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
}

}  // namespace karvelo::views::qt
