// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

namespace karvelo::forms {
class Form;
}
namespace karvelo::platform {
class FileSystem;
}

namespace karvelo::resize_job {

// The routines that the main window shares with the resize job: the folder listing into List1,
// the number of chosen files of the last Resize, and the progress bar. The window is reached
// through its controls' names ("List1", "picProgress", "picProgressSlide"), so nothing here
// depends on a particular window class. The main window owns one Module1.
class Module1 {
 public:
  Module1(forms::Form& mainWindow, const platform::FileSystem& files)
      : mainWindow_(mainWindow), files_(files) {}

  // The number of entries of List2 at the last press of Resize that got past the folder checks.
  std::int16_t FileCount = 0;

  // Appends the names of the files directly inside the folder to List1 of the main window, with
  // item data 0; List1 is not cleared first. A folder that cannot be listed (missing, empty
  // path) is a run-time failure for the caller; entries already added stay.
  void ListFolderFiles(const std::string& folder);

  // Sets up the progress bar of the window: both boxes cleared and coloured, the slide empty.
  static void InitProgressBar(forms::Form& window);
  // Redraws the progress bar for a fraction in (0, 1]: the slide's width, and the percentage
  // centred on picProgress, printed in both boxes in swapped colours; then repaints both.
  static void UpdateProgressBar(float fraction, forms::Form& window);

 private:
  forms::Form& mainWindow_;
  const platform::FileSystem& files_;
};

}  // namespace karvelo::resize_job
