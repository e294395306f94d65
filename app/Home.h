// The home: the writable folder that stands in for the installation directory.
// Every relative file name of the system ("config.ini", "Projects", "template\...")
// is taken below it. A new home is seeded from the shipped, read-only data folder.
#pragma once

#include <string>

#include "util/Result.h"

namespace tolmi {

// The home folder: cliHome when not empty (--home DIR), else $TOLMI_HOME, else
// $XDG_DATA_HOME/tolmi, else $HOME/.local/share/tolmi. Fails with InvalidArgument
// only when none of these can be determined. The folder is not created here.
Result<std::string> ResolveHomeDir(const std::string& cliHome);

// The folder of the shipped installation data: $TOLMI_DATA_DIR when set, else a
// "data" folder beside the program, else "share/tolmi" next to the program's
// folder, else the source tree's "data" folder. Returns "" when none exists.
std::string FindDataDir();

// Copies every file of dataDir (recursively) that the home lacks; files already in
// the home are never touched. Returns the number of files copied, or an Io error
// naming the first file that could not be copied. A missing dataDir copies nothing.
Result<int> SeedHome(const std::string& home, const std::string& dataDir);

// Resolves the home (as ResolveHomeDir), creates it with its "Projects" folder and
// seeds it from FindDataDir(). Returns the home path.
Result<std::string> PrepareHome(const std::string& cliHome);

}  // namespace tolmi
