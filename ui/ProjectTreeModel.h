// The project tree as a Qt model: no item per node, every index points straight at
// its StoreNode (internalPointer), so a project of 100,000 nodes opens at once. It
// listens to the tree editor's change reports and turns them into single row
// inserts, removes, moves and data changes; only opening another project resets it.
#pragma once

#include <QAbstractItemModel>

#include "project/TreeEditing.h"

namespace tolmi::ui {

class ProjectTreeModel : public QAbstractItemModel, public TreeListener {
  Q_OBJECT
 public:
  // Becomes the editor's listener. The project must be the editor's.
  ProjectTreeModel(TreeEditor& editor, QObject* parent = nullptr);
  ~ProjectTreeModel() override;

  // The node of an index (null for the invalid index), and the index of a node
  // (invalid for null and for the top-level holder).
  static StoreNode* NodeOf(const QModelIndex& index);
  QModelIndex IndexOf(const StoreNode* node) const;

  // The whole tree was replaced (open, restore, merge, new store).
  void Reset();
  // The node's label or icon changed outside the editor (its page was applied).
  void NodeChanged(StoreNode& node);

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  Qt::DropActions supportedDropActions() const override { return Qt::MoveAction; }

 signals:
  // A label edit renamed a node (the project is now changed).
  void renamed(StoreNode* node);

 private:
  // TreeListener
  void AboutToInsert(const StoreNode& holder, std::size_t row) override;
  void Inserted(StoreNode& node) override;
  void AboutToRemove(const StoreNode& node) override;
  void Removed(const StoreNode& holder, std::size_t row) override;
  void AboutToMove(const StoreNode& node, const StoreNode& newHolder,
                   std::size_t destRow) override;
  void Moved(StoreNode& node) override;
  void Changed(StoreNode& node) override;

  const StoreNode& Holder(const QModelIndex& parent) const;

  TreeEditor& editor_;
  bool moving_ = false;  // a move was announced with beginMoveRows
};

// The text a node shows: its display name, decoded for display.
QString NodeLabel(StoreNode& node);

}  // namespace tolmi::ui
