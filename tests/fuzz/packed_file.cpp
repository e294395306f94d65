// Packed text files: any bytes unpack or are refused; what unpacks packs and unpacks again.
#include <optional>
#include <string>

#include "tests/fuzz/support/FuzzSupport.h"
#include "util/PackedFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolmi;
  std::string_view bytes = fuzz::AsText(data, size);
  IsPackedText(bytes);
  std::optional<std::string> text = UnpackText(bytes);
  if (text) {
    std::optional<std::string> again = UnpackText(PackText(*text));
    fuzz::Require(again && *again == *text, "packed text unpacks to itself");
  }
  return 0;
}
