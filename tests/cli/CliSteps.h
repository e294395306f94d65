// Tables of tolmi-cli commands run one after another in one home, and the home they start in.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/cli/CliRunner.h"

namespace tolmi::cli {

// A home with small reference lists and order templates, so that start-up has nothing to
// report and the lists are known.
inline void FillHome(const test::TestHome& home) {
  home.Write("domain.dat", "AU Australia,AUD\nNZ New Zealand,NZD\nUS United States,USD\n");
  home.Write("cc.dat", "Visa\nMasterCard\n");
  home.Write("settings.dat", "URL_HOME=http://home.test/\n");
  home.Write("template/order.dat", "<order>");
  home.Write("template/confirm.dat", "<confirm>");
}

// One command of a table run in order in one home: its exit code (-1: any failure), texts
// that what it printed must hold, and whether the file (relative to the home) must be as
// it was before the command.
struct Step {
  std::vector<std::string> args;
  int code;
  std::string out, err;
  bool unchanged = false;
};

inline void RunSteps(const test::TestHome& home, const std::vector<Step>& steps,
                     const std::string& file = "Projects/Toys/Toys.stp") {
  for (const Step& s : steps) {
    std::string name;
    for (const auto& a : s.args) name += a + ' ';
    SCOPED_TRACE(name);
    const std::string before = s.unchanged ? home.Read(file) : "";
    CliRun r = Cli(home, s.args);
    if (s.code < 0)
      EXPECT_NE(r.code, 0);
    else
      EXPECT_EQ(r.code, s.code) << r.err;
    EXPECT_NE(r.out.find(s.out), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(s.err), std::string::npos) << r.err;
    if (s.unchanged) {
      EXPECT_EQ(home.Read(file), before);
    }
  }
}

}  // namespace tolmi::cli
