// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as the user sees it: real widgets on Qt's offscreen platform, fake converter
// and folders.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "fakes/FakeServices.h"
#include "main_window/Form1.h"
#include "resize_job/Module1.h"
#include "views/qt/QtView.h"

namespace karvelo::views::qt {
namespace {

class Form1ViewTest : public ::testing::Test {
 protected:
  Form1ViewTest() {
    form.decimalSeparator = '.';
    form.setFontMetrics(&view.fontMetrics());
    form.load();
    view.show(form);
    window = view.windowOf(form);
  }
  // The window goes before the form it shows.
  ~Form1ViewTest() override { view.end(); }

  template <typename W>
  W* widget(const forms::Control& control) {
    auto* w = dynamic_cast<W*>(view.widgetOf(control));
    EXPECT_NE(w, nullptr) << control.name();
    return w;
  }
  void click(const forms::Control& control) {
    QTest::mouseClick(view.widgetOf(control), Qt::LeftButton);
  }
  static QStringList rows(const QListView& list) {
    QStringList texts;
    for (int r = 0; r < list.model()->rowCount(); ++r)
      texts << list.model()->index(r, 0).data().toString();
    return texts;
  }

  QtView view;
  fakes::FakeServices fakes;
  fakes::FakeProcesses& processes = fakes.processes;
  fakes::FakeFileSystem& files = fakes.files;
  main_window::Form1 form{fakes.services({.messages = &view, .application = &view})};
  QMainWindow* window = nullptr;
};

TEST_F(Form1ViewTest, OpensAsLaidOutWithTheFocusOnExit) {
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), "Karvelo");
  EXPECT_EQ(window->centralWidget()->size(), QSize(596, 680));
  EXPECT_EQ(window->minimumSize(), window->maximumSize());
  QStringList menus;
  for (QAction* action : window->menuBar()->actions()) menus << action->text();
  EXPECT_EQ(menus, QStringList({"File", "Upload", "Help"}));

  EXPECT_EQ(view.widgetOf(form.cmdExit)->geometry(), QRect(234, 616, 119, 27));
  EXPECT_EQ(view.widgetOf(form.cmdAdd)->geometry(), QRect(2 + 254, 2 + 140, 35, 23));
  EXPECT_EQ(view.widgetOf(form.cmdAdd)->parentWidget(), view.widgetOf(form.Picture1));
  EXPECT_EQ(widget<QLabel>(form.Label7)->text(), "Select Pictures To Resize");
  EXPECT_EQ(widget<QLabel>(form.Label8)->text(), "Click \"Resize\" To Process");
  EXPECT_EQ(widget<QPushButton>(form.SelectAll)->text(), "Select &All");
  EXPECT_TRUE(widget<QCheckBox>(form.chkSource)->isChecked());
  EXPECT_FALSE(widget<QCheckBox>(form.chkOverwrite)->isChecked());
  EXPECT_FALSE(widget<QRadioButton>(form.opt1)->isChecked());
  auto* ratio = widget<QComboBox>(form.cmbRatio);
  EXPECT_EQ(ratio->currentText(), "25 %");
  EXPECT_EQ(ratio->count(), 6);
  EXPECT_EQ(ratio->currentIndex(), -1);
  EXPECT_EQ(widget<QLineEdit>(form.txtPrefix)->text(), "t");
  EXPECT_FALSE(view.widgetOf(form.cmdRefresh)->isEnabled());
  EXPECT_EQ(view.widgetOf(form.picProgressSlide)->width(), 0);

  EXPECT_EQ(window->focusWidget(), view.widgetOf(form.cmdExit));
}

TEST_F(Form1ViewTest, TypingAndClicksReachTheModelAndTheArrowMovesTheSelectedEntries) {
  QTest::keyClicks(widget<QLineEdit>(form.txtHeight), "480");
  EXPECT_EQ(form.txtHeight.Text(), "480");
  click(form.opt2);
  EXPECT_TRUE(form.opt2.Value());

  for (const char* name : {"b.jpg", "a.jpg", "d.jpg", "c.jpg"}) form.List1.AddItem(name);
  auto* list1 = widget<QListView>(form.List1);
  auto* list2 = widget<QListView>(form.List2);
  for (int row : {1, 3}) {
    const QRect r = list1->visualRect(list1->model()->index(row, 0));
    QTest::mouseClick(list1->viewport(), Qt::LeftButton, Qt::ControlModifier, r.center());
  }
  click(form.cmdAdd);
  EXPECT_EQ(rows(*list1), QStringList({"a.jpg", "c.jpg"}));
  EXPECT_EQ(rows(*list2), QStringList({"b.jpg", "d.jpg"}));
  EXPECT_EQ(form.List2.ListCount(), 2);

  // Select All on the chosen list shows in its view once the handler returns.
  click(form.SelectAll2);
  EXPECT_EQ(list2->selectionModel()->selectedRows().size(), 2);
}

TEST_F(Form1ViewTest, ModelChangesShowInTheWidgets) {
  // A folder label shows "&" as a character.
  form.lblPicFolder.setCaption("/home/me/R&D");
  EXPECT_EQ(widget<QLabel>(form.lblPicFolder)->text(), "/home/me/R&D");
  form.List1.AddItem("z.png");
  EXPECT_EQ(rows(*widget<QListView>(form.List1)), QStringList({"z.png"}));

  resize_job::Module1::UpdateProgressBar(0.5f, form);
  const int inner = view.widgetOf(form.picProgress)->width() - 4;
  EXPECT_NEAR(view.widgetOf(form.picProgressSlide)->width(), inner / 2, 1);
  // "50%" is printed in the highlight colour right of the slide's end.
  const QImage bar = view.widgetOf(form.picProgress)->grab().toImage();
  const QColor highlight = QApplication::palette().color(QPalette::Highlight);
  int textPixels = 0;
  for (int x = inner / 2 + 4; x < bar.width() - 2; ++x) {
    for (int y = 2; y < bar.height() - 2; ++y) textPixels += bar.pixelColor(x, y) == highlight;
  }
  EXPECT_GT(textPixels, 10);
}

TEST_F(Form1ViewTest, ResizeStartsTheConverterOncePerChosenFileInListOrder) {
  processes.folder = "/opt/karvelo";
  files.folders["/pics"] = {"b.jpg", "a b.jpg", "c.jpg"};
  form.lblPicFolder.setCaption("/pics");
  form.lblPicFolderDest.setCaption("/out");
  form.cmdRefresh.setEnabled(true);
  click(form.cmdRefresh);
  click(form.SelectAll);
  click(form.cmdAdd);
  click(form.opt1);
  std::vector<int> pointers;
  processes.onStart = [&](const std::string&) { pointers.push_back(form.MousePointer()); };
  click(form.cmdResize);

  ASSERT_EQ(processes.starts.size(), 3u);
  const std::vector<std::string> order = {"a b.jpg", "b.jpg", "c.jpg"};
  for (std::size_t i = 0; i < order.size(); ++i) {
    EXPECT_EQ(processes.starts[i].commandLine.rfind(
                  "/opt/karvelo/multiconv /s:\"/pics/" + order[i] + "\"", 0),
              0u)
        << processes.starts[i].commandLine;
  }
  EXPECT_EQ(pointers, std::vector<int>(3, forms::pointer::Hourglass));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the hourglass is gone afterwards";
  EXPECT_EQ(widget<QListView>(form.List2)->selectionModel()->selectedRows().size(), 3);
  EXPECT_EQ(view.widgetOf(form.picProgressSlide)->width(),
            view.widgetOf(form.picProgress)->width() - 4);
}

TEST_F(Form1ViewTest, TheExitButtonEndsTheProgram) {
  click(form.cmdExit);
  EXPECT_TRUE(view.hasEnded());
  EXPECT_FALSE(window->isVisible());
}

TEST_F(Form1ViewTest, AccessKeysPressTheirButtonsAndEnterPressesTheFocusedOne) {
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window));
  files.folders["/pics"] = {"a.jpg"};
  form.lblPicFolder.setCaption("/pics");
  form.cmdRefresh.setEnabled(true);
  QTest::keyClick(window, Qt::Key_R, Qt::AltModifier);
  // An access key presses its button the way Qt animates a click: a moment later.
  EXPECT_TRUE(QTest::qWaitFor([&] { return form.List1.ListCount() == 1; }))
      << "Alt+R pressed Refresh";
  // Alt+A belongs to both Select All buttons: it moves the focus between them, as the window
  // system does with a repeated access key, and presses neither.
  QTest::keyClick(window, Qt::Key_A, Qt::AltModifier);
  QTest::qWait(200);
  EXPECT_FALSE(form.List1.Selected(0));
  EXPECT_TRUE(window->focusWidget() == view.widgetOf(form.SelectAll) ||
              window->focusWidget() == view.widgetOf(form.SelectAll2));

  view.widgetOf(form.cmdExit)->setFocus();
  QTest::keyClick(view.widgetOf(form.cmdExit), Qt::Key_Return);
  EXPECT_TRUE(view.hasEnded()) << "Enter on the first focus, Exit, ends the program";
}

TEST_F(Form1ViewTest, TheCloseBoxEndsTheProgram) {
  window->close();
  EXPECT_TRUE(view.hasEnded());
  EXPECT_FALSE(window->isVisible());
}

TEST_F(Form1ViewTest, FileExitEndsTheProgram) {
  QMenu* file = window->menuBar()->actions()[0]->menu();
  ASSERT_NE(file, nullptr);
  file->actions()[0]->trigger();
  EXPECT_TRUE(view.hasEnded());
  window->close();  // the close box after the end runs nothing
}

// The end of a run comes from the channel's thread; its message is a warning over the main
// window. With KARVELO_SCREENSHOTS naming a folder, a picture of it is saved there.
TEST_F(Form1ViewTest, ARunsFailuresComeAsOneWarningOverTheMainWindow) {
  form.lblPicFolder.setCaption("/photos");
  form.lblPicFolderDest.setCaption("/photos");
  for (const char* name : {"beach.jpg", "clip.mov", "dune.jpg", "IMG_0042.HEIC", "scan.png"}) {
    form.List2.AddItem(name);
  }
  form.opt3.setValue(true);
  form.txtWidth.setText("800");
  click(form.cmdResize);
  ASSERT_EQ(fakes.outcomes.runs.size(), 1u);
  std::thread([this] {
    fakes.outcomes.end(0, {{"/photos/beach.jpg", 0, ""},
                           {"/photos/clip.mov", 4, ""},
                           {"/photos/dune.jpg", 0, ""},
                           {"/photos/IMG_0042.HEIC", 4, ""}});
  }).join();

  QString title, text;
  QWidget* owner = nullptr;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QTimer::singleShot(0, [&] {
    QMessageBox* box = nullptr;
    for (QWidget* shown : QApplication::topLevelWidgets()) {
      if (auto* found = qobject_cast<QMessageBox*>(shown); found && found->isVisible()) box = found;
    }
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    text = box->text();
    owner = box->parentWidget();
    icon = box->icon();
    if (const char* folder = std::getenv("KARVELO_SCREENSHOTS"); folder && *folder) {
      box->grab().save(QString::fromUtf8(folder) + "/run-failures.png");
    }
    box->accept();
  });
  QApplication::processEvents();
  EXPECT_EQ(title, "Karvelo");
  EXPECT_EQ(icon, QMessageBox::Warning);
  EXPECT_EQ(owner, window);
  EXPECT_TRUE(text.startsWith("3 of 5 pictures were not resized:\n"
                              "clip.mov: not a picture or a kind the converter cannot read\n"
                              "IMG_0042.HEIC: not a picture or a kind the converter cannot read\n"
                              "scan.png: the converter ended without a result\n"))
      << text.toStdString();
}

}  // namespace
}  // namespace karvelo::views::qt
