// Table-driven KEY=value settings: every line is read into a table of each value type; the
// written table reads back into the same values.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/fuzz/support/FuzzSupport.h"
#include "util/Files.h"
#include "util/SettingsTable.h"

namespace {

struct Values {
  std::string text;
  int number = 0;
  char character = 0;
  std::vector<std::string> list;
  bool flag = false;
  std::uint8_t smallFlag = 0;

  tolmi::SettingsTable Table() {
    using namespace tolmi;
    return {TextKey("server", &text), NumberKey("port", &number), CharacterKey("sep", &character),
            ListKey("list", &list),   FlagKey("sound", &flag),    FlagKey("s", &smallFlag)};
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolmi;
  Values values;
  SettingsTable table = values.Table();
  LineReader reader{std::string(fuzz::AsText(data, size))};
  std::string line;
  while (reader.Next(line)) {
    ReadSettingsLine(line, table);
    ParseDecimal(line);
  }
  // The written table reads back into the same table. A blank character (space, CR, LF)
  // is the one value a line cannot carry, and a list joined from many lines may outgrow
  // the reader's line length.
  std::string written = FormatSettings(table);
  Values reread;
  SettingsTable rereadTable = reread.Table();
  LineReader back{written};
  while (back.Next(line)) ReadSettingsLine(line, rereadTable);
  bool fits = true;
  for (std::size_t at = 0, end; at < written.size(); at = end + 1) {
    end = written.find('\n', at);
    if (end - at > kMaxLineLength) fits = false;
  }
  char c = values.character;
  if (c != ' ' && c != '\r' && c != '\n' && fits)
    fuzz::Require(FormatSettings(rereadTable) == written, "settings read back as written", written,
                  FormatSettings(rereadTable));
  return 0;
}
