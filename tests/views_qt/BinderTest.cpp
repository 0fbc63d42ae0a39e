// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <string>

#include "DemoForm.h"
#include "views/qt/QtView.h"

namespace karvelo::views::qt {
namespace {

using testing::DemoForm;

class BinderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.load();
    view.show(form);
    window = view.windowOf(form);
    ASSERT_NE(window, nullptr);
  }

  template <typename W>
  W* widget(const forms::Control& control) {
    auto* w = dynamic_cast<W*>(view.widgetOf(control));
    EXPECT_NE(w, nullptr) << control.name();
    return w;
  }

  // The next widget that Tab moves to.
  static QWidget* nextTabStop(QWidget* from) {
    for (QWidget* w = from->nextInFocusChain(); w != from; w = w->nextInFocusChain()) {
      if ((w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(from->window())) return w;
    }
    return nullptr;
  }

  // Selects the rows of a list view as a user's Ctrl+clicks would.
  static void clickRows(QListView& list, std::initializer_list<int> rows) {
    for (int row : rows) {
      const QRect r = list.visualRect(list.model()->index(row, 0));
      QTest::mouseClick(list.viewport(), Qt::LeftButton, Qt::ControlModifier, r.center());
    }
  }

  DemoForm form;  // declared first: the view lets go of it before it goes
  QtView view;
  QMainWindow* window = nullptr;
};

TEST_F(BinderTest, WindowAndControlsStandAtTheirLaidOutPlaces) {
  EXPECT_EQ(window->windowTitle(), "Demo");
  EXPECT_EQ(window->centralWidget()->size(), QSize(400, 320));  // 6000 x 4800 twips
  EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "fixed size";
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
  ASSERT_EQ(window->menuBar()->actions().size(), 1);
  EXPECT_EQ(window->menuBar()->actions()[0]->text(), "File");

  // Directly on the window, and inside a bordered panel whose edge is two pixels wide.
  EXPECT_EQ(view.widgetOf(form.heading)->geometry(), QRect(28, 10, 154, 19));
  EXPECT_EQ(view.widgetOf(form.cmdMove)->geometry(), QRect(2 + 147, 2 + 20, 35, 23));
  EXPECT_EQ(view.widgetOf(form.cmdMove)->parentWidget(), view.widgetOf(form.panel));
  EXPECT_EQ(view.widgetOf(form.slide)->parentWidget(), view.widgetOf(form.progress));

  auto* heading = widget<QLabel>(form.heading);
  EXPECT_EQ(heading->text(), "Pick Pictures");
  EXPECT_TRUE(heading->alignment() & Qt::AlignHCenter);
  EXPECT_EQ(heading->palette().color(QPalette::Window),
            QApplication::palette().color(QPalette::Highlight));
  EXPECT_EQ(heading->font().bold(), true);
  EXPECT_EQ(heading->font().pixelSize(), 11);  // 8.25 pt at 96 dpi

  EXPECT_EQ(widget<QPushButton>(form.cmdExit)->text(), "E&xit");
  EXPECT_EQ(widget<QCheckBox>(form.chkKeep)->checkState(), Qt::Checked);
  EXPECT_EQ(widget<QCheckBox>(form.chkGray)->checkState(), Qt::PartiallyChecked);
  EXPECT_FALSE(widget<QRadioButton>(form.optA)->isChecked());
  auto* combo = widget<QComboBox>(form.cmbRatio);
  EXPECT_TRUE(combo->isEditable());
  EXPECT_EQ(combo->currentText(), "25 %");
  EXPECT_EQ(view.widgetOf(form.line)->geometry().topLeft(), QPoint(6, 303));

  // The first focus and the tab order follow the tab positions; labels take no focus.
  EXPECT_EQ(window->focusWidget(), view.widgetOf(form.cmdExit));
  EXPECT_EQ(nextTabStop(view.widgetOf(form.cmdExit)), view.widgetOf(form.lstLeft));
  EXPECT_EQ(nextTabStop(view.widgetOf(form.lstLeft)), view.widgetOf(form.cmdMove));
  EXPECT_EQ(heading->focusPolicy(), Qt::NoFocus);
}

TEST_F(BinderTest, UserInputReachesTheModelAndItsHandlers) {
  QTest::keyClicks(widget<QLineEdit>(form.txtHeight), "480");
  EXPECT_EQ(form.txtHeight.Text(), "480");

  QTest::mouseClick(widget<QCheckBox>(form.chkKeep), Qt::LeftButton);
  EXPECT_EQ(form.chkKeep.Value(), forms::CheckBox::Unchecked);
  // A grayed box becomes ticked on a click, as the model says, not as Qt's cycle would.
  QTest::mouseClick(widget<QCheckBox>(form.chkGray), Qt::LeftButton);
  EXPECT_EQ(form.chkGray.Value(), forms::CheckBox::Checked);
  EXPECT_EQ(widget<QCheckBox>(form.chkGray)->checkState(), Qt::Checked);

  // Option buttons are exclusive within their container only.
  QTest::mouseClick(widget<QRadioButton>(form.optC), Qt::LeftButton);
  QTest::mouseClick(widget<QRadioButton>(form.optA), Qt::LeftButton);
  QTest::mouseClick(widget<QRadioButton>(form.optB), Qt::LeftButton);
  EXPECT_FALSE(form.optA.Value());
  EXPECT_TRUE(form.optB.Value());
  EXPECT_TRUE(form.optC.Value());
  EXPECT_FALSE(widget<QRadioButton>(form.optA)->isChecked());
  QTest::mouseClick(widget<QRadioButton>(form.optB), Qt::LeftButton);  // a second click keeps it
  EXPECT_TRUE(widget<QRadioButton>(form.optB)->isChecked());

  // The drop-down: typing leaves no entry chosen; choosing an entry sets the text.
  form.cmbRatio.AddItem("25 %");
  form.cmbRatio.AddItem("40 %");
  auto* combo = widget<QComboBox>(form.cmbRatio);
  EXPECT_EQ(combo->count(), 2);
  EXPECT_EQ(combo->currentText(), "25 %");
  EXPECT_EQ(form.cmbRatio.ListIndex(), -1);
  combo->lineEdit()->clear();
  QTest::keyClicks(combo->lineEdit(), "33");
  EXPECT_EQ(form.cmbRatio.Text(), "33");
  combo->setCurrentIndex(1);
  emit combo->activated(1);
  EXPECT_EQ(form.cmbRatio.ListIndex(), 1);
  EXPECT_EQ(form.cmbRatio.Text(), "40 %");

  // Clicks on a label reach its handler.
  QTest::mouseClick(view.widgetOf(form.heading), Qt::LeftButton);
  EXPECT_EQ(form.headingClicks, 1);
}

TEST_F(BinderTest, EnterAndEscPressTheDefaultAndCancelButtonsAndPointersFollowTheModel) {
  int defaults = 0;
  int cancels = 0;
  form.cmdMove.isDefault = true;
  form.cmdMove.Click = [&] { ++defaults; };
  form.cmdExit.isCancel = true;
  form.cmdExit.Click = [&] { ++cancels; };
  auto* height = widget<QLineEdit>(form.txtHeight);
  height->setFocus();
  QTest::keyClick(height, Qt::Key_Return);
  QTest::keyClick(height, Qt::Key_Escape);
  EXPECT_EQ(defaults, 1);
  EXPECT_EQ(cancels, 1);

  form.heading.setMousePointer(forms::pointer::Custom);
  EXPECT_NE(view.widgetOf(form.heading)->cursor().shape(), Qt::ArrowCursor);
  form.heading.setMousePointer(forms::pointer::Default);
  EXPECT_FALSE(view.widgetOf(form.heading)->testAttribute(Qt::WA_SetCursor));
}

TEST_F(BinderTest, ListSelectionStaysInStepBothWaysAndMovesGoThroughTheHandler) {
  for (const char* name : {"c.jpg", "A.jpg", "b.png", "d.gif"}) form.lstLeft.AddItem(name);
  auto* left = widget<QListView>(form.lstLeft);
  auto* right = widget<QListView>(form.lstRight);
  ASSERT_EQ(left->model()->rowCount(), 4);
  EXPECT_EQ(left->model()->index(0, 0).data().toString(), "A.jpg");

  clickRows(*left, {1, 3});
  EXPECT_FALSE(form.lstLeft.Selected(0));
  EXPECT_TRUE(form.lstLeft.Selected(1));
  EXPECT_TRUE(form.lstLeft.Selected(3));

  // The model's own selection changes reach the view together, once the event loop runs.
  form.lstLeft.setSelected(0, true);
  QCoreApplication::processEvents();
  EXPECT_TRUE(left->selectionModel()->isRowSelected(0, {}));
  form.lstLeft.sendMessage(forms::ListBox::LB_SELITEMRANGE, 0, 0x00010000);  // rows 0..1 off
  QCoreApplication::processEvents();
  EXPECT_FALSE(left->selectionModel()->isRowSelected(0, {}));
  EXPECT_FALSE(left->selectionModel()->isRowSelected(1, {}));
  EXPECT_TRUE(left->selectionModel()->isRowSelected(3, {}));
  form.lstLeft.setSelected(1, true);

  QTest::mouseClick(widget<QPushButton>(form.cmdMove), Qt::LeftButton);
  ASSERT_EQ(right->model()->rowCount(), 2);
  EXPECT_EQ(right->model()->index(0, 0).data().toString(), "b.png");
  EXPECT_EQ(right->model()->index(1, 0).data().toString(), "d.gif");
  EXPECT_EQ(left->model()->rowCount(), 2);
  EXPECT_TRUE(left->selectionModel()->selectedRows().isEmpty());

  form.lstRight.Clear();
  EXPECT_EQ(right->model()->rowCount(), 0);
}

TEST_F(BinderTest, ABurstOfChangesInOneHandlerEndsInTheRightRowsAndSelection) {
  for (int i = 0; i < 3000; ++i)
    form.lstLeft.AddItem(QString("p%1.jpg").arg(10000 + i).toStdString());
  for (int i = 0; i < 3000; i += 2) form.lstLeft.setSelected(i, true);
  QCoreApplication::processEvents();
  auto* left = widget<QListView>(form.lstLeft);
  auto* right = widget<QListView>(form.lstRight);
  EXPECT_EQ(left->selectionModel()->selectedRows().size(), 1500);

  left->verticalScrollBar()->setValue(400);
  view.dispatch([&] {
    form.moveSelected();
    form.lstRight.setSelected(0, true);
  });
  EXPECT_EQ(left->verticalScrollBar()->value(), 400) << "the user's place in the list stays";
  EXPECT_EQ(left->model()->rowCount(), 1500);
  EXPECT_EQ(right->model()->rowCount(), 1500);
  EXPECT_EQ(right->model()->index(1499, 0).data().toString(), "p12998.jpg");
  EXPECT_EQ(left->model()->index(0, 0).data().toString(), "p10001.jpg");
  EXPECT_TRUE(left->selectionModel()->selectedRows().isEmpty());
  ASSERT_EQ(right->selectionModel()->selectedRows().size(), 1);
  EXPECT_EQ(right->selectionModel()->selectedRows()[0].row(), 0);
}

TEST_F(BinderTest, ModelChangesReachTheWidgets) {
  form.heading.setCaption("Other &Heading");
  EXPECT_EQ(widget<QLabel>(form.heading)->text(), "Other Heading");
  form.txtHeight.setText("12");
  EXPECT_EQ(widget<QLineEdit>(form.txtHeight)->text(), "12");
  form.cmdMove.setEnabled(false);
  EXPECT_FALSE(view.widgetOf(form.cmdMove)->isEnabled());
  form.setCaption("Renamed");
  EXPECT_EQ(window->windowTitle(), "Renamed");

  // The progress bar: the slide grows and both boxes paint their kept drawing at once.
  const int inner = form.progress.ScaleWidth();
  form.slide.Move(0, 0, inner / 2, form.progress.ScaleHeight());
  form.progress.Cls();
  form.progress.setForeColor(forms::sys::Highlight);
  form.progress.setCurrentX(inner / 2);
  form.progress.Print("50%");
  form.progress.Refresh();
  EXPECT_EQ(view.widgetOf(form.slide)->width(), 148);  // (4500 - 60) / 2 twips
  const QImage image = view.widgetOf(form.progress)->grab().toImage();
  const QColor highlight = QApplication::palette().color(QPalette::Highlight);
  const QColor highlightText = QApplication::palette().color(QPalette::HighlightedText);
  EXPECT_EQ(image.pixelColor(10, 12), highlight) << "inside the slide";
  EXPECT_EQ(image.pixelColor(250, 3), highlightText) << "right of the slide";
  bool textPainted = false;
  for (int x = 150; x < 200 && !textPainted; ++x) {
    for (int y = 2; y < 20 && !textPainted; ++y) textPainted = image.pixelColor(x, y) == highlight;
  }
  EXPECT_TRUE(textPainted);

  form.setMousePointer(forms::pointer::Hourglass);
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
  form.setMousePointer(forms::pointer::Default);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(BinderTest, UnloadTakesTheWindowAwayAndTheEndStopsEveryHandler) {
  form.onUnload = [&] { EXPECT_EQ(view.windowOf(form), window) << "still there while unloading"; };
  window->close();  // as the close box does
  EXPECT_EQ(form.unloadCount, 1);
  EXPECT_EQ(view.windowOf(form), nullptr);
  EXPECT_FALSE(window->isVisible());

  DemoForm second;
  second.cmdMove.Click = [&] { view.end(); };
  int clicksAfterEnd = 0;
  second.cmdExit.Click = [&] { ++clicksAfterEnd; };
  view.show(second);
  QMainWindow* secondWindow = view.windowOf(second);
  ASSERT_NE(secondWindow, nullptr);
  auto* exitButton = view.widgetOf(second.cmdExit);
  QTest::mouseClick(view.widgetOf(second.cmdMove), Qt::LeftButton);
  EXPECT_TRUE(view.hasEnded());
  EXPECT_FALSE(secondWindow->isVisible());
  QTest::mouseClick(exitButton, Qt::LeftButton);
  second.cmdExit.Click = nullptr;
  view.dispatch([&] { ++clicksAfterEnd; });
  EXPECT_EQ(clicksAfterEnd, 0);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(BinderTest, TheMessageBoxShowsTitleTextAndIconAndWaitsForOk) {
  QString title;
  QString text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    box->button(QMessageBox::Ok)->click();
  });
  view.show("Please choose a folder.", platform::messageStyle::Information, "Entry Error");
  EXPECT_EQ(title, "Entry Error");
  EXPECT_EQ(text, "Please choose a folder.");
  EXPECT_EQ(icon, QMessageBox::Information);
}

}  // namespace
}  // namespace karvelo::views::qt
