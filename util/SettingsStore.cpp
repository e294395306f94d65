#include "util/SettingsStore.h"

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "util/Files.h"

namespace tolmi {

SettingsStore::SettingsStore(std::string file) : file_(std::move(file)) {}

std::string SettingsStore::DefaultPath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::string base;
  if (xdg && *xdg) {
    base = xdg;
  } else {
    const char* home = std::getenv("HOME");
    base = std::string(home && *home ? home : ".") + "/.config";
  }
  return base + "/tolmi/settings.ini";
}

Status SettingsStore::Load() {
  sections_.clear();
  std::optional<std::string> text = ReadWholeFile(file_);
  if (!text) {
    std::error_code ec;
    if (!std::filesystem::exists(file_, ec)) return Status::Ok();
    return Status::Error(ErrorKind::Io, "Unable to read settings file '" + file_ + "'");
  }
  std::string section;
  std::size_t pos = 0;
  while (pos < text->size()) {
    std::size_t end = text->find('\n', pos);
    if (end == std::string::npos) end = text->size();
    std::string line = text->substr(pos, end - pos);
    pos = end + 1;
    while (!line.empty() && line.back() == '\r') line.pop_back();
    // A value keeps its trailing spaces (a password may end in one); headers do not need them.
    std::string_view bare = line;
    while (!bare.empty() && (bare.back() == '\r' || bare.back() == ' ')) bare.remove_suffix(1);
    if (bare.empty() || bare[0] == ';' || bare[0] == '#') continue;
    // A header holds no "=": "[k=v]" is key "[k" with value "v]", as it was written.
    if (bare.front() == '[' && bare.back() == ']' && bare.find('=') == std::string_view::npos) {
      section = std::string(bare.substr(1, bare.size() - 2));
      if (!HasSection(section)) sections_.push_back({section, {}});
      continue;
    }
    std::size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0) continue;
    Set(section, line.substr(0, eq), line.substr(eq + 1));
  }
  return Status::Ok();
}

Status SettingsStore::Save() const {
  std::string out;
  for (const auto& [name, values] : sections_) {
    out += "[" + name + "]\n";
    for (const auto& [key, value] : values) out += key + "=" + value + "\n";
  }
  std::error_code ec;
  std::filesystem::path parent = std::filesystem::path(file_).parent_path();
  if (!parent.empty()) std::filesystem::create_directories(parent, ec);
  Status s = WriteFileAtomic(file_, out);
  if (s.ok()) chmod(file_.c_str(), 0600);
  return s;
}

std::optional<std::string> SettingsStore::Get(const std::string& section,
                                              const std::string& key) const {
  for (const auto& [name, values] : sections_) {
    if (name != section) continue;
    for (const auto& [k, v] : values) {
      if (k == key) return v;
    }
  }
  return std::nullopt;
}

void SettingsStore::Set(const std::string& section, const std::string& key,
                        const std::string& value) {
  std::string clean = value, cleanKey = key;
  for (char& c : clean) {
    if (c == '\r' || c == '\n' || c == '\0') c = ' ';
  }
  for (char& c : cleanKey) {
    if (c == '\r' || c == '\n' || c == '\0' || c == '=') c = '_';
  }
  for (auto& [name, values] : sections_) {
    if (name != section) continue;
    for (auto& [k, v] : values) {
      if (k == cleanKey) {
        v = clean;
        return;
      }
    }
    values.push_back({cleanKey, clean});
    return;
  }
  sections_.push_back({section, {{cleanKey, clean}}});
}

bool SettingsStore::Remove(const std::string& section, const std::string& key) {
  for (auto& [name, values] : sections_) {
    if (name != section) continue;
    for (auto it = values.begin(); it != values.end(); ++it) {
      if (it->first == key) {
        values.erase(it);
        return true;
      }
    }
  }
  return false;
}

bool SettingsStore::HasSection(const std::string& section) const {
  for (const auto& entry : sections_) {
    if (entry.first == section) return true;
  }
  return false;
}

}  // namespace tolmi
