#include "app/Config.h"

#include <filesystem>
#include <sstream>

#include "app/ReferenceLists.h"
#include "util/Files.h"
#include "util/Scramble.h"
#include "util/SettingsTable.h"
#include "util/Version.h"

namespace tolmi {
namespace {

// The key table in its order, which is also the order of writing.
SettingsTable ConfigTable(AppConfig& c) {
  SettingsTable t = {
      TextKey("browser", &c.browser), TextKey("LD2", &c.ld2),
      TextKey("LD3", &c.ld3),         TextKey("LDE", &c.lde),
      TextKey("server", &c.server),   TextKey("server2", &c.server2),
      TextKey("o_un", &c.orderUser),  TextKey("file", &c.file),
      TextKey("host2", &c.host2),     TextKey("delete", &c.deleteFile),
  };
  static const char* const kAccountKeys[] = {"o_f1", "o_f2", "o_f3", "o_f4", "o_f5"};
  for (int i = 0; i < 5; ++i) t.push_back(TextKey(kAccountKeys[i], &c.accountFields[i]));
  t.push_back(TextKey("o_last", &c.orderLast));
  t.push_back(NumberKey("o_leave", &c.orderLeave));
  t.push_back(NumberKey("o_save", &c.orderSave));
  t.push_back(NumberKey("newwin", &c.newWindow));
  t.push_back(NumberKey("help", &c.help));
  t.push_back(NumberKey("uid", &c.uid));
  t.push_back(NumberKey("ordernum", &c.orderNumber));
  t.push_back(NumberKey("case", &c.lowerCaseLinks));
  t.push_back(NumberKey("other", &c.other));
  t.push_back(NumberKey("control", &c.control));
  t.push_back(NumberKey("view", &c.view));
  t.push_back(NumberKey("dateformat", &c.dateFormat));
  static const char* const kRecentKeys[] = {"L0", "L1", "L2", "L3", "L4"};
  for (int i = 0; i < 5; ++i) t.push_back(TextKey(kRecentKeys[i], &c.recent[i]));
  static const char* const kSoundKeys[] = {"S1", "S2", "S3", "S4", "S5", "S6", "S7"};
  for (int i = 0; i < 7; ++i) t.push_back(TextKey(kSoundKeys[i], &c.sounds[i]));
  t.push_back(TextKey("SP", &c.soundPath));
  return t;
}

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

std::string InHome(const std::string& dir, const std::string& name) {
  std::filesystem::path p(name);
  if (p.is_absolute() || dir.empty()) return name;
  return (std::filesystem::path(dir) / p).string();
}

}  // namespace

void RememberRecentProject(AppConfig& config, const std::string& path) {
  if (path.empty()) return;
  std::vector<std::string> kept{path};
  for (const std::string& entry : config.recent)
    if (!entry.empty() && entry != path) kept.push_back(entry);
  for (std::size_t i = 0; i < config.recent.size(); ++i)
    config.recent[i] = i < kept.size() ? kept[i] : std::string();
}

std::vector<RecentProjectEntry> RecentProjectEntries(const AppConfig& config) {
  std::vector<RecentProjectEntry> entries;
  for (const std::string& path : config.recent)
    if (!path.empty())
      entries.push_back({kCmdRecentProjectFirst + static_cast<int>(entries.size()), path});
  return entries;
}

std::string RecentProjectPath(const AppConfig& config, int command) {
  for (const RecentProjectEntry& entry : RecentProjectEntries(config))
    if (entry.command == command) return entry.path;
  return {};
}

std::string HostingInfoPage(const AppConfig& config) {
  if (!config.host1.empty()) return std::string(kMakerSite) + config.host1;
  if (!config.host2.empty()) return config.host2;
  return config.urls.hosting;
}

bool ApplyConfigLine(AppConfig& config, const std::vector<GatewayDefinition>& gateways,
                     const std::string& line) {
  SettingsTable table = ConfigTable(config);
  if (ReadSettingsLine(line, table)) return true;
  std::string_view v(line);
  if (StartsWith(v, "FIELD=")) {
    v.remove_prefix(6);
    size_t comma = v.find(',');
    if (comma == std::string_view::npos) return false;
    config.customFields.push_back(
        {std::string(v.substr(0, comma)), std::string(v.substr(comma + 1))});
    return true;
  }
  if (StartsWith(v, "o_password=")) {
    config.orderPassword = UnscrambleText(v.substr(11));
    return true;
  }
  if (StartsWith(v, "gateway=")) {
    const GatewayDefinition* g = FindGateway(gateways, v.substr(8));
    config.gateway = g ? g->name : std::string();
    return true;
  }
  if (StartsWith(v, "host1=")) {
    config.host1 = std::string(v.substr(6));
    return true;
  }
  return false;
}

void ReadConfigFile(AppConfig& config, const std::vector<GatewayDefinition>& gateways,
                    const std::string& path, const std::string& dir, Prompter& prompter) {
  if (std::optional<LineReader> reader = LineReader::Open(path)) {
    std::string line;
    while (reader->Next(line)) ApplyConfigLine(config, gateways, line);
  }
  if (!config.deleteFile.empty()) {
    // Only plain files: a folder named here is left alone.
    std::error_code ec;
    std::filesystem::path victim = ResolveExistingPath(InHome(dir, config.deleteFile));
    if (std::filesystem::is_regular_file(std::filesystem::symlink_status(victim, ec)) ||
        std::filesystem::is_symlink(std::filesystem::symlink_status(victim, ec)))
      std::filesystem::remove(victim, ec);
    config.deleteFile.clear();
  }
  if (config.server.empty() && !config.server2.empty())
    config.server = config.server2;
  else if (!config.server.empty())
    config.server2.clear();
  if (!LoadWebAddresses(InHome(dir, "settings.dat"), config.urls))
    prompter.Show("ERROR W202: Unable to load 'settings.dat'", "Error", PromptIcon::Error);
}

void ReadConfiguration(AppConfig& config, const std::vector<GatewayDefinition>& gateways,
                       const std::string& home, Prompter& prompter) {
  for (const char* name : {"config.ini", "server.ini", "vendor.ini"})
    ReadConfigFile(config, gateways, InHome(home, name), home, prompter);
}

std::string ConfigFileText(const AppConfig& config) {
  AppConfig copy = config;  // the table binds to mutable fields
  std::ostringstream out;
  out << "version=" << VersionText() << "\n";
  out << "product=" << kProductName << "\n";
  WriteSettings(out, ConfigTable(copy));
  for (const CustomOrderField& f : config.customFields)
    if (!f.title.empty()) out << "FIELD=" << f.title << "," << f.defaultValue << "\n";
  if (config.orderSave) out << "o_password=" << ScrambleText(config.orderPassword) << "\n";
  if (!config.gateway.empty()) out << "gateway=" << config.gateway << "\n";
  return out.str();
}

Status WriteConfigFile(const AppConfig& config, const std::string& path, Prompter& prompter) {
  // It may hold the order-server password: readable by its owner only.
  AtomicWriteOptions options;
  options.ownerOnly = true;
  Status written = WriteFileAtomic(path, ConfigFileText(config), options);
  if (!written) {
    const std::string message = "ERROR W114: Unable to open file 'config.ini'";
    prompter.Show(message, "Error", PromptIcon::Error);
    return Status::Error(written.kind(), message);
  }
  return Status::Ok();
}

}  // namespace tolmi
