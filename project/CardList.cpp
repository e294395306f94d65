#include "project/CardList.h"

#include <algorithm>

#include "util/Strings.h"

namespace tolmi {
namespace {

bool Accepts(const StoreProject& project, std::string_view name) {
  return std::any_of(project.cards.begin(), project.cards.end(),
                     [&](const AcceptedCard& c) { return c.name == name; });
}

bool HasRegion(const StoreProject& project, std::string_view key) {
  return std::any_of(project.regions.begin(), project.regions.end(),
                     [&](const FreightRegion& r) { return EqualsNoCase(r.key, key); });
}

void MarkInstalled(std::vector<InstalledCard>* installed, std::string_view name, bool chosen) {
  if (installed == nullptr) return;
  for (InstalledCard& card : *installed)
    if (card.name == name) card.chosen = chosen;
}

}  // namespace

std::vector<std::string> AvailableCards(const std::vector<InstalledCard>& installed,
                                        const StoreProject& project) {
  std::vector<std::string> names;
  for (const InstalledCard& card : installed)
    if (!Accepts(project, card.name)) names.push_back(card.name);
  return names;
}

bool AddAcceptedCard(StoreProject& project, std::string_view name,
                     std::vector<InstalledCard>* installed) {
  std::string trimmed(name);
  StrTrimWhite(trimmed);
  if (trimmed.empty() || trimmed.find_first_of("\r\n") != std::string::npos) return false;
  if (Accepts(project, trimmed)) return false;
  project.cards.push_back({trimmed, 1});
  MarkInstalled(installed, trimmed, true);
  project.changed = true;
  return true;
}

bool RemoveAcceptedCard(StoreProject& project, std::string_view name,
                        std::vector<InstalledCard>* installed) {
  auto& cards = project.cards;
  auto it = std::find_if(cards.begin(), cards.end(),
                         [&](const AcceptedCard& c) { return c.name == name; });
  if (it == cards.end()) return false;
  const std::string removed = it->name;
  cards.erase(it);
  MarkInstalled(installed, removed, false);
  project.changed = true;
  return true;
}

std::vector<KnownRegion> AvailableRegions(const std::vector<KnownRegion>& domains,
                                          const StoreProject& project) {
  std::vector<KnownRegion> regions;
  for (const KnownRegion& region : domains)
    if (!HasRegion(project, region.key)) regions.push_back(region);
  return regions;
}

bool AddFreightRegion(StoreProject& project, const KnownRegion& known) {
  if (known.key.empty() || HasRegion(project, known.key)) return false;
  FreightRegion region;
  region.key = known.key;
  region.name = known.name.empty() ? known.key : known.name;
  project.regions.push_back(std::move(region));
  project.changed = true;
  return true;
}

bool RemoveFreightRegion(StoreProject& project, std::string_view key) {
  auto& regions = project.regions;
  auto it = std::find_if(regions.begin(), regions.end(),
                         [&](const FreightRegion& r) { return EqualsNoCase(r.key, key); });
  if (it == regions.end()) return false;
  regions.erase(it);
  project.changed = true;
  return true;
}

}  // namespace tolmi
