// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>
#include <QWidget>
#include <string>

#include "forms/PictureBox.h"

namespace karvelo::views::qt {

// A picture box: a panel with an optional sunken edge that holds child widgets inside the edge,
// and paints the box's kept drawing (background, picture, printed texts) whenever Qt asks.
class PictureBoxWidget final : public QWidget {
 public:
  PictureBoxWidget(forms::PictureBox& box, QWidget* parent);

  // Where the box's inner area starts: its children and drawing are placed from here.
  QPoint innerOrigin() const;
  // Stops reading the picture box, which may be about to go away.
  void detach() { box_ = nullptr; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  forms::PictureBox* box_;
  std::string pictureName_;  // the picture that picture_ holds
  QPixmap picture_;
};

}  // namespace karvelo::views::qt
