// Invoices: the invoice templates in "template/Invoices" (listed, created, renamed, deleted,
// restored from "default", written back when edited) and filling a template from one order
// into an HTML page. The order placeholders ("%Name%", "$DCC", "$MM2", "%ORDERID%", ...) are
// shared with the gateway requests of the payments module, which asks for form-encoded or
// raw values instead of HTML-escaped ones.
//
// Customer values (order fields, product texts) come from shoppers. In an invoice they are
// HTML-escaped, and "%" and "$" are written as character references, so a value shows as
// the shopper typed it and is never run as markup or taken for a placeholder.
#pragma once

#include <array>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orders/OrdersTree.h"
#include "util/Result.h"

namespace tolmi {

struct StoreProject;

inline constexpr const char* kInvoiceWriteError =
    "ERROR I108: Unable to write temporary Invoice file ";
inline constexpr const char* kInvoiceRenameError =
    "Unable to rename file. An invoice template with the same name may already exist.";
inline constexpr const char* kNewInvoiceName = "New Invoice";
// The folders below the home, and the output of the Preview command.
inline constexpr const char* kInvoiceTemplateFolder = "template/Invoices";
inline constexpr const char* kInvoiceDefaultFolder = "template/Invoices/default";
inline constexpr const char* kInvoiceOutputFolder = "Invoices";
inline constexpr const char* kInvoicePreviewPath = "temp/preview.html";

// One invoice template: the file template/Invoices/<name>.html.
struct InvoiceTemplate {
  std::string name;
  std::optional<std::string> text;  // read on first use; stays empty when unreadable
  bool modified = false;            // edited since it was last written
};

// The templates of one home, in name order.
struct InvoiceTemplateList {
  std::string home;
  std::vector<InvoiceTemplate> templates;
};

// The file of a template, and of its factory copy in "default".
std::string InvoiceTemplatePath(const InvoiceTemplateList& list, std::string_view name);
std::string DefaultInvoiceTemplatePath(const InvoiceTemplateList& list, std::string_view name);

// Lists every "*.html" file of home/template/Invoices (folders skipped), sorted by name;
// texts are not read yet. A missing folder gives an empty list.
InvoiceTemplateList LoadInvoiceTemplateList(const std::string& home);

// The index of the template named name (exact), or nullopt.
std::optional<std::size_t> FindInvoiceTemplate(const InvoiceTemplateList& list,
                                               std::string_view name);

// Reads the template's text when it is not loaded yet. False when the file cannot be read
// (the template then has no text).
bool LoadInvoiceTemplateText(InvoiceTemplateList& list, std::size_t index);

// An edit in the editor: the text replaces the template's text and marks it modified.
void SetInvoiceTemplateText(InvoiceTemplateList& list, std::size_t index, std::string text);

// Load from File: the file's text replaces the template's text (marked modified). Fails with
// NotFound when the file cannot be read; the template is then unchanged.
Status LoadInvoiceTemplateFromFile(InvoiceTemplateList& list, std::size_t index,
                                   const std::string& path);

// New: creates the empty file "New Invoice.html", or the first free "New Invoice(n).html",
// and appends its template. Returns the new template's index, or an Io error.
Result<std::size_t> NewInvoiceTemplate(InvoiceTemplateList& list);

// Rename: renames the file to newName + ".html" without ever replacing another file. On any
// failure (target exists, name empty or holding a path character, file missing) the error
// carries kInvoiceRenameError and the list is unchanged.
Status RenameInvoiceTemplate(InvoiceTemplateList& list, std::size_t index,
                             std::string_view newName);

// The question asked before a template is deleted.
std::string InvoiceDeleteQuestion(std::string_view name);
// Delete: removes the template from the list and deletes its file. Returns the index to
// select next (the following template, else the previous one), or nullopt when none is left.
std::optional<std::size_t> DeleteInvoiceTemplate(InvoiceTemplateList& list, std::size_t index);

// Whether the template has a factory copy in "default" (Restore Default is offered then).
bool HasDefaultInvoiceTemplate(const InvoiceTemplateList& list, std::size_t index);
// Restore Default: copies the factory copy over the template's file and reloads its text
// (no longer modified). NotFound when there is no factory copy, Io when the copy fails.
Status RestoreDefaultInvoiceTemplate(InvoiceTemplateList& list, std::size_t index);

// Writes every modified template back to its file (atomically) and clears its mark. A
// template that cannot be written stays modified, so the next write-back tries again;
// the first failure is returned after all others were tried.
Status WriteBackInvoiceTemplates(InvoiceTemplateList& list);

using InvoiceDateFormatter = std::function<std::string(std::time_t)>;

// What invoice filling needs besides the order and the template.
struct InvoiceSettings {
  const StoreProject* project = nullptr;     // store-wide variables; null leaves them
  std::string orderUser;                     // "$USER" of the store variables
  std::array<std::string, 5> accountFields;  // "$FIELD1" to "$FIELD5"
  InvoiceDateFormatter formatDate;           // the configured date format; null gives ""
  std::time_t now = 0;                       // "%DATE%" and "$DATE"
};

// How order placeholder values are written into the text.
enum class PlaceholderValues {
  Html,  // invoices: customer values HTML-escaped
  Form,  // gateway requests sent as addresses: customer values form-encoded
  Raw,   // gateway requests that are posted: values as they are
};

// The item text of invoices and the orders window: name, then " (" option 1 ", " option 2 ")"
// with only the options that are not empty: "Shirt (Large, Red)", "Shirt (Red)", "Shirt".
std::string ItemDescription(const OrderItem& item);

// Substitutes the order placeholders in text, in this order: each field's "%name%" (any
// case; a "%ZIP%" field also fills "%POSTCODE%"), "$FIELD1".."$FIELD5", "$DCC", "$TOTAL",
// "%ORDERID%" (first "-" made "0"), "%INVOICENUMBER%", "%ORDERDATE%", "%DATE%",
// "$COMPANY", "$YY"/"$YEAR", "$MM2"/"$MM", "$DATE".
void SubstituteOrderPlaceholders(std::string& text, const OrderRecord& order,
                                 const InvoiceSettings& settings, PlaceholderValues values);

// The invoice page for an order: "$TITLE", the <LOOP> rows, the store variables, the order
// placeholders, freight and totals, the merchant placeholders left over, and every "%...%"
// run that nothing filled removed.
std::string FillInvoice(std::string_view templateText, std::string_view templateName,
                        const OrderRecord& order, const InvoiceSettings& settings);

// "Invoices/<order name>_<template name>.html" below the home.
std::string InvoiceOutputPath(const std::string& home, std::string_view orderName,
                              std::string_view templateName);

// Reads the template's text if needed, fills it and writes outputPath (creating its folder).
// A template without text writes nothing and fails with NotFound; a file that cannot be
// written fails with Io and the message kInvoiceWriteError.
Status GenerateInvoice(InvoiceTemplateList& list, std::size_t index, const OrderRecord& order,
                       const InvoiceSettings& settings, const std::string& outputPath);

}  // namespace tolmi
