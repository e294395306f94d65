#include "util/SettingsTable.h"

#include <climits>

#include "util/Files.h"
#include "util/Strings.h"

namespace tolmi {

namespace {

bool StartsWithKey(std::string_view line, std::string_view key) {
  return !key.empty() && line.size() > key.size() && line[key.size()] == '=' &&
         StartsWithNoCase(line, key);
}

template <typename... Ts>
struct Overloaded : Ts... {
  using Ts::operator()...;
};
template <typename... Ts>
Overloaded(Ts...) -> Overloaded<Ts...>;

}  // namespace

SettingsKey TextKey(std::string key, std::string* variable) {
  return {std::move(key), SettingsType::Text, variable};
}
SettingsKey NumberKey(std::string key, int* variable) {
  return {std::move(key), SettingsType::Number, variable};
}
SettingsKey CharacterKey(std::string key, char* variable) {
  return {std::move(key), SettingsType::Character, variable};
}
SettingsKey ListKey(std::string key, std::vector<std::string>* variable) {
  return {std::move(key), SettingsType::List, variable};
}
SettingsKey FlagKey(std::string key, bool* variable) {
  return {std::move(key), SettingsType::Flag, variable};
}
SettingsKey FlagKey(std::string key, std::uint8_t* variable) {
  return {std::move(key), SettingsType::Flag, variable};
}

int ParseDecimal(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
  }
  if (negative) value = -value;
  if (value > INT_MAX) value = INT_MAX;
  return static_cast<int>(value);
}

int ReadSettingsLine(std::string_view line, const SettingsTable& table) {
  for (const SettingsKey& row : table) {
    if (!StartsWithKey(line, row.key)) continue;
    std::string_view value = line.substr(row.key.size() + 1);
    std::visit(Overloaded{
                   [&](std::string* v) {
                     if (v) v->assign(value);
                   },
                   [&](int* v) {
                     if (v) *v = ParseDecimal(value);
                   },
                   [&](char* v) {
                     if (!v) return;
                     if (value.size() == 1) {
                       *v = value[0];
                     } else {
                       *v = static_cast<char>(static_cast<unsigned>(ParseDecimal(value)) & 0xFF);
                     }
                   },
                   [&](std::vector<std::string>* v) {
                     if (!v || value.empty()) return;
                     std::size_t pos = 0;
                     while (true) {
                       std::size_t comma = value.find(',', pos);
                       v->emplace_back(value.substr(pos, comma - pos));
                       if (comma == std::string_view::npos) break;
                       pos = comma + 1;
                     }
                   },
                   [&](bool* v) {
                     if (v) *v = ParseDecimal(value) != 0;
                   },
                   [&](std::uint8_t* v) {
                     if (v) *v = ParseDecimal(value) != 0 ? 1 : 0;
                   },
               },
               row.target);
    return 1;
  }
  return 0;
}

std::string FormatSettings(const SettingsTable& table) {
  std::string out;
  for (const SettingsKey& row : table) {
    std::visit(Overloaded{
                   [&](std::string* v) {
                     if (v && !v->empty()) out += row.key + "=" + *v + "\n";
                   },
                   [&](int* v) {
                     if (v) out += row.key + "=" + std::to_string(*v) + "\n";
                   },
                   [&](char* v) {
                     if (!v) return;
                     out += row.key + "=";
                     if (*v != '\0') out += *v;
                     out += "\n";
                   },
                   [&](std::vector<std::string>* v) {
                     if (!v) return;
                     out += row.key + "=";
                     for (std::size_t i = 0; i < v->size(); ++i) {
                       if (i > 0) out += ",";
                       out += (*v)[i];
                     }
                     out += "\n";
                   },
                   [&](bool* v) {
                     if (v) out += row.key + (*v ? "=1\n" : "=0\n");
                   },
                   [&](std::uint8_t* v) {
                     if (v) out += row.key + (*v ? "=1\n" : "=0\n");
                   },
               },
               row.target);
  }
  return out;
}

void WriteSettings(std::ostream& out, const SettingsTable& table) {
  std::string text = FormatSettings(table);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

Status WriteSettings(const std::string& path, const SettingsTable& table) {
  return WriteFileAtomic(path, FormatSettings(table));
}

}  // namespace tolmi
