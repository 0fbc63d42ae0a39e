#include "views/qt/QtView.h"

#include <qdrawutil.h>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QThread>
#include <algorithm>
#include <vector>

#include "forms/AccessKey.h"
#include "forms/CheckBox.h"
#include "forms/ComboBox.h"
#include "forms/CommandButton.h"
#include "forms/Form.h"
#include "forms/Label.h"
#include "forms/Line.h"
#include "forms/ListBox.h"
#include "forms/OptionButton.h"
#include "forms/PictureBox.h"
#include "forms/RuntimeError.h"
#include "forms/TextBox.h"
#include "views/qt/Appearance.h"
#include "views/qt/ListBoxModel.h"
#include "views/qt/PictureBoxWidget.h"

namespace karvelo::views::qt {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

QRect toPixels(const forms::Rect& r) {
  return QRect(views::qt::toPixels(r.left), views::qt::toPixels(r.top),
               views::qt::toPixels(r.width), views::qt::toPixels(r.height));
}

// The top-level window of a form: closing it asks the form to unload, and Enter and Esc that no
// control takes press the form's default and cancel buttons.
class FormWindow final : public QMainWindow {
 public:
  FormWindow(QtView& view, forms::Form& form) : view_(view), form_(form) {
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  }

 protected:
  void closeEvent(QCloseEvent* event) override {
    event->ignore();  // the window goes when the form says it has unloaded
    view_.dispatch([this] { form_.Unload(); });
  }
  void keyPressEvent(QKeyEvent* event) override {
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
  LabelWidget(bool bordered, QWidget* parent) : QLabel(parent), bordered_(bordered) {
    if (bordered_) setContentsMargins(EdgePixels, EdgePixels, EdgePixels, EdgePixels);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    QLabel::paintEvent(event);
    if (!bordered_) return;
    QPainter painter(this);
    qDrawWinPanel(&painter, rect(), palette(), true);
  }

 private:
  static constexpr int EdgePixels = 2;
  bool bordered_;
};

// A line, drawn in a transparent widget that covers its bounds.
class LineWidget final : public QWidget {
 public:
  LineWidget(const forms::Line& line, QWidget* parent) : QWidget(parent), line_(&line) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  void detach() { line_ = nullptr; }

 protected:
  void paintEvent(QPaintEvent*) override {
    if (!line_) return;
    QPainter painter(this);
    const int pen = std::max(1, line_->BorderWidth);
    painter.setPen(QPen(toQColor(line_->BorderColor()), pen, Qt::SolidLine, Qt::FlatCap));
    const QPointF half(pen / 2.0, pen / 2.0);
    const QPointF from(views::qt::toPixels(line_->X1 - line_->Left()),
                       views::qt::toPixels(line_->Y1 - line_->Top()));
    const QPointF to(views::qt::toPixels(line_->X2 - line_->Left()),
                     views::qt::toPixels(line_->Y2 - line_->Top()));
    painter.drawLine(from + half, to + half);
  }

 private:
  const forms::Line* line_;
};

// Runs an action when the left mouse button is released over the widget it is installed on:
// the click of labels and picture boxes, which Qt widgets do not have.
class ClickFilter final : public QObject {
 public:
  ClickFilter(QWidget& widget, std::function<void()> action)
      : QObject(&widget), action_(std::move(action)) {
    widget.installEventFilter(this);
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::MouseButtonRelease) {
      auto* mouse = static_cast<QMouseEvent*>(event);
      auto* widget = static_cast<QWidget*>(watched);
      if (mouse->button() == Qt::LeftButton &&
          widget->rect().contains(mouse->position().toPoint())) {
        action_();
      }
    }
    return false;
  }

 private:
  std::function<void()> action_;
};

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

void applyCursor(QWidget& widget, int pointer) {
  if (pointer == forms::pointer::Default) {
    widget.unsetCursor();
  } else {
    widget.setCursor(cursorShape(pointer));
  }
}

// Background and text colours of the widgets that paint their own background.
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

}  // namespace

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

  QPoint originIn(const forms::Control* container) const {
    const auto it = widgets.find(container);
    if (it == widgets.end()) return QPoint(0, 0);
    if (auto* picture = dynamic_cast<PictureBoxWidget*>(it->second)) return picture->innerOrigin();
    return QPoint(0, 0);
  }

  void place(QWidget& widget, const forms::Control& control) {
    QRect r = toPixels(control.geometry());
    if (control.kind() == forms::ControlKind::Line) {
      const int pen = std::max(1, static_cast<const forms::Line&>(control).BorderWidth);
      r.setSize(r.size() + QSize(pen, pen));
    }
    widget.setGeometry(r.translated(originIn(control.container())));
  }
};

QtView::QtView() { installFonts(); }

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
  window.client->setFixedSize(views::qt::toPixels(form.clientWidth()),
                              views::qt::toPixels(form.clientHeight()));
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
  std::vector<forms::Control*> order;
  for (forms::Control* control : form.controls()) {
    if (control->canTakeFocus() && control->TabIndex() && window.widgets.count(control)) {
      order.push_back(control);
    }
  }
  std::stable_sort(order.begin(), order.end(), [](forms::Control* a, forms::Control* b) {
    return *a->TabIndex() < *b->TabIndex();
  });
  for (std::size_t i = 1; i < order.size(); ++i) {
    QWidget::setTabOrder(window.widgets.at(order[i - 1]), window.widgets.at(order[i]));
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

// The widget of one control, kept in step with it both ways.
QWidget* QtView::create(Window& window, forms::Control& control, QWidget* parent) {
  const forms::Form& form = *window.form;
  switch (control.kind()) {
    case forms::ControlKind::Label: {
      auto& label = static_cast<forms::Label&>(control);
      auto* w = new LabelWidget(label.border, parent);
      w->setTextFormat(Qt::PlainText);
      w->setText(qs(forms::parseAccessKey(label.Caption()).shown));
      w->setAlignment(labelAlignment(label.alignment));
      w->setWordWrap(true);
      w->setMargin(0);
      w->setIndent(0);
      w->setAutoFillBackground(!label.transparent);
      applyColors(*w, label);
      window.watch(control, [w, &label](forms::Property p) {
        if (p == forms::Property::Caption)
          w->setText(qs(forms::parseAccessKey(label.Caption()).shown));
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
  QWidget* parent = QApplication::activeWindow();
  QMessageBox box(icon, qs(title), qs(text), QMessageBox::Ok, parent);
  box.setWindowModality(Qt::ApplicationModal);
  box.exec();
}

}  // namespace karvelo::views::qt
