// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractListModel>
#include <QItemSelection>

#include "forms/ListBox.h"

class QAbstractItemView;

namespace karvelo::views::qt {

// A Qt item model that reads a list box of the form model directly, without a copy of its
// entries, and keeps a view's selection and the entries' selected state in step both ways.
//
// While a handler runs (hold .. release), a burst of structural changes is coalesced: the first
// few reach the view one by one, and beyond that the model announces one reset that ends when the
// handler returns, so moving thousands of entries costs the view one relayout instead of
// thousands. Selection changes made by the program reach the view together: when the handler
// returns, or, outside handlers, once the event loop runs again.
class ListBoxModel final : public QAbstractListModel {
 public:
  ListBoxModel(forms::ListBox& box, QObject* parent);
  ~ListBoxModel() override;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  // Binds the view whose selection mirrors the entries' selected state.
  void attach(QAbstractItemView& view);
  void hold();
  void release();
  // Stops reading the list box, which may be about to go away; the model then shows no rows.
  void detach();

 private:
  static constexpr int IncrementalChanges = 64;

  void onListChanged(const forms::ListChange& change);
  void onViewSelectionChanged(const QItemSelection& selected, const QItemSelection& deselected);
  void applyToModel(const QItemSelection& ranges, bool selected);
  void showSelection(int first, int last);
  void selectionChangedInModel(int first, int last);
  void showPendingSelection();

  forms::ListBox* box_;
  int connection_ = 0;
  QAbstractItemView* view_ = nullptr;
  bool held_ = false;
  int heldChanges_ = 0;
  bool resetPending_ = false;
  bool selectionPending_ = false;
  bool selectionQueued_ = false;
  int pendingFirst_ = 0;
  int pendingLast_ = -1;
  int scrollBeforeReset_ = 0;
  bool syncing_ = false;
};

}  // namespace karvelo::views::qt
