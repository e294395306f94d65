// The icons of the project tree and the node list: one per node kind, in an
// enabled and a disabled form, drawn once and kept.
#pragma once

#include <QIcon>

#include "project/StoreNode.h"

namespace tolmi::ui {

// The icon of a node of the kind; disabled nodes get a greyed, crossed form.
QIcon NodeIcon(NodeKind kind, bool enabled);

}  // namespace tolmi::ui
