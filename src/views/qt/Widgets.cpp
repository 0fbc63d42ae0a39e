// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/qt/Widgets.h"

#include <qdrawutil.h>

#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <algorithm>

#include "forms/AccessKey.h"
#include "forms/CheckBox.h"
#include "forms/Form.h"
#include "forms/Line.h"
#include "views/qt/Appearance.h"
#include "views/qt/QtView.h"

namespace karvelo::views::qt {

namespace {

Qt::Alignment labelAlignment(forms::Alignment alignment) {
  switch (alignment) {
    case forms::Alignment::Center:
      return Qt::AlignHCenter | Qt::AlignTop;
    case forms::Alignment::Right:
      return Qt::AlignRight | Qt::AlignTop;
    default:
      return Qt::AlignLeft | Qt::AlignTop;
  }
}

// The custom pointer: the program's hand, whose hot spot is the tip of its index finger.
QCursor customCursor() {
  static const QCursor cursor = [] {
    const QString file = resourceFile(QStringLiteral("cursors"), "hand");
    return file.isEmpty() ? QCursor(Qt::PointingHandCursor) : QCursor(QPixmap(file), 5, 0);
  }();
  return cursor;
}

QCursor cursorShape(int pointer) {
  switch (pointer) {
    case forms::pointer::Hourglass:
      return Qt::WaitCursor;
    case forms::pointer::Custom:
      return customCursor();
    default:
      return Qt::ArrowCursor;
  }
}

}  // namespace

FormWindow::FormWindow(QtView& view, forms::Form& form) : view_(view), form_(form) {
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
}

void FormWindow::closeEvent(QCloseEvent* event) {
  event->ignore();  // the window goes when the form says it has unloaded
  view_.dispatch([this] { form_.Unload(); });
}

void FormWindow::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      view_.dispatch([this] { form_.pressEnter(); });
      break;
    case Qt::Key_Escape:
      view_.dispatch([this] { form_.pressEscape(); });
      break;
    default:
      QMainWindow::keyPressEvent(event);
  }
}

LabelWidget::LabelWidget(const forms::Label& label, QWidget* parent)
    : QLabel(parent), bordered_(label.border) {
  constexpr int EdgePixels = 2;
  if (bordered_) setContentsMargins(EdgePixels, EdgePixels, EdgePixels, EdgePixels);
  setTextFormat(Qt::PlainText);
  setAlignment(labelAlignment(label.alignment));
  setWordWrap(true);
  setMargin(0);
  setIndent(0);
  setAutoFillBackground(!label.transparent);
  applyColors(*this, label);
  showCaption(label);
}

void LabelWidget::showCaption(const forms::Label& label) {
  const std::string& caption = label.Caption();
  setText(
      QString::fromStdString(label.UseMnemonic ? forms::parseAccessKey(caption).shown : caption));
}

void LabelWidget::paintEvent(QPaintEvent* event) {
  QLabel::paintEvent(event);
  if (!bordered_) return;
  QPainter painter(this);
  qDrawWinPanel(&painter, rect(), palette(), true);
}

LineWidget::LineWidget(const forms::Line& line, QWidget* parent) : QWidget(parent), line_(&line) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LineWidget::paintEvent(QPaintEvent*) {
  if (!line_) return;
  QPainter painter(this);
  const int pen = std::max(1, line_->BorderWidth);
  painter.setPen(QPen(toQColor(line_->BorderColor()), pen, Qt::SolidLine, Qt::FlatCap));
  const QPointF half(pen / 2.0, pen / 2.0);
  const QPointF from(toPixels(line_->X1 - line_->Left()), toPixels(line_->Y1 - line_->Top()));
  const QPointF to(toPixels(line_->X2 - line_->Left()), toPixels(line_->Y2 - line_->Top()));
  painter.drawLine(from + half, to + half);
}

ClickFilter::ClickFilter(QWidget& widget, std::function<void()> action)
    : QObject(&widget), action_(std::move(action)) {
  widget.installEventFilter(this);
}

bool ClickFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseButtonRelease) {
    auto* mouse = static_cast<QMouseEvent*>(event);
    auto* widget = static_cast<QWidget*>(watched);
    if (mouse->button() == Qt::LeftButton && widget->rect().contains(mouse->position().toPoint())) {
      action_();
    }
  }
  return false;
}

void applyCursor(QWidget& widget, int pointer) {
  if (pointer == forms::pointer::Default) {
    widget.unsetCursor();
  } else {
    widget.setCursor(cursorShape(pointer));
  }
}

void applyColors(QWidget& widget, const forms::Control& control) {
  QPalette palette = widget.palette();
  const QColor back = toQColor(control.BackColor());
  const QColor fore = toQColor(control.ForeColor());
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setColor(group, QPalette::Window, back);
  }
  for (auto group : {QPalette::Active, QPalette::Inactive}) {
    palette.setColor(group, QPalette::WindowText, fore);
  }
  widget.setPalette(palette);
}

Qt::CheckState checkState(int value) {
  switch (value) {
    case forms::CheckBox::Checked:
      return Qt::Checked;
    case forms::CheckBox::Grayed:
      return Qt::PartiallyChecked;
    default:
      return Qt::Unchecked;
  }
}

}  // namespace karvelo::views::qt
