// SettingsStore: the small INI file in the user's configuration folder that
// holds the few values the system keeps outside its own files (proxy server,
// firewall type). Sections are named like the keys they stand for
// ("Software\BREVANTO\Common"); values are single-line texts.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "util/Result.h"

namespace tolmi {

class SettingsStore {
 public:
  // The store kept in file (not read until Load).
  explicit SettingsStore(std::string file);
  // $XDG_CONFIG_HOME/tolmi/settings.ini, else $HOME/.config/tolmi/settings.ini.
  static std::string DefaultPath();

  // Reads the file; a missing file is an empty store. Malformed lines are skipped.
  Status Load();
  // Writes the file atomically (owner-only permissions: it may hold passwords).
  Status Save() const;

  std::optional<std::string> Get(const std::string& section, const std::string& key) const;
  // Sets a value (line breaks in it become spaces), creating the section.
  void Set(const std::string& section, const std::string& key, const std::string& value);
  // Deletes a value; true when it existed.
  bool Remove(const std::string& section, const std::string& key);
  bool HasSection(const std::string& section) const;
  const std::string& file() const { return file_; }

 private:
  std::string file_;
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> sections_;
};

}  // namespace tolmi
