// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <QWidget>
#include <functional>
#include <map>
#include <vector>

#include "forms/Control.h"
#include "forms/Form.h"
#include "views/layout/Placement.h"
#include "views/qt/Appearance.h"
#include "views/qt/ListBoxModel.h"
#include "views/qt/PictureBoxWidget.h"
#include "views/qt/QtView.h"
#include "views/qt/Widgets.h"

namespace karvelo::views::qt {

// The widgets of one shown form and the connections that keep them in step with it.
struct QtView::Window {
  forms::Form* form = nullptr;
  FormWindow* frame = nullptr;
  QWidget* client = nullptr;
  std::map<const forms::Control*, QWidget*> widgets;
  std::vector<ListBoxModel*> lists;
  std::vector<PictureBoxWidget*> pictures;
  std::vector<LineWidget*> lines;
  std::vector<std::function<void()>> disconnects;
  bool waitCursor = false;

  // Runs onChange whenever the control announces a change, until the window lets go of it.
  void watch(forms::Control& control, std::function<void(forms::Property)> onChange) {
    const int id = control.changed.connect(std::move(onChange));
    disconnects.push_back([&control, id] { control.changed.disconnect(id); });
  }

  // Stops every link to the model, which may go away before the widgets do.
  void detach() {
    for (auto& disconnect : disconnects) disconnect();
    disconnects.clear();
    for (ListBoxModel* list : lists) list->detach();
    for (PictureBoxWidget* picture : pictures) picture->detach();
    for (LineWidget* line : lines) line->detach();
    if (waitCursor) QApplication::restoreOverrideCursor();
    waitCursor = false;
  }

  void applyFormPointer() {
    const int pointer = form->MousePointer();
    // The hourglass covers the whole program at once, also while a handler keeps the event loop
    // from running.
    const bool wait = pointer == forms::pointer::Hourglass;
    if (wait != waitCursor) {
      if (wait) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
      } else {
        QApplication::restoreOverrideCursor();
      }
      QGuiApplication::sync();
    }
    waitCursor = wait;
    applyCursor(*client, wait ? forms::pointer::Default : pointer);
  }

  void place(QWidget& widget, const forms::Control& control) {
    const layout::PixelRect r = layout::placeInContainer(control, Scale);
    const int edge = layout::innerEdge(control.container(), Scale);
    widget.setGeometry(r.left + edge, r.top + edge, r.width, r.height);
  }
};

}  // namespace karvelo::views::qt
