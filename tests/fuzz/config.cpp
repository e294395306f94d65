// The configuration files: the lines of "config.ini" (from memory), then the same lines with
// a "settings.dat" through the file reader. What is read writes out and reads back the same.
#include <string>
#include <vector>

#include "app/Config.h"
#include "payments/Gateways.h"
#include "tests/fuzz/support/FuzzSupport.h"
#include "util/Files.h"
#include "util/Strings.h"

namespace {

const std::vector<tolmi::GatewayDefinition>& Gateways() {
  static const std::vector<tolmi::GatewayDefinition> gateways =
      tolmi::ParseGateways("NAME=Test Pay\nREQ=https://pay.example/?a=$AMOUNT\nID=1\n");
  return gateways;
}

std::string TextOf(const std::string& bytes) {
  tolmi::AppConfig config;
  tolmi::LineReader reader{bytes};
  std::string line;
  while (reader.Next(line)) tolmi::ApplyConfigLine(config, Gateways(), line);
  return tolmi::ConfigFileText(config);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolmi;
  std::vector<std::string_view> parts = fuzz::SplitParts(fuzz::AsText(data, size), 2);
  // The "delete=" line removes the file it names: never let an input name one.
  std::string config;
  LineReader reader{std::string(parts[0])};
  std::string line;
  while (reader.Next(line)) {
    if (ToLowerAscii(line).find("delete") != std::string::npos) continue;
    config += line + "\n";
  }
  std::string written = TextOf(config);
  std::string rewritten = TextOf(written);
  fuzz::RequireSameText(written, rewritten, "the written configuration reads back the same");

  AppConfig fromFile;
  fuzz::SilentPrompter prompter;
  fuzz::WriteScratchFile("settings.dat", parts[1]);
  ReadConfigFile(fromFile, Gateways(), fuzz::WriteScratchFile("config.ini", config),
                 fuzz::ScratchDir(), prompter);
  HostingInfoPage(fromFile);
  return 0;
}
