// The node list: the children of the current tree node, one row each, with the
// columns "Name", "File", "Code" and "Cost". It is small (one node's children),
// so it is simply refreshed after every edit.
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "project/TreeEditing.h"

namespace tolmi::ui {

class NodeListModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  explicit NodeListModel(TreeEditor& editor, QObject* parent = nullptr);

  // Reads the entries again from the editor (TreeEditor::ListEntries).
  void Refresh();
  // The node of a row, or null.
  StoreNode* NodeAt(int row) const;
  // The row of a node, or -1.
  int RowOf(const StoreNode* node) const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

 signals:
  void renamed(StoreNode* node);

 private:
  TreeEditor& editor_;
  std::vector<StoreNode*> entries_;
};

}  // namespace tolmi::ui
