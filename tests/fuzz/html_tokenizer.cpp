// The HTML tokenizer: any bytes, every option; the tokens give the input back in order.
#include <string>

#include "tests/fuzz/support/FuzzSupport.h"
#include "util/HtmlTokenizer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolmi;
  std::string_view text = fuzz::AsText(data, size);
  for (int options = 0; options < 4; ++options) {
    std::string joined;
    std::size_t offset = 0;
    for (const HtmlToken& token : HtmlTokenize(text, options)) {
      fuzz::Require(token.offset == offset, "token offsets follow each other");
      fuzz::Require(!token.text.empty(), "no empty token");
      offset += token.text.size();
      joined += token.text;
      if (token.kind > 0 && token.kind <= kHtmlTagCount) HtmlTagName(token.kind);
    }
    fuzz::Require(joined == text, "tokens give the input back", joined, text);
  }
  if (size <= 16) HtmlTagNumber(text);
  return 0;
}
