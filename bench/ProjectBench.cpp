// Opening and saving generated store projects of growing size. Every node has
// every field filled and a long BODY; the time per node should stay flat as the
// project grows from 1,000 to 1,000,000 nodes.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "project/ProjectFile.h"
#include "util/Platform.h"

namespace tolmi {
namespace {

class YesPrompter : public Prompter {
 public:
  void Show(const std::string&, const std::string&, PromptIcon) override {}
  PromptAnswer Ask(const std::string&, const std::string&, PromptButtons) override {
    return PromptAnswer::Yes;
  }
};

std::string LongBody(std::size_t serial) {
  std::string body = "<p>Item " + std::to_string(serial) + " is hand made from the finest " +
                     "materials, tested twice and packed with care.</p>\r\n\r\n";
  while (body.size() < 900) {
    body += "It keeps its shape after years of use, and the maker stands behind it. ";
    if (body.size() % 3 == 0) body += "\r\n";
  }
  return body;
}

void Fill(StoreNode& n, std::size_t serial) {
  std::string s = std::to_string(serial);
  n.page = "Page title of item " + s;
  n.cost = std::to_string(serial % 1000) + ".95";
  n.image = "images/item" + s + ".jpg";
  n.link = "files/item" + s + ".pdf";
  n.body = LongBody(serial);
  n.desc = "Meta description of item " + s;
  n.file = s + ".htm";
  n.temp = "product.htm";
  n.code = "CODE-" + s;
  n.freight = "2.50";
  n.weight = "1.25";
  n.tax = "10";
  for (int i = 0; i < 6; ++i) {
    n.fields[i] = "Field " + std::to_string(i + 1) + " of " + s;
    n.labels[i] = "Label " + std::to_string(i + 1);
  }
  n.keywords = "item, " + s + ", shop";
  n.optionLabel1 = "Colour:";
  n.optionLabel2 = "Size:";
  n.options1 = {"Red", "Green", "Blue"};
  n.options2 = {"S", "M", "L", "XL"};
  n.builtSize = static_cast<std::int32_t>(serial * 7);
  n.builtChecksum = static_cast<std::int32_t>(serial * 31);
  n.publishedSize = n.builtSize;
  n.publishedChecksum = n.builtChecksum;
  n.imageStamp = 1700000000;
  n.linkStamp = 1700000001;
  n.mod = 1;
}

StoreNode* Add(StoreProject& p, StoreNode* parent, NodeKind kind, std::size_t& count) {
  auto node = CreateNode();
  node->kind = kind;
  node->title = std::string(DefaultTitle(kind)) + " " + std::to_string(count);
  Fill(*node, count);
  ++count;
  return AppendNode(p, parent, std::move(node));
}

// Categories, each with a shelf and a list of products, pages and a link.
void Generate(StoreProject& p, std::size_t nodes) {
  std::size_t count = 0;
  StoreNode* home = Add(p, nullptr, NodeKind::Category, count);
  while (count < nodes) {
    StoreNode* category = Add(p, home, NodeKind::Category, count);
    StoreNode* shelf = Add(p, category, NodeKind::Shelf, count);
    for (int i = 0; i < 40 && count < nodes; ++i) Add(p, shelf, NodeKind::Product, count);
    StoreNode* list = count < nodes ? Add(p, category, NodeKind::List, count) : nullptr;
    for (int i = 0; i < 40 && count < nodes && list; ++i) Add(p, list, NodeKind::Product, count);
    for (int i = 0; i < 3 && count < nodes; ++i) Add(p, category, NodeKind::Page, count);
    if (count < nodes) Add(p, category, NodeKind::Link, count);
  }
  p.settings.storeTitle = "Benchmark Store";
  p.settings.currency = "$";
  p.variables = {{"$STORETITLE", "Benchmark Store"}, {"$CURRENCY", "$"}};
}

std::string BenchFile(std::size_t nodes) {
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "tolmi-project-bench";
  std::filesystem::create_directories(dir);
  return (dir / ("store-" + std::to_string(nodes) + ".stp")).string();
}

void BM_SaveProject(benchmark::State& state) {
  const auto nodes = static_cast<std::size_t>(state.range(0));
  StoreProject project;
  Generate(project, nodes);
  const std::string path = BenchFile(nodes);
  YesPrompter prompter;
  SystemClock clock;
  for (auto _ : state) {
    Status status = WriteProjectFile(project, path, prompter, clock, 2034361);
    if (!status.ok()) state.SkipWithError(status.message().c_str());
  }
  state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
  state.counters["ns/node"] =
      benchmark::Counter(static_cast<double>(nodes), benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
  std::filesystem::remove(path);
}

void BM_OpenProject(benchmark::State& state) {
  const auto nodes = static_cast<std::size_t>(state.range(0));
  const std::string path = BenchFile(nodes);
  {
    StoreProject project;
    Generate(project, nodes);
    YesPrompter prompter;
    SystemClock clock;
    if (!WriteProjectFile(project, path, prompter, clock, 2034361).ok()) {
      state.SkipWithError("cannot write the project file");
      return;
    }
  }
  for (auto _ : state) {
    StoreProject loaded;
    auto read = ReadProjectFile(loaded, path, nullptr, false);
    if (!read.ok() || read->placed != nodes) state.SkipWithError("project did not load whole");
    state.PauseTiming();  // freeing the tree is not part of opening
    { StoreProject drop = std::move(loaded); }
    state.ResumeTiming();
  }
  state.counters["ns/node"] =
      benchmark::Counter(static_cast<double>(nodes), benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
  std::filesystem::remove(path);
}

BENCHMARK(BM_OpenProject)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_SaveProject)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace tolmi
