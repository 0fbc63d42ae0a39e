// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/qt/ListBoxModel.h"

#include <QAbstractItemView>
#include <QScrollBar>
#include <limits>

namespace karvelo::views::qt {

namespace {

// Sets a flag for the length of a scope, so that changes the model makes to the view (or the
// view to the model) are not reflected back.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag), previous_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = previous_; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
  bool previous_;
};

}  // namespace

ListBoxModel::ListBoxModel(forms::ListBox& box, QObject* parent)
    : QAbstractListModel(parent), box_(&box) {
  connection_ = box.listChanged.connect([this](const forms::ListChange& c) { onListChanged(c); });
}

ListBoxModel::~ListBoxModel() { detach(); }

void ListBoxModel::detach() {
  if (!box_) return;
  box_->listChanged.disconnect(connection_);
  if (!resetPending_) beginResetModel();
  box_ = nullptr;
  resetPending_ = false;
  endResetModel();
}

int ListBoxModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || !box_) return 0;
  return box_->ListCount();
}

QVariant ListBoxModel::data(const QModelIndex& index, int role) const {
  if (!box_ || role != Qt::DisplayRole || index.row() < 0 || index.row() >= box_->ListCount()) {
    return {};
  }
  return QString::fromStdString(box_->List(index.row()));
}

void ListBoxModel::attach(QAbstractItemView& view) {
  view_ = &view;
  view.setModel(this);
  connect(view.selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this](const QItemSelection& selected, const QItemSelection& deselected) {
            onViewSelectionChanged(selected, deselected);
          });
  showSelection(0, rowCount() - 1);
}

void ListBoxModel::hold() {
  held_ = true;
  heldChanges_ = 0;
}

void ListBoxModel::release() {
  held_ = false;
  heldChanges_ = 0;
  FlagScope syncing(syncing_);
  if (resetPending_) {
    resetPending_ = false;
    endResetModel();
    selectionChangedInModel(0, rowCount() - 1);
    if (view_) {
      // Keep the user's place in the list: lay the rows out now so the scroll range is known.
      view_->doItemsLayout();
      view_->verticalScrollBar()->setValue(scrollBeforeReset_);
    }
  }
  showPendingSelection();
}

void ListBoxModel::selectionChangedInModel(int first, int last) {
  if (!selectionPending_) {
    pendingFirst_ = first;
    pendingLast_ = last;
  } else {
    pendingFirst_ = std::min(pendingFirst_, first);
    pendingLast_ = std::max(pendingLast_, last);
  }
  selectionPending_ = true;
  if (held_ || selectionQueued_) return;
  selectionQueued_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        selectionQueued_ = false;
        if (!held_) showPendingSelection();
      },
      Qt::QueuedConnection);
}

void ListBoxModel::showPendingSelection() {
  if (!selectionPending_) return;
  selectionPending_ = false;
  showSelection(pendingFirst_, pendingLast_);
}

void ListBoxModel::onListChanged(const forms::ListChange& change) {
  using forms::ListChange;
  if (change.kind == ListChange::Selection) {
    if (!syncing_) selectionChangedInModel(change.first, change.last);
    return;
  }
  if (resetPending_) return;  // one reset covers every change until the handler returns
  // Rows shift under a pending selection update: show the whole list's selection then.
  if (selectionPending_) {
    pendingFirst_ = 0;
    pendingLast_ = std::numeric_limits<int>::max();
  }
  if (change.about && held_ && ++heldChanges_ > IncrementalChanges) {
    resetPending_ = true;
    if (view_) scrollBeforeReset_ = view_->verticalScrollBar()->value();
    beginResetModel();
    return;
  }
  FlagScope syncing(syncing_);
  switch (change.kind) {
    case ListChange::Insert:
      if (change.about) {
        beginInsertRows(QModelIndex(), change.first, change.last);
      } else {
        endInsertRows();
      }
      break;
    case ListChange::Remove:
      if (change.about) {
        beginRemoveRows(QModelIndex(), change.first, change.last);
      } else {
        endRemoveRows();
      }
      break;
    case ListChange::Reset:
      if (change.about) {
        beginResetModel();
      } else {
        endResetModel();
      }
      break;
    case ListChange::Selection:
      break;
  }
}

void ListBoxModel::onViewSelectionChanged(const QItemSelection& selected,
                                          const QItemSelection& deselected) {
  if (syncing_ || !box_) return;
  FlagScope syncing(syncing_);
  applyToModel(deselected, false);
  applyToModel(selected, true);
}

void ListBoxModel::applyToModel(const QItemSelection& ranges, bool selected) {
  for (const QItemSelectionRange& range : ranges) {
    if (range.top() == range.bottom()) {
      box_->setSelected(range.top(), selected);
    } else {
      // One message for a whole run of entries.
      const auto bounds =
          static_cast<std::intptr_t>(static_cast<std::uint32_t>(range.top()) |
                                     (static_cast<std::uint32_t>(range.bottom()) << 16));
      box_->sendMessage(forms::ListBox::LB_SELITEMRANGE, selected ? 1 : 0, bounds);
    }
  }
}

void ListBoxModel::showSelection(int first, int last) {
  if (!view_ || !box_) return;
  first = std::max(first, 0);
  last = std::min(last, box_->ListCount() - 1);
  if (first > last) return;
  QItemSelection select;
  QItemSelection deselect;
  int runStart = first;
  for (int row = first; row <= last + 1; ++row) {
    const bool runEnds = row > last || box_->Selected(row) != box_->Selected(runStart);
    if (!runEnds) continue;
    QItemSelection& target = box_->Selected(runStart) ? select : deselect;
    target.select(index(runStart), index(row - 1));
    runStart = row;
  }
  FlagScope syncing(syncing_);
  QItemSelectionModel* model = view_->selectionModel();
  if (first == 0 && last == box_->ListCount() - 1) {
    // The whole list: replace the selection rather than merge into it.
    model->select(select, QItemSelectionModel::ClearAndSelect);
    return;
  }
  if (!deselect.isEmpty()) model->select(deselect, QItemSelectionModel::Deselect);
  if (!select.isEmpty()) model->select(select, QItemSelectionModel::Select);
}

}  // namespace karvelo::views::qt
