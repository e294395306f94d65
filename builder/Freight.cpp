#include "builder/Freight.h"

#include "util/Files.h"
#include "util/Strings.h"

namespace tolmi {
namespace {

std::string WithoutFirstPercent(std::string text) {
  if (std::size_t p = text.find('%'); p != std::string::npos) text.erase(p, 1);
  return text;
}

bool SameRates(const FreightRegion& a, const FreightRegion& b, int method) {
  const FreightMethod& x = a.methods[method];
  const FreightMethod& y = b.methods[method];
  return x.costs == y.costs && x.rule == y.rule && a.taxRate == b.taxRate;
}

}  // namespace

std::string FreightText(const StoreProject& project) {
  std::string text;
  const std::string& freightTax = project.settings.freightTax;
  for (int method = 0; method < 3; ++method) {
    const std::optional<std::string>& name = project.deliveryMethodNames[method];
    if (!name || name->empty()) continue;
    std::vector<bool> written(project.regions.size(), false);
    bool first = true;
    for (std::size_t r = 0; r < project.regions.size(); ++r) {
      const FreightRegion& region = project.regions[r];
      const FreightMethod& rates = region.methods[method];
      if (written[r] || !rates.enabled) continue;
      if (first) {
        if (!text.empty()) text += ");";
        std::string encoded = *name;
        UrlEncode(encoded);
        text += encoded + "(";
        first = false;
      }
      text += region.name;
      written[r] = true;
      for (std::size_t later = r + 1; later < project.regions.size(); ++later) {
        const FreightRegion& other = project.regions[later];
        if (written[later] || !other.methods[method].enabled || !SameRates(region, other, method))
          continue;
        text += "," + other.name;
        written[later] = true;
      }
      text += "(";
      if (!region.taxRate.empty()) text += WithoutFirstPercent(region.taxRate) + "%,";
      if (!freightTax.empty()) text += WithoutFirstPercent(freightTax) + "f,";
      if (rates.rule.empty()) {
        text += (rates.costs[0].empty() ? std::string("0") : rates.costs[0]) + "<=0.5k";
        for (int k = 1; k <= 10; ++k)
          if (!rates.costs[k].empty())
            text += "," + rates.costs[k] + "<=" + std::to_string(k) + "k";
        if (!rates.costs[11].empty())
          text += "," + rates.costs[10] + "+" + rates.costs[11] + "k>10k";
      } else {
        text += rates.rule.substr(0, 4048);
      }
      text += ");";
    }
  }
  if (!text.empty()) text += ");";
  return text;
}

std::string TaxSummaryText(const StoreSettings& settings) {
  const char* method = !settings.taxOn           ? kNoTaxText
                       : settings.taxMethod == 1 ? kRegionTaxText
                                                 : kProductTaxText;
  return settings.freightTax + "%" + method;
}

bool ImportFreightTables(StoreProject& project, const std::string& path,
                         const std::vector<KnownRegion>& knownRegions, Prompter& prompter) {
  std::optional<std::string> bytes = ReadWholeFile(path);
  if (!bytes) {
    prompter.Show("S105: Unable to read project file '" + path + "'", "Error", PromptIcon::Error);
    return false;
  }
  for (FreightRegion& region : project.regions)
    for (FreightMethod& rates : region.methods) {
      rates.enabled = false;
      rates.costs = {};
      rates.rule.clear();
    }
  std::size_t last = static_cast<std::size_t>(-1);
  std::string_view all(*bytes);
  std::size_t start = 0;
  while (start < all.size()) {
    std::size_t end = all.find('\n', start);
    if (end == std::string_view::npos) end = all.size();
    std::string line(all.substr(start, end - start));
    start = end + 1;
    StrTrimRightWhite(line);
    auto methodNumber = [](std::string_view rest) -> int {
      if (rest.size() < 2 || rest[0] < '0' || rest[0] > '2' || rest[1] != ',') return -1;
      return rest[0] - '0';
    };
    if (line.starts_with("$")) {
      std::size_t comma = line.find(',');
      if (comma == std::string::npos || comma < 2) continue;
      char digit = line[comma - 1];
      if (digit < '0' || digit > '2') continue;
      int method = digit - '0';
      std::string name = line.substr(1, comma - 2);
      if (name.empty()) continue;
      FreightRegion* region = nullptr;
      // Project files name regions by key, so a key finds its region as a name does.
      for (FreightRegion& r : project.regions)
        if (EqualsNoCase(r.name, name)) {
          region = &r;
          break;
        }
      for (std::size_t i = 0; !region && i < project.regions.size(); ++i)
        if (EqualsNoCase(project.regions[i].key, name)) region = &project.regions[i];
      if (!region) {
        // A new region needs a key: without one it would be saved as "$0,...".
        FreightRegion added;
        added.name = name;
        added.key = name;
        for (const KnownRegion& known : knownRegions)
          if (EqualsNoCase(known.name, name) || EqualsNoCase(known.key, name)) {
            added.name = known.name;
            added.key = known.key;
            break;
          }
        for (FreightMethod& rates : added.methods) rates.enabled = false;
        project.regions.push_back(std::move(added));
        region = &project.regions.back();
      }
      FreightMethod& rates = region->methods[method];
      rates.enabled = true;
      if (std::size_t bar = line.find('|'); bar != std::string::npos) {
        rates.enabled = std::atoi(line.c_str() + bar + 1) != 0;
        line.resize(bar);
      }
      std::size_t pos = comma + 1;
      for (int band = 0; band < 12 && pos <= line.size(); ++band) {
        std::size_t next = line.find(',', pos);
        if (next == std::string::npos) next = line.size();
        rates.costs[band] = line.substr(pos, next - pos);
        pos = next + 1;
      }
      last = static_cast<std::size_t>(region - project.regions.data());
    } else if (line.starts_with("FNAME=")) {
      int method = methodNumber(std::string_view(line).substr(6));
      if (method >= 0) project.deliveryMethodNames[method] = line.substr(8);
    } else if (line.starts_with("RULE=")) {
      int method = methodNumber(std::string_view(line).substr(5));
      if (method >= 0 && last < project.regions.size())
        project.regions[last].methods[method].rule = line.substr(7);
    }
  }
  project.changed = true;
  return true;
}

}  // namespace tolmi
