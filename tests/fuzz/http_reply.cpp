// HTTP replies as the client reads them: the head's end, its status, length and date, and a
// redirect's target resolved against a plain and a POST address. The first line of the input
// doubles as a request address for the URL splitters.
#include <string>

#include "net/HttpClient.h"
#include "tests/fuzz/support/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolmi;
  std::string_view reply = fuzz::AsText(data, size);
  std::size_t headLength = HttpHeadLength(reply);
  fuzz::Require(headLength <= reply.size(), "the head lies within the reply");
  // A scan resumed anywhere before the head's end finds the same end.
  if (headLength >= 4)
    fuzz::Require(HttpHeadLength(reply, headLength - 4) == headLength,
                  "a resumed scan finds the same head");
  HttpReplyHead head = ParseHttpReplyHead(reply.substr(0, headLength ? headLength : reply.size()));
  fuzz::Require(head.statusCode >= 0 && head.statusCode <= 0xffff, "the status fits");
  for (std::string_view oldUrl :
       {"http://shop.example/a/b.htm", "http://h:81/POST x?$HTTPa=1", "", "no-scheme"}) {
    std::string target = HttpRedirectUrl(oldUrl, reply, headLength);
    fuzz::Require(target.size() <= 2047, "a redirect target is bounded");
  }
  std::string_view firstLine = reply.substr(0, reply.find_first_of("\r\n"));
  SplitHttpUrl(firstLine);
  SplitHttpsTarget(firstLine);
  HttpComposeSettings settings;
  settings.proxy = size % 2;
  ComposeHttpRequest(firstLine, settings);
  ComposeHttpsHeaders(firstLine, settings);
  return 0;
}
