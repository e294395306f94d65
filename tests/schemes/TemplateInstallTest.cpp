#include "schemes/TemplateInstall.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/project/ProjectFixtures.h"

namespace tolmi {
namespace {

using test::FakePrompter;
using test::TestHome;

// A home with the scheme "Sea/Ocean" (all eight templates), no order templates, and a
// project folder.
struct Installation : test::LifecycleHome {
  SchemeList list;
  std::string projectDir;

  Installation() : LifecycleHome(false) {
    for (const char* name : kSchemeTemplates)
      home.Write(std::string("template/ocean/") + name, std::string("ocean ") + name);
    home.Write("template/ocean/Ocean.ini", "%BULLET_F%,4,24,Bullet - Category:,f.svg\n");
    list.installDir = home.path().string();
    ReadSchemeListText(list, "STYLE=Sea\nSCHEMA=Ocean\nDEF=ocean\nTYP=0\nSCHEMA=Dry\nDEF=dry\n");
    projectDir = (home / "Projects/Toys").string();
    std::filesystem::create_directories(home / "Projects/Toys/Template");
  }
  std::string Project(const std::string& name) const {
    return home.Read("Projects/Toys/Template/" + name);
  }
};

StoreProject TreeOfEveryKind() {
  StoreProject project;
  StoreNode* top = nullptr;
  for (NodeKind kind : {NodeKind::Category, NodeKind::Product, NodeKind::Shelf, NodeKind::List,
                        NodeKind::Page, NodeKind::Link}) {
    StoreNode* placed = test::AddNode(project, top, kind, "");
    placed->temp = "custom.htm";
    if (!top) top = placed;
  }
  test::AddNode(project, top->children[1].get(), NodeKind::Product, "");  // under the shelf
  return project;
}

TEST(ChooseStyle, NoLeavesEverythingYesInstallsTheEightTemplates) {
  Installation in;
  in.home.Write("Projects/Toys/Template/product.htm", "merchant's own");
  StoreProject project = TreeOfEveryKind();
  FakePrompter& prompter = in.prompter;
  prompter.answers = {PromptAnswer::No, PromptAnswer::Cancel, PromptAnswer::Yes};

  for (int i = 0; i < 2; ++i) {
    Result<int> r = ChooseStyle(project, in.list, {0, 0}, in.projectDir, prompter);
    EXPECT_EQ(r.status().kind(), ErrorKind::Cancelled);
  }
  EXPECT_EQ(in.Project("product.htm"), "merchant's own");
  EXPECT_FALSE(project.changed || project.settings.style);
  EXPECT_EQ(RootNode(project)->temp, "custom.htm");

  Result<int> r = ChooseStyle(project, in.list, {0, 0}, in.projectDir, prompter);
  ASSERT_TRUE(r.ok());
  EXPECT_EQ(*r, 8);
  EXPECT_EQ(prompter.asked.at(2).text,
            "In order to use this style, Tolmi PRO needs to assign new templates to all "
            "categories and items.  If you have modified any of the existing templates, your "
            "changes will be lost.\r\n\r\nDo you wish to proceed?");
  EXPECT_EQ(prompter.asked[2].title, "Confirmation");
  for (const char* name : kSchemeTemplates)
    EXPECT_EQ(in.Project(name), std::string("ocean ") + name);
  std::vector<std::string> temps;
  ForEachNode(project, [&](StoreNode& n) { temps.push_back(n.temp); });
  EXPECT_EQ(temps,
            (std::vector<std::string>{"category.htm", "product.htm", "shelf.htm", "product.htm",
                                      "list.htm", "page.htm", "category.htm"}));
  EXPECT_EQ(project.settings.style, (StyleRef{"Sea", "Ocean"}));
  EXPECT_EQ(in.list.current, (SchemeIndex{0, 0}));
  EXPECT_EQ(in.list.At({0, 0})->pictures[kBulletF], "f.svg");

  EXPECT_EQ(ChooseStyle(project, in.list, {3, 0}, in.projectDir, prompter).status().kind(),
            ErrorKind::NotFound);
}

TEST(ChooseStyle, MissingSchemeFolderOrFilesLeaveTheProjectsCopies) {
  Installation in;
  in.home.Write("Projects/Toys/Template/page.htm", "kept");
  EXPECT_EQ(CopySchemeTemplates(in.list.installDir, *in.list.At({0, 1}), in.projectDir), 0);
  EXPECT_EQ(in.Project("page.htm"), "kept");
  std::filesystem::remove(in.home / "template/ocean/page.htm");
  EXPECT_EQ(CopySchemeTemplates(in.list.installDir, *in.list.At({0, 0}), in.projectDir), 7);
  EXPECT_EQ(in.Project("page.htm"), "kept");
  EXPECT_EQ(in.Project("search.htm"), "ocean search.htm");
}

TEST(InstallHook, UsesTheProjectsStyleElseTheCurrentOne) {
  Installation in;
  in.home.Write("template/dry/page.htm", "dry page");
  StoreProject project;
  project.settings.style = StyleRef{"Sea", "Dry"};
  EXPECT_TRUE(InstallProjectStyleTemplates(in.list, project, in.projectDir).ok());
  EXPECT_EQ(in.Project("page.htm"), "dry page");
  project.settings.style = StyleRef{"Sea", "Gone"};
  EXPECT_TRUE(InstallProjectStyleTemplates(in.list, project, in.projectDir).ok());
  EXPECT_EQ(in.Project("page.htm"), "ocean page.htm");
  SchemeList none;
  EXPECT_EQ(InstallProjectStyleTemplates(none, project, in.projectDir).kind(), ErrorKind::NotFound);
}

// A project of the given version with its own three templates, upgraded.
struct Upgrade {
  Installation in;
  StoreProject project;
  std::optional<std::string> message;

  explicit Upgrade(int version) {
    in.home.Write("template/shelf.htm", "new shelf");
    in.home.Write("template/order.dat", "new order");
    in.home.Write("template/confirm.dat", "new confirm");
    for (const char* name : {"shelf.htm", "order.htm", "confirm.htm"})
      in.home.Write(std::string("Projects/Toys/Template/") + name, std::string("old ") + name);
    project.settings.version = version;
    message = UpgradeProjectTemplates(project, in.projectDir, in.list.installDir, in.prompter);
  }
};

TEST(UpgradeTemplates, OlderProjectsHaveTheirTemplatesReplacedAndKept) {
  const std::string three =
      "Your project was saved with an older version of Tolmi PRO.\r\n\r\nFor compatibility, "
      "Tolmi needs to replace your Shelf, Order form, and Confirmation page templates.  If you "
      "have made changes to these templates, a copy of the changed versions will be saved as "
      "shelf.bak, order.bak and confirm.bak in your project's template directory.";
  const std::string two =
      "Your project was saved with an older version of Tolmi PRO.\r\n\r\nFor compatibility, "
      "Tolmi needs to replace your Order form, and Confirmation page templates.  If you have "
      "made changes to these templates, a copy of the changed versions will be saved as "
      "order.bak and confirm.bak in your project's template directory.";
  const struct {
    int version;
    std::string message;  // empty: left alone
    bool shelf;
  } cases[] = {{0, three, true},     {101003, three, true}, {101004, two, false},
               {103000, two, false}, {103001, "", false},   {2034361, "", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    Upgrade u(c.version);
    const bool replaced = !c.message.empty();
    EXPECT_EQ(u.project.changed, replaced);
    std::string shown;
    for (const auto& m : u.in.prompter.shown) shown += m.title + ": " + m.text;
    EXPECT_EQ(shown, replaced ? "Project Upgrade: " + c.message : "");
    EXPECT_EQ(u.message.value_or(""), c.message);
    // Per template: the project's copy, then its backup ("" when none).
    std::string files;
    for (const char* name : {"shelf", "order", "confirm"})
      files += u.in.Project(name + std::string(".htm")) + "|" +
               u.in.Project(name + std::string(".bak")) + " ";
    const std::string shelf = c.shelf ? "new shelf|old shelf.htm " : "old shelf.htm| ";
    EXPECT_EQ(files, shelf + (replaced ? "new order|old order.htm new confirm|old confirm.htm "
                                       : "old order.htm| old confirm.htm| "));
  }
}

TEST(InstallHook, NewProjectsGetTheStyleTemplatesThroughTheLifecycle) {
  Installation in;
  LifecycleEnv& env = in.env;
  ProjectSession session;
  SetStyleTemplateHooks(env, in.list, session.project);
  ASSERT_TRUE(NewProject(session, env, "Shop", "Shop").ok());
  EXPECT_EQ(in.home.Read("Projects/Shop/Template/order.htm"), "ocean order.htm");
  // The upgrade hook replaces the templates (its rules are the upgrade tests').
  in.home.Write("template/order.dat", "new order");
  env.upgradeTemplates(session.project, (in.home / "Projects/Shop").string());
  EXPECT_EQ(in.home.Read("Projects/Shop/Template/order.htm"), "new order");
}

// A merchant's template is never lost: without the installation's file it stays, an
// earlier backup is kept, and a template that is already the installed one is not saved again.
TEST(UpgradeTemplates, EarlierBackupsAndOwnTemplatesAreNeverLost) {
  Installation in;
  in.home.Write("Projects/Toys/Template/order.htm", "mine");
  StoreProject project;
  FakePrompter& prompter = in.prompter;
  project.settings.version = 101004;
  ASSERT_TRUE(UpgradeProjectTemplates(project, in.projectDir, in.list.installDir, prompter));
  EXPECT_EQ(in.Project("order.htm"), "mine");
  EXPECT_FALSE(std::filesystem::exists(in.home / "Projects/Toys/Template/order.bak"));

  in.home.Write("template/order.dat", "new order");
  in.home.Write("template/confirm.dat", "new confirm");
  in.home.Write("Projects/Toys/Template/order.htm", "mine, edited again");
  in.home.Write("Projects/Toys/Template/order.bak", "mine, first");
  in.home.Write("Projects/Toys/Template/confirm.htm", "my confirm");
  for (int run = 0; run < 2; ++run)
    ASSERT_TRUE(UpgradeProjectTemplates(project, in.projectDir, in.list.installDir, prompter));
  EXPECT_EQ(in.Project("order.htm"), "new order");
  EXPECT_EQ(in.Project("order.bak"), "mine, first");
  EXPECT_EQ(in.Project("order(1).bak"), "mine, edited again");
  EXPECT_EQ(in.Project("confirm.bak"), "my confirm");
  EXPECT_FALSE(std::filesystem::exists(in.home / "Projects/Toys/Template/confirm(1).bak"));
}

TEST(Conversions, LegacyNames) {
  // The first and last names of each list, the look-alikes, and a name in lower case.
  std::string page = "$BGCOLOR $BG_COLOR $VLINK_COLOR $HEADING1 $HEADING $BUTTON_REMOVE $bgcolor";
  ConvertPageTemplate(page);
  EXPECT_EQ(page, "%BGCOLOR% %BGCOLOR% %VLINKCOLOR% %HEADING% %HEADING% %BUTTON_REMOVE% $bgcolor");
  std::string order = "$BGCOLOR $BG_COLOR $HEADINGCOLOR $HEADINGTEXTCOLOR";
  ConvertOrderTemplate(order);
  EXPECT_EQ(order, "%O_BGCOLOR% %O_BGCOLOR% %O_HEADINGCOLOR% %O_HEADINGTEXTCOLOR%");
  std::string frame = "$BGCOLOR $BG_COLOR $LIST_COLOR $HEADING2 $HEADING3";
  ConvertOrderFormFrame(frame);
  EXPECT_EQ(frame, "%S_BGCOLOR% %S_BGCOLOR% %S_LISTCOLOR% %S_HEADING2% %S_HEADING3%");
}

TEST(Conversions, OldBulletPictures) {
  Scheme scheme;
  scheme.files = {"template\\old\\dot.png", "template/old/arrow.png.png", "template/old/x.svg"};
  const std::string tags =
      "<img SRC=\"r1_transp.gif\" ><IMG src=\"R1_TRANSP.gif\">"
      "<img SRC=\"r1_transbar.gif\" BORDER=0  align=TEXTTOP>"
      "<img SRC=\"r1_transp.gif\" align=CENTER>";
  std::string text = "a" + tags + "<img src=\"dot.gif\"><img src=\"arrow.gif.png\">" +
                     "<img src=\"r1_transp.gif\" align=left>";
  RemoveOldBulletPictures(text, &scheme);
  EXPECT_EQ(text,
            "a<img src=\"dot.png\"><img src=\"arrow.png.png\"><img src=\"r1_transp.gif\" "
            "align=left>");
  std::string marked = "<!--Version 3-->" + tags + "dot.gif";
  const std::string before = marked;
  RemoveOldBulletPictures(marked, &scheme);
  EXPECT_EQ(marked, before);
  std::string noScheme = tags + "dot.gif";
  RemoveOldBulletPictures(noScheme, nullptr);
  EXPECT_EQ(noScheme, "dot.gif");
}

TEST(Conversions, LoadPageTemplate) {
  TestHome home;
  home.Write("t.htm", "<body bgcolor=$BGCOLOR><img SRC=\"r1_transp.gif\" >$HEADING1");
  std::optional<std::string> text = LoadPageTemplate((home / "t.htm").string(), nullptr);
  ASSERT_TRUE(text);
  EXPECT_EQ(*text, "<body bgcolor=%BGCOLOR%>%HEADING%");
  EXPECT_FALSE(LoadPageTemplate((home / "none.htm").string(), nullptr));
}

TEST(StyleVariables, ReplacementsAndTheThreeDCart) {
  Scheme scheme;
  scheme.variables = {{"Sep", "", "", 0, kStyleSeparator}, {"", "%BGCOLOR%", "#FFFFFF", 4, 1},
                      {"", "%S_BORDER%", "2", 0, 32},      {"", "%S_CELLBORDER%", "0", 0, 32},
                      {"", "%SELF%", "[%SELF%]", 0, 2},    {"", "%S_HEADING3%", "Checkout", 12, 2}};
  const std::string text =
      "%BGCOLOR%|%BGCOLOR%|%S_BORDER%|%S_CELLBORDER%|%SELF%|%S_HEADING3%|%S_HEADING2%|%bgcolor%";
  std::string flat = text;
  EXPECT_EQ(ApplyStyleVariables(flat, scheme, false), 6);
  EXPECT_EQ(flat, "#FFFFFF|#FFFFFF|2|0|[%SELF%]|Checkout||%bgcolor%");
  std::string cart = text;
  EXPECT_EQ(ApplyStyleVariables(cart, scheme, true), 6);
  EXPECT_EQ(cart, "#FFFFFF|#FFFFFF|6|1|[%SELF%]|Checkout||%bgcolor%");
  // Without the heading variables both headings still disappear.
  Scheme bare;
  std::string headings = "a%S_HEADING2%b%S_HEADING3%c";
  EXPECT_EQ(ApplyStyleVariables(headings, bare, true), 0);
  EXPECT_EQ(headings, "abc");
}

}  // namespace
}  // namespace tolmi
