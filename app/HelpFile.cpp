#include "app/HelpFile.h"

#include <optional>

#include "util/Files.h"
#include "util/Paths.h"

namespace tolmi {

std::string HelpFilePath(const std::string& home) {
  return ResolveExistingPath(JoinPath(home, kHelpFileName));
}

Result<std::string> ReadHelpFile(const std::string& home) {
  std::optional<std::string> bytes = ReadWholeFile(HelpFilePath(home));
  if (!bytes)
    return Status::Error(ErrorKind::NotFound,
                         std::string("ERROR W114: Unable to open file '") + kHelpFileName + "'");
  return *bytes;
}

}  // namespace tolmi
