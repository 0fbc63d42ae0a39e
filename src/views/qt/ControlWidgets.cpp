// SPDX-License-Identifier: GPL-3.0-or-later
// The widget of each kind of control, kept in step with its control both ways.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include "forms/CheckBox.h"
#include "forms/ComboBox.h"
#include "forms/CommandButton.h"
#include "forms/Label.h"
#include "forms/Line.h"
#include "forms/ListBox.h"
#include "forms/OptionButton.h"
#include "forms/PictureBox.h"
#include "forms/TextBox.h"
#include "views/qt/FormWidgets.h"

namespace karvelo::views::qt {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

QWidget* QtView::create(Window& window, forms::Control& control, QWidget* parent) {
  const forms::Form& form = *window.form;
  switch (control.kind()) {
    case forms::ControlKind::Label: {
      auto& label = static_cast<forms::Label&>(control);
      auto* w = new LabelWidget(label, parent);
      window.watch(control, [w, &label](forms::Property p) {
        if (p == forms::Property::Caption) w->showCaption(label);
        if (p == forms::Property::Colors) applyColors(*w, label);
      });
      new ClickFilter(*w, [this, &label] { dispatch([&label] { label.click(); }); });
      return w;
    }
    case forms::ControlKind::CommandButton: {
      auto& button = static_cast<forms::CommandButton&>(control);
      auto* w = new QPushButton(qs(button.Caption()), parent);
      // Enter presses the button that has the focus, as Space does.
      w->setAutoDefault(true);
      w->setDefault(button.isDefault);
      QObject::connect(w, &QPushButton::clicked,
                       [this, &button] { dispatch([&button] { button.click(); }); });
      window.watch(control, [w, &button](forms::Property p) {
        if (p == forms::Property::Caption) w->setText(qs(button.Caption()));
      });
      return w;
    }
    case forms::ControlKind::TextBox: {
      auto& box = static_cast<forms::TextBox&>(control);
      auto* w = new QLineEdit(qs(box.Text()), parent);
      QObject::connect(w, &QLineEdit::textEdited, [this, &box](const QString& text) {
        dispatch([&box, &text] { box.setText(text.toStdString()); });
      });
      window.watch(control, [w, &box](forms::Property p) {
        if (p == forms::Property::Text && w->text() != qs(box.Text())) w->setText(qs(box.Text()));
      });
      return w;
    }
    case forms::ControlKind::CheckBox: {
      auto& box = static_cast<forms::CheckBox&>(control);
      auto* w = new WholeAreaButton<QCheckBox>(qs(box.Caption()), parent);
      w->setCheckState(checkState(box.Value()));
      // The model decides the new state; the widget only shows it.
      QObject::connect(w, &QCheckBox::clicked, [this, w, &box, &form] {
        dispatch([&box] { box.click(); });
        if (isShown(form)) w->setCheckState(checkState(box.Value()));
      });
      window.watch(control, [w, &box](forms::Property p) {
        if (p == forms::Property::Value) w->setCheckState(checkState(box.Value()));
      });
      return w;
    }
    case forms::ControlKind::OptionButton: {
      auto& option = static_cast<forms::OptionButton&>(control);
      auto* w = new WholeAreaButton<QRadioButton>(qs(option.Caption()), parent);
      // The model clears the other buttons of the group, so Qt's own exclusivity stays off.
      w->setAutoExclusive(false);
      w->setChecked(option.Value());
      QObject::connect(w, &QRadioButton::clicked, [this, w, &option, &form] {
        dispatch([&option] { option.click(); });
        if (isShown(form)) w->setChecked(option.Value());
      });
      window.watch(control, [w, &option](forms::Property p) {
        if (p == forms::Property::Value) w->setChecked(option.Value());
      });
      return w;
    }
    case forms::ControlKind::ComboBox: {
      auto& combo = static_cast<forms::ComboBox&>(control);
      auto* w = new QComboBox(parent);
      w->setEditable(true);
      w->setInsertPolicy(QComboBox::NoInsert);
      w->setCompleter(nullptr);
      const auto showModel = [w, &combo](bool items) {
        const QSignalBlocker blocker(w);
        if (items) {
          w->clear();
          for (int i = 0; i < combo.ListCount(); ++i) w->addItem(qs(combo.List(i)));
        }
        if (w->currentIndex() != combo.ListIndex()) w->setCurrentIndex(combo.ListIndex());
        if (w->currentText() != qs(combo.Text())) w->setEditText(qs(combo.Text()));
      };
      showModel(true);
      QObject::connect(w->lineEdit(), &QLineEdit::textEdited, [this, &combo](const QString& text) {
        dispatch([&combo, &text] { combo.setText(text.toStdString()); });
      });
      QObject::connect(w, &QComboBox::activated, [this, &combo](int index) {
        dispatch([&combo, index] { combo.setListIndex(index); });
      });
      window.watch(control, [showModel](forms::Property p) {
        if (p == forms::Property::Items || p == forms::Property::Text)
          showModel(p == forms::Property::Items);
      });
      return w;
    }
    case forms::ControlKind::ListBox: {
      auto& box = static_cast<forms::ListBox&>(control);
      auto* w = new QListView(parent);
      w->setSelectionMode(QAbstractItemView::ExtendedSelection);
      w->setUniformItemSizes(true);
      w->setEditTriggers(QAbstractItemView::NoEditTriggers);
      w->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
      auto* model = new ListBoxModel(box, w);
      model->attach(*w);
      if (handlerDepth_ > 0) model->hold();
      window.lists.push_back(model);
      return w;
    }
    case forms::ControlKind::PictureBox: {
      auto& box = static_cast<forms::PictureBox&>(control);
      auto* w = new PictureBoxWidget(box, parent);
      window.pictures.push_back(w);
      window.watch(control, [w](forms::Property p) {
        // Refresh brings the kept drawing to the screen now, even while a handler runs.
        if (p == forms::Property::Drawing) {
          w->repaint();
          QGuiApplication::sync();  // on the screen now, even while a handler keeps the loop
        }
        if (p == forms::Property::Colors) w->update();
      });
      new ClickFilter(*w, [this, &box] { dispatch([&box] { box.click(); }); });
      return w;
    }
    case forms::ControlKind::Line: {
      auto* w = new LineWidget(static_cast<forms::Line&>(control), parent);
      window.lines.push_back(w);
      return w;
    }
    case forms::ControlKind::UserControl:
      return nullptr;  // works without a window of its own
  }
  return nullptr;
}

}  // namespace karvelo::views::qt
