// SPDX-License-Identifier: GPL-3.0-or-later
#include "resize_job/Module1.h"

#include "forms/Form.h"
#include "forms/ListBox.h"
#include "forms/PictureBox.h"
#include "forms/RuntimeError.h"
#include "platform/FileSystem.h"
#include "resize_job/Rounding.h"

namespace karvelo::resize_job {

namespace {

constexpr forms::Color HighlightRef = 0x8000000Du;      // system colour 13
constexpr forms::Color HighlightTextRef = 0x8000000Eu;  // system colour 14
constexpr int SlideTextRaise = 45;  // the slide's text stands this many twips higher

template <typename T>
T& controlNamed(forms::Form& window, const std::string& name) {
  auto* control = dynamic_cast<T*>(window.find(name));
  if (!control) throw RuntimeError(RuntimeError::InvalidCall, "the window has no control " + name);
  return *control;
}

}  // namespace

void Module1::ListFolderFiles(const std::string& folder) {
  auto& list = controlNamed<forms::ListBox>(mainWindow_, "List1");
  for (const std::string& name : files_.filesIn(folder)) {
    list.AddItem(name);
    list.setItemData(list.NewIndex(), 0);
  }
}

void Module1::InitProgressBar(forms::Form& window) {
  auto& bar = controlNamed<forms::PictureBox>(window, "picProgress");
  auto& slide = controlNamed<forms::PictureBox>(window, "picProgressSlide");
  bar.Cls();
  bar.setBackColor(HighlightTextRef);
  bar.setForeColor(HighlightRef);
  slide.Cls();
  slide.setBackColor(HighlightRef);
  slide.setForeColor(HighlightTextRef);
  slide.Move(0, 0, 0, bar.ScaleHeight());
}

void Module1::UpdateProgressBar(float fraction, forms::Form& window) {
  auto& bar = controlNamed<forms::PictureBox>(window, "picProgress");
  auto& slide = controlNamed<forms::PictureBox>(window, "picProgressSlide");
  bar.setVisible(true);
  slide.setVisible(true);
  bar.Cls();
  slide.Cls();

  slide.setWidth(roundHalfEven(singleProduct(fraction, static_cast<float>(bar.ScaleWidth()))));

  const std::string digits = std::to_string(roundHalfEven(singleProduct(fraction, 100.0f)));
  const int y = roundHalfEven((bar.ScaleHeight() - bar.TextHeight(digits)) / 2.0);
  const int x = roundHalfEven((bar.ScaleWidth() - bar.TextWidth(digits)) / 2.0);

  bar.setCurrentX(x);
  bar.setCurrentY(y);
  slide.setCurrentX(x);
  slide.setCurrentY(y - SlideTextRaise);
  bar.Print(digits + "%");
  slide.Print(digits + "%");

  bar.Refresh();
  slide.Refresh();
}

}  // namespace karvelo::resize_job
