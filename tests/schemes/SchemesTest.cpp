#include "schemes/Schemes.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"

namespace tolmi {
namespace {

using test::FakePrompter;
using test::TestHome;

SchemeList ListIn(const TestHome& home) {
  SchemeList list;
  list.installDir = home.path().string();
  return list;
}

TEST(SchemeList, GroupsSchemesKeysAndKinds) {
  TestHome home;
  home.Write("template/blue/Blue.ini", "-x\n");
  home.Write("present.txt", "1");
  SchemeList list = ListIn(home);
  ReadSchemeListText(list,
                     "product=Tolmi PRO\r\nSTYLE=Modern   \r\n"
                     "SCHEMA=Blue\nPREVIEW=template/blue/p.png\nDEF=blue\nTYP=0\n"
                     "SCHEMA=Gone\nDEF=gone\nTYP=0\n"
                     "SCHEMA=Plain\nTYP=0\n"
                     "STYLE=Classic\n"
                     "SCHEMA=Installed\nINSTALL=present.txt\nTYP=1\n"
                     "SCHEMA=Missing\nINSTALL=absent.txt\nTYP=0\nSCF=template/x/dot.png\n"
                     "STYLE=Modern\n"
                     "SCHEMA=Late\nTYP=0\nDEF=late\n");
  // Per scheme: group/name, folder, kind (0 installed, 1 the merchant's, 2 unavailable).
  std::string seen;
  for (const StyleCategory& c : list.categories)
    for (const Scheme& sc : c.schemes)
      seen += c.name + "/" + sc.name + "," + sc.folder + "," + std::to_string(sc.kind) + " ";
  // Blue's settings file exists; Gone's does not; Plain has no folder to check; Late's
  // folder came after its kind; Missing's install file is absent, whatever its kind.
  EXPECT_EQ(seen,
            "Modern/Blue,blue,0 Modern/Gone,gone,2 Modern/Plain,,0 Modern/Late,late,2 "
            "Classic/Installed,,1 Classic/Missing,,2 ");
  EXPECT_EQ(list.categories[0].schemes[0].preview, "template/blue/p.png");
  EXPECT_EQ(list.categories[1].schemes[0].installPath, "present.txt");
  EXPECT_EQ(list.categories[1].schemes[1].files, std::vector<std::string>{"template/x/dot.png"});
}

TEST(SchemeList, NumberedVariablesAndTheSixAfterTwelve) {
  SchemeList list;
  ReadSchemeListText(list,
                     "SCHEMA=Loose\n0=#FFFFFF\n12=Checkout\n24=dot.png\n31=odd\n7\n"
                     "CLR=FF000A00" +
                         std::string(120, '0') + "\n");
  ASSERT_EQ(list.categories.size(), 1u);
  EXPECT_EQ(list.categories[0].name, "");
  const Scheme& s = list.categories[0].schemes.at(0);
  ASSERT_EQ(s.variables.size(), 11u);
  EXPECT_EQ(s.variables[0], (StyleVariable{"Background Color:", "%S_BGCOLOR%", "#FFFFFF", 0, 1}));
  EXPECT_EQ(s.variables[1],
            (StyleVariable{"Checkout Heading:", "%S_HEADING3%", "Checkout", 12, 2}));
  const std::vector<StyleVariable> extra = {{"Cell Color", "%S_CELLCOLOR%", "WHITE", 0, 1},
                                            {"Border Color", "%S_CELLBORDER%", "0", 0, 32},
                                            {"Outside Border Width", "%S_BORDER%", "0", 0, 32},
                                            {"Inside Border Width", "%S_BORDER2%", "0", 0, 32},
                                            {"Heading Color", "%S_HEADINGCOLOR%", "BLACK", 0, 1},
                                            {"Background Image", "%S_BACKGROUND%", "", 0, 4}};
  for (size_t i = 0; i < extra.size(); ++i) EXPECT_EQ(s.variables[2 + i], extra[i]) << i;
  EXPECT_EQ(s.variables[8], (StyleVariable{"Bullet - Category:", "%BULLET_F%", "dot.png", 24, 4}));
  EXPECT_EQ(s.variables[9], (StyleVariable{"", "$TEST", "odd", 31, 0}));
  EXPECT_EQ(s.variables[10], (StyleVariable{"Visited Link Color:", "%VLINKCOLOR%", "", 7, 1}));
  EXPECT_EQ(s.customColours[0], 0x000A00FFu);
  EXPECT_EQ(s.customColours[1], 0u);
  // The whole table, spot checks of the odd ones.
  EXPECT_EQ(NumberedVariable(21, "").type, 0);
  EXPECT_EQ(NumberedVariable(28, "").label, "Buton - Add:");
  EXPECT_EQ(NumberedVariable(30, "").name, "%BUTTON_REMOVE%");
  EXPECT_EQ(NumberedVariable(-1, "").name, "$TEST");
}

TEST(SchemeList, KeysOutsideASchemeBreaksAndMissingFilesAreIgnored) {
  SchemeList list;
  ReadSchemeListText(list,
                     "DEF=nowhere\n0=#000000\nSTYLE=A\n#CAT\nSCHEMA=One\n#BREAK\n"
                     "DEF=lost\nSCHEMA=Two\n; comment\nother=1\n");
  ASSERT_EQ(list.categories.size(), 1u);
  ASSERT_EQ(list.categories[0].schemes.size(), 2u);
  EXPECT_EQ(list.categories[0].schemes[0].folder, "");
  EXPECT_TRUE(list.categories[0].schemes[0].variables.empty());

  TestHome home;
  SchemeList none;
  LoadSchemes(none, home.path().string());
  EXPECT_TRUE(none.categories.empty());
  EXPECT_FALSE(ReadSchemeList(none, (home / "nothing.dat").string()));
}

Scheme FullScheme() {
  Scheme s;
  s.name = "Ocean";
  s.preview = "template/ocean/preview.png";
  s.folder = "ocean";
  s.variables = {
      {"Colours", "", "", 0, kStyleSeparator},
      {"Background Color:", "%BGCOLOR%", "#FF000A", 4, kStyleColour},
      {"Heading:", "%HEADING%", "Georgia, serif", 10, kStyleHeading},
      {"Bullet - Category:", "%BULLET_F%", "dot.svg", 24, kStylePicture},
      {"Outside Border Width", "%S_BORDER%", "2", 0, kStyleNumber},
      {"Odd", "%ODD%", "", -7, 16 | 2048},
  };
  for (int i = 0; i < 16; ++i) s.customColours[i] = 0x01020304u * (i + 1);
  s.files = {"template/ocean/dot.svg", "template/ocean/add.svg"};
  return s;
}

TEST(SchemeSettings, ExactTextAndRoundTrip) {
  Scheme s;
  s.name = "Mini";
  s.preview = "p.png";
  s.variables = {{"Sep", "", "", 0, kStyleSeparator},
                 {"Link Color:", "%LINKCOLOR%", "#0000FF", 6, 1}};
  s.customColours[0] = 0x000A00FF;
  s.files = {"template/mini/a.svg"};
  EXPECT_EQ(SchemeSettingsText(s),
            ";\n;SCHEMA : Mini\n;PREVIEW: p.png\n;\n\n-Sep\n%LINKCOLOR%,1,6,Link Color:,#0000FF\n"
            "CLR=FF000A00" +
                std::string(120, '0') + "\nF=template/mini/a.svg\n");
  s.name.clear();
  s.preview.clear();
  EXPECT_EQ(SchemeSettingsText(s).substr(0, 5), "-Sep\n");
}

TEST(SchemeSettings, FileRoundTripAndWriteFailure) {
  TestHome home;
  std::filesystem::create_directories(home / "template/ocean");
  FakePrompter prompter;
  const Scheme full = FullScheme();
  ASSERT_TRUE(WriteSchemeSettings(full, home.path().string(), prompter).ok());
  Scheme back;
  back.name = "Ocean";
  back.folder = "ocean";
  ASSERT_TRUE(ReadSchemeSettings(back, home.path().string()));
  EXPECT_TRUE(back.loaded);
  EXPECT_EQ(home.Read("template/ocean/Ocean.ini"), SchemeSettingsText(full));
  back.preview = full.preview;
  EXPECT_EQ(SchemeSettingsText(back), SchemeSettingsText(full));

  // A folder where the file should be: nothing written, W124 shown.
  Scheme blocked = full;
  blocked.name = "Blocked";
  std::filesystem::create_directories(home / "template/ocean/Blocked.ini");
  Status s = WriteSchemeSettings(blocked, home.path().string(), prompter);
  EXPECT_EQ(s.kind(), ErrorKind::Io);
  EXPECT_EQ(prompter.shown.at(0).text, "ERROR W124: Unable to open template file '" +
                                           (home / "template/ocean/Blocked.ini").string() + "'");

  // A missing settings file leaves the scheme without variables.
  Scheme none;
  none.name = "None";
  none.folder = "ocean";
  EXPECT_FALSE(ReadSchemeSettings(none, home.path().string()));
  EXPECT_TRUE(none.variables.empty());
  EXPECT_TRUE(none.loaded);
}

TEST(SchemeSettings, MalformedAndHugeLines) {
  Scheme s;
  ReadSchemeSettingsText(s,
                         "%A\n%B,1\n%C,1,2\n %D,1,2,Label\n"
                         "%E , 1 , 3 ,  Spaced Label  ,   value, with, commas   \n"
                         "%F,x,y,Label Only\n-\nCLR=FFzz\nF=\ngarbage\n");
  ASSERT_EQ(s.variables.size(), 3u);
  EXPECT_EQ(s.variables[0], (StyleVariable{"Spaced Label", "%E", "value, with, commas", 3, 1}));
  EXPECT_EQ(s.variables[1], (StyleVariable{"Label Only", "%F", "", 0, 0}));
  EXPECT_EQ(s.variables[2], (StyleVariable{"", "", "", 0, kStyleSeparator}));
  EXPECT_EQ(s.customColours[0], 0xFFu);
  EXPECT_EQ(s.files, std::vector<std::string>{""});

  Scheme big;
  ReadSchemeSettingsText(
      big, "%BIG,1,1,Big," + std::string(100000, 'v') + "\nCLR=" + std::string(100000, 'F'));
  ASSERT_EQ(big.variables.size(), 1u);
  EXPECT_EQ(big.customColours[15], 0xFFFFFFFFu);

  // Fields that would break the line are cleaned when written.
  Scheme dirty;
  dirty.variables = {{"Lab,el\n", "%A,B%", "line\r\none, two", 1, 1}};
  Scheme back;
  ReadSchemeSettingsText(back, SchemeSettingsText(dirty));
  ASSERT_EQ(back.variables.size(), 1u);
  EXPECT_EQ(back.variables[0], (StyleVariable{"Lab el", "%A B%", "lineone, two", 1, 1}));
}

TEST(SchemeIni, ExactTextRoundTripAndFailure) {
  TestHome home;
  FakePrompter prompter;
  SchemeList list = ListIn(home);
  list.categories = {{"Modern", {}}, {"Empty", {}}, {"", {}}};
  Scheme installed;
  installed.name = "Shipped";
  installed.kind = kSchemeInstalled;
  Scheme mine = FullScheme();
  mine.name = "Mine";
  mine.kind = kSchemeUser;
  mine.installPath = "flag.txt";
  Scheme bare;
  bare.name = "Bare";
  bare.kind = kSchemeUser;
  list.categories[0].schemes = {installed, mine};
  list.categories[1].schemes = {installed};
  list.categories[2].schemes = {bare};
  const std::string expected =
      "product=Tolmi PRO\nversion=2\nSTYLE=Modern\n\nSCHEMA=Mine\n"
      "PREVIEW=template/ocean/preview.png\nDEF=ocean\nINSTALL=flag.txt\nTYP=1\n"
      "STYLE=\n\nSCHEMA=Bare\nPREVIEW=\nDEF=\nTYP=1\n";
  EXPECT_EQ(SchemeIniText(list), expected);

  std::filesystem::create_directories(home / "template/ocean");
  home.Write("flag.txt", "1");
  ASSERT_TRUE(WriteSchemeList(list, prompter).ok());
  EXPECT_EQ(home.Read("scheme.ini"), expected);
  // Only the scheme with variables gets a settings file.
  EXPECT_EQ(home.Read("template/ocean/Mine.ini"), SchemeSettingsText(mine));
  EXPECT_FALSE(std::filesystem::exists(home / "template/Bare.ini"));

  // Read back after the installed list: the merchant's schemes join their groups.
  SchemeList again = ListIn(home);
  ReadSchemeListText(again, "STYLE=Modern\nSCHEMA=Shipped\n");
  ASSERT_TRUE(ReadSchemeList(again, (home / "scheme.ini").string()));
  EXPECT_EQ(SchemeIniText(again), expected);

  std::filesystem::remove(home / "scheme.ini");
  std::filesystem::create_directories(home / "scheme.ini");
  EXPECT_EQ(WriteSchemeList(list, prompter).kind(), ErrorKind::Io);
  EXPECT_EQ(prompter.shown.at(0).text, "ERROR L124: Unable to open file 'scheme.ini'");
}

TEST(CurrentScheme, FirstSchemeLoadedWithPictures) {
  TestHome home;
  FakePrompter prompter;
  SchemeList empty = ListIn(home);
  empty.categories = {{"Nothing", {}}};
  EXPECT_EQ(MakeSchemeCurrent(empty, prompter), nullptr);
  EXPECT_EQ(prompter.shown.at(0).text, "No scheme defined for current store.");

  home.Write("template/ocean/Ocean.ini",
             SchemeSettingsText(FullScheme()) + "%BUTTON_ADD%,4,28,Buton - Add:,add.svg\n");
  SchemeList list = ListIn(home);
  ReadSchemeListText(list, "STYLE=Empty\nSTYLE=Sea\nSCHEMA=Ocean\nDEF=ocean\nTYP=0\n");
  Scheme* current = MakeSchemeCurrent(list, prompter);
  ASSERT_EQ(current, list.At({1, 0}));
  EXPECT_EQ(list.current, (SchemeIndex{1, 0}));
  EXPECT_EQ(current->pictures[kBulletF] + "|" + current->pictures[kButtonAdd] + "|" +
                current->pictures[kBulletG],
            "dot.svg|add.svg|");
  EXPECT_EQ(prompter.shown.size(), 1u);
  // An index that no longer exists falls back to the first scheme.
  list.current = SchemeIndex{5, 5};
  EXPECT_EQ(MakeSchemeCurrent(list, prompter), current);
}

TEST(SchemeLayout, PathsAndLookup) {
  SchemeList list;
  ReadSchemeListText(list,
                     "STYLE=Mod\nSCHEMA=Other\nSTYLE=Modern\nSCHEMA=Harbour\nSCHEMA=Sorvidda\n"
                     "SCHEMA=\nSCHEMA=Meadow\n");
  ReadSchemeListText(list, "STYLE=\nSCHEMA=Loose\n");
  EXPECT_EQ(SchemePath(list, {1, 0}), "Modern/Harbour");
  EXPECT_EQ(SchemePath(list, {2, 0}), "/Loose");
  EXPECT_EQ(FindSchemeByLayout(list, "Modern/Harbour"), (SchemeIndex{1, 0}));
  // "Mod" is a prefix of "Modern/..." too; the lookup goes on to the right group.
  EXPECT_EQ(FindSchemeByLayout(list, "Modern/Meadow"), (SchemeIndex{1, 3}));
  EXPECT_EQ(FindSchemeByLayout(list, "Modern/Sorvida"), (SchemeIndex{1, 1}));
  EXPECT_EQ(FindSchemeByLayout(list, "/Loose"), (SchemeIndex{2, 0}));
  EXPECT_EQ(FindSchemeByLayout(list, "Modern\\Harbour"), (SchemeIndex{1, 0}));
  EXPECT_FALSE(FindSchemeByLayout(list, "Modern/harbour"));
  EXPECT_FALSE(FindSchemeByLayout(list, "Modern"));
  EXPECT_EQ(FindScheme(list, {"Modern", "Meadow"}), (SchemeIndex{1, 3}));
  EXPECT_FALSE(FindScheme(list, {"Mod", "Meadow"}));
  const std::vector<StyleRef> refs = SchemeStyleRefs(list);
  EXPECT_EQ(refs.size(), 6u);
  EXPECT_EQ(refs.at(5), (StyleRef{"", "Loose"}));
}

TEST(NewSchemes, CopyOfTheLastWithAFreeName) {
  TestHome home;
  FakePrompter prompter;
  Scheme base = FullScheme();
  home.Write("template/ocean/Ocean.ini", SchemeSettingsText(base));
  home.Write("template/ocean/New Schema.ini", "taken on disk");
  SchemeList list = ListIn(home);
  ReadSchemeListText(list, "STYLE=Sea\nSCHEMA=Ocean\nDEF=ocean\nTYP=0\nSTYLE=Bare\n");

  Result<SchemeIndex> first = NewScheme(list, 0, prompter);
  ASSERT_TRUE(first.ok()) << first.status().message();
  const Scheme* made = list.At(*first);
  EXPECT_EQ(made->name + "," + made->folder + "," + std::to_string(made->kind),
            "New Schema(1),ocean,1");
  EXPECT_EQ(made->variables, base.variables);
  EXPECT_EQ(home.Read("template/ocean/New Schema(1).ini"), SchemeSettingsText(*made));
  EXPECT_EQ(list.At(*NewScheme(list, 0, prompter))->name, "New Schema(2)");

  // An empty group starts from an empty scheme in "template".
  Result<SchemeIndex> empty = NewScheme(list, 1, prompter);
  ASSERT_TRUE(empty.ok());
  EXPECT_EQ(list.At(*empty)->name, "New Schema");
  EXPECT_TRUE(list.At(*empty)->variables.empty());
  EXPECT_EQ(home.Read("template/New Schema.ini"), SchemeSettingsText(*list.At(*empty)));

  EXPECT_EQ(NewScheme(list, 9, prompter).status().kind(), ErrorKind::InvalidArgument);
  EXPECT_TRUE(prompter.shown.empty());
}

TEST(Colours, ChooserResultText) {
  EXPECT_EQ(ColourText(255, 0, 10) + ColourText(1, 171, 205), "#FF000A#01ABCD");
}

}  // namespace
}  // namespace tolmi
