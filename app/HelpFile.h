// The help page of the installation: "help.htm" in the home, shown by the Help
// command and reopened at start when it was open at the last exit ("help").
#pragma once

#include <string>

#include "util/Result.h"

namespace tolmi {

inline constexpr const char* kHelpFileName = "help.htm";

// "<home>/help.htm" (an existing file of another letter case is found too).
std::string HelpFilePath(const std::string& home);

// The bytes of the help page. Fails with NotFound and "ERROR W114: Unable to open
// file 'help.htm'" when it cannot be read; the caller shows that titled "Error".
Result<std::string> ReadHelpFile(const std::string& home);

}  // namespace tolmi
