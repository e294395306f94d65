// File helper speed on generated inputs: splitting a large orders-like text into lines,
// reading settings lines through a table, unpacking a packed reference file, and opening a
// file through the case-insensitive path fallback.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "util/Files.h"
#include "util/PackedFile.h"
#include "util/SettingsTable.h"

namespace tolmi {
namespace {

std::string MakeLines(std::size_t n) {
  std::string text;
  text.reserve(n + 64);
  for (int i = 0; text.size() < n; ++i)
    text += "ITEM" + std::to_string(i) + "=Blue widget, large  |12.50|3\r\n";
  return text;
}

void BM_LineReader(benchmark::State& state) {
  const std::string bytes = MakeLines(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    LineReader reader(bytes);
    std::string line;
    std::size_t count = 0;
    while (reader.Next(line)) ++count;
    benchmark::DoNotOptimize(count);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LineReader)->RangeMultiplier(8)->Range(1 << 14, 1 << 23)->Complexity();

void BM_ReadSettingsLines(benchmark::State& state) {
  std::string values[20];
  SettingsTable table;
  for (int i = 0; i < 20; ++i) table.push_back(TextKey("key" + std::to_string(i), &values[i]));
  std::string text;
  for (int i = 0; i < 10000; ++i) text += "KEY" + std::to_string(i % 25) + "=some value\n";
  for (auto _ : state) {
    LineReader reader(text);
    std::string line;
    int matched = 0;
    while (reader.Next(line)) matched += ReadSettingsLine(line, table);
    benchmark::DoNotOptimize(matched);
  }
}
BENCHMARK(BM_ReadSettingsLines);

void BM_UnpackText(benchmark::State& state) {
  const std::string text = MakeLines(static_cast<std::size_t>(state.range(0)));
  const std::string packed = PackText(text);
  for (auto _ : state) benchmark::DoNotOptimize(UnpackText(packed));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}
BENCHMARK(BM_UnpackText)->Arg(1 << 16)->Arg(1 << 22);

void BM_CaseInsensitiveOpen(benchmark::State& state) {
  std::string dir = (std::filesystem::temp_directory_path() / "tolmi-bench-XXXXXX").string();
  if (!mkdtemp(dir.data())) {
    state.SkipWithError("no temporary folder");
    return;
  }
  std::filesystem::create_directories(dir + "/template/Invoices");
  for (int i = 0; i < static_cast<int>(state.range(0)); ++i)
    (void)WriteFileAtomic(dir + "/template/Invoices/inv" + std::to_string(i) + ".html", "x");
  const std::string wanted = dir + "\\Template\\INVOICES\\INV7.HTML";
  for (auto _ : state) benchmark::DoNotOptimize(ReadWholeFile(wanted));
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_CaseInsensitiveOpen)->Arg(10)->Arg(1000);

}  // namespace
}  // namespace tolmi
