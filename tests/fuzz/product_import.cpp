// Product import: the data file's bytes cut into records and fields under settings and a
// column assignment taken from the input's first bytes; the records are imported as new
// products and as updates. The project then writes out and reads back the same.
#include <string>
#include <vector>

#include "project/ProductImport.h"
#include "project/ProjectFile.h"
#include "tests/fuzz/support/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolmi;
  // Eight bytes of set-up: delimiter, quote, escape, decimal point, four column targets.
  if (size < 8) return 0;
  ImportSettings settings;
  static const char kDelimiters[] = {',', ';', '|', ':', '\t', ' '};
  static const char* const kQuotes[] = {"\"", "'", "", "\"\""};
  static const char* const kPoints[] = {".", ",", "", "::"};
  settings.delimiter = kDelimiters[data[0] % 6];
  settings.quote = kQuotes[data[1] % 4];
  settings.escape = data[2] % 2 ? settings.quote : std::string("\\");
  settings.decimalPoint = kPoints[data[3] % 4];

  Result<std::vector<std::string>> records = CutRecords(fuzz::AsText(data + 8, size - 8));
  if (!records) return 0;
  ImportData import;
  import.records = std::move(*records);
  import.settings = settings;
  DetectDelimiter(import.records, settings.delimiter);
  import.columns[0] = ImportTarget::Title;
  constexpr int kTargets = static_cast<int>(ImportTarget::Label6) + 1;
  for (int i = 0; i < 4; ++i)
    import.columns[1 + i] = static_cast<ImportTarget>(data[4 + i] % kTargets);
  for (const std::string& record : import.records) {
    for (const std::string& field : SplitRecord(record, settings)) {
      NumberValue(field, settings.decimalPoint);
      UserTextValue(field, settings.decimalPoint);
      fuzz::Require(FitImportedValue(field).size() <= field.size(), "a fitted value is shorter");
    }
  }
  for (std::size_t c = 0; c < ColumnCount(import) && c < 30; ++c) ColumnHeader(import, c);

  StoreProject project;
  ReadProjectText(project,
                  "NODE2=Shelf\nSTATUS=0\nFILE=shelf.htm\n#BRANCH\n"
                  "NODE1=Boot\nSTATUS=0\nCODE=B1\n#EOB\n",
                  nullptr, false);
  project.selected = RootNode(project);
  std::vector<std::size_t> chosen;
  for (std::size_t i = 0; i < import.records.size() && i < 200; ++i) chosen.push_back(i);
  fuzz::SilentPrompter prompter;
  std::uint32_t serial = 100;
  (void)ImportProducts(project, serial, import, chosen, prompter);
  import.columns[1] = ImportTarget::ProductCode;
  (void)UpdateProducts(project, import, chosen, prompter);

  // Values of spaces alone read back empty and are then left out, so the saved project is
  // checked to read back stably from its second writing on.
  auto rewritten = [](const std::string& text) {
    StoreProject reread;
    ReadProjectText(reread, text, nullptr, false);
    return ProjectFileText(reread, 1700000000, 2034361);
  };
  std::string second = rewritten(ProjectFileText(project, 1700000000, 2034361));
  fuzz::RequireSameText(second, rewritten(second), "imported products save and read back the same");
  return 0;
}
