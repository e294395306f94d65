// The store's accepted credit cards and freight regions, edited outside the Store
// Wizard (the "Accepted Credit Cards" window and the region lists). Every change
// marks the project changed; a refused one changes nothing.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "project/StoreProject.h"

namespace tolmi {

// The installation's cards (cc.dat order) that the project does not accept yet.
std::vector<std::string> AvailableCards(const std::vector<InstalledCard>& installed,
                                        const StoreProject& project);

// Adds a card by name (white space around it dropped) and marks it chosen in the
// installation's list when given. False for an empty name, a name holding a line
// break (it would end the project file's line) or a card accepted already.
bool AddAcceptedCard(StoreProject& project, std::string_view name,
                     std::vector<InstalledCard>* installed = nullptr);

// Removes the card of that name and clears its mark in the installation's list.
// False when the project does not accept it.
bool RemoveAcceptedCard(StoreProject& project, std::string_view name,
                        std::vector<InstalledCard>* installed = nullptr);

// The domain list's regions that are not freight regions of the project yet.
std::vector<KnownRegion> AvailableRegions(const std::vector<KnownRegion>& domains,
                                          const StoreProject& project);

// Adds a freight region with three enabled, empty delivery-method tables (the
// key stands in for a missing name). False for an empty key or a key there
// already (ASCII case ignored).
bool AddFreightRegion(StoreProject& project, const KnownRegion& region);

// Removes the region of that key (ASCII case ignored); false when there is none.
bool RemoveFreightRegion(StoreProject& project, std::string_view key);

}  // namespace tolmi
