// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/Control.h"

#include <string>
#include <vector>

namespace karvelo::forms {

// A text printed into a picture box, kept so that a view can paint it at any time.
struct PrintedText {
  int x = 0;  // twips from the inner top left corner
  int y = 0;
  std::string text;
  Color color = 0;
  TextFont font;
  bool operator==(const PrintedText&) const = default;
};

// A picture box: a panel that holds other controls, a surface that keeps what is printed into
// it (the view paints the kept drawing, and repaints at once on Refresh), and the holder of a
// picture drawn from its top left corner.
class PictureBox : public Control {
 public:
  // A bordered box loses two pixels on each side to its sunken edge.
  static constexpr int BorderTwips = 30;

  PictureBox(Form& form, Control* container, std::string name, Rect geometry, bool bordered = true)
      : Control(form, container, ControlKind::PictureBox, std::move(name), geometry),
        bordered_(bordered) {}

  bool bordered() const { return bordered_; }

  // Inner size, without the border, in twips.
  int ScaleWidth() const { return Width() - (bordered_ ? 2 * BorderTwips : 0); }
  int ScaleHeight() const { return Height() - (bordered_ ? 2 * BorderTwips : 0); }

  int CurrentX() const { return currentX_; }
  int CurrentY() const { return currentY_; }
  void setCurrentX(int x) { currentX_ = x; }
  void setCurrentY(int y) { currentY_ = y; }

  // Erases what was printed and puts the print position back at the top left.
  void Cls();
  // Prints a line of text at the print position in the fore colour and the font, then moves the
  // print position to the start of the next line.
  void Print(const std::string& text);
  int TextWidth(const std::string& text) const;
  int TextHeight(const std::string& text) const;
  // Brings the kept drawing to the screen now.
  void Refresh() { notify(Property::Drawing); }

  const std::vector<PrintedText>& drawing() const { return drawing_; }

  // The name of the picture shown from the top left corner, empty for none.
  const std::string& Picture() const { return picture_; }
  void setPicture(std::string picture) {
    picture_ = std::move(picture);
    notify(Property::Drawing);
  }

 private:
  bool bordered_;
  int currentX_ = 0;
  int currentY_ = 0;
  std::vector<PrintedText> drawing_;
  std::string picture_;
};

}  // namespace karvelo::forms
