#include "ui/ProjectTreeModel.h"

#include "ui/NodeIcons.h"
#include "util/TextEncoding.h"

namespace tolmi::ui {

namespace {

QString FromBytes(const std::string& bytes) {
  return QString::fromStdString(DecodeForDisplay(bytes));
}

}  // namespace

QString NodeLabel(StoreNode& node) { return FromBytes(DisplayName(node)); }

ProjectTreeModel::ProjectTreeModel(TreeEditor& editor, QObject* parent)
    : QAbstractItemModel(parent), editor_(editor) {
  editor_.SetListener(this);
}

ProjectTreeModel::~ProjectTreeModel() { editor_.SetListener(nullptr); }

StoreNode* ProjectTreeModel::NodeOf(const QModelIndex& index) {
  return index.isValid() ? static_cast<StoreNode*>(index.internalPointer()) : nullptr;
}

QModelIndex ProjectTreeModel::IndexOf(const StoreNode* node) const {
  if (!node || node->isTopHolder) return {};
  return createIndex(static_cast<int>(node->indexInParent), 0, const_cast<StoreNode*>(node));
}

const StoreNode& ProjectTreeModel::Holder(const QModelIndex& parent) const {
  StoreNode* node = NodeOf(parent);
  return node ? *node : editor_.project().top();
}

void ProjectTreeModel::Reset() {
  beginResetModel();
  endResetModel();
}

void ProjectTreeModel::NodeChanged(StoreNode& node) { Changed(node); }

QModelIndex ProjectTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (row < 0 || column != 0 || (parent.isValid() && parent.column() != 0)) return {};
  const StoreNode& holder = Holder(parent);
  if (static_cast<std::size_t>(row) >= holder.children.size()) return {};
  return createIndex(row, 0, holder.children[static_cast<std::size_t>(row)].get());
}

QModelIndex ProjectTreeModel::parent(const QModelIndex& child) const {
  StoreNode* node = NodeOf(child);
  if (!node || !node->parent || node->parent->isTopHolder) return {};
  return IndexOf(node->parent);
}

int ProjectTreeModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() && parent.column() != 0) return 0;
  return static_cast<int>(Holder(parent).children.size());
}

int ProjectTreeModel::columnCount(const QModelIndex&) const { return 1; }

bool ProjectTreeModel::hasChildren(const QModelIndex& parent) const {
  if (parent.isValid() && parent.column() != 0) return false;
  return !Holder(parent).children.empty();
}

QVariant ProjectTreeModel::data(const QModelIndex& index, int role) const {
  StoreNode* node = NodeOf(index);
  if (!node) return {};
  switch (role) {
    case Qt::DisplayRole: return NodeLabel(*node);
    case Qt::EditRole: return FromBytes(node->title);
    case Qt::DecorationRole: return NodeIcon(node->kind, node->Enabled());
    case Qt::ToolTipRole:
      return node->file.empty() ? QVariant() : QVariant(FromBytes(node->file));
    default: return {};
  }
}

bool ProjectTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  StoreNode* node = NodeOf(index);
  if (!node || role != Qt::EditRole) return false;
  const std::string bytes =
      EncodeFromDisplay(value.toString().toStdString(), IsUtf8Text(node->title));
  if (!editor_.Rename(*node, bytes)) return false;  // the editor reports Changed
  emit renamed(node);
  return true;
}

Qt::ItemFlags ProjectTreeModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable | Qt::ItemIsDragEnabled |
         Qt::ItemIsDropEnabled;
}

void ProjectTreeModel::AboutToInsert(const StoreNode& holder, std::size_t row) {
  const int r = static_cast<int>(row);
  beginInsertRows(IndexOf(&holder), r, r);
}

void ProjectTreeModel::Inserted(StoreNode&) { endInsertRows(); }

void ProjectTreeModel::AboutToRemove(const StoreNode& node) {
  const int r = static_cast<int>(node.indexInParent);
  beginRemoveRows(IndexOf(node.parent), r, r);
}

void ProjectTreeModel::Removed(const StoreNode&, std::size_t) { endRemoveRows(); }

void ProjectTreeModel::AboutToMove(const StoreNode& node, const StoreNode& newHolder,
                                   std::size_t destRow) {
  const int r = static_cast<int>(node.indexInParent);
  // Qt refuses a move to where the node already is; then nothing visible changes.
  moving_ = beginMoveRows(IndexOf(node.parent), r, r, IndexOf(&newHolder),
                          static_cast<int>(destRow));
}

void ProjectTreeModel::Moved(StoreNode&) {
  if (moving_) endMoveRows();
  moving_ = false;
}

void ProjectTreeModel::Changed(StoreNode& node) {
  QModelIndex i = IndexOf(&node);
  if (i.isValid()) emit dataChanged(i, i);
}

}  // namespace tolmi::ui
