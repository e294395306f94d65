#include "orders/CsvExport.h"

#include <cstdio>

#include "util/Files.h"

namespace tolmi {

namespace {

std::string Doubled(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    out.push_back(c);
    if (c == '\'') out.push_back('\'');
  }
  return out;
}

void AppendQuoted(std::string& out, std::string_view text) {
  out.push_back('\'');
  out.append(Doubled(text));
  out.push_back('\'');
}

// "," and the quoted text, or "," alone when the text is empty or absent.
void AppendOptional(std::string& out, const std::optional<std::string>& text) {
  out.push_back(',');
  if (text && !text->empty()) AppendQuoted(out, *text);
}

}  // namespace

std::string_view ListStatusText(std::uint16_t status) {
  switch (status) {
    case kStatusCharged:
      return "Charged";
    case kStatusDispatched:
      return "Fulfilled";
    case kStatusConfirm:
      return "Confirmation";
    case kStatusBackOrder:
      return "Backorder";
    case kStatusCancelled:
      return "Canceled";
    case kStatusChargeback:
      return "Chargeback";
    case kStatusRejected:
      return "Rejected";
    default:
      return "Pending";
  }
}

std::string ExportOrdersCsv(const std::vector<const OrderRecord*>& records,
                            const DateFormatter& formatDate) {
  std::string out;
  const OrderRecord* first = nullptr;
  for (const OrderRecord* r : records)
    if (r && r->kind == RecordKind::Order) {
      first = r;
      break;
    }
  if (!first) return out;
  for (std::size_t i = 0; i < first->fields.size(); ++i) {
    if (i) out.push_back(',');
    out.append(Doubled(first->fields[i].name));
  }
  out.append(",OrderID,ChargeStatus,ChargeDate\n");
  out.append(",ProductName,ProductCode,Quantity,Total,Status,Option1,Option2\n");
  for (const OrderRecord* r : records) {
    if (!r || r->kind != RecordKind::Order) continue;
    for (std::size_t i = 0; i < r->fields.size(); ++i) {
      if (i) out.push_back(',');
      AppendQuoted(out, r->fields[i].value);
    }
    out.append(",");
    AppendQuoted(out, r->orderId);
    out.append(",");
    AppendQuoted(out, ListStatusText(r->status));
    out.append(",");
    AppendQuoted(out, r->chargeDate && formatDate ? formatDate(r->chargeDate) : std::string());
    out.push_back('\n');
    for (const OrderItem& it : r->items) {
      if (it.rowKind == RowKind::Separator || it.rowKind == RowKind::Total) continue;
      out.push_back(',');
      AppendQuoted(out, it.name);
      AppendOptional(out, it.code);
      out.append("," + std::to_string(it.quantity) + "," + FormatCents(it.unitCents) + "," +
                 (it.disabled ? "1" : "0"));
      AppendOptional(out, it.option1);
      AppendOptional(out, it.option2);
      out.append(",\n");
    }
  }
  return out;
}

Status WriteOrdersCsv(const std::string& path, const std::vector<const OrderRecord*>& records,
                      const DateFormatter& formatDate) {
  return WriteFileAtomic(path, ExportOrdersCsv(records, formatDate));
}

}  // namespace tolmi
