// SPDX-License-Identifier: GPL-3.0-or-later
// The program's drawn resources as the Qt view shows them: window icons, pictures, the custom
// pointer.

#include <gtest/gtest.h>

#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QMainWindow>
#include <QPixmap>

#include "forms/Form.h"
#include "forms/Label.h"
#include "forms/PictureBox.h"
#include "views/qt/QtView.h"

namespace karvelo::views::qt {
namespace {

class PictureForm : public forms::Form {
 public:
  PictureForm() : Form("frmPictures", "Pictures", 4000, 3000) {
    icon = "about";
    picture.setPicture("about-picture");
    picture.setMousePointer(forms::pointer::Custom);
    link.setMousePointer(forms::pointer::Custom);
  }
  forms::PictureBox picture{*this, nullptr, "Picture1", {150, 150, 1785, 1260}, false};
  forms::Label link{*this, nullptr, "Label1", {150, 1600, 2000, 255}, "www"};
};

class ResourcesViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form.load();
    view.show(form);
    window = view.windowOf(form);
    ASSERT_NE(window, nullptr);
  }
  PictureForm form;
  QtView view;
  QMainWindow* window = nullptr;
};

TEST_F(ResourcesViewTest, WindowIconPictureAndHandPointerComeFromTheProgramsResources) {
  // The About icon with both of its images.
  const QList<QSize> sizes = window->windowIcon().availableSizes();
  EXPECT_TRUE(sizes.contains(QSize(32, 32)));
  EXPECT_TRUE(sizes.contains(QSize(16, 16)));

  // The picture drawn from the box's top left corner, pixel for pixel.
  const QImage drawn = view.widgetOf(form.picture)->grab().toImage();
  const QImage source(QStringLiteral(":/pictures/about-picture"));
  ASSERT_EQ(source.size(), QSize(112, 78));
  for (const QPoint at : {QPoint(0, 0), QPoint(30, 30), QPoint(111, 77), QPoint(60, 70)}) {
    EXPECT_EQ(drawn.pixelColor(at).rgb(), source.pixelColor(at).rgb()) << at.x() << "," << at.y();
  }

  // The hand, with its hot spot on the finger tip, over both clickable controls.
  for (const forms::Control* control : {static_cast<const forms::Control*>(&form.picture),
                                        static_cast<const forms::Control*>(&form.link)}) {
    const QCursor cursor = view.widgetOf(*control)->cursor();
    EXPECT_EQ(cursor.shape(), Qt::BitmapCursor) << control->name();
    EXPECT_EQ(cursor.hotSpot(), QPoint(5, 0));
    EXPECT_EQ(cursor.pixmap().size(), QSize(32, 32));
    EXPECT_EQ(cursor.pixmap().toImage().pixelColor(5, 0).alpha(), 255);
  }
}

TEST(ResourceFiles, EveryNamedImageIsCompiledIn) {
  for (const char* path : {":/icons/app", ":/icons/about", ":/icons/about-16", ":/cursors/hand",
                           ":/pictures/about-picture", ":/pictures/xpstyle"}) {
    EXPECT_FALSE(QImage(QString::fromLatin1(path)).isNull()) << path;
  }
  EXPECT_EQ(QImage(QStringLiteral(":/icons/app")).size(), QSize(32, 32));
  EXPECT_EQ(QImage(QStringLiteral(":/pictures/xpstyle")).size(), QSize(54, 54));
  // Outside the tile's rounded corners the control's face is see-through.
  EXPECT_EQ(QImage(QStringLiteral(":/pictures/xpstyle")).pixelColor(0, 0).alpha(), 0);
}

}  // namespace
}  // namespace karvelo::views::qt
