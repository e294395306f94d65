// The orders file reader, from memory: whatever it reads writes out and reads back the same.
#include <string>

#include "orders/OrdersFile.h"
#include "tests/fuzz/support/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolmi;
  OrdersReading reading = ReadOrdersText(fuzz::AsText(data, size));
  reading.Accepted();
  std::string written = WriteOrdersText(reading.records, 1700000000, 2034361);
  OrdersReading again = ReadOrdersText(written);
  fuzz::Require(again.Accepted(), "a written orders file is accepted");
  std::string rewritten = WriteOrdersText(again.records, 1700000000, 2034361);
  fuzz::RequireSameText(written, rewritten, "a written orders file reads back the same");
  return 0;
}
