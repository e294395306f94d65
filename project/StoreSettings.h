// The store-wide settings and lists of a project: settings record, freight
// regions and their delivery-method tables, accepted cards, publishing stamps.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolmi {

// The weight brackets of a delivery-method table, in table order.
inline constexpr std::array<const char*, 12> kWeightBrackets = {"0.5", "1", "2", "3", "4",  "5",
                                                                "6",   "7", "8", "9", "10", "11+"};

// One delivery-method table of a region: a cost per weight bracket.
struct FreightMethod {
  std::array<std::string, 12> costs;  // texts, in kWeightBrackets order
  bool enabled = true;                // the flag after ",|"
  std::string rule;                   // "RULE=": the advanced rule text
  bool operator==(const FreightMethod&) const = default;
};

// A freight region: its key as written in the file ("$AU0,..."), its name,
// its three delivery-method tables (index = delivery method) and its tax rate.
struct FreightRegion {
  std::string key;
  std::string name;
  std::array<FreightMethod, 3> methods;
  std::string taxRate;  // percent as text; empty when unset
  bool operator==(const FreightRegion&) const = default;
};

// An accepted credit card ("CC=flag:name").
struct AcceptedCard {
  std::string name;
  std::uint8_t flag = 1;
  bool operator==(const AcceptedCard&) const = default;
};

// A publishing stamp of a shared file ("usd=" cart files, "utd=" template files).
struct UploadStamp {
  std::string fileName;
  std::int32_t stamp = 0;
  bool operator==(const UploadStamp&) const = default;
};

// A style scheme chosen for the store: group name "/" style name.
struct StyleRef {
  std::string group;  // empty for a style without group
  std::string name;
  bool operator==(const StyleRef&) const = default;
};

// The store's settings record. Field comments give the project-file key.
// FTP sessions a publish may share its files between.
inline constexpr int kMaxFtpConnections = 16;
inline std::int16_t ClampFtpConnections(long long n) {
  return static_cast<std::int16_t>(n < 1 ? 1 : n > kMaxFtpConnections ? kMaxFtpConnections : n);
}

struct StoreSettings {
  std::int32_t version = 0;       // "VERSION=": number of the program that wrote the file
  std::string projectDir;         // folder of the project file; not stored
  std::optional<std::string> sn;  // "SN=": kept from load to save
  std::string currency;           // "CURR=": "$" after a load that found none
  std::string storeTitle;         // "STITLE="
  std::string storeAddress;       // "SITEURL=": the store's public web address (sitemap, robots.txt)
  std::string rebuildDir;         // "REBUILD=": the web directory the store is built into
  std::string freightTax;         // "TAXF=": tax rate on freight, percent
  std::string orderMessage;       // "OMESSAGE=": multi-line
  std::string confirmMessage;     // "CMESSAGE=": multi-line
  std::int32_t vo = 0;            // "VO=": kept from load to save
  std::int32_t vc = 0;            // "VC=": kept from load to save
  std::int16_t navStyle = 0;      // "NAVSTYLE=": 0 classic, 1 browse history
  std::int16_t taxMethod = 0;     // "TAXO=": 1 region based, else product based
  std::string ftpUser;            // "P_USER="
  std::string ftpPassword;        // "P_PASS=": clear in memory, scrambled in the file
  std::string ftpAccount;         // "P_ACCT="
  std::string ftpServer;          // "P_SERV="
  std::string ftpDir;             // "P_DIR="
  std::string ftpPort;            // "P_PORT="
  std::string lastDestination;    // "COMP=": user ":" server dir of the last publish
  bool passiveFtp = false;        // "P_PASV="
  bool savePassword = false;      // "P_SAVE=": keep the password in the file
  std::int16_t ftpConnections = 1;  // "P_CONN=": FTP sessions of a publish, 1 to 16
  bool hasBullets = true;         // "HASBULLETS="
  bool cartOnScreen = false;      // "CARTONSCREEN="
  bool has3dCart = false;         // "HAS3DCART="
  bool crlf = false;              // "CRLF=": translate CR/LF to HTML breaks
  bool search = true;             // "SEARCH=": build the search page
  bool taxOn = false;             // "TAXD="
  std::optional<StyleRef> style;  // "LAYOUT="

  bool operator==(const StoreSettings&) const = default;
};

// What a project file refers to in the installation: filled by the
// application from "domain.dat", "cc.dat" and the style schemes.
struct KnownRegion {  // one entry of the domain list
  std::string key;
  std::string name;
};
struct InstalledCard {  // one entry of the card list
  std::string name;
  bool chosen = false;  // the project accepts this card
};

}  // namespace tolmi
