#include "app/ReferenceLists.h"

#include "util/Files.h"
#include "util/PackedFile.h"
#include "util/SettingsTable.h"

namespace tolmi {
namespace {

template <typename F>
void ForEachTextLine(std::string_view text, F&& f) {
  LineReader reader{std::string(text)};
  std::string line;
  while (reader.Next(line)) f(line);
}

}  // namespace

std::vector<KnownRegion> ParseDomainList(std::string_view text) {
  std::vector<KnownRegion> regions;
  ForEachTextLine(text, [&](const std::string& line) {
    size_t space = line.find(' ');
    if (space == std::string::npos) return;
    size_t start = line.find_first_not_of(" \t", space);
    std::string name = start == std::string::npos ? std::string() : line.substr(start);
    if (size_t comma = name.find(','); comma != std::string::npos) name.erase(comma);
    regions.push_back({line.substr(0, space), std::move(name)});
  });
  return regions;
}

Status LoadDomainList(const std::string& path, std::vector<KnownRegion>& regions,
                      Prompter& prompter) {
  if (!regions.empty()) return Status::Ok();
  std::optional<std::string> text = ReadWholeFile(path);
  if (!text) {
    const std::string message = "ERROR W106: Unable to Load Domains List 'domain.dat'";
    prompter.Show(message, "Error", PromptIcon::Error);
    return Status::Error(ErrorKind::NotFound, message);
  }
  regions = ParseDomainList(*text);
  return Status::Ok();
}

std::vector<InstalledCard> ParseCardList(std::string_view text) {
  std::vector<InstalledCard> cards;
  ForEachTextLine(text, [&](const std::string& line) {
    size_t start = line.find_first_not_of(" \t\r\n");
    if (start == std::string::npos || line[start] == ';' || line[0] == ';') return;
    size_t end = line.find_last_not_of(" \t\r\n");
    cards.push_back({line.substr(start, end - start + 1), false});
  });
  return cards;
}

Status LoadCardList(const std::string& path, std::vector<InstalledCard>& cards,
                    Prompter& prompter) {
  cards.clear();
  std::optional<std::string> text = ReadWholeFile(path);
  if (!text) {
    const std::string message = "ERROR W107: Unable to open credit card list file 'cc.dat'";
    prompter.Show(message, "Error", PromptIcon::Error);
    return Status::Error(ErrorKind::NotFound, message);
  }
  cards = ParseCardList(*text);
  return Status::Ok();
}

bool LoadWebAddresses(const std::string& path, WebAddresses& urls) {
  std::optional<std::string> text = ReadWholeFile(path);
  if (!text) return false;
  if (IsPackedText(*text)) {
    text = UnpackText(*text);
    if (!text) return false;
  }
  SettingsTable table = {
      TextKey("URL_HOME", &urls.home),
      TextKey("URL_SERVER", &urls.server),
      TextKey("URL_FAQ", &urls.faq),
      TextKey("URL_MANUAL", &urls.manual),
      TextKey("URL_SUBSCRIBE", &urls.subscribe),
      TextKey("URL_HOSTING", &urls.hosting),
      TextKey("URL_SUPPORT", &urls.support),
      TextKey("URL_COOKIE", &urls.cookie),
  };
  // Lines end at CR or LF (a packed file may use either).
  std::string_view rest = *text;
  while (!rest.empty()) {
    size_t end = rest.find_first_of("\r\n");
    std::string_view line = rest.substr(0, end);
    if (line.size() <= kMaxLineLength) ReadSettingsLine(TrimLineEnd(line), table);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return true;
}

}  // namespace tolmi
