// Product import: reading a data file of 1,000, 10,000 and 100,000 product lines,
// importing every record below one category and saving the project. The time per
// record and the memory per record should stay flat as the file grows.
//
// Counters: ns/record (CPU time of read + import + save; the wall time also holds
// the synced write of the project file), rss_growth_MB (resident memory taken by
// the imported project), peak_rss_MB (getrusage ru_maxrss of the process; run one
// size per process, e.g. --benchmark_filter='BM_ImportAndSave/100000$', for a
// per-size peak).
//
// Measured here (2 shared cores): 3.9, 3.3 and 4.3 us/record for 1,000, 10,000 and
// 100,000 lines (100,000 with --benchmark_min_time=4); peak RSS 8, 25 and 163 MB,
// about 1.6 KB per imported product; the project file is 20 MB for 100,000.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "project/ProductImport.h"
#include "project/ProjectFile.h"
#include "util/Platform.h"

namespace tolmi {
namespace {

class QuietPrompter : public Prompter {
 public:
  void Show(const std::string&, const std::string&, PromptIcon) override {}
  PromptAnswer Ask(const std::string&, const std::string&, PromptButtons) override {
    return PromptAnswer::Yes;
  }
};

std::filesystem::path BenchDir() {
  std::filesystem::path dir = std::filesystem::temp_directory_path() / "tolmi-import-bench";
  std::filesystem::create_directories(dir);
  return dir;
}

// A stock list as a spreadsheet exports it: quoted titles with commas and doubled
// quotes, prices with a currency sign and thousands separators, codes, weights and
// a description.
std::string WriteDataFile(std::size_t lines) {
  const std::string path = (BenchDir() / ("products-" + std::to_string(lines) + ".csv")).string();
  std::ofstream out(path, std::ios::binary);
  for (std::size_t i = 0; i < lines; ++i) {
    const std::string n = std::to_string(i);
    out << "\"Item " << n << ", \"\"hand made\"\"\",\"$" << (i % 5) << "," << (100 + i % 900) << "."
        << (i % 100 < 10 ? "0" : "") << (i % 100) << "\",SKU-" << n << "," << (i % 7)
        << ".5,\"A fine item, number " << n
        << ", made to last and packed with care for the journey.\"\r\n";
  }
  return path;
}

double ResidentMegabytes() {
  long pages = 0, resident = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

double PeakMegabytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

void BM_ImportAndSave(benchmark::State& state) {
  const auto lines = static_cast<std::size_t>(state.range(0));
  const std::string dataPath = WriteDataFile(lines);
  const std::string projectPath =
      (BenchDir() / ("import-" + std::to_string(lines) + ".stp")).string();
  QuietPrompter prompter;
  SystemClock clock;
  double growth = 0;
  for (auto _ : state) {
    const double before = ResidentMegabytes();
    StoreProject project;
    auto category = CreateNode();
    category->title = "Imported";
    category->file = "index.html";
    project.selected = AppendNode(project, nullptr, std::move(category));
    std::uint32_t serial = 0;

    Result<ImportData> data = ReadDataFile(dataPath);
    if (!data || data->records.size() != lines) {
      state.SkipWithError("the data file did not read whole");
      return;
    }
    data->columns[0] = ImportTarget::Title;
    data->columns[1] = ImportTarget::Cost;
    data->columns[2] = ImportTarget::ProductCode;
    data->columns[3] = ImportTarget::Weight;
    data->columns[4] = ImportTarget::Description;
    std::vector<std::size_t> chosen(lines);
    for (std::size_t i = 0; i < lines; ++i) chosen[i] = i;
    Result<int> imported =
        ImportProducts(project, serial, *data, chosen, prompter, [](int, int) { return true; });
    if (!imported || static_cast<std::size_t>(*imported) != lines) {
      state.SkipWithError("not every record was imported");
      return;
    }
    Status saved = WriteProjectFile(project, projectPath, prompter, clock, 2034361);
    if (!saved.ok()) {
      state.SkipWithError(saved.message().c_str());
      return;
    }
    growth = std::max(growth, ResidentMegabytes() - before);  // the first run takes fresh pages
    state.PauseTiming();  // freeing the tree is not part of the import
    { StoreProject drop = std::move(project); }
    state.ResumeTiming();
  }
  state.counters["ns/record"] =
      benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
  state.counters["rss_growth_MB"] = growth;
  state.counters["peak_rss_MB"] = PeakMegabytes();
  state.counters["file_MB"] =
      static_cast<double>(std::filesystem::file_size(projectPath)) / 1048576.0;
  std::filesystem::remove(dataPath);
  std::filesystem::remove(projectPath);
}
BENCHMARK(BM_ImportAndSave)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

// Updating every product of a 10,000 and 100,000 product project by its code.
void BM_UpdateByCode(benchmark::State& state) {
  const auto lines = static_cast<std::size_t>(state.range(0));
  StoreProject project;
  auto category = CreateNode();
  category->title = "Imported";
  StoreNode* holder = AppendNode(project, nullptr, std::move(category));
  ImportData data;
  data.columns[0] = ImportTarget::ProductCode;
  data.columns[1] = ImportTarget::Cost;
  std::vector<std::size_t> chosen(lines);
  for (std::size_t i = 0; i < lines; ++i) {
    auto product = CreateNode();
    product->kind = NodeKind::Product;
    product->code = "SKU-" + std::to_string(i);
    AppendNode(project, holder, std::move(product));
    data.records.push_back("SKU-" + std::to_string(i) + ",\"$1,234.50\"");
    chosen[i] = i;
  }
  QuietPrompter prompter;
  for (auto _ : state) {
    Result<int> updated = UpdateProducts(project, data, chosen, prompter);
    if (!updated || static_cast<std::size_t>(*updated) != lines)
      state.SkipWithError("not every product was updated");
  }
  state.counters["ns/record"] =
      benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kIsIterationInvariantRate |
                                                         benchmark::Counter::kInvert);
}
BENCHMARK(BM_UpdateByCode)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tolmi
