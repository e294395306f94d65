#include "server/ServerConfig.h"

#include <fstream>

#include "server/FormData.h"

namespace tolmi::server {

namespace {

std::string Trim(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && (text[b] == ' ' || text[b] == '\t')) ++b;
  while (e > b && (text[e - 1] == ' ' || text[e - 1] == '\t' || text[e - 1] == '\r')) --e;
  return std::string(text.substr(b, e - b));
}

Status Bad(const std::string& key, const std::string& value) {
  return Status::Error(ErrorKind::InvalidArgument,
                       "Bad value '" + value + "' for the setting '" + key + "'.");
}

bool ReadCount(const std::string& value, long long low, long long high, long long& out) {
  auto n = ParseDecimal(value);
  if (!n || *n < low || *n > high) return false;
  out = *n;
  return true;
}

}  // namespace

bool ParseListen(std::string_view text, std::string& host, unsigned short& port) {
  std::string_view portText = text;
  std::string hostText = "127.0.0.1";
  if (!text.empty() && text[0] == '[') {
    size_t close = text.find(']');
    if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':')
      return false;
    hostText = std::string(text.substr(1, close - 1));
    portText = text.substr(close + 2);
  } else if (size_t colon = text.rfind(':'); colon != std::string_view::npos) {
    hostText = std::string(text.substr(0, colon));
    portText = text.substr(colon + 1);
  }
  auto n = ParseDecimal(portText);
  if (!n || *n > 65535 || hostText.empty()) return false;
  host = hostText;
  port = static_cast<unsigned short>(*n);
  return true;
}

Status ApplySetting(ServerConfig& config, const std::string& key, const std::string& value) {
  long long n = 0;
  if (key == "listen") {
    if (!ParseListen(value, config.listenHost, config.listenPort)) return Bad(key, value);
  } else if (key == "data") {
    config.dataFile = value;
  } else if (key == "card-key") {
    if (value.empty()) return Bad(key, value);
    config.cardKeyFile = value;
  } else if (key == "store") {
    config.storeDir = value;
  } else if (key == "max-body") {
    if (!ReadCount(value, 1024, 64LL * 1024 * 1024, n)) return Bad(key, value);
    config.maxBody = static_cast<size_t>(n);
  } else if (key == "max-headers") {
    if (!ReadCount(value, 4, 1000, n)) return Bad(key, value);
    config.maxHeaders = static_cast<size_t>(n);
  } else if (key == "max-header-bytes") {
    if (!ReadCount(value, 1024, 1024 * 1024, n)) return Bad(key, value);
    config.maxHeaderBytes = static_cast<size_t>(n);
  } else if (key == "timeout") {
    if (!ReadCount(value, 1, 3600, n)) return Bad(key, value);
    config.timeoutSeconds = static_cast<int>(n);
  } else if (key == "max-connections") {
    if (!ReadCount(value, 1, 100000, n)) return Bad(key, value);
    config.maxConnections = static_cast<size_t>(n);
  } else if (key == "max-per-address") {
    if (!ReadCount(value, 1, 100000, n)) return Bad(key, value);
    config.maxPerAddress = static_cast<size_t>(n);
  } else if (key == "pressure-timeout") {
    if (!ReadCount(value, 1, 3600, n)) return Bad(key, value);
    config.pressureTimeoutSeconds = static_cast<int>(n);
  } else if (key == "max-queued-searches") {
    if (!ReadCount(value, 1, 10000, n)) return Bad(key, value);
    config.maxQueuedSearches = static_cast<size_t>(n);
  } else if (key == "return-site") {
    std::string origin = AsciiLower(value);
    while (!origin.empty() && origin.back() == '/') origin.pop_back();
    if (origin.rfind("http://", 0) != 0 && origin.rfind("https://", 0) != 0) return Bad(key, value);
    config.returnSites.insert(origin);
  } else if (key == "trusted-proxy") {
    if (value.empty()) return Bad(key, value);
    config.trustedProxies.insert(value);
  } else if (key.rfind("search.", 0) == 0 && key.size() > 7) {
    config.searchDirs[key.substr(7)] = value;
  } else if (key.rfind("searchurl.", 0) == 0 && key.size() > 10) {
    config.searchUrls[key.substr(10)] = value;
  } else {
    return Status::Error(ErrorKind::InvalidArgument, "Unknown setting '" + key + "'.");
  }
  return Status::Ok();
}

Status ReadConfigFile(const std::string& path, ServerConfig& config) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Status::Error(ErrorKind::Io, "Unable to read config file '" + path + "'.");
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    std::string text = Trim(line);
    if (text.empty() || text[0] == '#' || text[0] == ';') continue;
    size_t eq = text.find('=');
    if (eq == std::string::npos)
      return Status::Error(ErrorKind::InvalidArgument,
                           path + ":" + std::to_string(number) + ": expected key=value");
    Status s = ApplySetting(config, Trim(text.substr(0, eq)), Trim(text.substr(eq + 1)));
    if (!s.ok())
      return Status::Error(s.kind(), path + ":" + std::to_string(number) + ": " + s.message());
  }
  return Status::Ok();
}

}  // namespace tolmi::server
