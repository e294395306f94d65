#include "util/Version.h"

#include <cstdio>

namespace tolmi {

VersionParts AppVersion() {
  return {TOLMI_VERSION_MAJOR, TOLMI_VERSION_MINOR, TOLMI_VERSION_THIRD, TOLMI_VERSION_BUILD};
}

int VersionNumber(const VersionParts& v) {
  return (v.major * 100 + v.third) * 10000 + v.build;
}

std::string VersionText(const VersionParts& v) {
  char text[64];
  std::snprintf(text, sizeof text, "%d.%2.2d.%3.3d", v.major, v.minor, v.third);
  return text;
}

std::string FormatVersion(std::string_view templateText, const VersionParts& v) {
  struct Part {
    std::string_view name;
    const char* format;
    int value;
  };
  const Part parts[] = {{"Major", "%d", v.major},
                        {"Middle", "%2.2d", v.minor},
                        {"Minor", "%3.3d", v.third},
                        {"Build", "%4.4d", v.build}};
  std::string out;
  std::size_t i = 0;
  while (i < templateText.size()) {
    bool replaced = false;
    for (const Part& part : parts) {
      if (templateText.substr(i, part.name.size()) == part.name) {
        char number[32];
        std::snprintf(number, sizeof number, part.format, part.value);
        out += number;
        i += part.name.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) out += templateText[i++];
  }
  return out;
}

}  // namespace tolmi
