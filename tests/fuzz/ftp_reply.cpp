// FTP control-connection replies as the client reads them: lines taken off the buffer, the
// code of each final line, and the address of a passive-mode reply.
#include <string>

#include "net/FtpClient.h"
#include "tests/fuzz/support/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolmi;
  std::string buffer(fuzz::AsText(data, size));
  std::string line;
  while (TakeFtpReplyLine(buffer, line)) {
    fuzz::Require(line.find('\n') == std::string::npos, "a reply line holds no LF");
    int code = FtpReplyCode(line);
    fuzz::Require(code >= -1 && code <= 999, "a reply code has three digits");
    if (std::optional<std::string> host = ParseFtpPassive(line))
      fuzz::Require(host->find(':') != std::string::npos, "a passive address has a port");
  }
  fuzz::Require(buffer.find('\n') == std::string::npos, "only a partial line is left");
  ParseFtpPassive(buffer);
  return 0;
}
