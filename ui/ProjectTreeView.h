// The project tree view: the tree's own keys (Ctrl+A, Ctrl+C, Ctrl+V, Delete, "+"
// and "-", handled here rather than as shortcuts so that a label being edited gets
// every key) and dragging a node onto another, checked by the window's drop rule.
#pragma once

#include <QTreeView>
#include <functional>

#include "project/StoreNode.h"

namespace tolmi::ui {

// What a key of the tree asks for.
enum class TreeKey { SelectAll, Copy, Paste, Delete, MoveUp, MoveDown };

class ProjectTreeView : public QTreeView {
  Q_OBJECT
 public:
  explicit ProjectTreeView(QWidget* parent = nullptr);

  std::function<void(TreeKey)> onKey;
  // Whether dragged may be dropped onto target (null: below the nodes), and the drop.
  std::function<bool(StoreNode& dragged, StoreNode* target)> canDrop;
  std::function<void(StoreNode& dragged, StoreNode* target)> drop;

  // Whether a label is being edited in place.
  bool IsEditingLabel() const { return state() == QAbstractItemView::EditingState; }

  // The key a key press stands for, if any.
  static std::optional<TreeKey> KeyFor(const QKeyEvent& event);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void startDrag(Qt::DropActions actions) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  StoreNode* TargetAt(const QPoint& pos) const;

  StoreNode* dragged_ = nullptr;  // the node being dragged from this view
};

}  // namespace tolmi::ui
