// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/qt/PictureBoxWidget.h"

#include <qdrawutil.h>

#include <QPainter>
#include <QPixmap>

#include "views/layout/Placement.h"
#include "views/qt/Appearance.h"

namespace karvelo::views::qt {

namespace {
QPixmap loadPicture(const std::string& name) {
  const QString file = resourceFile(QStringLiteral("pictures"), name);
  return file.isEmpty() ? QPixmap() : QPixmap(file);
}
}  // namespace

PictureBoxWidget::PictureBoxWidget(forms::PictureBox& box, QWidget* parent)
    : QWidget(parent), box_(&box) {
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QPoint PictureBoxWidget::innerOrigin() const {
  const int edge = layout::innerEdge(box_, Scale);
  return QPoint(edge, edge);
}

void PictureBoxWidget::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (!box_) {
    painter.fillRect(rect(), palette().color(QPalette::Window));
    return;
  }
  painter.fillRect(rect(), toQColor(box_->BackColor()));
  if (box_->bordered()) qDrawWinPanel(&painter, rect(), palette(), true);
  const QPoint origin = innerOrigin();
  painter.setClipRect(rect().adjusted(origin.x(), origin.y(), -origin.x(), -origin.y()));
  // The picture is read from its file once, not on every paint.
  if (box_->Picture() != pictureName_) {
    pictureName_ = box_->Picture();
    picture_ = loadPicture(pictureName_);
  }
  if (!picture_.isNull()) painter.drawPixmap(origin, picture_);
  for (const forms::PrintedText& printed : box_->drawing()) {
    painter.setFont(toQFont(printed.font));
    painter.setPen(toQColor(printed.color));
    // Printed text hangs from its print position: the position is the top left of the line.
    const QPoint at = origin + QPoint(toPixels(printed.x), toPixels(printed.y));
    painter.drawText(QRect(at, QSize(width() * 4, height() * 4)),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     QString::fromStdString(printed.text));
  }
}

}  // namespace karvelo::views::qt
