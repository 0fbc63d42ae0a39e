// SPDX-License-Identifier: GPL-3.0-or-later
// The layout of the main window: every control with its container, position and size (twips),
// caption, tab position, font, colours and initial state, and the menu bar.
#include "main_window/Form1.h"

#include <utility>

namespace karvelo::main_window {

using forms::CheckBox;

namespace {

constexpr int ClientWidth = 8940;
constexpr int ClientHeight = 10200;

const forms::TextFont HeadingFont{"Tahoma", 8.25, true};
const forms::TextFont TipFont{"Arial", 8.25, false};
const forms::TextFont ResizeFont{"MS Sans Serif", 8.25, true};
const forms::TextFont ProgressFont{"Tahoma", 11.25, true};

}  // namespace

// One control a line, in the columns of the layout table.
// clang-format off
Form1::Form1(const platform::Services& platformServices)
    : forms::Form("Form1", "Karvelo", ClientWidth, ClientHeight),
      services(platformServices),
      decimalSeparator(platformServices.locale.decimalSeparator()),
      //                  container  name               left   top   width height   caption
      Label7      {*this, nullptr,   "Label7",           {420,  150,  2310, 285},  "Select Pictures To Resize"},
      Picture1    {*this, nullptr,   "Picture1",         {270,  420,  8295, 5325}},
      Label6      {*this, nullptr,   "Label6",           {420,  5880, 2310, 285},  "Set Resize Options"},
      Picture2    {*this, nullptr,   "Picture2",         {240,  6120, 8295, 1425}},
      Label8      {*this, nullptr,   "Label8",           {420,  7710, 2310, 285},  "Click \"Resize\" To Process"},
      Picture3    {*this, nullptr,   "Picture3",         {270,  7980, 8355, 1125}},
      XPStyle1    {*this, nullptr,   "XPStyle1",          5640, 7680, platformServices.commonControls},
      cmdExit     {*this, nullptr,   "cmdExit",          {3510, 9240, 1785, 405},  "Exit"},

      Label3      {*this, &Picture1, "Label3",           {90,   0,    5445, 195},
                   "Click \"Browse\" to find folder where your  pictures are located."},
      Label1      {*this, &Picture1, "Label1",           {90,   300,  3135, 225},  "Source Picture Folder"},
      lblPicFolder{*this, &Picture1, "lblPicFolder",     {60,   570,  7005, 255}},
      Command1    {*this, &Picture1, "Command1",         {7140, 570,  765,  285},  "Browse"},
      Label5      {*this, &Picture1, "Label5",           {60,   900,  1995, 225},  "Destination Picture Folder"},
      chkSource   {*this, &Picture1, "chkSource",        {2250, 900,  1995, 225},  "Same as source folder", CheckBox::Checked},
      lblPicFolderDest{*this, &Picture1, "lblPicFolderDest", {60, 1170, 7005, 255}},
      Command2    {*this, &Picture1, "Command2",         {7140, 1170, 765,  285},  "Browse"},
      List1       {*this, &Picture1, "List1",            {180,  1560, 3435, 2790}},
      cmdAdd      {*this, &Picture1, "cmdAdd",           {3810, 2100, 525,  345},  "=>"},
      cmdRemove   {*this, &Picture1, "cmdRemove",        {3810, 2640, 525,  345},  "<="},
      List2       {*this, &Picture1, "List2",            {4530, 1530, 3435, 2790}},
      SelectAll   {*this, &Picture1, "SelectAll",        {420,  4380, 1185, 315},  "Select &All"},
      deselectall {*this, &Picture1, "deselectall",      {1830, 4380, 1185, 315},  "&Deselect All"},
      cmdRefresh  {*this, &Picture1, "cmdRefresh",       {3450, 4380, 1185, 315},  "&Refresh"},
      SelectAll2  {*this, &Picture1, "SelectAll2",       {4920, 4380, 1185, 315},  "Select &All"},
      DeselectAll2{*this, &Picture1, "DeselectAll2",     {6360, 4380, 1185, 315},  "&Deselect All"},
      Label2      {*this, &Picture1, "Label2",           {180,  4860, 2805, 195},  "Tip: Hold Ctrl to choose multiple files"},

      opt1        {*this, &Picture2, "opt1",             {120,  120,  1335, 375},  "Size to Ratio"},
      cmbRatio    {*this, &Picture2, "cmbRatio",         {1560, 120,  1215, 315},  "25 %"},
      Label4      {*this, &Picture2, "Label4",           {2880, 120,  825,  255},  "of original"},
      lblPrefix   {*this, &Picture2, "lblPrefix",        {4080, 240,  1185, 255},  "New File Prefix:"},
      txtPrefix   {*this, &Picture2, "txtPrefix",        {5280, 180,  525,  315},  "t"},
      lblSuffix   {*this, &Picture2, "lblSuffix",        {5880, 240,  1185, 255},  "New File Suffix:"},
      txtSuffix   {*this, &Picture2, "txtSuffix",        {7080, 195,  525,  315}},
      opt2        {*this, &Picture2, "opt2",             {120,  600,  2055, 255},  "Size to Specific Height"},
      txtHeight   {*this, &Picture2, "txtHeight",        {2160, 600,  1095, 285}},
      chkMaintain {*this, &Picture2, "chkMaintain",      {3480, 600,  2055, 255},  "Maintain Aspect Ratio", CheckBox::Checked},
      opt3        {*this, &Picture2, "opt3",             {120,  960,  1935, 255},  "Size to Specific Width"},
      txtWidth    {*this, &Picture2, "txtWidth",         {2160, 960,  1095, 285}},
      chkOverwrite{*this, &Picture2, "chkOverwrite",     {3480, 960,  2055, 255},  "Overwrite Existing FIles", CheckBox::Unchecked},

      cmdResize   {*this, &Picture3, "cmdResize",        {3300, 90,   1455, 375},  "Resize"},
      picProgress {*this, &Picture3, "picProgress",      {210,  510,  7875, 375}},
      picProgressSlide{*this, &picProgress, "picProgressSlide", {60, 60, 7335, 285}, false},

      //                  parent         name            caption
      cmdFile     {*this, nullptr,       "cmdFile",      "File"},
      mnuExit     {*this, &cmdFile,      "mnuExit",      "Exit"},
      MnuUploadTop{*this, nullptr,       "MnuUploadTop", "Upload"},
      MnuUpload   {*this, &MnuUploadTop, "MnuUpload",    "Upload To Velmora"},
      mnuHelp     {*this, nullptr,       "mnuHelp",      "Help"},
      mnuFAQ      {*this, &mnuHelp,      "mnuFAQ",       "Online FAQ"},
      mnuSupport  {*this, &mnuHelp,      "mnuSupport",   "Online Support"},
      mnuAbout    {*this, &mnuHelp,      "mnuAbout",     "About"},

      module1(*this, platformServices.files) {
  // clang-format on
  icon = "app";
  // The lists sort as the platform's list control does, in the user's language.
  setTextOrder(&platformServices.locale);
  applyLayoutDetails();
  wireEvents();
}

void Form1::applyLayoutDetails() {
  // Tab positions, row by row as laid out. Labels hold positions but never take the focus;
  // position 32 belongs to no control.
  // clang-format off
  const std::pair<forms::Control*, int> tabOrder[] = {
      {&Label7, 29},       {&Picture1, 1},       {&Label6, 30},        {&Picture2, 20},
      {&Label8, 31},       {&Picture3, 25},      {&cmdExit, 0},
      {&Label3, 19},       {&Label1, 18},        {&lblPicFolder, 16},  {&Command1, 12},
      {&Label5, 14},       {&chkSource, 3},      {&lblPicFolderDest, 15}, {&Command2, 4},
      {&List1, 13},        {&cmdAdd, 8},         {&cmdRemove, 7},      {&List2, 11},
      {&SelectAll, 10},    {&deselectall, 9},    {&cmdRefresh, 2},     {&SelectAll2, 6},
      {&DeselectAll2, 5},  {&Label2, 17},
      {&opt1, 35},         {&cmbRatio, 22},      {&Label4, 37},        {&lblPrefix, 24},
      {&txtPrefix, 21},    {&lblSuffix, 40},     {&txtSuffix, 41},     {&opt2, 34},
      {&txtHeight, 38},    {&chkMaintain, 33},   {&opt3, 36},          {&txtWidth, 39},
      {&chkOverwrite, 23},
      {&cmdResize, 26},    {&picProgress, 27},   {&picProgressSlide, 28},
  };
  // clang-format on
  for (const auto& [control, tab] : tabOrder) control->setTabIndex(tab);

  // Headings on the top edge of each area: centred, bordered, in the title-bar colours.
  for (forms::Label* heading : {&Label7, &Label6, &Label8}) {
    heading->alignment = forms::Alignment::Center;
    heading->border = true;
    heading->setBackColor(forms::sys::ActiveTitle);
    heading->setForeColor(forms::sys::TitleText);
    heading->setFont(HeadingFont);
  }
  // The folder labels show paths, in which "&" is a character like any other.
  for (forms::Label* folder : {&lblPicFolder, &lblPicFolderDest}) {
    folder->border = true;
    folder->UseMnemonic = false;
  }
  Label2.setFont(TipFont);
  cmdRefresh.setEnabled(false);
  cmdResize.setFont(ResizeFont);
  picProgress.setFont(ProgressFont);
  picProgressSlide.setFont(ProgressFont);
}

}  // namespace karvelo::main_window
