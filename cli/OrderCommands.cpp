// tolmi-cli orders: list, show, mark, export, invoice, new, delete and parse-reply on the
// home's "orders.ost", through the same core operations as the orders window.
//   orders list                      the folder tree with one line per order
//   orders show ORDER                an order's fields and product lines (marks it read)
//   orders mark ORDER STATUS         sets a status (Charged also sets the charge date)
//   orders export FILE [NAME]        CSV of every order, or of one order or folder
//   orders invoice ORDER [--template NAME] [--out FILE] [--project P]
//   orders new [--folder NAME]       a hand-made order from the field template
//   orders delete NAME               to the Trash; inside the Trash for good (asks)
//   orders parse-reply FILE          files a saved server reply into "New Orders"
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <ostream>

#include "app/AppSession.h"
#include "app/Globals.h"
#include "app/Home.h"
#include "app/Startup.h"
#include "cli/Cli.h"
#include "cli/CliPrompter.h"
#include "orders/CsvExport.h"
#include "orders/Invoices.h"
#include "orders/OrderNumbers.h"
#include "orders/OrderOperations.h"
#include "orders/OrdersFile.h"
#include "orders/PriceCheck.h"
#include "orders/ServerProtocol.h"
#include "payments/CardData.h"
#include "project/Lifecycle.h"
#include "util/Dates.h"
#include "util/Files.h"
#include "util/Paths.h"
#include "util/Strings.h"

namespace tolmi::cli {
namespace {

struct OrdersArgs {
  std::string name;
  std::string status;
  std::string file;
  std::string folder;
  std::string templateName;
  std::string out;
  std::string project;
};

// One command run: the home, its configuration and the orders tree.
class OrdersSession {
 public:
  explicit OrdersSession(Context& ctx) : ctx_(ctx), prompter_(ctx.err, ctx.yes, ctx.no) {}

  // Prepares the home, reads the configuration and loads "orders.ost".
  bool Start() {
    Result<std::string> home = PrepareHome(ctx_.home);
    if (!home) return Fail(home.status().message());
    LoadInstallation(globals_, *home, prompter_);
    // Held until the command ends, so that no other program changes the orders between
    // this command's reading and its saving.
    Result<FileLock> lock = LockOrders(home_());
    if (!lock) return Fail(lock.status().message());
    lock_ = std::move(*lock);
    OrdersLoad load = LoadOrders(home_(), tree_);
    if (!load.status.ok()) return Fail(load.status.message());
    if (load.usedBackup) ctx_.err << "tolmi-cli: orders.ost was incomplete; orders.bak was read\n";
    return true;
  }

  bool Save() {
    Status s = SaveOrders(home_(), tree_, static_cast<long long>(clock_.Now()));
    if (!s.ok()) return Fail(s.message());
    return true;
  }

  int NextOrderNumber() const { return tolmi::NextOrderNumber(tree_, globals_.config.orderNumber); }

  // Keeps the advanced order number in "config.ini".
  bool StoreOrderNumber(int next) {
    globals_.config.orderNumber = next;
    Status s = WriteConfigFile(globals_.config, JoinPath(home_(), "config.ini"), prompter_);
    return s.ok() || Fail(s.message());
  }

  OrderRecord* FindOrder(const std::string& name) {
    OrderRecord* o = FindOrderByName(tree_.records, name);
    if (!o) Fail("no order named '" + name + "'");
    return o;
  }

  // Dates in the configured order ("dateformat").
  std::string Date(std::time_t t) const {
    return ConfiguredDate(t, globals_.config.dateFormat);
  }

  bool Fail(const std::string& message) {
    ctx_.err << "tolmi-cli: " << message << "\n";
    ctx_.exitCode = 1;
    return false;
  }

  const std::string& home_() const { return globals_.home; }

  Context& ctx_;
  CliPrompter prompter_;
  SystemClock clock_;
  AppGlobals globals_;
  OrdersTree tree_;
  FileLock lock_;
};

std::string Amount(Cents v) {
  return FormatCents(v);
}

void ListLevel(const OrdersSession& s, std::ostream& out, const std::vector<OrderRecord>& records,
               int depth) {
  if (depth > 100) return;
  for (const OrderRecord& r : records) {
    out << std::string(static_cast<std::size_t>(depth) * 2, ' ');
    if (r.kind == RecordKind::Order) {
      out << r.name << "\t" << OrderListDate(r.orderDate) << "\t"
          << Amount(r.totalCents) << "\t" << ListStatusText(r.status) << "\t" << s.Date(r.chargeDate)
          << "\t" << r.orderId << "\n";
    } else {
      out << "[" << r.name << "]\n";
    }
    ListLevel(s, out, r.children, depth + 1);
  }
}

void ShowOrder(OrdersSession& s, const std::string& name) {
  OrderRecord* o = s.FindOrder(name);
  if (!o) return;
  std::ostream& out = s.ctx_.out;
  out << "Order: " << o->name << "\nOrder ID: " << o->orderId
      << "\nDate: " << OrderListDate(o->orderDate)
      << "\nStatus: " << ListStatusText(o->status) << "\nCharged: " << s.Date(o->chargeDate)
      << "\n";
  if (o->priceMark != PriceMark::Unchecked)
    out << "Price check: " << PriceMarkText(o->priceMark) << "\n";
  for (const std::string& note : o->priceNotes) out << "  " << note << "\n";
  // A card number never reaches the terminal or a captured log in full.
  for (const OrderField& f : o->fields)
    out << " " << f.name << ": " << (IsCardNumberField(f.name) ? MaskCardNumber(f.value) : f.value)
        << "\n";
  bool any = false;
  for (const OrderItem& it : o->items) {
    if (it.rowKind != RowKind::Product) continue;
    any = true;
    out << ItemDescription(it) << "\t" << it.code.value_or("") << "\t" << it.quantity << "\t"
        << Amount(it.unitCents) << "\t" << Amount(it.taxCents) << "\t" << Amount(it.LineCents())
        << "\n";
  }
  if (any) {
    out << "Freight\t\t\t\t"
        << (FindField(*o, "FreightTax") ? FindField(*o, "FreightTax")->value : "") << "\t"
        << Amount(o->freightCents) << "\nTax:\t\t\t\t\t" << Amount(o->taxCents)
        << "\nCost:\t\t\t\t\t" << Amount(o->totalCents) << "\n";
  }
  if (o->status == kStatusUnread) {
    MarkRead(*o);
    s.Save();
  }
}

void MarkOrder(OrdersSession& s, const OrdersArgs& args) {
  std::optional<std::uint16_t> status = StatusFromText(args.status);
  if (!status) {
    s.Fail("unknown status '" + args.status +
           "' (Pending, Dispatched, Charged, Rejected, Cancelled, Chargeback, Confirm, "
           "Back Order, Unread)");
    return;
  }
  OrderRecord* o = s.FindOrder(args.name);
  if (!o) return;
  MarkStatus(*o, *status, s.clock_.Now());
  if (s.Save()) s.ctx_.out << o->name << "\t" << ListStatusText(o->status) << "\n";
}

void ExportOrders(OrdersSession& s, const OrdersArgs& args) {
  std::vector<const OrderRecord*> chosen;
  if (args.name.empty()) {
    chosen = AllOrders(s.tree_.records);
  } else {
    const OrderRecord* found = nullptr;
    ForEachRecord(s.tree_.records, [&](const OrderRecord& r) {
      if (!found && r.name == args.name) found = &r;
    });
    if (!found) return (void)s.Fail("no order or folder named '" + args.name + "'");
    if (found->kind == RecordKind::Order) {
      chosen.push_back(found);
    } else {
      for (const OrderRecord& child : found->children) chosen.push_back(&child);
    }
  }
  Status written = WriteOrdersCsv(args.file, chosen, [&s](std::time_t t) { return s.Date(t); });
  if (!written.ok()) return (void)s.Fail(written.message());
  s.ctx_.out << args.file << "\n";
}

void InvoiceOrder(OrdersSession& s, const OrdersArgs& args) {
  OrderRecord* o = s.FindOrder(args.name);
  if (!o) return;
  InvoiceTemplateList list = LoadInvoiceTemplateList(s.home_());
  if (list.templates.empty())
    return (void)s.Fail("there is no invoice template in template/Invoices");
  std::size_t index = 0;
  if (!args.templateName.empty()) {
    std::optional<std::size_t> at = FindInvoiceTemplate(list, args.templateName);
    if (!at) {
      std::string names;
      for (const InvoiceTemplate& t : list.templates) names += (names.empty() ? "" : ", ") + t.name;
      return (void)s.Fail("no invoice template named '" + args.templateName + "' (" + names + ")");
    }
    index = *at;
  }
  // The merchant details come from the project: the one named, else the remembered one.
  std::string projectPath = args.project;
  if (projectPath.empty() && FileExists(s.globals_.config.file))
    projectPath = s.globals_.config.file;
  LifecycleEnv env = MakeLifecycleEnv(s.globals_, s.prompter_, s.clock_);
  const StoreProject* project = nullptr;
  if (!projectPath.empty()) {
    if (projectPath.find_first_of("/\\") == std::string::npos && !FileExists(projectPath))
      projectPath = ProjectFilePath(env, projectPath);
    if (!OpenProject(s.globals_.session, env, projectPath))
      return (void)s.Fail("cannot open the project '" + projectPath + "'");
    project = &s.globals_.session.project;
  }
  InvoiceSettings settings = MakeInvoiceSettings(s.globals_.config, project, s.clock_.Now());
  std::string out = args.out.empty()
                        ? InvoiceOutputPath(s.home_(), o->name, list.templates[index].name)
                        : args.out;
  Status made = GenerateInvoice(list, index, *o, settings, out);
  if (made.kind() == ErrorKind::NotFound)
    return (void)s.Fail("cannot read the invoice template '" + list.templates[index].name + "'");
  if (!made.ok()) return (void)s.Fail(made.message() + "(" + out + ")");
  s.ctx_.out << out << "\n";
}

// The folder a new order goes to: the one named, else the first "New Orders" folder,
// else the top level.
std::vector<OrderRecord>* TargetFolder(OrdersSession& s, const std::string& folder) {
  if (!folder.empty()) {
    std::vector<OrderRecord>* found = nullptr;
    ForEachRecord(s.tree_.records, [&](OrderRecord& r) {
      if (!found && r.kind != RecordKind::Order && r.name == folder) found = &r.children;
    });
    if (!found) s.Fail("no folder named '" + folder + "'");
    return found;
  }
  for (OrderRecord& r : s.tree_.records)
    if (r.kind == RecordKind::NewOrders) return &r.children;
  return &s.tree_.records;
}

void NewOrder(OrdersSession& s, const OrdersArgs& args) {
  std::vector<OrderRecord>* dest = TargetFolder(s, args.folder);
  if (!dest) return;
  int next = s.NextOrderNumber();
  OrderRecord o = NewOrderFromTemplate(s.tree_.fieldTemplate, next);
  std::string name = o.name;
  dest->push_back(std::move(o));
  if (s.Save() && s.StoreOrderNumber(next)) s.ctx_.out << name << "\n";
}

void DeleteOrder(OrdersSession& s, const OrdersArgs& args) {
  std::optional<bool> inTrash = RecordInTrash(s.tree_.records, args.name);
  if (!inTrash) return (void)s.Fail("no order or folder named '" + args.name + "'");
  if (*inTrash) {
    PromptAnswer answer =
        s.prompter_.Ask(kPermanentDeleteQuestion, "Confirmation", PromptButtons::YesNo);
    if (answer == PromptAnswer::Cancel) return (void)s.Fail("deleting needs an answer");
    if (answer != PromptAnswer::Yes) return;
  }
  switch (DeleteRecord(s.tree_.records, args.name)) {
    case DeleteOutcome::NotFound:
      return (void)s.Fail("no order or folder named '" + args.name + "'");
    case DeleteOutcome::Protected:
      return (void)s.Fail("the folders New Orders and Trash cannot be deleted");
    case DeleteOutcome::MovedToTrash:
      if (s.Save()) s.ctx_.out << args.name << " moved to the Trash\n";
      return;
    case DeleteOutcome::Deleted:
      if (s.Save()) s.ctx_.out << args.name << " deleted\n";
      return;
  }
}

void ParseReply(OrdersSession& s, const OrdersArgs& args) {
  std::optional<std::string> reply = ReadWholeFile(args.file);
  if (!reply) return (void)s.Fail("cannot read '" + args.file + "'");
  // The same check as a download: a web page or a cut reply files nothing.
  if (Status whole = CheckReplyWhole(*reply); !whole.ok()) return (void)s.Fail(whole.message());
  std::string_view body = ReplyBody(*reply);
  int code = ReplyResultCode(body);
  if (code != 0) {
    s.Fail(DownloadErrorHeading(code) + " " + std::string(DownloadErrorMessage(code)));
    return;
  }
  int next = s.NextOrderNumber();
  ReplyParse parsed = ParseOrdersReply(body, s.tree_, next);
  if (parsed.ordersReceived > 0 && !(s.Save() && s.StoreOrderNumber(next))) return;
  s.ctx_.out << parsed.ordersReceived << " order(s) received\n";
}

// Adds a subcommand whose callback loads the orders and runs fn.
template <typename F>
CLI::App* OrdersCommand(CLI::App* group, Context& ctx, const char* name, const char* help, F fn) {
  CLI::App* cmd = group->add_subcommand(name, help);
  cmd->callback([&ctx, fn] {
    OrdersSession s(ctx);
    if (s.Start()) fn(s);
  });
  return cmd;
}

void Setup(CLI::App& app, Context& ctx) {
  auto args = std::make_shared<OrdersArgs>();
  CLI::App* orders = CommandGroup(app, "orders", "Manage the orders file");

  OrdersCommand(orders, ctx, "list", "List folders and orders",
                [](OrdersSession& s) { ListLevel(s, s.ctx_.out, s.tree_.records, 0); });

  CLI::App* show = OrdersCommand(orders, ctx, "show",
                                 "Show one order (an unread order becomes "
                                 "Pending)",
                                 [args](OrdersSession& s) { ShowOrder(s, args->name); });
  show->add_option("ORDER", args->name, "Order number")->required();

  CLI::App* mark = OrdersCommand(orders, ctx, "mark", "Set an order's status",
                                 [args](OrdersSession& s) { MarkOrder(s, *args); });
  mark->add_option("ORDER", args->name, "Order number")->required();
  mark->add_option("STATUS", args->status,
                   "Pending, Dispatched, Charged, Rejected, Cancelled, Chargeback, Confirm, "
                   "Back Order or Unread")
      ->required();

  CLI::App* exp = OrdersCommand(orders, ctx, "export", "Export orders as comma-separated text",
                                [args](OrdersSession& s) { ExportOrders(s, *args); });
  exp->add_option("FILE", args->file, "The file to write")->required();
  exp->add_option("NAME", args->name, "One order, or the orders of one folder (default: all)");

  CLI::App* inv = OrdersCommand(orders, ctx, "invoice", "Write an order's invoice page",
                                [args](OrdersSession& s) { InvoiceOrder(s, *args); });
  inv->add_option("ORDER", args->name, "Order number")->required();
  inv->add_option("--template", args->templateName, "Invoice template (default: the first)");
  inv->add_option("--out", args->out, "Page to write (default: Invoices/<order>_<template>.html)");
  inv->add_option("--project", args->project,
                  "Project with the merchant details (default: the last opened)");

  CLI::App* add = OrdersCommand(orders, ctx, "new", "Add a hand-made order",
                                [args](OrdersSession& s) { NewOrder(s, *args); });
  add->add_option("--folder", args->folder, "Folder to add it to (default: New Orders)");

  CLI::App* del = OrdersCommand(orders, ctx, "delete",
                                "Move an order or folder to the Trash, or delete it there",
                                [args](OrdersSession& s) { DeleteOrder(s, *args); });
  del->add_option("NAME", args->name, "Order or folder")->required();

  CLI::App* parse =
      OrdersCommand(orders, ctx, "parse-reply", "File a saved order-server reply into New Orders",
                    [args](OrdersSession& s) { ParseReply(s, *args); });
  parse->add_option("FILE", args->file, "The saved reply (with or without its HTTP header)")
      ->required();
}

const bool registered = RegisterCommand(&Setup);

}  // namespace
}  // namespace tolmi::cli
