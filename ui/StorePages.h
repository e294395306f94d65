// The store pages of the property area that have their own widget, made by name
// (the names of kStorePageNames). A page without one yet gets an empty frame from
// the main window.
#pragma once

#include "ui/ProjectWindows.h"
#include "ui/StorePage.h"

namespace tolmi::ui {

// The page for a store page name, parented to parent; null when that page has no
// widget of its own.
StorePage* MakeStorePage(const char* name, const WindowContext& ctx, QWidget* parent);

}  // namespace tolmi::ui
