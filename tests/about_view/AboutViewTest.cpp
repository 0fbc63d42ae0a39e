// SPDX-License-Identifier: GPL-3.0-or-later
// The About window as the user sees it: opened from the main window's menu, real widgets on Qt's
// offscreen platform, fake services behind them.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <cstdlib>
#include <set>
#include <string>

#include "about/frmAbout.h"
#include "fakes/FakeServices.h"
#include "main_window/Form1.h"
#include "views/qt/QtView.h"
#include "web_links/WebLinks.h"

namespace karvelo::views::qt {
namespace {

class AboutViewTest : public ::testing::Test {
 protected:
  AboutViewTest() {
    form.decimalSeparator = '.';
    form.setFontMetrics(&view.fontMetrics());
    form.load();
    view.show(form);
    main = view.windowOf(form);
  }
  ~AboutViewTest() override { view.end(); }

  // Chooses an entry of the main window's menu bar the way a user's click does.
  void choose(const QString& menu, const QString& entry) {
    for (QAction* top : main->menuBar()->actions()) {
      if (top->text() != menu || !top->menu()) continue;
      for (QAction* action : top->menu()->actions()) {
        if (action->text() == entry) {
          action->trigger();
          QApplication::processEvents();
          return;
        }
      }
    }
    ADD_FAILURE() << "no menu entry " << entry.toStdString();
  }
  int shownWindows() const {
    int count = 0;
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (qobject_cast<QMainWindow*>(w) && w->isVisible()) ++count;
    }
    return count;
  }

  fakes::FakeServices fakes;
  QtView view;
  main_window::Form1 form{fakes.services({.messages = &view, .application = &view})};
  QMainWindow* main = nullptr;
};

TEST_F(AboutViewTest, OpensFromTheMenuBesideAUsableMainWindowAndClosesWithEsc) {
  ASSERT_NE(main, nullptr);
  choose("Help", "About");
  about::frmAbout* about = form.aboutWindow();
  ASSERT_NE(about, nullptr);
  QMainWindow* window = view.windowOf(*about);
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->isVisible());
  EXPECT_EQ(window->windowTitle(), "About Karvelo");
  EXPECT_EQ(window->centralWidget()->size(), QSize(310, 253));
  EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "a fixed frame";
  EXPECT_EQ(window->windowModality(), Qt::NonModal);
  EXPECT_EQ(window->parentWidget(), nullptr) << "no owner";
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_TRUE(view.widgetOf(about->cmdOK)->hasFocus());

  // The maker's picture is drawn: an empty box shows only its face and its edge.
  {
    const QImage shown = view.widgetOf(about->Picture1)->grab().toImage();
    std::set<QRgb> colours;
    for (int y = 0; y < shown.height(); ++y) {
      for (int x = 0; x < shown.width(); ++x) colours.insert(shown.pixel(x, y));
    }
    EXPECT_GT(colours.size(), 16u);
  }

  auto* title = qobject_cast<QLabel*>(view.widgetOf(about->lblTitle));
  auto* version = qobject_cast<QLabel*>(view.widgetOf(about->lblVersion));
  auto* address = qobject_cast<QLabel*>(view.widgetOf(about->Label1));
  ASSERT_TRUE(title && version && address);
  EXPECT_EQ(title->text(), "Karvelo");
  EXPECT_EQ(version->text(), "Version 1.0.0");
  EXPECT_EQ(address->text(), QString::fromUtf8(web_links::MakerHome.data(),
                                               static_cast<int>(web_links::MakerHome.size())));
  for (const forms::Control* label : {static_cast<const forms::Control*>(&about->lblTitle),
                                      static_cast<const forms::Control*>(&about->lblVersion),
                                      static_cast<const forms::Control*>(&about->lblDisclaimer),
                                      static_cast<const forms::Control*>(&about->Label1)}) {
    EXPECT_FALSE(view.widgetOf(*label)->autoFillBackground()) << label->name();
  }
  // The etched separator: the grey line above, the white one below; the grey one is cut off at
  // the right edge of the window.
  ASSERT_NE(view.widgetOf(about->Line1_1), nullptr);
  ASSERT_NE(view.widgetOf(about->Line1_0), nullptr);
  EXPECT_LT(view.widgetOf(about->Line1_1)->y(), view.widgetOf(about->Line1_0)->y());
  // The program's hand over the three links, pointing from the tip of its index finger; the
  // window's own pointer elsewhere.
  for (const forms::Control* link : {static_cast<const forms::Control*>(&about->Picture1),
                                     static_cast<const forms::Control*>(&about->lblDisclaimer),
                                     static_cast<const forms::Control*>(&about->Label1)}) {
    const QCursor cursor = view.widgetOf(*link)->cursor();
    EXPECT_EQ(cursor.shape(), Qt::BitmapCursor) << link->name();
    EXPECT_EQ(cursor.hotSpot(), QPoint(5, 0)) << link->name();
    EXPECT_EQ(cursor.pixmap().size(), QSize(32, 32)) << link->name();
  }
  EXPECT_EQ(view.widgetOf(about->cmdOK)->cursor().shape(), Qt::ArrowCursor);
  EXPECT_EQ(window->centralWidget()->cursor().shape(), Qt::ArrowCursor);

  // Both windows take input: the main window's menu still works, and so do the About window's
  // three links.
  choose("Help", "Online FAQ");
  for (const forms::Control* link : {static_cast<const forms::Control*>(&about->Label1),
                                     static_cast<const forms::Control*>(&about->lblDisclaimer),
                                     static_cast<const forms::Control*>(&about->Picture1)}) {
    QTest::mouseClick(view.widgetOf(*link), Qt::LeftButton);
  }
  ASSERT_EQ(fakes.shell.calls.size(), 4u);
  EXPECT_EQ(fakes.shell.calls[0].owner, form.hWnd);
  EXPECT_EQ(fakes.shell.calls[0].file, web_links::VelmoraFaq);
  EXPECT_NE(about->hWnd, form.hWnd);
  for (std::size_t i = 1; i < 4; ++i) {
    EXPECT_EQ(fakes.shell.calls[i].owner, about->hWnd);
    EXPECT_EQ(fakes.shell.calls[i].file, web_links::MakerHome);
  }
  EXPECT_EQ(window->centralWidget()->cursor().shape(),
            view.widgetOf(about->Label1)->cursor().shape())
      << "the window's own pointer is now the hand too";

  // A second choice brings the same window forward.
  choose("Help", "About");
  EXPECT_EQ(form.aboutWindow(), about);
  EXPECT_EQ(view.windowOf(*about), window);
  EXPECT_EQ(shownWindows(), 2);

  QTest::keyClick(window, Qt::Key_Escape);
  QApplication::processEvents();
  EXPECT_TRUE(about->isUnloaded());
  EXPECT_EQ(view.windowOf(*about), nullptr);
  EXPECT_EQ(shownWindows(), 1);
  EXPECT_TRUE(main->isVisible());
  EXPECT_FALSE(view.hasEnded());

  // Opened again: a new window, from the layout.
  choose("Help", "About");
  ASSERT_NE(form.aboutWindow(), nullptr);
  EXPECT_FALSE(form.aboutWindow()->isUnloaded());
  EXPECT_NE(view.windowOf(*form.aboutWindow()), nullptr);
  EXPECT_EQ(form.aboutWindow()->MousePointer(), forms::pointer::Default);
  EXPECT_EQ(shownWindows(), 2);
}

TEST_F(AboutViewTest, EnterAndOkCloseItTooAndEndingTheProgramRemovesBothWindows) {
  choose("Help", "About");
  QTest::keyClick(view.windowOf(*form.aboutWindow()), Qt::Key_Return);
  QApplication::processEvents();
  EXPECT_TRUE(form.aboutWindow()->isUnloaded());

  choose("Help", "About");
  QTest::mouseClick(view.widgetOf(form.aboutWindow()->cmdOK), Qt::LeftButton);
  QApplication::processEvents();
  EXPECT_TRUE(form.aboutWindow()->isUnloaded());

  choose("Help", "About");
  EXPECT_EQ(shownWindows(), 2);
  main->close();  // the main window's close box: Form_Unload ends the program
  QApplication::processEvents();
  EXPECT_TRUE(view.hasEnded());
  EXPECT_EQ(shownWindows(), 0);
}

// Saves a picture of the About window when KARVELO_SCREENSHOTS names a folder.
TEST_F(AboutViewTest, Screenshot) {
  const char* folder = std::getenv("KARVELO_SCREENSHOTS");
  if (!folder || !*folder) GTEST_SKIP() << "KARVELO_SCREENSHOTS is not set";
  choose("Help", "About");
  QMainWindow* window = view.windowOf(*form.aboutWindow());
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(window->grab().save(QString::fromUtf8(folder) + "/about.png"));
}

}  // namespace
}  // namespace karvelo::views::qt
