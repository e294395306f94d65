#include "orders/Invoices.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "builder/FillTemplate.h"
#include "project/StoreProject.h"
#include "util/Files.h"
#include "util/Html.h"
#include "util/Paths.h"
#include "util/Strings.h"

namespace tolmi {

namespace {

constexpr std::string_view kHtmlExtension = ".html";

// A shopper's text for an HTML page: markup characters and the placeholder signs "%" and "$"
// become character references, so the browser shows the text and no later step expands it.
std::string EscapeCustomerText(std::string_view text) {
  std::string out = HtmlEscape(text);
  ReplaceAll(out, "%", "&#37;");
  ReplaceAll(out, "$", "&#36;");
  return out;
}

// A customer value written the way the caller asked for.
std::string CustomerValue(std::string_view value, PlaceholderValues values) {
  switch (values) {
    case PlaceholderValues::Html:
      return EscapeCustomerText(value);
    case PlaceholderValues::Form: {
      std::string s(value);
      UrlEncode(s);
      return s;
    }
    case PlaceholderValues::Raw:
      break;
  }
  return std::string(value);
}

// A value that is not form-encoded in gateway requests, but is still shopper text.
std::string PlainValue(std::string_view value, PlaceholderValues values) {
  return values == PlaceholderValues::Html ? EscapeCustomerText(value) : std::string(value);
}

std::string Amount(Cents value) {
  return FormatCents(value);
}

bool Contains(std::string_view text, std::string_view sub) {
  return text.find(sub) != std::string_view::npos;
}

const OrderField* FindFieldNoCase(const OrderRecord& order, std::string_view name) {
  for (const OrderField& f : order.fields)
    if (EqualsNoCase(f.name, name)) return &f;
  return nullptr;
}

std::string DateText(const InvoiceSettings& settings, std::time_t t) {
  return settings.formatDate ? settings.formatDate(t) : std::string();
}

// One loop row: the first occurrence of each item placeholder, in this order.
void AppendRow(std::string& rows, std::string_view body, const OrderItem& item) {
  std::string row(body);
  ReplaceFirst(row, "%QTY%", IntToText(item.quantity));
  ReplaceFirst(row, "%ITEM%", EscapeCustomerText(ItemDescription(item)));
  ReplaceFirst(row, "%CODE%", item.code ? EscapeCustomerText(*item.code) : std::string());
  ReplaceFirst(row, "%PRICE%", Amount(item.LineCents()));
  ReplaceFirst(row, "%UNITPRICE%", Amount(item.unitCents));
  ReplaceFirst(row, "%TAX%", Amount(item.taxCents));
  ReplaceFirst(row, "%TAXRATE%", FormatScaled(DivRound(item.taxRateMilli, 10), 2));
  rows += row;
}

void ExpandLoop(std::string& text, const OrderRecord& order) {
  std::size_t open = FindNoCase(text, "<LOOP>");
  if (open == kNotFound) return;
  std::size_t close = FindNoCase(text, "</LOOP>", open + 6);
  if (close == kNotFound) return;
  std::string_view body = std::string_view(text).substr(open + 6, close - (open + 6));
  std::string rows;
  for (const OrderItem& item : order.items)
    if (item.rowKind == RowKind::Product) AppendRow(rows, body, item);
  text.replace(open, close + 7 - open, rows);
}

std::string FileNameOf(std::string_view name) {
  return std::string(name) + ".html";
}

}  // namespace

std::string InvoiceTemplatePath(const InvoiceTemplateList& list, std::string_view name) {
  return JoinPath(JoinPath(list.home, kInvoiceTemplateFolder), FileNameOf(name));
}

std::string DefaultInvoiceTemplatePath(const InvoiceTemplateList& list, std::string_view name) {
  return JoinPath(JoinPath(list.home, kInvoiceDefaultFolder), FileNameOf(name));
}

InvoiceTemplateList LoadInvoiceTemplateList(const std::string& home) {
  InvoiceTemplateList list;
  list.home = home;
  std::error_code ec;
  std::string folder = ResolveExistingPath(JoinPath(home, kInvoiceTemplateFolder));
  std::filesystem::directory_iterator it(folder, ec), end;
  std::vector<std::string> names;
  for (; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (it->is_directory(typeError)) continue;
    std::string file = it->path().filename().string();
    if (file.size() <= kHtmlExtension.size() ||
        file.compare(file.size() - kHtmlExtension.size(), kHtmlExtension.size(), kHtmlExtension) !=
            0)
      continue;
    names.push_back(file.substr(0, file.size() - kHtmlExtension.size()));
  }
  std::sort(names.begin(), names.end());
  for (std::string& name : names) list.templates.push_back({std::move(name), std::nullopt, false});
  return list;
}

std::optional<std::size_t> FindInvoiceTemplate(const InvoiceTemplateList& list,
                                               std::string_view name) {
  for (std::size_t i = 0; i < list.templates.size(); ++i)
    if (list.templates[i].name == name) return i;
  return std::nullopt;
}

bool LoadInvoiceTemplateText(InvoiceTemplateList& list, std::size_t index) {
  if (index >= list.templates.size()) return false;
  InvoiceTemplate& t = list.templates[index];
  if (t.text) return true;
  t.text = ReadWholeFile(InvoiceTemplatePath(list, t.name));
  return t.text.has_value();
}

void SetInvoiceTemplateText(InvoiceTemplateList& list, std::size_t index, std::string text) {
  if (index >= list.templates.size()) return;
  list.templates[index].text = std::move(text);
  list.templates[index].modified = true;
}

Status LoadInvoiceTemplateFromFile(InvoiceTemplateList& list, std::size_t index,
                                   const std::string& path) {
  if (index >= list.templates.size())
    return Status::Error(ErrorKind::InvalidArgument, "No invoice template is selected.");
  std::optional<std::string> text = ReadWholeFile(path);
  if (!text) return Status::Error(ErrorKind::NotFound, "Unable to read the file '" + path + "'");
  SetInvoiceTemplateText(list, index, std::move(*text));
  return Status::Ok();
}

Result<std::size_t> NewInvoiceTemplate(InvoiceTemplateList& list) {
  std::string folder = JoinPath(list.home, kInvoiceTemplateFolder);
  CreateDirectoryPath(folder);
  std::string file = FileNameOf(kNewInvoiceName);
  for (int n = 1; FileExists(JoinPath(folder, file)) && n < 100000; ++n)
    file = UniqueFileName(FileNameOf(kNewInvoiceName), n);
  std::string path = JoinPath(folder, file);
  // O_EXCL: never empties a template that appeared in the meantime.
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0)
    return Status::Error(ErrorKind::Io, "Unable to create the invoice template '" + path + "'");
  ::close(fd);
  std::string name = file.substr(0, file.size() - kHtmlExtension.size());
  list.templates.push_back({std::move(name), std::string(), false});
  return list.templates.size() - 1;
}

Status RenameInvoiceTemplate(InvoiceTemplateList& list, std::size_t index,
                             std::string_view newName) {
  Status failed = Status::Error(ErrorKind::Io, kInvoiceRenameError);
  if (index >= list.templates.size()) return failed;
  std::string clean(newName);
  if (clean.empty() || RemoveInvalidNameChars(clean) || clean == "." || clean == "..")
    return failed;
  InvoiceTemplate& t = list.templates[index];
  if (clean == t.name) return Status::Ok();
  std::string from = ResolveExistingPath(InvoiceTemplatePath(list, t.name));
  std::string to = InvoiceTemplatePath(list, clean);
  // A hard link fails when the target exists, so no other template is ever replaced.
  if (::link(from.c_str(), to.c_str()) != 0) {
    if (errno != EPERM && errno != EOPNOTSUPP) return failed;
    if (FileExists(to) || std::rename(from.c_str(), to.c_str()) != 0) return failed;
  } else if (::unlink(from.c_str()) != 0) {
    ::unlink(to.c_str());
    return failed;
  }
  t.name = std::move(clean);
  return Status::Ok();
}

std::string InvoiceDeleteQuestion(std::string_view name) {
  return "The Invoice template '" + std::string(name) +
         ".html' will be permanently deleted. Do you wish to proceed?";
}

std::optional<std::size_t> DeleteInvoiceTemplate(InvoiceTemplateList& list, std::size_t index) {
  if (index >= list.templates.size()) return std::nullopt;
  std::string path = ResolveExistingPath(InvoiceTemplatePath(list, list.templates[index].name));
  std::remove(path.c_str());
  list.templates.erase(list.templates.begin() + static_cast<std::ptrdiff_t>(index));
  if (list.templates.empty()) return std::nullopt;
  return std::min(index, list.templates.size() - 1);
}

bool HasDefaultInvoiceTemplate(const InvoiceTemplateList& list, std::size_t index) {
  if (index >= list.templates.size()) return false;
  std::string path =
      ResolveExistingPath(DefaultInvoiceTemplatePath(list, list.templates[index].name));
  return FileExists(path) && !IsDirectory(path);
}

Status RestoreDefaultInvoiceTemplate(InvoiceTemplateList& list, std::size_t index) {
  if (!HasDefaultInvoiceTemplate(list, index))
    return Status::Error(ErrorKind::NotFound, "There is no default copy of this template.");
  InvoiceTemplate& t = list.templates[index];
  std::optional<std::string> text =
      ReadWholeFile(ResolveExistingPath(DefaultInvoiceTemplatePath(list, t.name)));
  if (!text)
    return Status::Error(ErrorKind::NotFound, "There is no default copy of this template.");
  Status written = WriteFileAtomic(InvoiceTemplatePath(list, t.name), *text);
  if (!written.ok()) return written;
  t.text = std::move(*text);
  t.modified = false;
  return Status::Ok();
}

Status WriteBackInvoiceTemplates(InvoiceTemplateList& list) {
  Status first;
  for (InvoiceTemplate& t : list.templates) {
    if (!t.modified) continue;
    Status s = WriteFileAtomic(InvoiceTemplatePath(list, t.name), t.text.value_or(std::string()));
    if (s.ok()) {
      t.modified = false;
    } else if (first.ok()) {
      first = s;
    }
  }
  return first;
}

std::string ItemDescription(const OrderItem& item) {
  std::string text = item.name;
  const std::string one = item.option1.value_or(std::string());
  const std::string two = item.option2.value_or(std::string());
  if (one.empty() && two.empty()) return text;
  text += " (";
  text += one;
  if (!one.empty() && !two.empty()) text += ", ";
  text += two;
  text += ")";
  return text;
}

void SubstituteOrderPlaceholders(std::string& text, const OrderRecord& order,
                                 const InvoiceSettings& settings, PlaceholderValues values) {
  for (const OrderField& field : order.fields) {  // 1
    if (field.name.empty()) continue;             // "%%" names no field
    std::string placeholder = "%" + field.name + "%";
    std::string value = CustomerValue(field.value, values);
    ReplaceAllNoCase(text, placeholder, value);
    if (EqualsNoCase(placeholder, "%ZIP%")) ReplaceAllNoCase(text, "%POSTCODE%", value);
  }
  for (int i = 0; i < 5; ++i)  // 2
    ReplaceAll(text, "$FIELD" + std::to_string(i + 1), settings.accountFields[i]);
  const std::string total = Amount(order.totalCents);
  if (Contains(text, "$DCC")) {  // 3
    std::string cents = total;
    ReplaceFirst(cents, ".", "");
    ReplaceAll(text, "$DCC", cents);
  }
  ReplaceAll(text, "$TOTAL", total);    // 4
  std::string orderId = order.orderId;  // 5
  ReplaceFirst(orderId, "-", "0");
  ReplaceAll(text, "%ORDERID%", PlainValue(orderId, values));
  ReplaceAll(text, "%INVOICENUMBER%", PlainValue(order.name, values));   // 6
  ReplaceAll(text, "%ORDERDATE%", DateText(settings, order.orderDate));  // 7
  ReplaceAll(text, "%DATE%", DateText(settings, settings.now));
  const std::string* company =  // 8
      settings.project ? GetVariable(settings.project->variables, "$COMPANY") : nullptr;
  ReplaceAll(text, "$COMPANY", company ? *company : std::string());
  if (Contains(text, "$Y")) {  // 9
    const OrderField* year = FindFieldNoCase(order, "CardExpiryYear");
    std::string whole = year ? year->value : std::string();
    ReplaceAll(text, "$YY",
               PlainValue(whole.size() >= 3 ? whole.substr(2) : std::string(), values));
    ReplaceAll(text, "$YEAR", PlainValue(whole, values));
  }
  if (Contains(text, "$MM")) {  // 10
    const OrderField* month = FindFieldNoCase(order, "CardExpiryMonth");
    std::string value = month ? month->value : std::string();
    char two[16];
    std::snprintf(two, sizeof two, "%02i", static_cast<int>(ParseInt32(value)));
    ReplaceAll(text, "$MM2", two);
    if (!value.empty() && value[0] == '0') value.erase(0, 1);
    ReplaceAll(text, "$MM", PlainValue(value, values));
  }
  ReplaceAll(text, "$DATE", DateText(settings, settings.now));  // 11
}

std::string FillInvoice(std::string_view templateText, std::string_view templateName,
                        const OrderRecord& order, const InvoiceSettings& settings) {
  std::string text(templateText);
  ReplaceUpTo(text, "$TITLE", templateName, 4);                                             // 1
  ExpandLoop(text, order);                                                                  // 2, 3
  if (settings.project) ApplyGlobalVariables(text, *settings.project, settings.orderUser);  // 4
  SubstituteOrderPlaceholders(text, order, settings, PlaceholderValues::Html);              // 5
  ReplaceAll(text, "%FREIGHT%", Amount(order.freightCents));                                // 6
  const OrderField* freightTax = FindField(order, "FreightTax");
  ReplaceAll(text, "%FREIGHTTAX%", freightTax ? EscapeCustomerText(freightTax->value) : "0.00");
  ReplaceFirst(text, "%SUBTOTAL%", Amount(order.totalCents - order.taxCents));  // 7
  ReplaceFirst(text, "%TOTALTAX%", Amount(order.taxCents));
  ReplaceFirst(text, "%TOTAL%", Amount(order.totalCents));
  for (const char* merchant :  // 9
       {"$COMPANY", "$STREET", "$CITY", "$STATE", "$ZIP", "$COUNTRY", "$EMAIL", "$WEBSITE"})
    ReplaceUpTo(text, merchant, "", 4);
  StripPercentVariables(text);  // 10
  return text;
}

std::string InvoiceOutputPath(const std::string& home, std::string_view orderName,
                              std::string_view templateName) {
  // Names read from a damaged orders file must not lead the page out of the folder.
  std::string file = std::string(orderName) + "_" + std::string(templateName);
  std::erase_if(file, [](char c) { return c == '/' || c == '\\' || c == '\0'; });
  return JoinPath(JoinPath(home, kInvoiceOutputFolder), file + ".html");
}

Status GenerateInvoice(InvoiceTemplateList& list, std::size_t index, const OrderRecord& order,
                       const InvoiceSettings& settings, const std::string& outputPath) {
  if (!LoadInvoiceTemplateText(list, index))
    return Status::Error(ErrorKind::NotFound, "The invoice template cannot be read.");
  const InvoiceTemplate& t = list.templates[index];
  std::string page = FillInvoice(*t.text, t.name, order, settings);
  std::string path = NormalisePath(outputPath);
  std::size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) CreateDirectoryPath(path.substr(0, slash));
  Status written = WriteFileAtomic(path, page);
  if (!written.ok()) return Status::Error(ErrorKind::Io, kInvoiceWriteError);
  return Status::Ok();
}

}  // namespace tolmi
