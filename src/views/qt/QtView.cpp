// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/qt/QtView.h"

#include <QApplication>
#include <QIcon>
#include <QLayout>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QThread>
#include <vector>

#include "forms/Form.h"
#include "forms/RuntimeError.h"
#include "views/layout/TabOrder.h"
#include "views/qt/Appearance.h"
#include "views/qt/FormWidgets.h"

namespace karvelo::views::qt {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

QtView::QtView() : postedTasks_(std::make_unique<QObject>()) { installFonts(); }

QtView::~QtView() {
  for (auto& [form, window] : windows_) {
    window->detach();
    delete window->frame;
  }
}

bool QtView::isShown(const forms::Form& form) const { return windows_.count(&form) != 0; }

QMainWindow* QtView::windowOf(const forms::Form& form) const {
  auto it = windows_.find(&form);
  return it == windows_.end() ? nullptr : it->second->frame;
}

QWidget* QtView::widgetOf(const forms::Control& control) const {
  auto it = windows_.find(&control.form());
  if (it == windows_.end()) return nullptr;
  auto w = it->second->widgets.find(&control);
  return w == it->second->widgets.end() ? nullptr : w->second;
}

void QtView::holdLists(bool hold) {
  for (auto& [form, window] : windows_) {
    for (ListBoxModel* list : window->lists) {
      if (hold) {
        list->hold();
      } else {
        list->release();
      }
    }
  }
}

void QtView::dispatch(const std::function<void()>& action) {
  if (ended_) return;
  if (handlerDepth_++ == 0) holdLists(true);
  std::string failure;
  try {
    action();
  } catch (const RuntimeError& error) {
    failure = "Run-time error '" + std::to_string(error.number()) + "':\n\n" + error.what();
  } catch (const std::exception& error) {
    failure = std::string("Run-time error:\n\n") + error.what();
  }
  if (--handlerDepth_ == 0) holdLists(false);
  if (!failure.empty() && !ended_) {
    // A failure that no handler trapped ends the program, after saying what it was.
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), qs(failure),
                    QMessageBox::Ok);
    box.exec();
    end();
  }
}

void QtView::show(forms::Form& form) {
  if (ended_ || form.isUnloaded()) return;
  form.setFontMetrics(&metrics_);
  auto it = windows_.find(&form);
  if (it != windows_.end()) {
    it->second->frame->show();
    it->second->frame->raise();
    it->second->frame->activateWindow();
    return;
  }
  build(form);
  Window& window = *windows_.at(&form);
  if (form.centerOnScreen) {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    window.frame->move(screen.center() -
                       QPoint(window.frame->width() / 2, window.frame->height() / 2));
  }
  window.frame->show();
  form.hWnd = static_cast<std::uintptr_t>(window.frame->winId());
  if (forms::Control* first = form.initialFocus()) {
    if (QWidget* widget = window.widgets.at(first)) widget->setFocus(Qt::OtherFocusReason);
  }
  window.frame->activateWindow();
}

void QtView::build(forms::Form& form) {
  auto owned = std::make_unique<Window>();
  Window& window = *owned;
  window.form = &form;
  window.frame = new FormWindow(*this, form);
  window.frame->setObjectName(qs(form.name()));
  window.frame->setAttribute(Qt::WA_DeleteOnClose, false);
  window.frame->setWindowTitle(qs(form.Caption()));
  if (const QString icon = resourceFile(QStringLiteral("icons"), form.icon); !icon.isEmpty()) {
    QIcon images(icon);
    // A smaller image of the same icon, where there is one, for the title bar.
    if (const QString small = resourceFile(QStringLiteral("icons"), form.icon + "-16");
        !small.isEmpty()) {
      images.addFile(small);
    }
    window.frame->setWindowIcon(images);
  }

  window.client = new QWidget(window.frame);
  window.client->setObjectName(QStringLiteral("client"));
  window.client->setFixedSize(toPixels(form.clientWidth()), toPixels(form.clientHeight()));
  window.client->setAutoFillBackground(true);
  {
    QPalette palette = window.client->palette();
    palette.setColor(QPalette::Window, toQColor(form.BackColor()));
    window.client->setPalette(palette);
  }
  window.client->setFont(toQFont(form.Font()));
  window.frame->setCentralWidget(window.client);

  // The menu bar: menus with entries open them; the entries run their handlers.
  if (!form.menus().empty()) {
    QMenuBar* bar = window.frame->menuBar();
    for (forms::MenuEntry* top : form.menus()) {
      if (!top->Visible) continue;
      if (top->entries().empty()) {
        QAction* action = bar->addAction(qs(top->Caption()));
        action->setEnabled(top->Enabled);
        QObject::connect(action, &QAction::triggered,
                         [this, top] { dispatch([top] { top->click(); }); });
        continue;
      }
      QMenu* menu = bar->addMenu(qs(top->Caption()));
      menu->setEnabled(top->Enabled);
      for (forms::MenuEntry* entry : top->entries()) {
        if (!entry->Visible) continue;
        QAction* action = menu->addAction(qs(entry->Caption()));
        action->setEnabled(entry->Enabled);
        action->setCheckable(entry->Checked);
        action->setChecked(entry->Checked);
        QObject::connect(action, &QAction::triggered,
                         [this, entry] { dispatch([entry] { entry->click(); }); });
      }
    }
  }

  // Containers come before what they hold, so a control's container always has its widget.
  for (forms::Control* control : form.controls()) bind(window, *control);

  // The tab order follows the tab positions.
  QWidget* previous = nullptr;
  for (forms::Control* control : layout::tabChain(form)) {
    const auto it = window.widgets.find(control);
    if (it == window.widgets.end()) continue;
    if (previous) QWidget::setTabOrder(previous, it->second);
    previous = it->second;
  }

  // The form itself: title, pointer, and the end of the window when the form unloads.
  const int changedId = form.changed.connect([&window, &form](forms::Property p) {
    if (p == forms::Property::Caption) window.frame->setWindowTitle(qs(form.Caption()));
    if (p == forms::Property::MousePointer) window.applyFormPointer();
  });
  const int unloadedId = form.unloaded.connect([this, &form] { discard(form); });
  window.disconnects.push_back([&form, changedId, unloadedId] {
    form.changed.disconnect(changedId);
    form.unloaded.disconnect(unloadedId);
  });
  window.applyFormPointer();

  // The window keeps the client area's size: no resizing, no maximizing.
  window.frame->layout()->setSizeConstraint(QLayout::SetFixedSize);
  window.frame->adjustSize();
  windows_[&form] = std::move(owned);
}

QWidget* QtView::bind(Window& window, forms::Control& control) {
  if (auto it = window.widgets.find(&control); it != window.widgets.end()) return it->second;
  QWidget* parent = control.container() ? bind(window, *control.container()) : nullptr;
  QWidget* widget = create(window, control, parent ? parent : window.client);
  if (!widget) return nullptr;
  widget->setObjectName(qs(control.name()));
  window.widgets[&control] = widget;
  window.place(*widget, control);
  widget->setFont(toQFont(control.Font()));
  widget->setEnabled(control.Enabled());
  widget->setVisible(control.Visible());
  applyCursor(*widget, control.MousePointer());
  if (!control.canTakeFocus()) widget->setFocusPolicy(Qt::NoFocus);
  if (control.kind() == forms::ControlKind::Line) widget->lower();
  window.watch(control, [&window, widget, &control](forms::Property p) {
    switch (p) {
      case forms::Property::Enabled:
        widget->setEnabled(control.Enabled());
        break;
      case forms::Property::Visible:
        widget->setVisible(control.Visible());
        break;
      case forms::Property::Geometry:
        window.place(*widget, control);
        break;
      case forms::Property::Font:
        widget->setFont(toQFont(control.Font()));
        break;
      case forms::Property::MousePointer:
        applyCursor(*widget, control.MousePointer());
        break;
      default:
        break;
    }
  });
  return widget;
}

void QtView::discard(const forms::Form& form) {
  auto it = windows_.find(&form);
  if (it == windows_.end()) return;
  std::unique_ptr<Window> window = std::move(it->second);
  windows_.erase(it);
  window->detach();
  window->frame->hide();
  // Deleted once the event that led here is done with its widgets.
  window->frame->deleteLater();
}

void QtView::end() {
  if (ended_) return;
  ended_ = true;
  std::vector<const forms::Form*> forms;
  for (auto& [form, window] : windows_) forms.push_back(form);
  for (const forms::Form* form : forms) discard(*form);
  // Leaves every running event loop; main() does not start one after an end.
  if (QThread::currentThread()->loopLevel() > 0) QCoreApplication::exit(0);
}

void QtView::post(forms::Form& form, std::function<void()> task) {
  // Queued on an object of the windows' thread: the task runs there, also inside the loop of a
  // message box that waits.
  QMetaObject::invokeMethod(
      postedTasks_.get(),
      [this, &form, task = std::move(task)] {
        const forms::Form* outer = postedFor_;
        postedFor_ = &form;
        dispatch(task);
        postedFor_ = outer;
      },
      Qt::QueuedConnection);
}

void QtView::show(const std::string& text, int style, const std::string& title) {
  if (ended_) return;
  // The lists show their current state while the box waits for the user.
  if (handlerDepth_ > 0) {
    holdLists(false);
    holdLists(true);
  }
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  switch (style & 0xF0) {
    case 16:
      icon = QMessageBox::Critical;
      break;
    case 32:
      icon = QMessageBox::Question;
      break;
    case 48:
      icon = QMessageBox::Warning;
      break;
    case platform::messageStyle::Information:
      icon = QMessageBox::Information;
      break;
    default:
      break;
  }
  QWidget* parent = postedFor_ ? windowOf(*postedFor_) : nullptr;
  if (parent == nullptr) parent = QApplication::activeWindow();
  QMessageBox box(icon, qs(title), qs(text), QMessageBox::Ok, parent);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

}  // namespace karvelo::views::qt
