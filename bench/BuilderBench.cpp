// Store build speed: a generated store (one category per 100 products, each with
// five shelves of 20 products, every product with its own page; every page with
// navigation, a category list and product blocks) built into a temporary folder.
// Reports pages per second and the peak memory of the build.
//
// Each size is built in a child process of its own, so its peak resident size
// (ru_maxrss) is that build's alone and not the largest of the whole run.
//
// With TOLMI_BENCH_KEEP=<folder> the store is generated and built below that folder
// and kept: "<folder>/project/Bench.stp" with its templates, the pages in
// "<folder>/web". bench/hugo/run.sh uses it to build the same store with tolmi-cli.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "builder/BuildDriver.h"
#include "project/ProjectFile.h"
#include "util/Platform.h"

namespace {

namespace fs = std::filesystem;

class SilentPrompter : public tolmi::Prompter {
 public:
  void Show(const std::string&, const std::string&, tolmi::PromptIcon) override {}
  tolmi::PromptAnswer Ask(const std::string&, const std::string&, tolmi::PromptButtons) override {
    return tolmi::PromptAnswer::Yes;
  }
};

void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << text;
}

// The page templates of the generated store, below projectDir/Template.
void WriteTemplates(const fs::path& projectDir) {
  const std::string page =
      "<html><head><title>$PAGETITLE - $STORETITLE</title>\n"
      "<meta name=\"description\" content=\"$DESCRIPTION\"></head>\n<body>\n"
      "<table><tr><td valign=top>$INDEX</td><td valign=top>\n"
      "<h1>$TITLE</h1>\n<p>$BODY</p>\n%CategoryList%\n"
      "<PRODUCT1><div class=p><b>$TITLE</b> $PRICE <a href=\"$ADD\">Add</a></div></PRODUCT1>\n"
      "<PRODUCT2><div class=p><b>$TITLE</b> $PRICE <a href=\"$ADD\">Add</a></div></PRODUCT2>\n"
      "<!-- template note -->\n<p>Updated $UPDATED</p>\n</td></tr></table>\n</body></html>\n";
  for (const char* name : {"category.htm", "product.htm", "page.htm"})
    WriteFile(projectDir / "Template" / name, page);
  WriteFile(projectDir / "Template/shelf.htm",
            page + "<SHELF><p>$TITLE $PRICE <a href=\"$ADD\">add</a> $CODE</p>\n</SHELF>");
}

// A store of `products` products: products / 100 categories (at least one), five
// shelves of 20 products in each.
void MakeStore(tolmi::StoreProject& project, const fs::path& projectDir, int products) {
  project.settings.projectDir = projectDir.string();
  project.settings.storeTitle = "Bench";
  const int categories = std::max(1, products / 100);
  int made = 0;
  for (int c = 0; c < categories; ++c) {
    auto category = tolmi::CreateNode();
    category->title = "Category " + std::to_string(c);
    category->file = "c" + std::to_string(c) + ".htm";
    category->body = "Everything in category " + std::to_string(c) + ".";
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
        product->cost = std::to_string(10 + made % 90) + ".95";  // as bench/hugo/make_site.py
        product->body = std::string(400, 'b');
        tolmi::AppendNode(project, shelf, std::move(product));
      }
    }
  }
}

tolmi::SchemeList PlainSchemes() {
  tolmi::SchemeList schemes;
  tolmi::StyleCategory group;
  group.name = "Bench";
  tolmi::Scheme scheme;
  scheme.name = "Plain";
  scheme.loaded = true;
  group.schemes.push_back(scheme);
  schemes.categories.push_back(group);
  schemes.current = tolmi::SchemeIndex{0, 0};
  return schemes;
}

struct BuildFigures {
  double seconds = 0;
  long long pages = 0;
  long long peakKiB = 0;
  double cpuSeconds = 0;  // user and system time of the whole process
};

// Generates the store below dir and builds it into dir/web.
BuildFigures GenerateAndBuild(const fs::path& dir, int products, bool keepProject) {
  fs::remove_all(dir);
  tolmi::StoreProject project;
  WriteTemplates(dir / "project");
  MakeStore(project, dir / "project", products);
  if (keepProject)
    WriteFile(dir / "project/Bench.stp", tolmi::ProjectFileText(project, 1700000000, 2034361));
  tolmi::SchemeList schemes = PlainSchemes();
  SilentPrompter prompter;
  tolmi::BuildSession session(project, schemes, prompter);
  session.options.installDir = dir.string();
  session.buildDir = (dir / "web").string();
  session.log.shown = false;
  session.now = [] { return std::time_t{1700000000}; };
  auto start = std::chrono::steady_clock::now();
  tolmi::RunBuild(session);
  BuildFigures figures;
  figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  figures.pages = session.visitMark;
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  figures.peakKiB = usage.ru_maxrss;
  figures.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  return figures;
}

// Runs GenerateAndBuild in a child process; false when the child failed.
bool BuildInChild(const fs::path& dir, int products, BuildFigures& figures) {
  int fds[2];
  if (pipe(fds) != 0) return false;
  pid_t child = fork();
  if (child < 0) {
    close(fds[0]);
    close(fds[1]);
    return false;
  }
  if (child == 0) {
    close(fds[0]);
    BuildFigures measured = GenerateAndBuild(dir, products, false);
    std::error_code ec;
    fs::remove_all(dir, ec);
    ssize_t written = write(fds[1], &measured, sizeof measured);
    _exit(written == static_cast<ssize_t>(sizeof measured) ? 0 : 1);
  }
  close(fds[1]);
  ssize_t got = read(fds[0], &figures, sizeof figures);
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  return got == static_cast<ssize_t>(sizeof figures) && WIFEXITED(status) &&
         WEXITSTATUS(status) == 0;
}

void BM_BuildStore(benchmark::State& state) {
  const int products = static_cast<int>(state.range(0));
  const char* keep = std::getenv("TOLMI_BENCH_KEEP");
  BuildFigures figures;
  for (auto _ : state) {
    bool ok = true;
    if (keep && *keep)
      figures = GenerateAndBuild(keep, products, true);
    else
      ok = BuildInChild(
          fs::temp_directory_path() / ("tolmi-bench-build-" + std::to_string(products)), products,
          figures);
    if (!ok) {
      state.SkipWithError("the build process failed");
      return;
    }
    state.SetIterationTime(figures.seconds);
  }
  state.counters["pages"] = static_cast<double>(figures.pages);
  state.counters["pages/s"] = figures.seconds > 0 ? figures.pages / figures.seconds : 0;
  state.counters["peak_MiB"] = static_cast<double>(figures.peakKiB) / 1024.0;
  // On a busy machine the wall time includes waiting; the process time does not.
  state.counters["cpu_s"] = figures.cpuSeconds;
}
BENCHMARK(BM_BuildStore)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(1);

}  // namespace
