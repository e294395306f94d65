// Table-driven KEY=value settings: a table binds keys to variables, and the same table reads
// lines into the variables and writes them back out. Configuration files, scheme files and
// other small settings files are read and written this way.
//
//   std::vector<SettingsKey> table = {TextKey("server", &cfg.server),
//                                     NumberKey("port", &cfg.port),
//                                     FlagKey("sound", &cfg.sound)};
//   while (reader.Next(line)) ReadSettingsLine(line, table);
//   Status s = WriteSettings("config.ini", table);
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "util/Result.h"

namespace tolmi {

// The stored value types, numbered as the system numbers them.
enum class SettingsType : std::uint8_t {
  Text = 0,       // std::string, written only when not empty
  Number = 1,     // int, decimal
  Character = 2,  // char, written as the character itself
  List = 3,       // std::vector<std::string>, written joined with ","
  Flag = 4,       // bool or uint8_t, written 0 or 1
};

// One row of a settings table: a key and the variable it is bound to (not owned).
struct SettingsKey {
  std::string key;
  SettingsType type = SettingsType::Text;
  std::variant<std::string*, int*, char*, std::vector<std::string>*, bool*, std::uint8_t*> target;
};

using SettingsTable = std::vector<SettingsKey>;

SettingsKey TextKey(std::string key, std::string* variable);
SettingsKey NumberKey(std::string key, int* variable);
SettingsKey CharacterKey(std::string key, char* variable);
SettingsKey ListKey(std::string key, std::vector<std::string>* variable);
SettingsKey FlagKey(std::string key, bool* variable);
SettingsKey FlagKey(std::string key, std::uint8_t* variable);

// Finds the first row whose key followed by "=" begins the line (key compared without regard
// to ASCII case) and stores the value after "=" into its variable:
//   text: the value; number: decimal (leading spaces and a sign allowed, reading stops at the
//   first other character, 0 when there is no number, clamped to the int range);
//   character: the value's one character, or for a longer value its decimal number's low
//   8 bits, or 0 for an empty value; list: the value split at "," with each item appended;
//   flag: 1 for a non-zero number, else 0.
// Returns 1 if a row matched, else 0.
int ReadSettingsLine(std::string_view line, const SettingsTable& table);

// One line per row, in table order, each ending in LF:
//   text "key=value" (skipped when empty), number "key=%i", character "key=%c" (a NUL
//   character writes "key="), list "key=" with the items joined by ",", flag "key=0|1".
std::string FormatSettings(const SettingsTable& table);
void WriteSettings(std::ostream& out, const SettingsTable& table);
// Replaces the file with the table's lines (atomically); an Io error when it cannot.
Status WriteSettings(const std::string& path, const SettingsTable& table);

// The decimal number at the start of a text as atoi reads it (spaces, sign, digits),
// clamped to the int range; 0 when there is none.
int ParseDecimal(std::string_view text);

}  // namespace tolmi
