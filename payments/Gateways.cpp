#include "payments/Gateways.h"

#include "util/Files.h"
#include "util/SettingsTable.h"

namespace tolmi {
namespace {

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

}  // namespace

void ApplyGatewayLine(std::vector<GatewayDefinition>& gateways, std::string_view line) {
  if (line.empty() || line[0] == '#' || line[0] == ';') return;
  if (StartsWith(line, "NAME=")) {
    gateways.emplace_back().name = std::string(line.substr(5));
    return;
  }
  if (gateways.empty()) return;
  GatewayDefinition& g = gateways.back();
  struct TextKey {
    std::string_view key;
    std::string* field;
  };
  const TextKey texts[] = {
      {"DOMAIN=", &g.domain},         {"REQ=", &g.request},
      {"REQ2=", &g.request2},         {"REFERER=", &g.referer},
      {"SUPPORT=", &g.support},       {"NEWS=", &g.news},
      {"FIELD1=", &g.fieldLabels[0]}, {"FIELD2=", &g.fieldLabels[1]},
      {"FIELD3=", &g.fieldLabels[2]}, {"FIELD4=", &g.fieldLabels[3]},
      {"FIELD5=", &g.fieldLabels[4]},
  };
  for (const TextKey& t : texts) {
    if (StartsWith(line, t.key)) {
      *t.field = std::string(line.substr(t.key.size()));
      return;
    }
  }
  if (StartsWith(line, "ID=")) {
    g.replyKind = ParseDecimal(line.substr(3));
  } else if (StartsWith(line, "MAP=")) {
    std::string_view value = line.substr(4);
    size_t first = value.find(',');
    if (first == std::string_view::npos) return;
    size_t second = value.find(',', first + 1);
    if (second == std::string_view::npos) return;
    std::string_view message = value.substr(second + 1);
    size_t skip = message.find_first_not_of(" \t\r\n");
    message = skip == std::string_view::npos ? std::string_view() : message.substr(skip);
    g.replyMap.push_back({std::string(value.substr(0, first)),
                          ParseDecimal(value.substr(first + 1, second - first - 1)),
                          std::string(message)});
  } else if (StartsWith(line, "CC=")) {
    std::string_view value = line.substr(3);
    size_t colon = value.find(':');
    if (colon == std::string_view::npos) return;  // a card type needs a name
    g.cardTypes.push_back({std::string(value.substr(colon + 1)), ParseDecimal(value)});
  }
}

std::vector<GatewayDefinition> ParseGateways(std::string_view text) {
  std::vector<GatewayDefinition> gateways;
  LineReader reader{std::string(text)};
  std::string line;
  while (reader.Next(line)) ApplyGatewayLine(gateways, line);
  return gateways;
}

std::vector<GatewayDefinition> LoadGateways(const std::string& path) {
  std::optional<LineReader> reader = LineReader::Open(path);
  if (!reader) return {};
  std::vector<GatewayDefinition> gateways;
  std::string line;
  while (reader->Next(line)) ApplyGatewayLine(gateways, line);
  return gateways;
}

std::vector<std::string> CheckGatewaysText(std::string_view text) {
  static constexpr std::string_view kKeys[] = {
      "NAME=",   "DOMAIN=", "REQ=",    "REQ2=",   "REFERER=", "SUPPORT=", "NEWS=", "FIELD1=",
      "FIELD2=", "FIELD3=", "FIELD4=", "FIELD5=", "ID=",      "MAP=",     "CC="};
  std::vector<std::string> problems;
  std::vector<GatewayDefinition> gateways;
  LineReader reader{std::string(text)};
  std::string line;
  auto at = [&reader](const std::string& what) {
    return "line " + std::to_string(reader.lineNumber()) + ": " + what;
  };
  while (reader.Next(line)) {
    ApplyGatewayLine(gateways, line);
    if (line.empty() || line[0] == '#' || line[0] == ';') continue;
    std::string_view key;
    for (std::string_view k : kKeys)
      if (StartsWith(line, k)) key = k;
    const std::string shown = line.substr(0, 40);
    if (key.empty()) {
      problems.push_back(at("not a gateway key: \"" + shown + "\""));
      continue;
    }
    if (key == "NAME=") {
      const std::string& name = gateways.back().name;
      if (name.empty()) problems.push_back(at("NAME= gives no name"));
      for (std::size_t i = 0; i + 1 < gateways.size(); ++i)
        if (!name.empty() && gateways[i].name == name)
          problems.push_back(at("the gateway '" + name + "' is defined twice; the first is used"));
      continue;
    }
    if (gateways.empty()) {
      problems.push_back(at("\"" + shown + "\" comes before the first NAME= and is ignored"));
      continue;
    }
    std::string_view value = std::string_view(line).substr(key.size());
    if (key == "ID=") {
      std::size_t i = value.find_first_not_of(" \t");
      if (i != std::string_view::npos && (value[i] == '-' || value[i] == '+')) ++i;
      if (i == std::string_view::npos || i >= value.size() || value[i] < '0' || value[i] > '9')
        problems.push_back(at("ID= needs the reply kind as a number"));
    } else if (key == "MAP=") {
      std::size_t first = value.find(',');
      if (first == std::string_view::npos || value.find(',', first + 1) == std::string_view::npos)
        problems.push_back(at("MAP= needs code,flag,message; the line is ignored"));
    } else if (key == "CC=") {
      if (value.find(':') == std::string_view::npos)
        problems.push_back(at("CC= needs number:name; the line is ignored"));
    }
  }
  if (gateways.empty()) {
    problems.push_back("no gateway: no line starts with \"NAME=\"");
    return problems;
  }
  for (const GatewayDefinition& g : gateways)
    if (g.request.empty()) problems.push_back("the gateway '" + g.name + "' has no REQ= line");
  return problems;
}

const GatewayDefinition* FindGateway(const std::vector<GatewayDefinition>& gateways,
                                     std::string_view name) {
  for (const GatewayDefinition& g : gateways)
    if (g.name == name) return &g;
  return nullptr;
}

}  // namespace tolmi
