#include "builder/BuildLog.h"

namespace tolmi {

void BuildLog::AddLine(std::string_view text) {
  ++lineCount;
  if (!shown) return;
  lines.emplace_back(text);
  if (onLine) onLine(lines.back());
}

void BuildLog::Clear() {
  lines.clear();
  errors = 0;
  warnings = 0;
  lineCount = 0;
}

}  // namespace tolmi
