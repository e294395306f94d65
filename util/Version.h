// The application's version, fixed at compile time (2.9.3.4361).
#pragma once

#include <string>

namespace tolmi {

struct VersionParts {
  int major = 0;  // 2
  int minor = 0;  // 9, the "Middle" part of a version text
  int third = 0;  // 3, the "Minor" part of a version text
  int build = 0;  // 4361
};

// The parts of this build's version.
VersionParts AppVersion();

// The number written into project and orders files: (major*100 + third)*10000 + build.
int VersionNumber(const VersionParts& v = AppVersion());

// The version text "Major.Middle.Minor", e.g. "2.09.003".
std::string VersionText(const VersionParts& v = AppVersion());

inline constexpr const char* kProductName = "Tolmi PRO";

}  // namespace tolmi
