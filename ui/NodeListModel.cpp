#include "ui/NodeListModel.h"

#include <algorithm>

#include "project/NodeProperties.h"
#include "ui/NodeIcons.h"
#include "ui/ProjectTreeModel.h"
#include "util/TextEncoding.h"

namespace tolmi::ui {

namespace {

enum Column { kName, kFile, kCode, kCost, kColumns };

QString Shown(const std::string& bytes) { return QString::fromStdString(DecodeForDisplay(bytes)); }

}  // namespace

NodeListModel::NodeListModel(TreeEditor& editor, QObject* parent)
    : QAbstractTableModel(parent), editor_(editor) {}

void NodeListModel::Refresh() {
  beginResetModel();
  entries_ = editor_.ListEntries();
  endResetModel();
}

StoreNode* NodeListModel::NodeAt(int row) const {
  if (row < 0 || static_cast<std::size_t>(row) >= entries_.size()) return nullptr;
  return entries_[static_cast<std::size_t>(row)];
}

int NodeListModel::RowOf(const StoreNode* node) const {
  auto it = std::find(entries_.begin(), entries_.end(), node);
  return it == entries_.end() ? -1 : static_cast<int>(it - entries_.begin());
}

int NodeListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(entries_.size());
}

int NodeListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumns;
}

QVariant NodeListModel::data(const QModelIndex& index, int role) const {
  StoreNode* node = NodeAt(index.row());
  if (!node || index.column() < 0 || index.column() >= kColumns) return {};
  if (role == Qt::DecorationRole && index.column() == kName)
    return NodeIcon(node->kind, node->Enabled());
  if (role == Qt::EditRole && index.column() == kName) return Shown(node->title);
  if (role != Qt::DisplayRole) return {};
  switch (index.column()) {
    case kName: return NodeLabel(*node);
    case kFile: return Shown(ShownFileName(*node));
    case kCode: return Shown(node->code);
    case kCost: return Shown(node->cost);
  }
  return {};
}

QVariant NodeListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  switch (section) {
    case kName: return tr("Name");
    case kFile: return tr("File");
    case kCode: return tr("Code");
    case kCost: return tr("Cost");
  }
  return {};
}

Qt::ItemFlags NodeListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsSelectable | Qt::ItemIsEnabled;
  if (index.column() == kName) f |= Qt::ItemIsEditable;
  return f;
}

bool NodeListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  StoreNode* node = NodeAt(index.row());
  if (!node || role != Qt::EditRole || index.column() != kName) return false;
  const std::string bytes =
      EncodeFromDisplay(value.toString().toStdString(), IsUtf8Text(node->title));
  if (!editor_.Rename(*node, bytes)) return false;
  emit dataChanged(index, index);
  emit renamed(node);
  return true;
}

}  // namespace tolmi::ui
