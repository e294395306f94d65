// Orders at growing sizes: parsing an order-server reply of 1,000 and 10,000 orders of five
// products each, and saving and loading an orders file of 10,000 and 100,000 such orders
// (on disk, with the backup step and the sync). The time per order should stay flat.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "orders/OrdersFile.h"
#include "orders/ServerProtocol.h"

namespace tolmi {
namespace {

std::string MakeReply(int orders) {
  std::string body = "0\r\n";
  const std::string product =
      "2\tBlue Mug\tMUG-01\t4.50\t0.3\tu\ty\t\t10\t0.90\t1.00\t\tRed\tLarge\t<BR>";
  for (int i = 0; i < orders; ++i) {
    body += "#ID=" + std::to_string(i + 1) +
            "\r\norderdate=05122026153000\r\nName=Ann Lee\r\nEmail=ann@example.com\r\n"
            "Address=1 Long Street\r\nCity=Springfield\r\nAmount=22.50\r\nFreight=5.00\r\n"
            "PROD=15:";
    for (int p = 0; p < 5; ++p) body += (p ? "\t" : "") + product;
    body += "\r\n";
  }
  return body;
}

OrdersTree MakeTree(int orders) {
  OrdersTree tree;
  tree.records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
  tree.records.push_back(MakeFolder(RecordKind::Trash, "Trash"));
  int next = 1000;
  (void)ParseOrdersReply(MakeReply(orders), tree, next);
  return tree;
}

void BM_ParseReply(benchmark::State& state) {
  const std::string body = MakeReply(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    OrdersTree tree;
    tree.records.push_back(MakeFolder(RecordKind::NewOrders, "New Orders"));
    int next = 1000;
    benchmark::DoNotOptimize(ParseOrdersReply(body, tree, next));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(body.size()));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ParseReply)
    ->Arg(1000)
    ->Arg(10000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

// The file's bytes alone, without the disk.
void BM_WriteOrdersText(benchmark::State& state) {
  OrdersTree tree = MakeTree(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(WriteOrdersText(tree.records, 1, 1));
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_WriteOrdersText)
    ->Arg(10000)
    ->Arg(100000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// A folder of its own below the system's temporary folder, removed at the end.
struct BenchFolder {
  BenchFolder() {
    path = (std::filesystem::temp_directory_path() /
            ("tolmi-orders-bench-" + std::to_string(::getpid())))
               .string();
    std::filesystem::create_directories(path);
  }
  ~BenchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::string path;
};

void BM_SaveOrders(benchmark::State& state) {
  OrdersTree tree = MakeTree(static_cast<int>(state.range(0)));
  BenchFolder folder;
  for (auto _ : state) {
    if (!SaveOrders(folder.path, tree, 1).ok()) state.SkipWithError("save failed");
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SaveOrders)
    ->Arg(10000)
    ->Arg(100000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

void BM_LoadOrders(benchmark::State& state) {
  BenchFolder folder;
  {
    OrdersTree tree = MakeTree(static_cast<int>(state.range(0)));
    if (!SaveOrders(folder.path, tree, 1).ok()) state.SkipWithError("save failed");
  }
  for (auto _ : state) {
    OrdersTree loaded;
    benchmark::DoNotOptimize(LoadOrders(folder.path, loaded));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LoadOrders)
    ->Arg(10000)
    ->Arg(100000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
}  // namespace tolmi
