// SPDX-License-Identifier: GPL-3.0-or-later
#include "forms/Form.h"

#include "forms/CommandButton.h"
#include "forms/OptionButton.h"

#include <algorithm>

namespace karvelo::forms {

Form::Form(std::string name, std::string caption, int clientWidth, int clientHeight)
    : name_(std::move(name)),
      caption_(std::move(caption)),
      clientWidth_(clientWidth),
      clientHeight_(clientHeight) {}

Form::~Form() = default;

void Form::setCaption(std::string caption) {
  if (caption == caption_) return;
  caption_ = std::move(caption);
  changed(Property::Caption);
}

void Form::setMousePointer(int pointer) {
  if (pointer == mousePointer_) return;
  mousePointer_ = pointer;
  changed(Property::MousePointer);
}

Control* Form::find(const std::string& name) const {
  auto it = std::find_if(controls_.begin(), controls_.end(),
                         [&](const Control* c) { return c->name() == name; });
  return it == controls_.end() ? nullptr : *it;
}

Control* Form::initialFocus() const {
  Control* best = nullptr;
  for (Control* c : controls_) {
    if (!c->canTakeFocus() || !c->Enabled() || !c->Visible() || !c->TabIndex()) continue;
    if (!best || *c->TabIndex() < *best->TabIndex()) best = c;
  }
  return best;
}

void Form::load() {
  if (loaded_) return;
  loaded_ = true;
  Form_Load();
}

void Form::Unload() {
  if (unloaded_) return;
  std::int16_t cancel = 0;
  Form_Unload(cancel);
  if (cancel != 0 || unloaded_) return;
  unloaded_ = true;
  unloaded();
}

void Form::pressEnter() {
  for (Control* c : controls_) {
    if (auto* b = dynamic_cast<CommandButton*>(c); b && b->isDefault && b->Enabled()) {
      b->click();
      return;
    }
  }
}

void Form::pressEscape() {
  for (Control* c : controls_) {
    if (auto* b = dynamic_cast<CommandButton*>(c); b && b->isCancel && b->Enabled()) {
      b->click();
      return;
    }
  }
}

void Form::unregisterControl(Control& control) {
  controls_.erase(std::remove(controls_.begin(), controls_.end(), &control), controls_.end());
}

void OptionButton::setValue(bool value) {
  if (value == value_) return;
  value_ = value;
  notify(Property::Value);
  if (!value) return;
  for (Control* c : form().controls()) {
    if (c != this && c->kind() == ControlKind::OptionButton && c->container() == container()) {
      static_cast<OptionButton*>(c)->setValue(false);
    }
  }
}

MenuEntry::MenuEntry(Form& form, MenuEntry* parent, std::string name, std::string caption)
    : name_(std::move(name)), caption_(std::move(caption)), parent_(parent) {
  if (parent_) {
    parent_->entries_.push_back(this);
  } else {
    form.registerMenu(*this);
  }
}

}  // namespace karvelo::forms
