// "engines.dat": the lenient reader and the checker take any text; every definition read
// can be found by its name.
#include <string>
#include <vector>

#include "payments/Gateways.h"
#include "tests/fuzz/support/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolmi;
  std::string_view text = fuzz::AsText(data, size);
  std::vector<GatewayDefinition> gateways = ParseGateways(text);
  for (const GatewayDefinition& g : gateways) {
    const GatewayDefinition* found = FindGateway(gateways, g.name);
    fuzz::Require(found && found->name == g.name, "a gateway is found by its name");
  }
  std::vector<std::string> problems = CheckGatewaysText(text);
  fuzz::Require(!gateways.empty() || !problems.empty(), "a file without gateways is reported");
  return 0;
}
