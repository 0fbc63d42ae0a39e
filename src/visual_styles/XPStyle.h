// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "forms/Control.h"
#include "platform/CommonControls.h"

#include <string>

namespace karvelo::visual_styles {

// The visual-style control: a user control of the program that, when created, initialises the
// operating system's common controls and loads the shell library, keeping it loaded for as long
// as the instance lives. Its size is fixed at 810 x 810 twips whatever its container asks. It
// offers no properties, methods or events of its own and takes no focus. It draws nothing at run
// time; its face (the picture "xpstyle" among the resources) serves where controls are shown as
// pictures, with magenta marking what lies outside its rounded corners.
//
// The program never destroys its instance: ending the program ends the process at once, so the
// library is released by the end of the process. An instance destroyed while the program goes
// on frees the library itself.
class XPStyle final : public forms::Control {
 public:
  // The control's one size: 54 x 54 pixels at 15 twips a pixel.
  static constexpr int SizeTwips = 810;
  // The control classes registered at creation: ICC_USEREX_CLASSES, the extended combo box.
  static constexpr platform::InitCommonControlsRecord CommonControlsRecord{8, 0x200};
  static constexpr const char* ShellLibrary = "shell32.dll";

  // Creates the instance at its place in the container, at its design size.
  XPStyle(forms::Form& form, forms::Control* container, std::string name, int left, int top,
          platform::CommonControls& commonControls);
  ~XPStyle() override;

  // Sets position and size as any control does; a change of size then runs UserControl_Resize,
  // which puts the size back.
  void Move(int left, int top, int width, int height) override;

 private:
  void UserControl_Initialize();
  void UserControl_Resize();
  void UserControl_Terminate();

  platform::CommonControls& commonControls_;
  // The shell library's module handle: 0 until loaded, and 0 if loading failed.
  platform::ModuleHandle hModShell32_ = 0;
};

}  // namespace karvelo::visual_styles
