// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <map>
#include <memory>

#include "platform/Application.h"
#include "platform/MessageBoxes.h"
#include "views/qt/QtFontMetrics.h"

class QMainWindow;
class QObject;
class QWidget;

namespace karvelo::forms {
class Control;
class Form;
}  // namespace karvelo::forms

namespace karvelo::views::qt {

// The Qt view: turns any form model into Qt widgets at the laid-out places, mirrors model changes
// into the widgets and the user's input into the model and its handlers, and owns the modal UI
// (message boxes) and the program's end. Needs a QApplication.
//
// Every route from a widget into the model runs as a handler: one at a time, never after the
// program has ended, with list views coalescing bursts of changes until the handler returns.
class QtView final : public platform::Application, public platform::MessageBoxes {
 public:
  QtView();
  ~QtView() override;
  QtView(const QtView&) = delete;
  QtView& operator=(const QtView&) = delete;

  // platform::Application
  void show(forms::Form& form) override;
  void end() override;
  void post(forms::Form& form, std::function<void()> task) override;
  // platform::MessageBoxes
  void show(const std::string& text, int style, const std::string& title) override;

  bool hasEnded() const { return ended_; }
  const forms::FontMetrics& fontMetrics() const { return metrics_; }

  // The window of a shown form and the widget of a control, or null.
  QMainWindow* windowOf(const forms::Form& form) const;
  QWidget* widgetOf(const forms::Control& control) const;

  // Runs model code for a user's action: not after the end, and with list views holding their
  // updates until it returns. A run-time failure that no handler trapped is reported and ends the
  // program.
  void dispatch(const std::function<void()>& action);

 private:
  struct Window;

  void build(forms::Form& form);
  // The widget of a control, made (after its container's) on first call.
  QWidget* bind(Window& window, forms::Control& control);
  QWidget* create(Window& window, forms::Control& control, QWidget* parent);
  void discard(const forms::Form& form);
  void holdLists(bool hold);
  // Whether the form still has its window: a handler may have unloaded it.
  bool isShown(const forms::Form& form) const;

  QtFontMetrics metrics_;
  std::map<const forms::Form*, std::unique_ptr<Window>> windows_;
  bool ended_ = false;
  int handlerDepth_ = 0;
  // Posted tasks are queued on it: those still waiting when the view goes are dropped with it.
  std::unique_ptr<QObject> postedTasks_;
  // While a posted task runs: the form whose window owns its message boxes.
  const forms::Form* postedFor_ = nullptr;
};

}  // namespace karvelo::views::qt
