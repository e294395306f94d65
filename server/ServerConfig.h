// Settings of one tolmi-server process: from the command line and an optional config file of
// "key=value" lines (the command line wins).
#pragma once

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <string_view>

#include "util/Result.h"

namespace tolmi::server {

struct ServerConfig {
  std::string listenHost = "127.0.0.1";
  unsigned short listenPort = 8080;
  std::string dataFile;                           // a file path, or a postgresql:// URI
  std::string cardKeyFile;                        // the card key; see CardKeyPath
  std::string storeDir;                           // served as static files, searched by default
  size_t maxBody = 64 * 1024;                     // bytes of one request body
  size_t maxHeaderBytes = 8 * 1024;               // bytes of one request's header block
  size_t maxHeaders = 64;                         // header fields of one request
  int timeoutSeconds = 30;                        // to read one request, or idle between them
  size_t maxConnections = 512;                    // then the longest-waiting reader makes room
  size_t maxPerAddress = 32;                      // connections of one client address
  int pressureTimeoutSeconds = 3;                 // to read a request once half are in use
  size_t maxQueuedSearches = 16;                  // more get a "busy" page
  std::string hashCost = "interactive";           // of the stand-in hash for unknown accounts
  std::set<std::string> returnSites;              // more origins tolmi_return may lead to
  std::set<std::string> trustedProxies;           // peers whose X-Forwarded-For names the client
  std::map<std::string, std::string> searchDirs;  // search id -> store folder
  std::map<std::string, std::string> searchUrls;  // search id -> published store address
};

// Reads "HOST:PORT" (a bare port means 127.0.0.1; "[::1]:80" for IPv6). False when unusable.
bool ParseListen(std::string_view text, std::string& host, unsigned short& port);

// Applies one setting; fails with InvalidArgument naming the key for an unknown key or a bad
// value.
Status ApplySetting(ServerConfig& config, const std::string& key, const std::string& value);

// Reads a config file: "key=value" lines, "#" or ";" comments, blank lines skipped. Fails
// with Io when it cannot be read, InvalidArgument (with the line number) on a bad line.
Status ReadConfigFile(const std::string& path, ServerConfig& config);

}  // namespace tolmi::server
