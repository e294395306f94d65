// tolmi-cli orders check [ORDER...] [--project P]
//   Works the downloaded orders (all, or the ones named by number or order-server id) out
//   again from the store project's catalogue, marks each in orders.ost and prints the
//   differences; exits 1 when any order differs. The project is the one named, else the
//   remembered one.
#include <memory>
#include <ostream>

#include "cli/Cli.h"
#include "cli/CommandRun.h"
#include "orders/OrdersFile.h"
#include "orders/PriceCheck.h"
#include "util/Files.h"

namespace tolmi::cli {
namespace {

struct CheckArgs {
  std::vector<std::string> orders;
  std::string project;
};

void RunCheck(Context& ctx, const CheckArgs& args) {
  CommandRun run(ctx);
  if (!run.Start()) return;
  std::string projectPath = args.project;
  if (projectPath.empty()) projectPath = run.globals().config.file;
  if (projectPath.empty())
    return (void)run.Fail("no project: give --project P (the store the orders came from)");
  projectPath = run.ProjectPath(projectPath);
  Result<CatalogueHistory> catalogue = LoadCatalogueHistory(projectPath, &run.globals().domains);
  if (!catalogue) return (void)run.Fail(catalogue.status().message());

  const std::string home = run.globals().home;
  Result<FileLock> lock = LockOrders(home);
  if (!lock) return (void)run.Fail(lock.status().message());
  OrdersTree tree;
  OrdersLoad load = LoadOrders(home, tree);
  if (!load.status.ok()) return (void)run.Fail(load.status.message());

  std::vector<bool> found(args.orders.size(), false);
  bool changed = false, differs = false;
  ForEachRecord(tree.records, [&](OrderRecord& order) {
    if (order.kind != RecordKind::Order) return;
    bool wanted = args.orders.empty();
    for (std::size_t i = 0; i < args.orders.size(); ++i)
      if (args.orders[i] == order.name || (!order.orderId.empty() && args.orders[i] == order.orderId))
        wanted = found[i] = true;
    if (!wanted) return;
    PriceCheckResult result = CheckOrderPrices(order, *catalogue);
    if (!result.checked()) {
      if (!args.orders.empty())
        ctx.out << order.name << ": not an order from the store (not checked)\n";
      return;
    }
    changed = ApplyPriceCheck(order, result) || changed;
    differs = differs || result.mark == PriceMark::Differs;
    ctx.out << order.name << ": " << PriceMarkText(result.mark) << "\n";
    for (const std::string& note : order.priceNotes) ctx.out << "  " << note << "\n";
  });
  for (std::size_t i = 0; i < found.size(); ++i)
    if (!found[i]) run.Fail("no order '" + args.orders[i] + "' in the orders file");
  if (changed) {
    tree.changed = true;
    if (Status saved = SaveOrders(home, tree, static_cast<long long>(run.clock().Now()));
        !saved.ok())
      run.Fail(saved.message());
  }
  if (differs) ctx.exitCode = 1;
}

void Setup(CLI::App& app, Context& ctx) {
  CLI::App* orders = CommandGroup(app, "orders", "Manage the orders file");
  auto args = std::make_shared<CheckArgs>();
  CLI::App* check = orders->add_subcommand(
      "check", "Check orders against the store's catalogue; exit 1 when any differs");
  check->add_option("ORDER", args->orders, "Order numbers or order-server ids (default: all)");
  check->add_option("--project", args->project,
                    "The store project the orders came from (default: the remembered one)");
  check->callback([&ctx, args] { RunCheck(ctx, *args); });
}

const bool registered = RegisterCommand(&Setup);

}  // namespace
}  // namespace tolmi::cli
