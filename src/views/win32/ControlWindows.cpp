// SPDX-License-Identifier: GPL-3.0-or-later
// The windows of labels, buttons, check boxes, option buttons, text boxes, the drop-down, and of
// the controls that have none of their own.
#include "forms/CheckBox.h"
#include "forms/ComboBox.h"
#include "forms/CommandButton.h"
#include "forms/Label.h"
#include "forms/OptionButton.h"
#include "forms/TextBox.h"
#include "views/win32/Appearance.h"
#include "views/win32/ControlWindow.h"
#include "views/win32/FormWindow.h"
#include "views/win32/ListBoxWindow.h"
#include "views/win32/PictureBoxWindow.h"
#include "views/win32/Wide.h"

#include <windowsx.h>

namespace karvelo::views::win32 {

namespace {

// The dialog manager's styles: a control that takes the focus is a tab stop; `group` starts a
// group for the arrow keys.
DWORD tabStyles(const forms::Control& control, bool group) {
  DWORD style = group ? WS_GROUP : 0;
  if (control.canTakeFocus() && control.TabIndex()) style |= WS_TABSTOP;
  return style;
}

// Text and background of a control that paints its own background in the model's colours.
HBRUSH paintColors(HDC dc, const forms::Control& control, Appearance& appearance) {
  SetTextColor(dc, Appearance::color(control.ForeColor()));
  SetBkColor(dc, Appearance::color(control.BackColor()));
  return appearance.brush(control.BackColor());
}

class LabelWindow final : public ControlWindow {
 public:
  LabelWindow(FormWindow& owner, forms::Label& label)
      : ControlWindow(owner, label), label_(label) {}

  void create(bool group) override {
    DWORD style = SS_NOTIFY | tabStyles(label_, group);
    style |= label_.alignment == forms::Alignment::Center  ? SS_CENTER
             : label_.alignment == forms::Alignment::Right ? SS_RIGHT
                                                           : SS_LEFT;
    if (!label_.UseMnemonic) style |= SS_NOPREFIX;
    // A transparent label is painted after what lies beneath it and does not cut it out.
    const DWORD exStyle =
        (label_.border ? WS_EX_CLIENTEDGE : 0) | (label_.transparent ? WS_EX_TRANSPARENT : 0);
    createWindow(L"STATIC", widen(label_.Caption()), style, exStyle);
  }

  HBRUSH colors(HDC dc) override {
    if (!label_.transparent) return paintColors(dc, label_, owner_.appearance());
    SetTextColor(dc, Appearance::color(label_.ForeColor()));
    SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
  }

  void command(WORD code) override {
    if (code == STN_CLICKED) dispatch([this] { label_.click(); });
  }

 protected:
  void changed(forms::Property property) override {
    if (property == forms::Property::Caption) {
      SetWindowTextW(hwnd_, widen(label_.Caption()).c_str());
      // A transparent label's old text is gone only once what lies beneath has been redrawn.
      if (label_.transparent) redrawBeneath();
    }
    if (property == forms::Property::Colors) InvalidateRect(hwnd_, nullptr, TRUE);
  }

 private:
  void redrawBeneath() {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    MapWindowPoints(nullptr, owner_.hwnd(), reinterpret_cast<POINT*>(&r), 2);
    RedrawWindow(owner_.hwnd(), &r, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  }

  forms::Label& label_;
};

class ButtonWindow final : public ControlWindow {
 public:
  ButtonWindow(FormWindow& owner, forms::CommandButton& button)
      : ControlWindow(owner, button), button_(button) {}

  void create(bool group) override {
    const DWORD kind = button_.isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
    createWindow(L"BUTTON", widen(button_.Caption()), kind | tabStyles(button_, group));
  }

  void command(WORD code) override {
    if (code == BN_CLICKED) dispatch([this] { button_.click(); });
  }

 protected:
  void changed(forms::Property property) override {
    if (property == forms::Property::Caption)
      SetWindowTextW(hwnd_, widen(button_.Caption()).c_str());
  }

 private:
  forms::CommandButton& button_;
};

// A check box: the model decides what a click does (a grayed box becomes ticked), the window
// only shows the value.
class CheckBoxWindow final : public ControlWindow {
 public:
  CheckBoxWindow(FormWindow& owner, forms::CheckBox& box) : ControlWindow(owner, box), box_(box) {}

  void create(bool group) override {
    createWindow(L"BUTTON", widen(box_.Caption()), BS_3STATE | tabStyles(box_, group));
    showValue();
  }

  void command(WORD code) override {
    if (code == BN_CLICKED) dispatch([this] { box_.click(); });
  }

  HBRUSH colors(HDC dc) override { return paintColors(dc, box_, owner_.appearance()); }

 protected:
  void changed(forms::Property property) override {
    if (property == forms::Property::Value) showValue();
    if (property == forms::Property::Caption) SetWindowTextW(hwnd_, widen(box_.Caption()).c_str());
  }

 private:
  void showValue() {
    const WPARAM state = box_.Value() == forms::CheckBox::Checked  ? BST_CHECKED
                         : box_.Value() == forms::CheckBox::Grayed ? BST_INDETERMINATE
                                                                   : BST_UNCHECKED;
    Button_SetCheck(hwnd_, state);
  }

  forms::CheckBox& box_;
};

// An option button. The window checks itself on a click and on the arrow keys, as the system's
// option buttons do; the model then clears the others of its container, and every window shows
// its model's value. Checking one makes it the group's tab stop.
class OptionButtonWindow final : public ControlWindow {
 public:
  OptionButtonWindow(FormWindow& owner, forms::OptionButton& option)
      : ControlWindow(owner, option), option_(option) {}

  void create(bool group) override {
    createWindow(L"BUTTON", widen(option_.Caption()),
                 BS_AUTORADIOBUTTON | tabStyles(option_, group));
    showValue();
  }

  void command(WORD code) override {
    if (code == BN_CLICKED) dispatch([this] { option_.click(); });
    showValue();
  }

  HBRUSH colors(HDC dc) override { return paintColors(dc, option_, owner_.appearance()); }

 protected:
  void changed(forms::Property property) override {
    if (property == forms::Property::Value) showValue();
    if (property == forms::Property::Caption)
      SetWindowTextW(hwnd_, widen(option_.Caption()).c_str());
  }

 private:
  // Only a change is sent: the window takes its tab stop away when told it is clear.
  void showValue() {
    if (!hwnd_) return;
    const bool checked = Button_GetCheck(hwnd_) == BST_CHECKED;
    if (checked != option_.Value())
      Button_SetCheck(hwnd_, option_.Value() ? BST_CHECKED : BST_UNCHECKED);
  }

  forms::OptionButton& option_;
};

// A text box: typing sets the model's text and runs no handler.
class TextBoxWindow final : public ControlWindow {
 public:
  TextBoxWindow(FormWindow& owner, forms::TextBox& box) : ControlWindow(owner, box), box_(box) {}

  void create(bool group) override {
    createWindow(L"EDIT", widen(box_.Text()), ES_AUTOHSCROLL | tabStyles(box_, group),
                 WS_EX_CLIENTEDGE);
  }

  void command(WORD code) override {
    if (code != EN_CHANGE) return;
    std::string text = windowText(hwnd_);
    if (text != box_.Text()) dispatch([this, &text] { box_.setText(std::move(text)); });
  }

  // A disabled box keeps the system's greyed look.
  HBRUSH colors(HDC dc) override {
    return IsWindowEnabled(hwnd_) ? paintColors(dc, box_, owner_.appearance()) : nullptr;
  }

 protected:
  void changed(forms::Property property) override {
    if (property == forms::Property::Text && windowText(hwnd_) != box_.Text()) {
      SetWindowTextW(hwnd_, widen(box_.Text()).c_str());
    }
  }

 private:
  forms::TextBox& box_;
};

// The drop-down with an editable field, its list in the order entries were added.
class ComboBoxWindow final : public ControlWindow {
 public:
  ComboBoxWindow(FormWindow& owner, forms::ComboBox& combo)
      : ControlWindow(owner, combo), combo_(combo) {}

  void create(bool group) override {
    createWindow(L"COMBOBOX", L"",
                 CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | tabStyles(combo_, group));
    showItems();
  }

  // The window holds the dropped list as well: room for eight entries below the field. The
  // closed box is as high as the system makes it for its font.
  layout::PixelRect windowPlace() const override {
    layout::PixelRect r = ControlWindow::windowPlace();
    r.height += 8 * r.height;
    return r;
  }

  void command(WORD code) override {
    if (code == CBN_EDITCHANGE) {
      std::string text = windowText(hwnd_);
      dispatch([this, &text] { combo_.setText(std::move(text)); });
    } else if (code == CBN_SELCHANGE) {
      // The window shows the entry the user chose; the model only follows.
      const int index = ComboBox_GetCurSel(hwnd_);
      choosing_ = true;
      dispatch([this, index] { combo_.setListIndex(index); });
      choosing_ = false;
    }
  }

 protected:
  void changed(forms::Property property) override {
    if (property == forms::Property::Items) showItems();
    if (property == forms::Property::Text && !choosing_) showText();
  }

 private:
  void showItems() {
    ComboBox_ResetContent(hwnd_);
    for (int i = 0; i < combo_.ListCount(); ++i) {
      SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(combo_.List(i)).c_str()));
    }
    showText();
  }

  // Choosing no entry also empties the field, so the text comes after the choice.
  void showText() {
    if (ComboBox_GetCurSel(hwnd_) != combo_.ListIndex())
      ComboBox_SetCurSel(hwnd_, combo_.ListIndex());
    if (windowText(hwnd_) != combo_.Text()) SetWindowTextW(hwnd_, widen(combo_.Text()).c_str());
  }

  forms::ComboBox& combo_;
  bool choosing_ = false;
};

// A line, or the visual-style control: no window of its own. A line is drawn by its container.
class WindowlessControl final : public ControlWindow {
 public:
  using ControlWindow::ControlWindow;
  void create(bool) override {}

 protected:
  void changed(forms::Property property) override {
    if (property == forms::Property::Colors || property == forms::Property::Geometry) {
      const forms::Control* container = control_.container();
      HWND drawer = container ? owner_.handleOf(*container) : nullptr;
      InvalidateRect(drawer ? drawer : owner_.hwnd(), nullptr, TRUE);
    }
  }
};

}  // namespace

std::unique_ptr<ControlWindow> makeControlWindow(FormWindow& owner, forms::Control& control) {
  switch (control.kind()) {
    case forms::ControlKind::Label:
      return std::make_unique<LabelWindow>(owner, static_cast<forms::Label&>(control));
    case forms::ControlKind::CommandButton:
      return std::make_unique<ButtonWindow>(owner, static_cast<forms::CommandButton&>(control));
    case forms::ControlKind::CheckBox:
      return std::make_unique<CheckBoxWindow>(owner, static_cast<forms::CheckBox&>(control));
    case forms::ControlKind::OptionButton:
      return std::make_unique<OptionButtonWindow>(owner,
                                                  static_cast<forms::OptionButton&>(control));
    case forms::ControlKind::TextBox:
      return std::make_unique<TextBoxWindow>(owner, static_cast<forms::TextBox&>(control));
    case forms::ControlKind::ComboBox:
      return std::make_unique<ComboBoxWindow>(owner, static_cast<forms::ComboBox&>(control));
    case forms::ControlKind::ListBox:
      return std::make_unique<ListBoxWindow>(owner, static_cast<forms::ListBox&>(control));
    case forms::ControlKind::PictureBox:
      return std::make_unique<PictureBoxWindow>(owner, static_cast<forms::PictureBox&>(control));
    case forms::ControlKind::Line:
    case forms::ControlKind::UserControl:
      break;
  }
  return std::make_unique<WindowlessControl>(owner, control);
}

}  // namespace karvelo::views::win32
