// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <ostream>

#include "views/qt/folder_dialog/FolderBrowseDialog.h"

namespace karvelo::views::qt {

// Runs `step` on the open folder dialog from inside its modal loop, once its callback has heard
// that it opened. The step must end the dialog; one that does not fails, and the dialog is
// cancelled.
inline void whenOpen(std::function<void(FolderBrowseDialog&)> step) {
  auto* timer = new QTimer;
  timer->setInterval(0);
  QObject::connect(timer, &QTimer::timeout, [timer, step] {
    auto* dialog = dynamic_cast<FolderBrowseDialog*>(QApplication::activeModalWidget());
    if (dialog == nullptr || !dialog->isInitialized()) return;
    timer->stop();
    timer->deleteLater();
    step(*dialog);
    if (dialog->isVisible()) {
      ADD_FAILURE() << "the dialog was left open";
      dialog->reject();
    }
  });
  timer->start();
}

// Answers the next input dialog, from inside its modal loop.
inline void answerInput(std::function<void(QInputDialog&)> answer) {
  auto* timer = new QTimer;
  timer->setInterval(0);
  QObject::connect(timer, &QTimer::timeout, [timer, answer] {
    auto* input = dynamic_cast<QInputDialog*>(QApplication::activeModalWidget());
    if (input == nullptr) return;
    timer->stop();
    timer->deleteLater();
    answer(*input);
  });
  timer->start();
}

inline QPushButton* button(FolderBrowseDialog& dialog, QDialogButtonBox::StandardButton which) {
  return dialog.findChild<QDialogButtonBox*>("buttons")->button(which);
}

}  // namespace karvelo::views::qt

// Test failures show QStrings as text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << text.toStdString(); }
