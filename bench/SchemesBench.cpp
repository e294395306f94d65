// Style variables are applied to every built page, and settings files are read on
// first use; both should cost the same per byte as pages and files grow.
#include <benchmark/benchmark.h>

#include <string>

#include "schemes/Schemes.h"
#include "schemes/TemplateInstall.h"

namespace {

tolmi::Scheme FullStyle() {
  tolmi::Scheme scheme;
  for (int n = 0; n <= 30; ++n) {
    scheme.variables.push_back(tolmi::NumberedVariable(n, "#0B5CAD"));
    if (n == 12)
      for (auto& extra : tolmi::CheckoutExtraVariables()) scheme.variables.push_back(extra);
  }
  return scheme;
}

std::string StyledPage(size_t bytes) {
  const std::string row =
      "<tr style=\"background:%S_CELLCOLOR%;color:%TEXTCOLOR%\"><td><a style=\"color:"
      "%LINKCOLOR%\" href=\"p.htm\">Tea</a></td><td><img src=\"%BULLET_F%\" alt=\"\"></td></tr>\n";
  std::string page = "<body style=\"background:%BGCOLOR%;font-family:%HEADING%\"><table>";
  while (page.size() < bytes) page += row;
  return page + "</table></body>";
}

void BM_ApplyStyleVariables(benchmark::State& state) {
  const tolmi::Scheme scheme = FullStyle();
  const std::string page = StyledPage(size_t(state.range(0)));
  for (auto _ : state) {
    std::string s = page;
    benchmark::DoNotOptimize(tolmi::ApplyStyleVariables(s, scheme, true));
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(page.size()));
}
BENCHMARK(BM_ApplyStyleVariables)->Arg(16 << 10)->Arg(256 << 10)->Arg(4 << 20);

void BM_ReadSettingsText(benchmark::State& state) {
  tolmi::Scheme scheme = FullStyle();
  while (scheme.variables.size() < size_t(state.range(0)))
    scheme.variables.push_back({"L", "%X%", "v", 1, 1});
  const std::string text = tolmi::SchemeSettingsText(scheme);
  for (auto _ : state) {
    tolmi::Scheme read;
    tolmi::ReadSchemeSettingsText(read, text);
    benchmark::DoNotOptimize(read.variables.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_ReadSettingsText)->Arg(40)->Arg(4000)->Arg(40000);

}  // namespace
