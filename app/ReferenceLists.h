// The installation's reference lists: "domain.dat" (regions for freight rules),
// "cc.dat" (card names the merchant picks from) and "settings.dat" (the product's
// web-page addresses, plain or packed). Loaded at start-up, kept until exit.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "app/Config.h"
#include "project/StoreSettings.h"
#include "util/Platform.h"
#include "util/Result.h"

namespace tolmi {

// Regions of a "domain.dat" text: per line the key up to the first space and the
// name after the following spaces and tabs, cut at the first ",". Lines without a
// space are skipped; file order is kept.
std::vector<KnownRegion> ParseDomainList(std::string_view text);

// Loads path into regions unless regions is already filled. When the file cannot
// be opened shows "ERROR W106: Unable to Load Domains List 'domain.dat'" (titled
// "Error") and returns NotFound; regions then stay empty.
Status LoadDomainList(const std::string& path, std::vector<KnownRegion>& regions,
                      Prompter& prompter);

// Card names of a "cc.dat" text: one per line; lines starting with ";" and lines
// empty after trimming are skipped; file order is kept.
std::vector<InstalledCard> ParseCardList(std::string_view text);

// Loads path into cards (replacing them). When the file cannot be opened shows
// "ERROR W107: Unable to open credit card list file 'cc.dat'" and returns NotFound
// with an empty list.
Status LoadCardList(const std::string& path, std::vector<InstalledCard>& cards, Prompter& prompter);

// Reads the "URL_..." keys of "settings.dat" (plain text or packed; keys without
// regard to case) into urls. Returns false when the file cannot be read or unpacked.
bool LoadWebAddresses(const std::string& path, WebAddresses& urls);

}  // namespace tolmi
