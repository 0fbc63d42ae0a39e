// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

namespace karvelo::forms {
class Control;
class Form;
}  // namespace karvelo::forms

namespace karvelo::views::layout {

// The controls that take the focus, in tab order: by tab position, ties in the order made.
std::vector<forms::Control*> tabChain(const forms::Form& form);

// Every control, in the order in which a window system that walks sibling windows for Tab and
// access keys must stack them, top first: the controls with a tab position in tab order (labels
// among them, so that a label's access key leads to the control after it), then the others, and
// last the containers, those deepest inside first, so that each lies below what it holds.
std::vector<forms::Control*> stackingOrder(const forms::Form& form);

// Whether the control at `index` of a stacking order starts a group for the arrow keys: every
// control does, except an option button that follows one of the same container. The option
// buttons that share a container form one group; setting one clears the others.
bool startsGroup(const std::vector<forms::Control*>& order, std::size_t index);

}  // namespace karvelo::views::layout
