// Tokenizing and text routines on generated pages; the per-byte cost should stay flat as
// the input grows (linear time), including on pathological inputs.
#include <benchmark/benchmark.h>

#include <string>

#include "util/Html.h"
#include "util/HtmlTokenizer.h"

namespace {

std::string ProductPage(size_t bytes) {
  const std::string row =
      "<tr><td class=\"name\"><a href=\"p123.htm\">Caf&eacute; <b>Blend</b></a></td>"
      "<td align=right>%PRICE% &amp; more. Fresh.</td></tr>\n";
  std::string page = "<html><head><script>var a = 1 < 2;</script></head><body><table>";
  while (page.size() < bytes) page += row;
  return page + "</table></body></html>";
}

void BM_TokenizePage(benchmark::State& state) {
  std::string page = ProductPage(size_t(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(tolmi::HtmlTokenize(page, 3));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(page.size()));
}
BENCHMARK(BM_TokenizePage)->Arg(64 << 10)->Arg(1 << 20)->Arg(8 << 20);

void BM_TokenizeOpenBrackets(benchmark::State& state) {
  std::string text(size_t(state.range(0)), '<');
  for (auto _ : state) benchmark::DoNotOptimize(tolmi::HtmlTokenize(text));
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_TokenizeOpenBrackets)->Arg(64 << 10)->Arg(1 << 20)->Arg(8 << 20);

void BM_PlainText(benchmark::State& state) {
  std::string page = ProductPage(size_t(state.range(0)));
  for (auto _ : state) {
    std::string s = page;
    tolmi::HtmlToPlainText(s);
    benchmark::DoNotOptimize(s);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(page.size()));
}
BENCHMARK(BM_PlainText)->Arg(64 << 10)->Arg(1 << 20)->Arg(8 << 20);

}  // namespace
