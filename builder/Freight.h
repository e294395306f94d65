// The freight text handed to the order form's script, the freight-table import
// and the tax option texts.
#pragma once

#include <string>
#include <string_view>

#include "project/StoreProject.h"
#include "util/Platform.h"

namespace tolmi {

inline constexpr const char* kProductTaxText =
    "Product based taxation.\r\rAn individual tax rate will be set for each item.  This will "
    "enable you to charge different tax rates based on the products ordered.  Using this method, "
    "all taxable regions will be taxed at the same rate.";
inline constexpr const char* kRegionTaxText =
    "Region based taxation.\r\rA set, region based tax rate will be applied to all items.  Using "
    "this method, all items ordered from a taxable region will have the same tax rate. This "
    "method is appropriate for uniform tax systems such as VAT or GST.";
inline constexpr const char* kNoTaxText = "No Tax Calculation.";

// The value of "$FREIGHT" in the order form.
std::string FreightText(const StoreProject& project);

// The tax options summary: TAXF, "%" and the method text.
std::string TaxSummaryText(const StoreSettings& settings);

// Reads the rate tables of another project file into the project's regions
// (every existing table is first disabled and cleared). knownRegions gives the
// names of new regions. False (after the S105 message) when the file cannot be read.
bool ImportFreightTables(StoreProject& project, const std::string& path,
                         const std::vector<KnownRegion>& knownRegions, Prompter& prompter);

}  // namespace tolmi
