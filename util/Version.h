// The application's version, fixed at compile time (2.9.3.4361).
#pragma once

#include <string>
#include <string_view>

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

// The template with every "Major" replaced by the first part, "Middle" by the second ("%2.2d"),
// "Minor" by the third ("%3.3d") and "Build" by the fourth ("%4.4d").
// FormatVersion("Major.MiddleMinorBuild", {2, 1, 5, 12}) is "2.010050012".
std::string FormatVersion(std::string_view templateText, const VersionParts& v = AppVersion());

inline constexpr const char* kProductName = "Tolmi PRO";

}  // namespace tolmi
