#include "util/Version.h"

#include <cstdio>

namespace tolmi {

VersionParts AppVersion() {
  return {TOLMI_VERSION_MAJOR, TOLMI_VERSION_MINOR, TOLMI_VERSION_THIRD, TOLMI_VERSION_BUILD};
}

int VersionNumber(const VersionParts& v) { return (v.major * 100 + v.third) * 10000 + v.build; }

std::string VersionText(const VersionParts& v) {
  char text[64];
  std::snprintf(text, sizeof text, "%d.%2.2d.%3.3d", v.major, v.minor, v.third);
  return text;
}

}  // namespace tolmi
