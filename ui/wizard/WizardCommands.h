// The store set-up commands around the Store Wizard: New Store, Add/Remove
// Freight Regions, the "Tax Options" window (whose Edit runs the wizard's tax
// pages) and the "Accepted Credit Cards" window. Each shows its window modally
// and leaves the project changed but unsaved.
#pragma once

#include "project/StoreWizard.h"
#include "ui/ProjectWindows.h"
#include "util/Result.h"

namespace tolmi::ui {

// Runs the Store Wizard window in mode and, when it was finished, completes it
// (the style's templates, the cards' marks, the freight preset on presetMethod,
// the delivery method shown in the freight grid). A
// new store is remembered first in the recent list; a folder that names an
// existing project whose load was chosen opens that project. Cancelled when the
// merchant cancelled.
Status StoreWizardCommand(const WindowContext& ctx, WizardMode mode, int presetMethod = 0);

// File, New Store: the unsaved-changes question when the open project has a store
// title (a failed save stops here), then the wizard in new-store mode.
Status NewStoreCommand(const WindowContext& ctx);

// Add/Remove Freight Regions: the wizard in regions-only mode.
Status FreightRegionsCommand(const WindowContext& ctx);

// The "Tax Options" window: the tax summary and "&Edit", which runs the wizard's
// tax pages and shows the new summary.
void TaxOptionsCommand(const WindowContext& ctx);

// The "Accepted Credit Cards" window: the installation's cards, the accepted ones
// and "Other:"; changes apply at once.
void CreditCardsCommand(const WindowContext& ctx);

}  // namespace tolmi::ui
