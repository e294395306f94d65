// The project reader against very deep nesting: read and saved without a deep stack.
// (Mutated and truncated files are covered by the project-file fuzz target.)
#include <gtest/gtest.h>

#include "project/ProjectFile.h"

namespace tolmi {
namespace {

TEST(ProjectFileRobustnessTest, VeryDeepNestingNeedsNoDeepStack) {
  std::string text;
  const int depth = 50000;
  for (int i = 0; i < depth; ++i) text += "NODE0=n\nSTATUS=0\n#BRANCH\n";
  text += "NODE4=leaf\nSTATUS=0\n";
  StoreProject p;
  auto stats = ReadProjectText(p, text, nullptr, false);
  EXPECT_EQ(stats.placed, static_cast<std::size_t>(depth + 1));
  std::string saved = ProjectFileText(p, 0, 2034361);
  EXPECT_NE(saved.find("NODE4=leaf\n"), std::string::npos);
  StoreProject again;
  ReadProjectText(again, saved, nullptr, false);
  EXPECT_EQ(CountNodes(again), static_cast<std::size_t>(depth + 1));
  ClearProject(again);
}

}  // namespace
}  // namespace tolmi
