#include "project/ProductImport.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "project/TreeEditing.h"
#include "util/Files.h"
#include "util/Paths.h"
#include "util/Strings.h"

namespace tolmi {

namespace {

constexpr std::array<const char*, 27> kHeaders = {"???",
                                                  "Title",
                                                  "Page Title",
                                                  "Filename",
                                                  "Product Code",
                                                  "Meta Keywords",
                                                  "Meta Description",
                                                  "Image URL",
                                                  "Image Link",
                                                  "Template",
                                                  "Cost",
                                                  "Tax",
                                                  "Weight",
                                                  "Freight",
                                                  "Description",
                                                  "Field 1",
                                                  "Field 2",
                                                  "Field 3",
                                                  "Field 4",
                                                  "Field 5",
                                                  "Field 6",
                                                  "Label 1",
                                                  "Label 2",
                                                  "Label 3",
                                                  "Label 4",
                                                  "Label 5",
                                                  "Label 6"};

constexpr const char* kTitleMissing =
    "When importing new items, the title must be defined.\r\nTo define a title, click on the "
    "appropriate column and select \"Title\" from the menu.";
constexpr const char* kCodeMissing =
    "An update operation requires a Product Code field to be defined.";

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (true) {
    std::size_t hit = text.find(from, pos);
    if (hit == std::string_view::npos) break;
    out.append(text.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(text.substr(pos));
  return out;
}

bool HasColumn(const ImportData& data, ImportTarget target) {
  for (ImportTarget t : data.columns) {
    if (t == target) return true;
  }
  return false;
}

// Puts one treated value into the product field of the target.
void ApplyValue(StoreNode& node, ImportTarget target, std::string_view value,
                std::string_view decimalPoint) {
  const int t = static_cast<int>(target);
  switch (target) {
    case ImportTarget::None:
      return;
    case ImportTarget::Title:
      node.title = std::string(value);
      return;
    case ImportTarget::PageTitle:
      node.page = std::string(value);
      node.pagePresent = true;
      return;
    case ImportTarget::Filename:
      node.file = std::string(value);
      return;
    case ImportTarget::ProductCode:
      node.code = std::string(value);
      return;
    case ImportTarget::MetaKeywords:
      node.keywords = std::string(value);
      return;
    case ImportTarget::MetaDescription:
      node.desc = std::string(value);
      return;
    case ImportTarget::ImageUrl:
      node.image = std::string(value);
      return;
    case ImportTarget::ImageLink:
      node.link = std::string(value);
      return;
    case ImportTarget::Template:
      node.temp = std::string(value);
      return;
    case ImportTarget::Cost:
      node.cost = NumberValue(value, decimalPoint);
      return;
    case ImportTarget::Tax:
      node.tax = NumberValue(value, decimalPoint);
      return;
    case ImportTarget::Weight:
      node.weight = NumberValue(value, decimalPoint);
      return;
    case ImportTarget::Freight:
      node.freight = NumberValue(value, decimalPoint);
      return;
    case ImportTarget::Description:
      node.body = std::string(value);
      return;
    default:
      break;
  }
  if (t >= static_cast<int>(ImportTarget::Field1) && t <= static_cast<int>(ImportTarget::Field6)) {
    node.fields[t - static_cast<int>(ImportTarget::Field1)] = UserTextValue(value, decimalPoint);
  } else if (t >= static_cast<int>(ImportTarget::Label1) &&
             t <= static_cast<int>(ImportTarget::Label6)) {
    node.labels[t - static_cast<int>(ImportTarget::Label1)] = UserTextValue(value, decimalPoint);
  }
}

// Every assigned column's value, left to right, so the rightmost of a target wins.
void ApplyRecord(StoreNode& node, const ImportData& data, const std::vector<std::string>& fields) {
  for (std::size_t c = 0; c < kAssignableColumns && c < fields.size(); ++c) {
    ApplyValue(node, data.columns[c], FitImportedValue(fields[c]), data.settings.decimalPoint);
  }
  for (std::size_t c = fields.size(); c < kAssignableColumns; ++c) {
    ApplyValue(node, data.columns[c], "", data.settings.decimalPoint);
  }
}

}  // namespace

const char* TargetHeader(ImportTarget target) {
  auto i = static_cast<std::size_t>(target);
  return i < kHeaders.size() ? kHeaders[i] : "???";
}

std::optional<ImportTarget> TargetFromName(std::string_view name) {
  for (std::size_t i = 1; i < kHeaders.size(); ++i) {
    if (EqualsNoCase(name, kHeaders[i])) return static_cast<ImportTarget>(i);
  }
  // The menu's spelling of the user fields: "Field1", "Label1".
  if (name.size() == 6 && IsDigit(name[5]) && name[5] >= '1' && name[5] <= '6') {
    int n = name[5] - '1';
    if (EqualsNoCase(name.substr(0, 5), "Field")) {
      return static_cast<ImportTarget>(static_cast<int>(ImportTarget::Field1) + n);
    }
    if (EqualsNoCase(name.substr(0, 5), "Label")) {
      return static_cast<ImportTarget>(static_cast<int>(ImportTarget::Label1) + n);
    }
  }
  return std::nullopt;
}

namespace {

// The runs of '"' of a text, met in order: finds the first run of odd length at or after a
// position. Positions asked for only grow, so a whole file costs one pass.
class OddQuoteRuns {
 public:
  explicit OddQuoteRuns(std::string_view bytes) : bytes_(bytes) {}

  // The last quote of the first odd run starting at or after FROM; npos when none.
  std::size_t LastOfFirstFrom(std::size_t from) {
    if (end_ != std::string_view::npos && start_ >= from) return end_;
    end_ = std::string_view::npos;
    pos_ = std::max(pos_, from);
    while (pos_ < bytes_.size()) {
      if (bytes_[pos_] != '"') {
        ++pos_;
        continue;
      }
      const std::size_t start = pos_;
      while (pos_ < bytes_.size() && bytes_[pos_] == '"') ++pos_;
      if ((pos_ - start) % 2 == 1) {
        start_ = start;
        end_ = pos_ - 1;
        return end_;
      }
    }
    return std::string_view::npos;
  }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
  std::size_t start_ = 0;
  std::size_t end_ = std::string_view::npos;
};

// Where the record starting at POS ends: at the first line feed outside a quoted field (a
// spreadsheet keeps line breaks of a cell inside its quotes). A double quote opens a field
// only at the field's start; one that does not close within the longest supported line
// leaves the record ending at its line's end, as a file without quoted line breaks does.
std::size_t RecordEnd(std::string_view bytes, std::size_t pos, OddQuoteRuns& runs) {
  const std::size_t lineEnd = std::min(bytes.find('\n', pos), bytes.size());
  bool fieldStart = true;
  for (std::size_t i = pos; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c == '\n') return i;
    if (c == '"' && fieldStart) {
      std::size_t run = i;
      while (run < bytes.size() && bytes[run] == '"') ++run;
      // "" opens and closes an empty field; otherwise pairs stand for one quote and the
      // first odd run of quotes closes.
      std::size_t close = (run - i) % 2 == 0 ? run - 1 : runs.LastOfFirstFrom(run);
      if (close == std::string_view::npos || close - pos > kImportPieceSize) return lineEnd;
      i = close;
      fieldStart = false;
    } else if (c == ',' || c == ';' || c == '|' || c == ':') {
      fieldStart = true;
    } else if (c != ' ' && c != '\t' && c != '\r') {
      fieldStart = false;
    }
  }
  return bytes.size();
}

}  // namespace

Result<std::vector<std::string>> CutRecords(std::string_view bytes) {
  std::vector<std::string> records;
  OddQuoteRuns runs(bytes);
  std::size_t pos = 0;
  std::size_t lineNumber = 1;
  while (pos < bytes.size()) {
    const std::size_t end = RecordEnd(bytes, pos, runs);
    std::string_view text = bytes.substr(pos, end - pos);
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    if (text.size() > kImportPieceSize) {
      return Status::Error(ErrorKind::Corrupt,
                           "Line " + std::to_string(lineNumber) +
                               " of the data file is longer than 40000 bytes; nothing was read.");
    }
    if (!text.empty()) {
      std::string record(text);
      // A line break kept inside a quoted field is stored as a plain line feed.
      for (std::size_t at = record.find("\r\n"); at != std::string::npos;
           at = record.find("\r\n", at))
        record.erase(at, 1);
      lineNumber += static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
      records.push_back(std::move(record));
    }
    ++lineNumber;
    pos = end + 1;
  }
  return records;
}

Result<ImportData> ReadDataFile(const std::string& path) {
  ImportData data;
  auto bytes = ReadWholeFile(path);
  if (!bytes) return data;  // an unreadable file opens an empty list
  auto records = CutRecords(*bytes);
  if (!records) return records.status();
  data.records = std::move(records.value());
  data.settings.delimiter = DetectDelimiter(data.records, data.settings.delimiter);
  return data;
}

char DetectDelimiter(const std::vector<std::string>& records, char current) {
  constexpr std::array<char, 4> kCandidates = {',', ';', '|', ':'};
  std::array<std::size_t, 4> totals{};
  for (std::size_t r = 0; r < records.size() && r < 10; ++r) {
    for (std::size_t c = 0; c < kCandidates.size(); ++c) {
      totals[c] += StrCountOutsideQuotes(records[r], kCandidates[c]);
    }
  }
  for (std::size_t c = 0; c < kCandidates.size(); ++c) {
    bool strict = true;
    for (std::size_t o = 0; o < kCandidates.size(); ++o) {
      if (o != c && totals[c] <= totals[o]) strict = false;
    }
    if (strict) return kCandidates[c];
  }
  return current;
}

std::vector<std::string> SplitRecord(std::string_view record, const ImportSettings& settings) {
  std::vector<std::string> fields;
  const char delimiter = settings.delimiter;
  const bool hasQuote = !settings.quote.empty();
  const char quote = hasQuote ? settings.quote[0] : '\0';
  const bool hasEscape = !settings.escape.empty();
  const char escape = hasEscape ? settings.escape[0] : '\0';
  std::size_t pos = 0;
  const std::size_t n = record.size();
  while (true) {
    while (pos < n && IsBlank(record[pos]) && record[pos] != delimiter) ++pos;
    std::string field;
    if (hasQuote && pos < n && record[pos] == quote) {
      const std::size_t start = pos + 1;
      std::size_t i = start;
      std::size_t close = n;  // unclosed: the field runs to the end of the line
      while (i < n) {
        if (record[i] != quote) {
          ++i;
          continue;
        }
        if (hasEscape && escape == quote) {
          std::size_t run = 0;
          while (i + run < n && record[i + run] == quote) ++run;
          if (run % 2 == 1) {
            close = i + run - 1;
            break;
          }
          i += run;
        } else if (hasEscape && i > start && record[i - 1] == escape) {
          ++i;
        } else {
          close = i;
          break;
        }
      }
      std::string_view inner = record.substr(start, close - start);
      if (hasEscape) {
        field = ReplaceAll(inner, std::string{escape, quote}, std::string(1, quote));
      } else {
        field = std::string(inner);
      }
      pos = close < n ? close + 1 : n;
      // Text between the closing quote and the delimiter is kept.
      std::size_t next = record.find(delimiter, pos);
      if (next == std::string_view::npos) next = n;
      field.append(record.substr(pos, next - pos));
      pos = next;
    } else {
      std::size_t next = record.find(delimiter, pos);
      if (next == std::string_view::npos) next = n;
      field = std::string(record.substr(pos, next - pos));
      pos = next;
    }
    fields.push_back(std::move(field));
    if (pos >= n) break;
    ++pos;  // past the delimiter
  }
  return fields;
}

std::size_t ColumnCount(const ImportData& data) {
  std::size_t count = 0;
  for (const auto& record : data.records) {
    count = std::max(count, SplitRecord(record, data.settings).size());
  }
  return count;
}

std::string ColumnHeader(const ImportData& data, std::size_t column) {
  if (column >= kAssignableColumns) return "???";
  return TargetHeader(data.columns[column]);
}

std::string NumberValue(std::string_view text, std::string_view decimalPoint) {
  std::string value = (decimalPoint.empty() || decimalPoint == ".")
                          ? std::string(text)
                          : ReplaceAll(text, decimalPoint, ".");
  std::string out;
  for (char c : value) {
    if (IsDigit(c) || c == '.') out.push_back(c);
  }
  return out;
}

std::string UserTextValue(std::string_view text, std::string_view decimalPoint) {
  if (decimalPoint.empty() || decimalPoint == "." || text.empty()) return std::string(text);
  if (!IsDigit(text[0]) && text.substr(0, decimalPoint.size()) != decimalPoint) {
    return std::string(text);
  }
  return ReplaceAll(text, decimalPoint, ".");
}

std::string_view FitImportedValue(std::string_view value) {
  std::size_t cost = 0;
  for (std::size_t i = 0; i < value.size(); ++i) {
    cost += (value[i] == '\r' || value[i] == '\n') ? 3 : 1;
    if (cost > kMaxImportedValue) return value.substr(0, i);
  }
  return value;
}

std::string ImportProgressText(int done, int total) {
  return std::to_string(done) + "/" + std::to_string(total) + " Records imported.";
}

Result<int> ImportProducts(StoreProject& project, std::uint32_t& serialCounter,
                           const ImportData& data, const std::vector<std::size_t>& chosen,
                           Prompter& prompter, const ImportProgress& progress) {
  if (!HasColumn(data, ImportTarget::Title)) {
    prompter.Show(kTitleMissing, "Import Error", PromptIcon::Error);
    return Status::Error(ErrorKind::InvalidArgument, kTitleMissing);
  }
  StoreNode* selected = project.selected;
  if (selected == nullptr) return 0;
  StoreNode* holder = nullptr;
  if (selected->kind == NodeKind::Category || selected->kind == NodeKind::Shelf ||
      selected->kind == NodeKind::List) {
    holder = selected;
  } else {
    holder = ParentNode(*selected);
  }
  const bool fileImported = HasColumn(data, ImportTarget::Filename);
  const bool codeImported = HasColumn(data, ImportTarget::ProductCode);
  bool labelImported[6];
  for (int i = 0; i < 6; ++i) {
    labelImported[i] =
        HasColumn(data, static_cast<ImportTarget>(static_cast<int>(ImportTarget::Label1) + i));
  }
  // File names in use, kept up to date so the whole import stays linear.
  std::unordered_set<std::string> usedFiles;
  ForEachNode(project, [&](const StoreNode& n) {
    if (!n.file.empty()) usedFiles.insert(ToLowerAscii(n.file));
  });
  const int total = static_cast<int>(chosen.size());
  int imported = 0;
  int done = 0;
  for (std::size_t index : chosen) {
    if (index >= data.records.size()) continue;
    auto node = CreateNode();
    node->kind = NodeKind::Product;
    ApplyRecord(*node, data, SplitRecord(data.records[index], data.settings));
    node->serial = ++serialCounter;
    if (!codeImported) node->code = std::to_string(node->serial);
    if (node->title.empty() && !HasColumn(data, ImportTarget::Title)) node->title = node->code;
    for (int i = 0; i < 6; ++i) {
      if (!labelImported[i]) node->labels[i] = selected->labels[i];
    }
    if (!fileImported) {
      const std::string base = std::to_string(node->serial) + ".htm";
      std::string candidate = base;
      for (int n = 1; usedFiles.count(ToLowerAscii(candidate)) != 0; ++n) {
        candidate = UniqueFileName(base, n);
      }
      node->file = candidate;
    }
    ++done;
    if (holder != nullptr) {
      if (!node->file.empty()) usedFiles.insert(ToLowerAscii(node->file));
      AppendNode(project, holder, std::move(node));
      ++imported;
    }
    if (progress && (done % 100 == 0 || done == total)) {
      if (!progress(done, total)) break;
    }
  }
  project.changed = true;
  prompter.Show(std::to_string(imported) + " record(s) have been imported.", "Import Complete",
                PromptIcon::Information);
  return imported;
}

Result<int> UpdateProducts(StoreProject& project, const ImportData& data,
                           const std::vector<std::size_t>& chosen, Prompter& prompter) {
  std::size_t codeColumn = kAssignableColumns;
  for (std::size_t c = 0; c < kAssignableColumns; ++c) {
    if (data.columns[c] == ImportTarget::ProductCode) codeColumn = c;  // rightmost wins
  }
  if (codeColumn == kAssignableColumns) {
    prompter.Show(kCodeMissing, "Import Error", PromptIcon::Error);
    return Status::Error(ErrorKind::InvalidArgument, kCodeMissing);
  }
  // The first node of each code in the search order (children before their node),
  // found in one walk so that updating many records stays linear.
  std::unordered_map<std::string, StoreNode*> byCode;
  struct Frame {
    StoreNode* node;
    std::size_t next;
  };
  std::vector<Frame> stack{{&project.top(), 0}};
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next < frame.node->children.size()) {
      StoreNode* child = frame.node->children[frame.next++].get();
      stack.push_back({child, 0});
      continue;
    }
    StoreNode* done = frame.node;
    stack.pop_back();
    // A node without a code is never matched: an empty code cell updates nothing.
    if (!done->isTopHolder && !done->code.empty()) byCode.emplace(done->code, done);
  }
  int updated = 0;
  for (std::size_t index : chosen) {
    if (index >= data.records.size()) continue;
    auto fields = SplitRecord(data.records[index], data.settings);
    const std::string code = codeColumn < fields.size() ? fields[codeColumn] : std::string();
    auto hit = byCode.find(code);
    if (hit == byCode.end()) continue;
    ApplyRecord(*hit->second, data, fields);
    ++updated;
  }
  project.changed = true;
  prompter.Show(std::to_string(updated) + " record(s) have been updated.", "Update Complete",
                PromptIcon::Information);
  return updated;
}

}  // namespace tolmi
