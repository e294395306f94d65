// The styles shipped in data/ as the program reads them (the files themselves are checked
// by tests/data/check_shipped_data.py): each is available, its settings file reads back to
// the same bytes, and choosing it installs its templates with every style variable filled.
#include <gtest/gtest.h>

#include <filesystem>

#include "schemes/Schemes.h"
#include "schemes/TemplateInstall.h"
#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"
#include "util/Files.h"
#include "util/Paths.h"

namespace tolmi {
namespace {

std::string DataDir() {
  return (test::SourceDir() / "data").string();
}

TEST(ShippedStyles, EveryStyleReadsBackTheSame) {
  SchemeList list;
  LoadSchemes(list, DataDir());
  int styles = 0;
  for (StyleCategory& category : list.categories) {
    for (Scheme& scheme : category.schemes) {
      ++styles;
      const std::string where = category.name + "/" + scheme.name;
      EXPECT_EQ(scheme.kind, kSchemeInstalled) << where;
      std::optional<std::string> bytes = ReadWholeFile(SchemeSettingsPath(DataDir(), scheme));
      ASSERT_TRUE(bytes) << where;
      ASSERT_TRUE(ReadSchemeSettings(scheme, DataDir()));
      EXPECT_EQ(SchemeSettingsText(scheme), *bytes) << where;
    }
  }
  EXPECT_GE(styles, 3);
}

TEST(ShippedStyles, ChoosingEachStyleInstallsItsTemplates) {
  test::TestHome home;
  SchemeList list;
  LoadSchemes(list, DataDir());
  for (std::size_t c = 0; c < list.categories.size(); ++c) {
    for (std::size_t s = 0; s < list.categories[c].schemes.size(); ++s) {
      StoreProject project;
      test::FakePrompter prompter;
      const std::string projectDir =
          (home / ("p" + std::to_string(c) + std::to_string(s))).string();
      Result<int> copied = ChooseStyle(project, list, {c, s}, projectDir, prompter);
      ASSERT_TRUE(copied.ok());
      EXPECT_EQ(*copied, 8);
      // Built pages carry no style variable left unfilled.
      Scheme& scheme = *list.At({c, s});
      std::optional<std::string> page =
          LoadPageTemplate(JoinPath(projectDir, "Template/category.htm"), &scheme);
      ASSERT_TRUE(page);
      EXPECT_GT(ApplyStyleVariables(*page, scheme, false), 0);
      for (const StyleVariable& v : scheme.variables)
        if (!v.name.empty()) {
          EXPECT_EQ(page->find(v.name), std::string::npos) << v.name;
        }
    }
  }
}

}  // namespace
}  // namespace tolmi
