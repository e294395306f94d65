// The styles shipped in data/: every listed style is available, has its eight
// templates, its pictures and a settings file that reads back to the same bytes.
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

TEST(ShippedStyles, EveryStyleIsComplete) {
  SchemeList list;
  LoadSchemes(list, DataDir());
  ASSERT_GE(list.categories.size(), 2u);
  int styles = 0;
  for (StyleCategory& category : list.categories) {
    for (Scheme& scheme : category.schemes) {
      ++styles;
      const std::string where = category.name + "/" + scheme.name;
      EXPECT_EQ(scheme.kind, kSchemeInstalled) << where;
      EXPECT_FALSE(scheme.folder.empty()) << where;
      EXPECT_TRUE(FileExists(ResolveExistingPath(JoinPath(DataDir(), scheme.preview)))) << where;
      const std::string dir = SchemeTemplateDir(DataDir(), scheme);
      for (const char* name : kSchemeTemplates)
        EXPECT_TRUE(FileExists(JoinPath(dir, name))) << where << " lacks " << name;

      const std::string settingsPath = SchemeSettingsPath(DataDir(), scheme);
      std::optional<std::string> bytes = ReadWholeFile(settingsPath);
      ASSERT_TRUE(bytes) << where;
      ASSERT_TRUE(ReadSchemeSettings(scheme, DataDir()));
      EXPECT_EQ(SchemeSettingsText(scheme), *bytes)
          << where << ": settings file does not read back";

      // The numbered variables and the six extras are all there, named once.
      for (int n = 0; n <= 30; ++n) {
        const StyleVariable want = NumberedVariable(n, "");
        int found = 0;
        for (const StyleVariable& v : scheme.variables)
          if (v.name == want.name) {
            ++found;
            EXPECT_EQ(v.number, n) << where << " " << v.name;
            EXPECT_EQ(v.label, want.label) << where << " " << v.name;
          }
        EXPECT_EQ(found, 1) << where << " " << want.name;
      }
      for (const StyleVariable& extra : CheckoutExtraVariables()) {
        int found = 0;
        for (const StyleVariable& v : scheme.variables) found += v.name == extra.name;
        EXPECT_EQ(found, 1) << where << " " << extra.name;
      }

      // Every picture slot names a file of the style's folder that the build copies.
      LookUpPictures(scheme);
      for (std::size_t slot = 0; slot < scheme.pictures.size(); ++slot) {
        const std::string& picture = scheme.pictures[slot];
        ASSERT_FALSE(picture.empty()) << where << " " << kPictureSlotNames[slot];
        EXPECT_TRUE(FileExists(JoinPath(dir, picture))) << where << " lacks " << picture;
        bool copied = false;
        for (const std::string& file : scheme.files)
          copied |= file == "template/" + scheme.folder + "/" + picture;
        EXPECT_TRUE(copied) << where << " does not copy " << picture;
      }
      for (const StyleVariable& v : scheme.variables) {
        if (v.name == "%S_BACKGROUND%" && !v.value.empty()) {
          EXPECT_TRUE(FileExists(JoinPath(dir, v.value))) << where << " lacks " << v.value;
        }
      }
      for (const std::string& file : scheme.files)
        EXPECT_TRUE(FileExists(ResolveExistingPath(JoinPath(DataDir(), file))))
            << where << " lacks " << file;
    }
  }
  EXPECT_GE(styles, 3);
  // The shelf template that replaces an old project's shelf.
  EXPECT_TRUE(FileExists(JoinPath(DataDir(), "template/shelf.htm")));
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
