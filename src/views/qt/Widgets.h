// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLabel>
#include <QMainWindow>
#include <functional>

#include "forms/Control.h"
#include "forms/Label.h"

namespace karvelo::forms {
class CheckBox;
class Form;
class Line;
}  // namespace karvelo::forms

namespace karvelo::views::qt {

class QtView;

// The top-level window of a form: closing it asks the form to unload, and Enter and Esc that no
// control takes press the form's default and cancel buttons.
class FormWindow final : public QMainWindow {
 public:
  FormWindow(QtView& view, forms::Form& form);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QtView& view_;
  forms::Form& form_;
};

// A check box or option button that, like the window system's, reacts to a click anywhere on
// it, not only on its indicator and text.
template <typename Button>
class WholeAreaButton final : public Button {
 public:
  WholeAreaButton(const QString& text, QWidget* parent) : Button(text, parent) {}

 protected:
  bool hitButton(const QPoint& pos) const override { return this->rect().contains(pos); }
};

// A label; its single-line border is drawn as the window system's sunken edge, two pixels wide.
class LabelWidget final : public QLabel {
 public:
  LabelWidget(const forms::Label& label, QWidget* parent);
  // Shows the caption: without its access-key marks where the label has access keys, else as
  // it stands.
  void showCaption(const forms::Label& label);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool bordered_;
};

// A line, drawn in a transparent widget that covers its bounds.
class LineWidget final : public QWidget {
 public:
  LineWidget(const forms::Line& line, QWidget* parent);
  void detach() { line_ = nullptr; }

 protected:
  void paintEvent(QPaintEvent*) override;

 private:
  const forms::Line* line_;
};

// Runs an action when the left mouse button is released over the widget it is installed on:
// the click of labels and picture boxes, which Qt widgets do not have.
class ClickFilter final : public QObject {
 public:
  ClickFilter(QWidget& widget, std::function<void()> action);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void()> action_;
};

// The model's mouse pointer on a widget: the hourglass, the program's hand, or the default.
void applyCursor(QWidget& widget, int pointer);
// Background and text colours of the widgets that paint their own background.
void applyColors(QWidget& widget, const forms::Control& control);
Qt::CheckState checkState(int value);

}  // namespace karvelo::views::qt
