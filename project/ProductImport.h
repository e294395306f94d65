// Product data import: reading a delimited data file, splitting its records into
// fields, assigning columns to product fields, and adding or updating products.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "project/StoreProject.h"
#include "util/Platform.h"
#include "util/Result.h"

namespace tolmi {

inline constexpr std::size_t kImportPieceSize = 40000;  // longest supported line
inline constexpr std::size_t kAssignableColumns = 26;
// The longest value an imported field keeps (a line break counting as its stored
// "@@@"), so that the product's line in the project file stays within the line
// limit of the file's reader and reads back as one line.
inline constexpr std::size_t kMaxImportedValue = 39900;

// The product field a column feeds, in the order of the column menu.
enum class ImportTarget : std::uint8_t {
  None,
  Title,
  PageTitle,
  Filename,
  ProductCode,
  MetaKeywords,
  MetaDescription,
  ImageUrl,
  ImageLink,
  Template,
  Cost,
  Tax,
  Weight,
  Freight,
  Description,
  Field1,
  Field2,
  Field3,
  Field4,
  Field5,
  Field6,
  Label1,
  Label2,
  Label3,
  Label4,
  Label5,
  Label6,
};

// The column header of a target ("Title", "Field 3", ...); "???" for None.
const char* TargetHeader(ImportTarget target);
// The target whose header (or menu entry) matches, ASCII case ignored; nullopt if none.
std::optional<ImportTarget> TargetFromName(std::string_view name);

struct ImportSettings {
  char delimiter = ',';
  std::string quote = "\"";
  std::string escape = "\"";
  std::string decimalPoint = ".";
};

// The import state: the file's records and the column assignment.
struct ImportData {
  std::vector<std::string> records;  // non-empty lines, raw
  ImportSettings settings;
  std::array<ImportTarget, kAssignableColumns> columns{};  // all None at first
};

// Cuts a file's bytes into records: lines end at LF, a CR before the LF is dropped,
// empty lines are skipped. A line break inside a double-quoted field (one that closes
// within kImportPieceSize bytes) stays in its record as LF. A record longer than
// kImportPieceSize is an error.
Result<std::vector<std::string>> CutRecords(std::string_view bytes);

// Reads a data file into records and detects its delimiter. A file that cannot be
// opened gives an empty record list.
Result<ImportData> ReadDataFile(const std::string& path);

// Counts ",", ";", "|" and ":" outside quoted runs over the first ten records; the
// strict winner is the delimiter, otherwise `current` is kept.
char DetectDelimiter(const std::vector<std::string>& records, char current);

// Splits one record into its fields.
std::vector<std::string> SplitRecord(std::string_view record, const ImportSettings& settings);

// The largest number of fields of any record.
std::size_t ColumnCount(const ImportData& data);

// The header shown above a column: its target's header, "???" without one.
std::string ColumnHeader(const ImportData& data, std::size_t column);

// Cost, Tax, Weight, Freight: decimal point to ".", then only digits and "." kept.
std::string NumberValue(std::string_view text, std::string_view decimalPoint);
// Field 1-6, Label 1-6: the decimal point becomes "." when the text starts with a
// digit or the decimal point.
std::string UserTextValue(std::string_view text, std::string_view decimalPoint);

// The value cut to kMaxImportedValue (line breaks counted as three bytes).
std::string_view FitImportedValue(std::string_view value);

// "%d/%d Records imported."
std::string ImportProgressText(int done, int total);

// Called about every hundred records with (done, total); returning false cancels
// after the current record.
using ImportProgress = std::function<bool(int done, int total)>;

// Adds one product per chosen record (record indices, in that order) below the
// selected node. Shows the error or completion message; returns the number of
// products added, or an error when no column carries the title.
Result<int> ImportProducts(StoreProject& project, std::uint32_t& serialCounter,
                           const ImportData& data, const std::vector<std::size_t>& chosen,
                           Prompter& prompter, const ImportProgress& progress = nullptr);

// Updates the first product (children before their node) whose CODE equals each
// chosen record's Product Code. Returns the number of products updated.
Result<int> UpdateProducts(StoreProject& project, const ImportData& data,
                           const std::vector<std::size_t>& chosen, Prompter& prompter);

}  // namespace tolmi
