// Store build speed: a generated store (categories of shelves of 20 products,
// every product with its own page; every page with navigation, a category list
// and product blocks) built into a temporary folder. Reports pages per second.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "builder/BuildDriver.h"
#include "util/Platform.h"

namespace {

class SilentPrompter : public tolmi::Prompter {
 public:
  void Show(const std::string&, const std::string&, tolmi::PromptIcon) override {}
  tolmi::PromptAnswer Ask(const std::string&, const std::string&, tolmi::PromptButtons) override {
    return tolmi::PromptAnswer::Yes;
  }
};

void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

void BM_BuildStore(benchmark::State& state) {
  namespace fs = std::filesystem;
  const int products = static_cast<int>(state.range(0));
  fs::path dir = fs::temp_directory_path() / ("tolmi-bench-build-" + std::to_string(products));
  fs::remove_all(dir);
  const std::string page =
      "<html><head><title>$PAGETITLE - $STORETITLE</title></head><body>$INDEX"
      "<h1>$TITLE</h1>$BODY %CategoryList% <PRODUCT1><b>$TITLE</b> $PRICE</PRODUCT1>"
      "<a href=\"$ADD\">Add</a> $UPDATED</body></html>";
  for (const char* name : {"category.htm", "product.htm", "page.htm"})
    WriteFile(dir / "project/Template" / name, page);
  WriteFile(dir / "project/Template/shelf.htm",
            page + "<SHELF><p>$TITLE $PRICE <a href=\"$ADD\">add</a></p></SHELF>");
  tolmi::StoreProject project;
  project.settings.projectDir = (dir / "project").string();
  project.settings.storeTitle = "Bench";
  const int categories = std::max(1, products / 100);
  int made = 0;
  for (int c = 0; c < categories; ++c) {
    auto category = tolmi::CreateNode();
    category->title = "Category " + std::to_string(c);
    category->file = "c" + std::to_string(c) + ".htm";
    tolmi::StoreNode* cat = tolmi::AppendNode(project, nullptr, std::move(category));
    for (int s = 0; s < 5 && made < products; ++s) {
      auto shelfNode = tolmi::CreateNode();
      shelfNode->kind = tolmi::NodeKind::Shelf;
      shelfNode->title = "Shelf " + std::to_string(s);
      shelfNode->file = "c" + std::to_string(c) + "s" + std::to_string(s) + ".htm";
      tolmi::StoreNode* shelf = tolmi::AppendNode(project, cat, std::move(shelfNode));
      for (int p = 0; p < 20 && made < products; ++p, ++made) {
        auto product = tolmi::CreateNode();
        product->kind = tolmi::NodeKind::Product;
        product->title = "Product " + std::to_string(made);
        product->file = "p" + std::to_string(made) + ".htm";
        product->code = "P" + std::to_string(made);
        product->cost = "9.95";
        product->body = std::string(400, 'b');
        tolmi::AppendNode(project, shelf, std::move(product));
      }
    }
  }
  tolmi::SchemeList schemes;
  tolmi::StyleCategory group;
  group.name = "Bench";
  tolmi::Scheme scheme;
  scheme.name = "Plain";
  scheme.loaded = true;
  group.schemes.push_back(scheme);
  schemes.categories.push_back(group);
  schemes.current = tolmi::SchemeIndex{0, 0};
  SilentPrompter prompter;
  std::int64_t pages = 0;
  for (auto _ : state) {
    tolmi::BuildSession session(project, schemes, prompter);
    session.options.installDir = dir.string();
    session.buildDir = (dir / "web").string();
    session.log.shown = false;
    tolmi::RunBuild(session);
    pages += session.visitMark;
  }
  state.counters["pages/s"] =
      benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kIsRate);
  fs::remove_all(dir);
}
BENCHMARK(BM_BuildStore)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
