// Small helpers shared by the HTTP and FTP engines.
#pragma once

#include <string_view>

namespace tolmi {

// A host made only of digits, "." and ":" (and not empty) is used without a lookup.
inline bool IsNumericHost(std::string_view host) {
  if (host.empty()) return false;
  for (char c : host) {
    if (!((c >= '0' && c <= '9') || c == '.' || c == ':')) return false;
  }
  return true;
}

}  // namespace tolmi
