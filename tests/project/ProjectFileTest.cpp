// The project file: exact bytes written, round trips, and how each kind of line is read.
#include <gtest/gtest.h>

#include "project/ProjectFile.h"
#include "tests/project/ProjectFixtures.h"
#include "util/Scramble.h"

namespace tolmi {
namespace {

using test::AddNode;
using test::FakeClock;
using test::FakePrompter;
using test::TestHome;

constexpr int kVersion = 2034361;

// A project with every field, list and setting, and nested records, laid out as the writer
// lays it out.
const std::string kFull =
    "TIME=1234567890\nVERSION=2034361\nOWNER=Tolmi PRO\n"
    "NODE0=<b>Home</b>\nSTATUS=-2\nMOD=1\nc=-98765\ns=1234\nlc=2147483647\nls=1200\n"
    "lsd1=-2147483648\nlsd2=77\ndg=0a1b\nldg=2c3d\nFILE=home.htm\nPAGE=page home\n"
    "IMAGE=img/home.jpg\nLINK=http://example.com/home\nKEY=kw home\nDESC=desc home\n"
    "BODY=First paragraph.@@@@@@Second paragraph.\nCOST=9.95\nCODE=C-home\nTEMP=product.htm\n"
    "F=1.5\nW=2\nX=10\nF1=f1\nF2=f2\nF3=f3\nF4=f4\nF5=f5\nF6=f6\n"
    "T1=t1\nT2=t2\nT3=t3\nT4=t4\nT5=t5\nT6=t6\nNN1=Colour:\nNN2=\n&1Red|\n&1Green|\n&1|\n&2XL|\n"
    "#BRANCH\nNODE2=Shoes\nSTATUS=0\nMOD=0\nc=0\ns=0\nlc=0\nls=0\nlsd1=0\nlsd2=0\n#BRANCH\n"
    "NODE1=Boot\nSTATUS=0\nMOD=0\nc=0\ns=0\nlc=0\nls=0\nlsd1=0\nlsd2=0\n#EOB\n#EOB\n"
    "NODE4=About\nSTATUS=0\nMOD=0\nc=0\ns=0\nlc=0\nls=0\nlsd1=0\nlsd2=0\nFILE=about.htm\n"
    "VAR=$STORETITLE|My Shop\nVAR=$CURRENCY|EUR\nVAR=$FOOTER|line 1@@@line 2\nVAR=$EMPTY|\n"
    "$AU0,5,6,7,8,9,10,11,12,13,14,15,16,10,|1\nRULE=0,W>10:25\n$AU1,,,,,,,,,,,,,10,|0\n"
    "$AU2,,,,,,,,,,,,99,10,|1\n$UK20,,,,,,,,,,,,,,|1\n$UK21,,,,,,,,,,,,,,|1\n"
    "$UK22,,,,,,,,,,,,,,|1\nLAYOUT=Classic/Blue\nSTITLE=My Shop\n"
    "SITEURL=https://shop.example/tea/\nTAXF=7.5\nREBUILD=/home/me/Web\nP_USER=bob\n"
    "P_PASS=041046126085072091009091076094094\nP_ACCT=acct\nP_SERV=ftp.example.com\n"
    "P_PORT=2121\nP_DIR=/www\nP_SAVE=1\nP_PASV=1\nCOMP=bob:ftp.example.com/www\n"
    "OMESSAGE=Thank you.@@@Come again.\nCMESSAGE=Confirmed.@@@\nVO=11\nVC=-12\nTAXD=1\nTAXO=1\n"
    "CURR=EUR\nHASBULLETS=0\nHAS3DCART=1\nCARTONSCREEN=1\nSEARCH=0\nCRLF=1\nNAVSTYLE=1\n"
    "SN=SERIAL-1\nFNAME=0,Air\nFNAME=1,Bike\nFNAME=2,Sea\nCC=1:Visa\nCC=0:Diners Club\n"
    "usd=tolmi.js,123456\nusd=trolley.html,-5\nutd=logo.gif,42\n";

StoreProject Read(const std::string& text, const ProjectFileContext& context = {}) {
  StoreProject project;
  ReadProjectText(project, text, nullptr, false, context);
  return project;
}

// Values that hold line breaks, or the writer's own separators, are cleaned so that they
// cannot break the file apart; a method name not set is left out.
TEST(ProjectFileWriteTest, LineBreaksAndSeparatorsAreCleanedWhenWritten) {
  StoreProject p;
  StoreNode* n = AddNode(p, nullptr, NodeKind::Page, "Title\nSTITLE=injected", "a\r\n.htm");
  n->body = "Line one\r\nLine two\nthree";
  p.variables = {{"$A|B", "x\r\ny"}};
  p.settings.style = StyleRef{"", "Plain"};
  p.settings.ftpUser = "bob";
  p.settings.ftpPassword = "pw";  // not kept: not written
  p.settings.currency = "E\r\nUR";
  p.deliveryMethodNames[1] = std::nullopt;
  EXPECT_EQ(
      ProjectFileText(p, 0, kVersion),
      "TIME=0\nVERSION=2034361\nOWNER=Tolmi PRO\nNODE4=TitleSTITLE=injected\nSTATUS=0\n"
      "MOD=0\nc=0\ns=0\nlc=0\nls=0\nlsd1=0\nlsd2=0\nFILE=a.htm\n"
      "BODY=Line one@@@Line two@@@three\nVAR=$AB|x@@@y\nLAYOUT=/Plain\nP_USER=bob\nP_ACCT=\n"
      "P_SERV=\nP_PORT=\nP_DIR=\nP_SAVE=0\nP_PASV=0\nCOMP=\nOMESSAGE=\nCMESSAGE=\nVO=0\nVC=0\n"
      "TAXD=0\nTAXO=0\nCURR=EUR\nHASBULLETS=1\nHAS3DCART=0\nCARTONSCREEN=0\nSEARCH=1\nCRLF=0\n"
      "NAVSTYLE=0\nFNAME=0,Economy Air (2-3 Weeks)\nFNAME=2,Surface Mail (3-6 Weeks)\n");
  // An empty "PAGE=" is kept: it decides what a page's description is.
  StoreProject back = Read("NODE4=About\nSTATUS=0\nPAGE=\n");
  ASSERT_TRUE(back.top().children.at(0)->pagePresent);
  EXPECT_NE(ProjectFileText(back, 0, kVersion).find("\nPAGE=\n"), std::string::npos);
}

// Whatever the reader misses or the writer leaves out breaks the byte-for-byte equality.
TEST(ProjectFileRoundTripTest, EveryFieldListAndSettingReadsBackByteForByte) {
  StoreProject p = Read(kFull);
  EXPECT_EQ(ProjectFileText(p, 1234567890, kVersion), kFull);

  TestHome home;
  p.changed = true;
  FakePrompter prompter;
  FakeClock clock(1234567890);
  const std::string path = (home / "shop.stp").string();
  ASSERT_TRUE(WriteProjectFile(p, path, prompter, clock, kVersion).ok());
  EXPECT_FALSE(p.changed);
  EXPECT_EQ(home.Read("shop.stp"), kFull);
  StoreProject loaded;
  ASSERT_TRUE(ReadProjectFile(loaded, path, nullptr, false).ok());
  EXPECT_EQ(ProjectFileText(loaded, 1234567890, kVersion), kFull);
}

// Trailing blanks of titles do not come back; saving cleans the stored currency and
// variable names themselves.
TEST(ProjectFileRoundTripTest, TheDocumentedExceptions) {
  StoreProject p;
  StoreNode* n = AddNode(p, nullptr, NodeKind::Page, "Title  ");
  n->page = "padded   ";
  p.settings.currency = "\r\nUS$\r\n";
  p.variables = {{"$A|B|", "v"}};
  StoreProject back = Read(ProjectFileText(p, 0, kVersion));
  EXPECT_EQ(RootNode(back)->title + "|" + RootNode(back)->page, "Title|padded");
  TestHome home;
  FakePrompter prompter;
  FakeClock clock(1);
  ASSERT_TRUE(WriteProjectFile(p, (home / "x.stp").string(), prompter, clock, kVersion).ok());
  EXPECT_EQ(p.settings.currency, "US$");
  EXPECT_EQ(p.variables[0].name, "$AB");
}

// The tree as read: per node its depth (">"), kind digit, title, then file, status and options.
std::string Outline(const StoreProject& p) {
  std::string out;
  ForEachNode(p, [&](const StoreNode& n) {
    out += std::string(test::Depth(n), '>') + char('0' + static_cast<int>(n.kind)) + n.title;
    if (!n.file.empty()) out += "@" + n.file;
    if (n.status != 0) out += "#" + std::to_string(n.status);
    for (const auto& o : n.options1) out += "&1" + o;
    for (const auto& o : n.options2) out += "&2" + o;
    out += " ";
  });
  return out;
}

TEST(ProjectFileReadTest, RecordAndBlockLines) {
  const std::string old = "NODE2=S\nSTATUS=0\nTEMP=MyList.htm\nNODE2=T\nSTATUS=0\nTEMP=shelf.htm\n";
  const struct {
    const char* what;
    std::string text, outline;
  } cases[] = {
      {"children of shelves and lists are products",
       "NODE2=Shelf\nSTATUS=0\n#BRANCH\nNODE0=Cat\nSTATUS=0\nNODE4=Page\nSTATUS=0\n#EOB\n"
       "NODE3=List\nSTATUS=0\n#BRANCH\nNODE5=Link\nSTATUS=0\n#EOB\n",
       "2Shelf >1Cat >1Page 3List >1Link "},
      {"old shelves with a list template become lists", "VERSION=105000\n" + old, "3S 2T "},
      {"from 105001 they stay shelves", "VERSION=105001\n" + old, "2S 2T "},
      {"a VERSION line after the records is too late", old + "VERSION=105001\n", "3S 2T "},
      {"record lines and their kinds",
       "NODE=No digit\nSTATUS=0\nUNODE=Old\nSTATUS=0\nNODE37=Two digits\nSTATUS=0\n"
       "NODE7=Unknown\nSTATUS=0\nNODE4=Has = sign\nSTATUS=0\n",
       "0No digit 1Old 3Two digits 0Unknown 4Has = sign "},
      {"records without STATUS are not placed; a repeated key keeps the last value",
       "NODE4=Lost\nFILE=lost.htm\nNODE4=Kept\nFILE=kept.htm\nSTATUS=-2\nSTATUS=0\n"
       "NODE0=Also lost\n#BRANCH\nNODE1=child\nSTATUS=0\n#EOB\n",
       "4Kept@kept.htm "},
      {"keys before the first record are ignored",
       "FILE=x.htm\n&1Red|\nSTATUS=0\nRULE=0,r\nNODE4=P\nSTATUS=0\n", "4P "},
      {"option lines", "NODE1=P\nSTATUS=0\n&1Red|x\n&1NoBar\n&3Big|\n&2|\n&2a|b|c\n",
       "1P&1Red&2&2a "},
      {"a stray top-level #EOB ends reading",
       "NODE4=A\nSTATUS=0\n#EOB\nNODE4=B\nSTATUS=0\nSTITLE=late\n", "4A "},
      {"#BRANCH before the first record: the top level",
       "#BRANCH\nNODE4=A\nSTATUS=0\n#EOB\nNODE4=B\nSTATUS=0\n", "4A 4B "},
      {"children listed under a product follow it",
       "NODE0=Cat\nSTATUS=0\n#BRANCH\nNODE1=Prod\nSTATUS=0\n#BRANCH\nNODE4=Child\nSTATUS=0\n"
       "#EOB\nNODE4=Next\nSTATUS=0\n#EOB\n",
       "0Cat >1Prod >4Child >4Next "},
      {"a missing last #EOB; other # lines ignored",
       "#BEGIN\nNODE0=C\nSTATUS=0\n#BRANCH\nNODE4=P\nSTATUS=0\n#EOF", "0C >4P "},
  };
  for (const auto& c : cases) EXPECT_EQ(Outline(Read(c.text)), c.outline) << c.what;
  EXPECT_EQ(Read(cases[8].text).settings.storeTitle, "");
  StoreProject body = Read("NODE4=P\nSTATUS=0\nBODY=one@@@two@@@@@@three\n");
  EXPECT_EQ(RootNode(body)->body, "one\r\ntwo\r\n\r\nthree");
}

TEST(ProjectFileReadTest, FreightLines) {
  std::vector<KnownRegion> domains = {{"AU", "Australia"}, {"de", "Germany"}};
  ProjectFileContext context;
  context.domains = &domains;
  StoreProject p = Read(
      "$UK20,1,2,3\n"
      "$au1,1,2,3,4,5,6,7,8,9,10,11,12,15,|0\n"
      "RULE=1,heavy\n"
      "$AU0,a,b,c,d,e,f,g,h,i,j,k,l,20\n"
      "RULE=2,other\nRULE=5,bad\nRULE=1\n"
      "$DE3,1,2\n$NOCOMMA\n$,1\n$X9,1\n"
      "$de0,,,,,,,,,,,,,,|1\n",
      context);
  // Per region: key/name, tax, then per method: enabled, third and last band, rule.
  std::string seen;
  for (const FreightRegion& r : p.regions) {
    seen += r.key + "/" + r.name + " " + r.taxRate + ":";
    for (const FreightMethod& m : r.methods)
      seen += " " + std::to_string(m.enabled) + m.costs[2] + "," + m.costs[11] + "(" + m.rule + ")";
    seen += "\n";
  }
  EXPECT_EQ(seen,  // the first tax rate read stays
            "UK2/UK2 : 13,() 1,() 1,()\nAU/Australia 15: 1c,l() 03,12(heavy) 1,(other)\n"
            "de/Germany : 1,() 1,() 1,()\n");
}

TEST(ProjectFileReadTest, SettingsAndLists) {
  std::vector<InstalledCard> installed = {{"Visa", false}, {"Amex", false}};
  std::vector<StyleRef> styles = {{"Classic", "Blue"}, {"Modern", "Sorvidda"}};
  ProjectFileContext context;
  context.installedCards = &installed;
  context.styles = &styles;
  StoreProject p = Read(
      "CC=1:Visa\nCC=0:Other Card\nCCbad\nCC=1\n"
      "FNAME=1,Bike\nFNAME=3,Bad\nFNAME=0\n"
      "LAYOUT=Modern/Sorvida\n"
      "VAR=$X|a@@@b\nVAR=$Y\nVAR=$X|second\n"
      "utd=a,b.gif,17\nusd=cart.js,-3\nutd=nocomma\n"
      "TAXO=65537\nNAVSTYLE=1x\nHASBULLETS=0\nSEARCH=256\nVERSION=-7\nVO= 42\n",
      context);
  EXPECT_EQ(p.cards, (std::vector<AcceptedCard>{{"Visa", 1}, {"Other Card", 0}}));
  EXPECT_TRUE(installed[0].chosen && !installed[1].chosen);
  EXPECT_EQ(*p.deliveryMethodNames[0] + "|" + *p.deliveryMethodNames[1],
            "Economy Air (2-3 Weeks)|Bike");
  EXPECT_EQ(p.settings.style, (StyleRef{"Modern", "Sorvidda"}));
  // Both "$X" lines are kept, then the currency default is added.
  EXPECT_EQ(p.variables, (std::vector<StoreVariable>{
                             {"$X", "a\r\nb"}, {"$Y", ""}, {"$X", "second"}, {"$CURRENCY", "$"}}));
  EXPECT_EQ(p.templateStamps, (std::vector<UploadStamp>{{"a", 17}}));
  EXPECT_EQ(p.cartStamps, (std::vector<UploadStamp>{{"cart.js", -3}}));
  // TAXO takes the low 16 bits, SEARCH the low 8.
  const StoreSettings& s = p.settings;
  EXPECT_EQ(std::to_string(s.taxMethod) + std::to_string(s.navStyle) +
                std::to_string(s.hasBullets) + std::to_string(s.search) + "|" +
                std::to_string(s.version) + "|" + std::to_string(s.vo) + "|" + s.currency,
            "1100|-7|42|$");

  // An unknown style falls back to the first installed one.
  EXPECT_EQ(Read("LAYOUT=Gone/Style\n", context).settings.style, styles[0]);
  // Without a style list the choice is kept as written.
  EXPECT_EQ(Read("LAYOUT=Gone/Style\n").settings.style, (StyleRef{"Gone", "Style"}));
}

TEST(ProjectFileReadTest, LoadSetsTheTitleAndCurrencyVariablesAndReadsLongLinesWhole) {
  StoreProject p = Read("STITLE=My Shop\nCURR=EUR\n");
  EXPECT_EQ(*GetVariable(p.variables, "$STORETITLE"), "My Shop");
  EXPECT_EQ(*GetVariable(p.variables, "$CURRENCY"), "EUR");
  StoreProject none = Read("");
  EXPECT_EQ(GetVariable(none.variables, "$STORETITLE"), nullptr);
  EXPECT_EQ(*GetVariable(none.variables, "$CURRENCY"), "$");

  const std::string body = std::string(100000, 'x') + "@@@" + std::string(50000, 'y');
  StoreProject big = Read("NODE4=P\nSTATUS=0\nBODY=" + body + "\nFILE=p.htm\n");
  EXPECT_EQ(RootNode(big)->body.size(), 150002u);
  EXPECT_EQ(RootNode(big)->file, "p.htm");
}

TEST(ProjectFileMergeTest, TakesNodesAndPublishingKeysOnly) {
  StoreProject p;
  StoreNode* home = AddNode(p, nullptr, NodeKind::Category, "Home");
  p.settings.storeTitle = "Mine";  // with the currency and version: kept
  p.settings.currency = "EUR";
  p.settings.version = 2034361;
  p.variables = {{"$CURRENCY", "EUR"}};
  p.deliveryMethodNames[0] = "Mine";
  const std::string other =
      "VERSION=100\nNODE4=Merged\nSTATUS=0\nNODE0=Cat\nSTATUS=0\n#BRANCH\nNODE4=Inner\nSTATUS=0\n"
      "#EOB\nSTITLE=Theirs\nCURR=USD\nVAR=$NEW|1\n$AU0,1\nLAYOUT=a/b\nFNAME=0,Theirs\n"
      "CC=1:Visa\nSN=x\nTAXD=1\nOMESSAGE=o\nCMESSAGE=c\nVO=5\n"
      "P_USER=them\nP_SERV=ftp.them\nP_PASS=" +
      ScrambleText("pw") +
      "\nP_SAVE=1\nP_PASV=1\nCOMP=c\nSEARCH=0\nHASBULLETS=0\nNAVSTYLE=1\nusd=x.js,1\n";
  StoreSettings expected = p.settings;
  ReadProjectText(p, other, home, true);
  EXPECT_EQ(Outline(p), "0Home >4Merged >0Cat >>4Inner ");
  // Of the settings only the publishing keys come along.
  expected.ftpUser = "them";
  expected.ftpServer = "ftp.them";
  expected.ftpPassword = "pw";
  expected.savePassword = expected.passiveFtp = true;
  expected.lastDestination = "c";
  expected.search = expected.hasBullets = false;
  expected.navStyle = 1;
  EXPECT_EQ(p.settings, expected);
  EXPECT_EQ(p.variables, (std::vector<StoreVariable>{{"$CURRENCY", "EUR"}}));
  EXPECT_TRUE(p.regions.empty());
  EXPECT_TRUE(p.cards.empty());
  EXPECT_EQ(p.deliveryMethodNames[0], "Mine");
  EXPECT_EQ(p.cartStamps, (std::vector<UploadStamp>{{"x.js", 1}}));
}

TEST(ProjectFileMergeTest, UnderAShelfEveryMergedRecordIsAProduct) {
  StoreProject p;
  StoreNode* shelf = AddNode(p, nullptr, NodeKind::Shelf, "Shelf");
  ReadProjectText(p, "NODE0=Cat\nSTATUS=0\n#BRANCH\nNODE4=Inner\nSTATUS=0\n#EOB\n", shelf, true);
  EXPECT_EQ(Outline(p), "2Shelf >1Cat >1Inner ");
}

TEST(ProjectFileErrorsTest, MissingFilesAndFailedWritesKeepWhatWasThere) {
  TestHome home;
  StoreProject p = Read(kFull);
  const std::string missing = (home / "missing.stp").string();
  auto open = ReadProjectFile(p, missing, nullptr, false);
  ASSERT_FALSE(open.ok());
  EXPECT_EQ(open.status().message(), "S103: Unable to read project file '" + missing + "'");
  auto merge = ReadProjectFile(p, missing, nullptr, true);
  ASSERT_FALSE(merge.ok());
  EXPECT_EQ(merge.status().message(), "S105: Unable to read project file '" + missing + "'");
  EXPECT_EQ(CountNodes(p), 4u);

  // (A write cut off midway is the lifecycle's failed-save test.)
  p.changed = true;
  FakePrompter prompter;
  FakeClock clock(5);
  Status noFolder =
      WriteProjectFile(p, (home / "no/such/folder/x.stp").string(), prompter, clock, kVersion);
  EXPECT_EQ(noFolder.kind(), ErrorKind::Io);
  EXPECT_EQ(noFolder.message(), "S101: File Write Error");
  EXPECT_TRUE(p.changed);
}

TEST(ProjectFileErrorsTest, OlderProjectsAskBeforeTheyAreOverwritten) {
  TestHome home;
  home.Write("old.stp", "old\n");
  const std::string path = (home / "old.stp").string();
  FakeClock clock(5);
  StoreProject p;
  p.settings.version = 199999;
  p.changed = true;

  FakePrompter no;
  no.answers.push_back(PromptAnswer::No);
  Status refused = WriteProjectFile(p, path, no, clock, kVersion);
  EXPECT_EQ(refused.kind(), ErrorKind::Cancelled);
  ASSERT_EQ(no.asked.size(), 1u);
  EXPECT_EQ(no.asked[0].text,
            "You are about to overwrite a project created with on older version of Tolmi. You may "
            "not be able to load the project using the older version once overwritten. Do you "
            "wish to proceed?");
  EXPECT_EQ(no.asked[0].title, "Confirmation");
  EXPECT_EQ(home.Read("old.stp"), "old\n");
  EXPECT_TRUE(p.changed);

  FakePrompter yes;
  ASSERT_TRUE(WriteProjectFile(p, path, yes, clock, kVersion).ok());
  EXPECT_EQ(p.settings.version, 199999);  // saving does not change VERSION
  EXPECT_NE(home.Read("old.stp"), "old\n");

  // No question for files without a version, or from the current generation.
  for (int version : {0, 200000, kVersion}) {
    FakePrompter none;
    p.settings.version = version;
    ASSERT_TRUE(WriteProjectFile(p, path, none, clock, kVersion).ok());
    EXPECT_TRUE(none.asked.empty()) << version;
  }
}

// Very deep nesting is read and saved without a deep stack.
TEST(ProjectFileRobustnessTest, VeryDeepNestingNeedsNoDeepStack) {
  std::string text;
  const int depth = 50000;
  for (int i = 0; i < depth; ++i) text += "NODE0=n\nSTATUS=0\n#BRANCH\n";
  StoreProject p = Read(text + "NODE4=leaf\nSTATUS=0\n");
  EXPECT_EQ(CountNodes(p), static_cast<std::size_t>(depth + 1));
  EXPECT_EQ(CountNodes(Read(ProjectFileText(p, 0, kVersion))), CountNodes(p));
}

}  // namespace
}  // namespace tolmi
