#include "ui/ProjectTreeView.h"

#include <QDragMoveEvent>
#include <QDropEvent>
#include <QKeyEvent>

#include "ui/ProjectTreeModel.h"

namespace tolmi::ui {

ProjectTreeView::ProjectTreeView(QWidget* parent) : QTreeView(parent) {
  setHeaderHidden(true);
  setUniformRowHeights(true);  // keeps a tree of 100,000 nodes fast to lay out
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDropIndicatorShown(true);
  setDragDropMode(QAbstractItemView::DragDrop);
  setContextMenuPolicy(Qt::CustomContextMenu);
}

std::optional<TreeKey> ProjectTreeView::KeyFor(const QKeyEvent& event) {
  const Qt::KeyboardModifiers mods = event.modifiers() & ~Qt::KeypadModifier;
  if (mods == Qt::ControlModifier) {
    switch (event.key()) {
      case Qt::Key_A: return TreeKey::SelectAll;
      case Qt::Key_C: return TreeKey::Copy;
      case Qt::Key_V: return TreeKey::Paste;
      default: return std::nullopt;
    }
  }
  if ((mods & ~Qt::ShiftModifier) != Qt::NoModifier) return std::nullopt;
  switch (event.key()) {
    case Qt::Key_Delete: return TreeKey::Delete;
    case Qt::Key_Plus: return TreeKey::MoveUp;
    case Qt::Key_Minus: return TreeKey::MoveDown;
    default: return std::nullopt;
  }
}

void ProjectTreeView::keyPressEvent(QKeyEvent* event) {
  if (!IsEditingLabel() && onKey) {
    if (std::optional<TreeKey> key = KeyFor(*event)) {
      onKey(*key);
      event->accept();
      return;
    }
  }
  QTreeView::keyPressEvent(event);
}

StoreNode* ProjectTreeView::TargetAt(const QPoint& pos) const {
  return ProjectTreeModel::NodeOf(indexAt(pos));
}

void ProjectTreeView::startDrag(Qt::DropActions actions) {
  dragged_ = ProjectTreeModel::NodeOf(currentIndex());
  QTreeView::startDrag(actions);
  dragged_ = nullptr;
}

void ProjectTreeView::dragEnterEvent(QDragEnterEvent* event) {
  if (event->source() == this && dragged_) {
    event->acceptProposedAction();
    return;
  }
  event->ignore();
}

void ProjectTreeView::dragMoveEvent(QDragMoveEvent* event) {
  QTreeView::dragMoveEvent(event);  // auto-scroll and the drop indicator
  const bool ok = event->source() == this && dragged_ && canDrop &&
                  canDrop(*dragged_, TargetAt(event->position().toPoint()));
  if (ok)
    event->acceptProposedAction();
  else
    event->ignore();
}

void ProjectTreeView::dropEvent(QDropEvent* event) {
  StoreNode* target = TargetAt(event->position().toPoint());
  if (event->source() != this || !dragged_ || !canDrop || !canDrop(*dragged_, target)) {
    event->ignore();
    return;
  }
  StoreNode* dragged = dragged_;
  // The move is done here; reporting a copy keeps the view from removing the source row.
  event->setDropAction(Qt::CopyAction);
  event->accept();
  setState(QAbstractItemView::NoState);
  if (drop) drop(*dragged, target);
}

}  // namespace tolmi::ui
