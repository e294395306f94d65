// String routine speed on generated texts: template-sized replace-all, case-insensitive search,
// wildcard matching, URL encoding and the scrambler.
#include <benchmark/benchmark.h>

#include <string>

#include "util/DynString.h"
#include "util/Scramble.h"
#include "util/Strings.h"

namespace tolmi {
namespace {

// A page-like text of about n bytes with a variable every 64 bytes.
std::string MakeTemplate(std::size_t n) {
  std::string text;
  text.reserve(n + 64);
  while (text.size() < n)
    text += "<td class=\"price\">[PRICE]</td><td>some product text here</td>\n";
  return text;
}

void BM_ReplaceAllGrowing(benchmark::State& state) {
  const std::string base = MakeTemplate(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::string text = base;
    benchmark::DoNotOptimize(ReplaceAll(text, "[PRICE]", "12,345.67 EUR incl. VAT"));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(base.size()));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReplaceAllGrowing)->Range(1 << 12, 1 << 22)->Complexity();

void BM_ReplaceAllNoCase(benchmark::State& state) {
  const std::string base = MakeTemplate(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::string text = base;
    benchmark::DoNotOptimize(ReplaceAllNoCase(text, "[price]", "9.99"));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(base.size()));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ReplaceAllNoCase)->Range(1 << 12, 1 << 22)->Complexity();

// Every byte replaced: the case a per-replacement reallocation would make quadratic.
void BM_DynStrReplaceAllEveryByte(benchmark::State& state) {
  const std::string base(static_cast<std::size_t>(state.range(0)), 'a');
  for (auto _ : state) {
    DynString s;
    DynStrAssign(s, base);
    benchmark::DoNotOptimize(DynStrReplaceAll(s, "a", "bb"));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(base.size()));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_DynStrReplaceAllEveryByte)->Range(1 << 10, 1 << 20)->Complexity();

// A long needle that nearly matches everywhere: the worst case of a naive search.
void BM_FindNoCaseWorstCase(benchmark::State& state) {
  const std::string text(static_cast<std::size_t>(state.range(0)), 'a');
  const std::string needle = std::string(200, 'A') + "b";
  for (auto _ : state) benchmark::DoNotOptimize(FindNoCase(text, needle));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
  state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_FindNoCaseWorstCase)->Range(1 << 12, 1 << 20)->Complexity();

void BM_WildcardMatch(benchmark::State& state) {
  const std::string name = "products/category-0042/Some_Product_Picture_Large.JPG";
  for (auto _ : state) {
    benchmark::DoNotOptimize(StrMatchPatternList(name, "*.gif,*.png,products/*/*_large.jpg"));
  }
}
BENCHMARK(BM_WildcardMatch);

void BM_UrlEncode(benchmark::State& state) {
  const std::string base = MakeTemplate(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::string text = base;
    benchmark::DoNotOptimize(UrlEncode(text));
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(base.size()));
}
BENCHMARK(BM_UrlEncode)->Arg(1 << 16);

void BM_ScrambleRoundTrip(benchmark::State& state) {
  const std::string password = "correct horse battery staple";
  for (auto _ : state) benchmark::DoNotOptimize(UnscrambleText(ScrambleText(password)));
}
BENCHMARK(BM_ScrambleRoundTrip);

}  // namespace
}  // namespace tolmi
