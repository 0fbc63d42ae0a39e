// SPDX-License-Identifier: GPL-3.0-or-later
#include "visual_styles/XPStyle.h"

namespace karvelo::visual_styles {

XPStyle::XPStyle(forms::Form& form, forms::Control* container, std::string name, int left, int top,
                 platform::CommonControls& commonControls)
    : forms::Control(form, container, forms::ControlKind::UserControl, std::move(name),
                     {left, top, SizeTwips, SizeTwips}),
      commonControls_(commonControls) {
  UserControl_Initialize();
  // Sited by its container at its design size.
  UserControl_Resize();
}

XPStyle::~XPStyle() { UserControl_Terminate(); }

void XPStyle::Move(int left, int top, int width, int height) {
  const bool resized = width != Width() || height != Height();
  forms::Control::Move(left, top, width, height);
  if (resized) UserControl_Resize();
}

void XPStyle::UserControl_Initialize() {
  // The common controls first, then the shell library; the handle is kept as it comes.
  commonControls_.initCommonControlsEx(CommonControlsRecord);
  hModShell32_ = commonControls_.loadLibrary(ShellLibrary);
}

void XPStyle::UserControl_Resize() {
  // Each assignment that changes the size runs this again; the nested runs find the width, then
  // both sides, already at their value and change nothing more.
  setWidth(SizeTwips);
  setHeight(SizeTwips);
}

void XPStyle::UserControl_Terminate() { commonControls_.freeLibrary(hModShell32_); }

}  // namespace karvelo::visual_styles
