// SPDX-License-Identifier: GPL-3.0-or-later
#include "Form1Fixture.h"

#include "forms/Color.h"

#include <optional>
#include <set>

using namespace karvelo;
using namespace karvelo::forms;
using karvelo::testing::Form1Fixture;

namespace {

using Kind = ControlKind;

struct Row {
  const char* name;
  Kind kind;
  const char* container;  // empty: directly on the window
  Rect geometry;
  std::optional<int> tab;  // none: the control never takes the focus
  const char* caption;     // caption, or the text of a text box or drop-down
};

// The window as laid out, row by row.
// clang-format off
const Row layout[] = {
    {"Label7", Kind::Label, "", {420, 150, 2310, 285}, 29, "Select Pictures To Resize"},
    {"Picture1", Kind::PictureBox, "", {270, 420, 8295, 5325}, 1, ""},
    {"Label6", Kind::Label, "", {420, 5880, 2310, 285}, 30, "Set Resize Options"},
    {"Picture2", Kind::PictureBox, "", {240, 6120, 8295, 1425}, 20, ""},
    {"Label8", Kind::Label, "", {420, 7710, 2310, 285}, 31, "Click \"Resize\" To Process"},
    {"Picture3", Kind::PictureBox, "", {270, 7980, 8355, 1125}, 25, ""},
    {"XPStyle1", Kind::UserControl, "", {5640, 7680, 810, 810}, std::nullopt, ""},
    {"cmdExit", Kind::CommandButton, "", {3510, 9240, 1785, 405}, 0, "Exit"},
    {"Label3", Kind::Label, "Picture1", {90, 0, 5445, 195}, 19,
     "Click \"Browse\" to find folder where your  pictures are located."},
    {"Label1", Kind::Label, "Picture1", {90, 300, 3135, 225}, 18, "Source Picture Folder"},
    {"lblPicFolder", Kind::Label, "Picture1", {60, 570, 7005, 255}, 16, ""},
    {"Command1", Kind::CommandButton, "Picture1", {7140, 570, 765, 285}, 12, "Browse"},
    {"Label5", Kind::Label, "Picture1", {60, 900, 1995, 225}, 14, "Destination Picture Folder"},
    {"chkSource", Kind::CheckBox, "Picture1", {2250, 900, 1995, 225}, 3, "Same as source folder"},
    {"lblPicFolderDest", Kind::Label, "Picture1", {60, 1170, 7005, 255}, 15, ""},
    {"Command2", Kind::CommandButton, "Picture1", {7140, 1170, 765, 285}, 4, "Browse"},
    {"List1", Kind::ListBox, "Picture1", {180, 1560, 3435, 2790}, 13, ""},
    {"cmdAdd", Kind::CommandButton, "Picture1", {3810, 2100, 525, 345}, 8, "=>"},
    {"cmdRemove", Kind::CommandButton, "Picture1", {3810, 2640, 525, 345}, 7, "<="},
    {"List2", Kind::ListBox, "Picture1", {4530, 1530, 3435, 2790}, 11, ""},
    {"SelectAll", Kind::CommandButton, "Picture1", {420, 4380, 1185, 315}, 10, "Select &All"},
    {"deselectall", Kind::CommandButton, "Picture1", {1830, 4380, 1185, 315}, 9, "&Deselect All"},
    {"cmdRefresh", Kind::CommandButton, "Picture1", {3450, 4380, 1185, 315}, 2, "&Refresh"},
    {"SelectAll2", Kind::CommandButton, "Picture1", {4920, 4380, 1185, 315}, 6, "Select &All"},
    {"DeselectAll2", Kind::CommandButton, "Picture1", {6360, 4380, 1185, 315}, 5, "&Deselect All"},
    {"Label2", Kind::Label, "Picture1", {180, 4860, 2805, 195}, 17,
     "Tip: Hold Ctrl to choose multiple files"},
    {"opt1", Kind::OptionButton, "Picture2", {120, 120, 1335, 375}, 35, "Size to Ratio"},
    {"cmbRatio", Kind::ComboBox, "Picture2", {1560, 120, 1215, 315}, 22, "25 %"},
    {"Label4", Kind::Label, "Picture2", {2880, 120, 825, 255}, 37, "of original"},
    {"lblPrefix", Kind::Label, "Picture2", {4080, 240, 1185, 255}, 24, "New File Prefix:"},
    {"txtPrefix", Kind::TextBox, "Picture2", {5280, 180, 525, 315}, 21, "t"},
    {"lblSuffix", Kind::Label, "Picture2", {5880, 240, 1185, 255}, 40, "New File Suffix:"},
    {"txtSuffix", Kind::TextBox, "Picture2", {7080, 195, 525, 315}, 41, ""},
    {"opt2", Kind::OptionButton, "Picture2", {120, 600, 2055, 255}, 34, "Size to Specific Height"},
    {"txtHeight", Kind::TextBox, "Picture2", {2160, 600, 1095, 285}, 38, ""},
    {"chkMaintain", Kind::CheckBox, "Picture2", {3480, 600, 2055, 255}, 33, "Maintain Aspect Ratio"},
    {"opt3", Kind::OptionButton, "Picture2", {120, 960, 1935, 255}, 36, "Size to Specific Width"},
    {"txtWidth", Kind::TextBox, "Picture2", {2160, 960, 1095, 285}, 39, ""},
    {"chkOverwrite", Kind::CheckBox, "Picture2", {3480, 960, 2055, 255}, 23,
     "Overwrite Existing FIles"},
    {"cmdResize", Kind::CommandButton, "Picture3", {3300, 90, 1455, 375}, 26, "Resize"},
    {"picProgress", Kind::PictureBox, "Picture3", {210, 510, 7875, 375}, 27, ""},
    {"picProgressSlide", Kind::PictureBox, "picProgress", {60, 60, 7335, 285}, 28, ""},
};
// clang-format on

std::string captionOf(const Control& c) {
  if (auto* l = dynamic_cast<const Label*>(&c)) return l->Caption();
  if (auto* b = dynamic_cast<const CommandButton*>(&c)) return b->Caption();
  if (auto* k = dynamic_cast<const CheckBox*>(&c)) return k->Caption();
  if (auto* o = dynamic_cast<const OptionButton*>(&c)) return o->Caption();
  if (auto* t = dynamic_cast<const TextBox*>(&c)) return t->Text();
  if (auto* d = dynamic_cast<const ComboBox*>(&c)) return d->Text();
  return {};
}

}  // namespace

TEST_F(Form1Fixture, EveryControlHasItsLaidOutPlaceCaptionAndTabPosition) {
  // As made, before Form_Load sets up the progress bar.
  main_window::Form1 made{fake.services()};
  ASSERT_EQ(made.controls().size(), std::size(layout));
  std::set<int> tabs;
  for (std::size_t i = 0; i < std::size(layout); ++i) {
    const Row& row = layout[i];
    SCOPED_TRACE(row.name);
    const Control* c = made.controls()[i];  // created in table order, containers first
    ASSERT_EQ(c->name(), row.name);
    EXPECT_EQ(c->kind(), row.kind);
    EXPECT_EQ(c->container() ? c->container()->name() : std::string(), row.container);
    EXPECT_EQ(c->geometry(), row.geometry);
    EXPECT_EQ(c->TabIndex(), row.tab);
    EXPECT_EQ(captionOf(*c), row.caption);
    EXPECT_TRUE(c->Visible());
    EXPECT_EQ(c->Enabled(), row.name != std::string("cmdRefresh"));
    if (row.tab) tabs.insert(*row.tab);
  }
  EXPECT_EQ(tabs.size(), std::size(layout) - 1);  // every control but XPStyle1, each its own
  EXPECT_EQ(tabs.count(32), 0u);
  EXPECT_EQ(made.initialFocus(), &made.cmdExit);
}

TEST_F(Form1Fixture, WindowFontsColoursAndBordersAreAsLaidOut) {
  EXPECT_EQ(form.Caption(), "Karvelo");
  EXPECT_EQ(form.clientWidth(), 8940);
  EXPECT_EQ(form.clientHeight(), 10200);
  EXPECT_EQ(form.borderStyle, BorderStyle::FixedSingle);
  EXPECT_FALSE(form.maxButton);
  EXPECT_FALSE(form.minButton);
  EXPECT_TRUE(form.centerOnScreen);
  EXPECT_FALSE(form.icon.empty());

  const TextFont heading{"Tahoma", 8.25, true};
  for (const Label* label : {&form.Label7, &form.Label6, &form.Label8}) {
    SCOPED_TRACE(label->name());
    EXPECT_EQ(label->alignment, Alignment::Center);
    EXPECT_TRUE(label->border);
    EXPECT_EQ(label->BackColor(), systemColor(2));
    EXPECT_EQ(label->ForeColor(), systemColor(9));
    EXPECT_EQ(label->Font(), heading);
  }
  EXPECT_TRUE(form.lblPicFolder.border);
  EXPECT_TRUE(form.lblPicFolderDest.border);
  EXPECT_FALSE(form.Label1.border);
  // Only the folder labels show "&" as a character: their captions are paths.
  for (const Control* c : form.controls()) {
    if (auto* label = dynamic_cast<const Label*>(c)) {
      EXPECT_EQ(label->UseMnemonic, label != &form.lblPicFolder && label != &form.lblPicFolderDest)
          << label->name();
    }
  }
  EXPECT_EQ(form.Label2.Font(), (TextFont{"Arial", 8.25, false}));
  EXPECT_EQ(form.cmdResize.Font(), (TextFont{"MS Sans Serif", 8.25, true}));
  EXPECT_EQ(form.picProgress.Font(), (TextFont{"Tahoma", 11.25, true}));
  EXPECT_EQ(form.picProgressSlide.Font(), (TextFont{"Tahoma", 11.25, true}));
  EXPECT_FALSE(form.cmdExit.fontOverride().has_value());  // the window's default font

  for (const PictureBox* panel :
       {&form.Picture1, &form.Picture2, &form.Picture3, &form.picProgress}) {
    EXPECT_TRUE(panel->bordered()) << panel->name();
  }
  EXPECT_FALSE(form.picProgressSlide.bordered());
}

TEST_F(Form1Fixture, StartsWithTheInitialChoicesAndAnEmptyProgressBar) {
  EXPECT_EQ(form.cmbRatio.Text(), "25 %");
  EXPECT_EQ(form.cmbRatio.ListIndex(), -1);
  ASSERT_EQ(form.cmbRatio.ListCount(), 6);
  const char* ratios[] = {"25 %", "40 %", "50 %", "60 %", "75 %", "85 %"};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(form.cmbRatio.List(i), ratios[i]);

  EXPECT_FALSE(form.opt1.Value());
  EXPECT_FALSE(form.opt2.Value());
  EXPECT_FALSE(form.opt3.Value());
  EXPECT_EQ(form.chkMaintain.Value(), CheckBox::Checked);
  EXPECT_EQ(form.chkSource.Value(), CheckBox::Checked);
  EXPECT_EQ(form.chkOverwrite.Value(), CheckBox::Unchecked);
  EXPECT_TRUE(form.lblPrefix.Enabled());
  EXPECT_TRUE(form.txtPrefix.Enabled());
  EXPECT_EQ(form.List1.ListCount(), 0);
  EXPECT_EQ(form.List2.ListCount(), 0);
  EXPECT_EQ(form.lblPicFolder.Caption(), "");
  EXPECT_EQ(form.lblPicFolderDest.Caption(), "");
  EXPECT_FALSE(form.cmdRefresh.Enabled());
  EXPECT_EQ(form.module1.FileCount, 0);

  // The option buttons form one group.
  form.opt2.click();
  form.opt3.click();
  EXPECT_FALSE(form.opt2.Value());
  EXPECT_TRUE(form.opt3.Value());

  EXPECT_EQ(form.picProgress.BackColor(), 0x8000000Eu);
  EXPECT_EQ(form.picProgress.ForeColor(), 0x8000000Du);
  EXPECT_EQ(form.picProgressSlide.BackColor(), 0x8000000Du);
  EXPECT_EQ(form.picProgressSlide.ForeColor(), 0x8000000Eu);
  EXPECT_EQ(form.picProgressSlide.geometry(), (Rect{0, 0, 0, form.picProgress.ScaleHeight()}));
  EXPECT_TRUE(form.picProgress.drawing().empty());
  EXPECT_TRUE(form.picProgressSlide.drawing().empty());
  EXPECT_EQ(form.MousePointer(), pointer::Default);
}

TEST_F(Form1Fixture, MenuBarHoldsItsThreeMenus) {
  auto captions = [](const std::vector<MenuEntry*>& menus) {
    std::vector<std::string> out;
    for (const MenuEntry* m : menus) {
      out.push_back(m->name() + ":" + m->Caption());
      EXPECT_TRUE(m->Enabled && m->Visible && !m->Checked) << m->name();
    }
    return out;
  };
  using Captions = std::vector<std::string>;
  EXPECT_EQ(captions(form.menus()),
            (Captions{"cmdFile:File", "MnuUploadTop:Upload", "mnuHelp:Help"}));
  EXPECT_EQ(captions(form.cmdFile.entries()), (Captions{"mnuExit:Exit"}));
  EXPECT_EQ(captions(form.MnuUploadTop.entries()), (Captions{"MnuUpload:Upload To Velmora"}));
  EXPECT_EQ(captions(form.mnuHelp.entries()),
            (Captions{"mnuFAQ:Online FAQ", "mnuSupport:Online Support", "mnuAbout:About"}));
}

TEST_F(Form1Fixture, FileExitEndsTheProgramWithoutUnloadingTheExitButtonByUnloading) {
  form.mnuExit.click();
  EXPECT_EQ(fake.application.endCalls, 1);
  EXPECT_FALSE(form.isUnloaded());  // Form_Unload did not run

  bool unloaded = false;
  form.unloaded.connect([&] { unloaded = true; });
  form.cmdExit.click();
  EXPECT_EQ(fake.application.endCalls, 2);
  EXPECT_TRUE(unloaded);
}

TEST_F(Form1Fixture, ClosingTheWindowAnyOtherWayEndsTheProgram) {
  form.Unload();
  EXPECT_EQ(fake.application.endCalls, 1);
  EXPECT_TRUE(form.isUnloaded());
}
