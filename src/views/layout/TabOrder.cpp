// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/layout/TabOrder.h"

#include "forms/Form.h"

#include <algorithm>

namespace karvelo::views::layout {

namespace {

bool holdsControls(const forms::Control& control) {
  const auto& all = control.form().controls();
  return std::any_of(all.begin(), all.end(),
                     [&](const forms::Control* c) { return c->container() == &control; });
}

int depth(const forms::Control& control) {
  int d = 0;
  for (const forms::Control* c = control.container(); c; c = c->container()) ++d;
  return d;
}

void sortByTabPosition(std::vector<forms::Control*>& controls) {
  std::stable_sort(controls.begin(), controls.end(), [](forms::Control* a, forms::Control* b) {
    return *a->TabIndex() < *b->TabIndex();
  });
}

}  // namespace

std::vector<forms::Control*> tabChain(const forms::Form& form) {
  std::vector<forms::Control*> chain;
  for (forms::Control* c : form.controls()) {
    if (c->canTakeFocus() && c->TabIndex()) chain.push_back(c);
  }
  sortByTabPosition(chain);
  return chain;
}

std::vector<forms::Control*> stackingOrder(const forms::Form& form) {
  std::vector<forms::Control*> tabbed;
  std::vector<forms::Control*> others;
  std::vector<forms::Control*> containers;
  for (forms::Control* c : form.controls()) {
    if (holdsControls(*c) && !c->canTakeFocus()) {
      containers.push_back(c);
    } else if (c->TabIndex()) {
      tabbed.push_back(c);
    } else {
      others.push_back(c);
    }
  }
  sortByTabPosition(tabbed);
  std::stable_sort(containers.begin(), containers.end(),
                   [](forms::Control* a, forms::Control* b) { return depth(*a) > depth(*b); });
  tabbed.insert(tabbed.end(), others.begin(), others.end());
  tabbed.insert(tabbed.end(), containers.begin(), containers.end());
  return tabbed;
}

bool startsGroup(const std::vector<forms::Control*>& order, std::size_t index) {
  if (index == 0 || index >= order.size()) return true;
  const forms::Control& c = *order[index];
  const forms::Control& before = *order[index - 1];
  return !(c.kind() == forms::ControlKind::OptionButton &&
           before.kind() == forms::ControlKind::OptionButton &&
           before.container() == c.container());
}

}  // namespace karvelo::views::layout
