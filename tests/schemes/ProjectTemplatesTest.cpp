// Project templates for the editors (read, write, load from a file, Default) and
// the style chooser's rules (offered styles, preview pictures, editable schemes).
#include <gtest/gtest.h>

#include "schemes/ProjectTemplates.h"
#include "schemes/StyleChoice.h"
#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"

namespace tolmi::test {
namespace {

TEST(ProjectTemplates, PageTemplateWrittenAndReadByteForByte) {
  TestHome home;
  FakePrompter prompter;
  const std::string dir = (home / "Shop").string();
  home.Write("Shop/template/page.htm", "old");  // a folder of another case is found
  const std::string text = std::string("<p>\r\n\xE9t\xE9 $BODY</p>\n\t", 15);
  ASSERT_TRUE(WriteProjectTemplate(dir, "page.htm", text, prompter).ok());
  EXPECT_EQ(home.Read("Shop/template/page.htm"), text);
  EXPECT_EQ(*ReadProjectTemplate(dir, "page.htm"), text);

  for (const char* bad : {"", "..", "../x.htm", "a\\b.htm"}) {
    EXPECT_FALSE(IsTemplateFileName(bad)) << bad;
    EXPECT_EQ(WriteProjectTemplate(dir, bad, "x", prompter).kind(), ErrorKind::InvalidArgument);
  }
  EXPECT_EQ(ReadProjectTemplate(dir, "none.htm").status().kind(), ErrorKind::NotFound);

  // A folder that cannot take the file: the message, the old file untouched.
  const std::string missing = (home / "Gone").string();
  EXPECT_EQ(WriteProjectTemplate(missing, "page.htm", "x", prompter).kind(), ErrorKind::Io);
  EXPECT_EQ(prompter.shown.at(0).text,
            "ERROR M102: Unable to save template '" + missing + "/Template/page.htm'");
}

TEST(ProjectTemplates, LoadFromFileRefusesWhatIsNoTemplate) {
  TestHome home;
  home.Write("ok.htm", "<b>$TITLE</b>");
  home.Write("big.htm", std::string(kMaxTemplateBytes + 1, 'x'));
  home.Write("edge.htm", std::string(kMaxTemplateBytes, 'x'));
  home.Write("bin.htm", std::string("GIF89a\0\0", 8));
  EXPECT_EQ(*ReadTemplateFile((home / "ok.htm").string()), "<b>$TITLE</b>");
  EXPECT_EQ(ReadTemplateFile((home / "edge.htm").string())->size(), kMaxTemplateBytes);
  struct Case {
    std::string file;
    ErrorKind kind;
    std::string message;
  } cases[] = {
      {"big.htm", ErrorKind::InvalidArgument,
       "The file '%s' is too large for a template (more than 1048576 bytes)."},
      {"bin.htm", ErrorKind::InvalidArgument,
       "The file '%s' is not a template: it holds binary data."},
      {"none.htm", ErrorKind::NotFound, "Unable to read the file '%s'."},
      {"", ErrorKind::NotFound, "Unable to read the file '%s'."},  // the home folder itself
  };
  for (Case c : cases) {
    const std::string path = (home / c.file).string();
    Result<std::string> read = ReadTemplateFile(path);
    ASSERT_FALSE(read.ok()) << c.file;
    EXPECT_EQ(read.status().kind(), c.kind);
    EXPECT_EQ(read.status().message(), c.message.replace(c.message.find("%s"), 2, path));
  }
}

TEST(ProjectTemplates, DefaultAsksThenRestoresTheShippedText) {
  TestHome home;
  home.Write("template/confirm.dat", "shipped confirm");
  ProjectSession session;
  session.confirmTemplate = "edited";
  FakePrompter prompter;

  prompter.answers = {PromptAnswer::Cancel};
  EXPECT_EQ(
      ResetOrderTemplate(session, OrderTemplateKind::Confirmation, home.path(), prompter).kind(),
      ErrorKind::Cancelled);
  EXPECT_EQ(session.confirmTemplate, "edited");
  EXPECT_FALSE(session.project.changed);
  EXPECT_EQ(prompter.asked.at(0).text,
            "This will reset the template to an Tolmi default. All changes will be lost.  Do you "
            "wish to proceed?");
  EXPECT_EQ(prompter.asked[0].title, "Confirmation");
  EXPECT_EQ(prompter.asked[0].buttons, PromptButtons::OkCancel);

  ASSERT_TRUE(
      ResetOrderTemplate(session, OrderTemplateKind::Confirmation, home.path(), prompter).ok());
  EXPECT_EQ(session.confirmTemplate, "shipped confirm");
  EXPECT_TRUE(session.confirmTemplateChanged && !session.orderTemplateChanged);
  EXPECT_TRUE(session.project.changed);

  // No installed default: the message, the text kept.
  session.orderTemplate = "mine";
  EXPECT_EQ(ResetOrderTemplate(session, OrderTemplateKind::Order, home.path(), prompter).kind(),
            ErrorKind::NotFound);
  EXPECT_EQ(prompter.shown.back().text, "ERROR M101: Copying 'template\\order.dat' template");
  EXPECT_EQ(session.orderTemplate, "mine");

  // Editing: only a different text marks the template.
  ProjectSession fresh;
  fresh.orderTemplate = "same";
  EXPECT_FALSE(SetOrderTemplateText(fresh, OrderTemplateKind::Order, "same"));
  EXPECT_FALSE(fresh.project.changed);
  EXPECT_TRUE(SetOrderTemplateText(fresh, OrderTemplateKind::Order, "new"));
  EXPECT_TRUE(fresh.orderTemplateChanged && fresh.project.changed);
}

TEST(StyleChoice, OffersAvailableStylesWithTheirPreviews) {
  TestHome home;
  home.Write("template/a/preview.png", "png");
  SchemeList list;
  list.installDir = home.path().string();
  list.categories = {{"Modern", {}}, {"Gone", {}}};
  Scheme a;
  a.name = "A";
  a.folder = "a";
  a.preview = "template\\a\\preview.png";
  Scheme missing = a;
  missing.name = "B";
  missing.preview = "template/b/preview.png";
  missing.kind = kSchemeUser;
  Scheme unavailable = a;
  unavailable.name = "C";
  unavailable.kind = kSchemeUnavailable;
  list.categories[0].schemes = {a, missing};
  list.categories[1].schemes = {unavailable};

  std::vector<OfferedStyle> offered = OfferedStyles(list);
  ASSERT_EQ(offered.size(), 2u);
  EXPECT_EQ(offered[1].at, (SchemeIndex{0, 1}));
  EXPECT_EQ(offered[1].group + "/" + offered[1].name, "Modern/B");

  EXPECT_EQ(StylePreviewPicture(list, {0, 0}), (home / "template/a/preview.png").string());
  EXPECT_EQ(StylePreviewPicture(list, {0, 1}), "");  // the picture is missing
  EXPECT_EQ(StylePreviewPicture(list, {5, 0}), "");
  EXPECT_EQ(StylePreviewTemplateFolder(list, {0, 0}), (home / "template/a").string());

  // Only a merchant scheme takes edits, and never on a separator row.
  Scheme& user = list.categories[0].schemes[1];
  user.variables = {{"Colours", "", "", 0, kStyleSeparator}, {"Bg", "%BGCOLOR%", "RED", 4, 1}};
  EXPECT_FALSE(SetStyleValue(list.categories[0].schemes[0], 0, "x").ok());
  EXPECT_FALSE(SetStyleValue(user, 0, "x").ok());
  EXPECT_FALSE(SetStyleValue(user, 3, "x").ok());
  ASSERT_TRUE(SetStyleValue(user, 1, "#FF000A").ok());
  // A line break would split the settings file's line; a number takes digits only.
  user.variables.push_back({"Border", "%S_BORDER%", "0", 0, kStyleNumber});
  for (const char* bad : {"", "2px", "-1", "1.5", "12345"})
    EXPECT_EQ(SetStyleValue(user, 2, bad).message(), kStyleValueNotNumber) << bad;
  EXPECT_EQ(SetStyleValue(user, 1, "#FFF\n#000").message(), kStyleValueOneLine);
  EXPECT_TRUE(SetStyleValue(user, 2, "12").ok());
  EXPECT_EQ(user.variables[1].value + user.variables[2].value, "#FF000A12");

  // A chosen picture is copied beside the style's files (never over another
  // picture of the same name) and listed once among them.
  home.Write("template/a/add.svg", "theirs");
  home.Write("pics/add.svg", "mine");
  const std::string mineSvg = (home / "pics/add.svg").string();
  EXPECT_EQ(*AddSchemePicture(user, home.path(), mineSvg), "add(1).svg");
  EXPECT_EQ(*AddSchemePicture(user, home.path(), mineSvg), "add(1).svg");
  EXPECT_EQ(home.Read("template/a/add.svg"), "theirs");
  EXPECT_EQ(home.Read("template/a/add(1).svg"), "mine");
  EXPECT_EQ(user.files, (std::vector<std::string>{"template/a/add(1).svg"}));
  EXPECT_EQ(AddSchemePicture(user, home.path(), (home / "none.svg").string()).status().kind(),
            ErrorKind::NotFound);
  EXPECT_EQ(AddSchemePicture(list.categories[0].schemes[0], home.path(), mineSvg).status().kind(),
            ErrorKind::InvalidArgument);
}

}  // namespace
}  // namespace tolmi::test
