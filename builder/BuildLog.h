// The log of one store build: its lines and its error, warning and line
// counters. The counters are raised by the code that adds a line, never
// derived from the text.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tolmi {

class BuildLog {
 public:
  // Appends a line (only while the log is shown) and counts it.
  void AddLine(std::string_view text);
  void CountError() { ++errors; }
  void CountWarning() { ++warnings; }
  // A line that is counted as an error (warning) as well.
  void Error(std::string_view text) {
    AddLine(text);
    CountError();
  }
  void Warning(std::string_view text) {
    AddLine(text);
    CountWarning();
  }
  // Empties the list and sets the three counters to 0.
  void Clear();

  bool shown = true;  // false: lines are dropped, counters still count
  std::vector<std::string> lines;
  int errors = 0;
  int warnings = 0;
  int lineCount = 0;
  // Called with every line added while shown (the CLI prints them as they come).
  std::function<void(const std::string&)> onLine;
};

}  // namespace tolmi
