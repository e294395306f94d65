// The project reader against damaged input: every truncation, mutated files and very deep
// nesting. Nothing may crash, and whatever was read must save and reload stably.
#include <gtest/gtest.h>

#include <random>

#include "project/ProjectFile.h"

namespace tolmi {
namespace {

constexpr int kVersion = 2034361;

const char* const kBase =
    "TIME=1\nVERSION=104000\nOWNER=Tolmi PRO\n"
    "NODE0=<img src=a.gif alt=Home>\nSTATUS=0\nMOD=1\nc=-5\ns=10\nlc=1\nls=2\nlsd1=3\nlsd2=4\n"
    "FILE=index.html\nPAGE=Home\nBODY=a@@@b\n#BRANCH\n"
    "NODE2=Shelf\nSTATUS=0\nTEMP=list.htm\n#BRANCH\n"
    "NODE1=Boot\nSTATUS=0\nCOST=9.95\nCODE=B1\nF1=x\nT6=y\nNN1=Colour:\n&1Red|\n&2XL|\n#EOB\n"
    "NODE4=Page\nSTATUS=-2\nKEY=k\nDESC=d\n#EOB\n"
    "NODE5=Link\nSTATUS=0\nLINK=http://x\n"
    "VAR=$STORETITLE|Shop\nVAR=$V|1@@@2\n"
    "$AU0,1,2,3,4,5,6,7,8,9,10,11,12,5,|1\nRULE=0,r\n$AU1,,,,,,,,,,,,,5,|0\n"
    "LAYOUT=Group/Style\nSTITLE=Shop\nTAXF=1\nREBUILD=/w\nP_USER=u\nP_PASS=041046\n"
    "P_ACCT=\nP_SERV=s\nP_PORT=21\nP_DIR=/\nP_SAVE=1\nP_PASV=0\nCOMP=c\n"
    "OMESSAGE=o@@@p\nCMESSAGE=c\nVO=1\nVC=2\nTAXD=1\nTAXO=1\nCURR=EUR\n"
    "HASBULLETS=1\nHAS3DCART=0\nCARTONSCREEN=0\nSEARCH=1\nCRLF=0\nNAVSTYLE=0\nSN=s\n"
    "FNAME=0,Air\nCC=1:Visa\nusd=t.js,1\nutd=a.gif,2\n";

const char* const kFragments[] = {"#BRANCH\n",
                                  "#EOB\n",
                                  "STATUS=0\n",
                                  "NODE9=x\n",
                                  "NODE=\n",
                                  "UNODE=u\n",
                                  "$X9,1\n",
                                  "$,\n",
                                  "$AB",
                                  "RULE=7,\n",
                                  "&1|\n",
                                  "&9x|\n",
                                  "VAR=|\n",
                                  "CC=:\n",
                                  "FNAME=-1,\n",
                                  "utd=,\n",
                                  "TEMP=LIST\n",
                                  "\r\n",
                                  "\n\n",
                                  "@@@",
                                  "|",
                                  ",",
                                  "=",
                                  "\0",
                                  "\xff\xfe",
                                  "VERSION=99999999999999\n",
                                  "STATUS=-99999999999\n",
                                  "c=+\n",
                                  "NODE2=s\nSTATUS=0\n"};

std::string Mutate(std::string text, std::mt19937& rng) {
  auto pick = [&](std::size_t n) {
    return n == 0 ? 0 : std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
  };
  int edits = 1 + static_cast<int>(pick(6));
  for (int e = 0; e < edits; ++e) {
    switch (pick(5)) {
      case 0:  // truncate
        text.resize(pick(text.size() + 1));
        break;
      case 1:  // flip a byte
        if (!text.empty()) text[pick(text.size())] = static_cast<char>(pick(256));
        break;
      case 2: {  // insert a fragment
        std::string_view fragment = kFragments[pick(std::size(kFragments))];
        if (fragment.empty()) fragment = std::string_view("\0", 1);
        text.insert(pick(text.size() + 1), fragment);
        break;
      }
      case 3: {  // delete a run
        std::size_t at = pick(text.size() + 1);
        text.erase(at, pick(40));
        break;
      }
      default: {  // duplicate a run
        std::size_t at = pick(text.size() + 1);
        text.insert(pick(text.size() + 1), text.substr(at, pick(80)));
        break;
      }
    }
  }
  return text;
}

// Reads text, saves it, reads the saved text again: the second save must equal the first.
void ExpectStableAfterOneSave(const std::string& text, const ProjectFileContext& context) {
  StoreProject first;
  ReadProjectText(first, text, nullptr, false, context);
  std::string saved = ProjectFileText(first, 0, kVersion);
  StoreProject second;
  ReadProjectText(second, saved, nullptr, false, context);
  ASSERT_EQ(ProjectFileText(second, 0, kVersion), saved);
  ASSERT_EQ(CountNodes(second), CountNodes(first));

  // Merging the same text under a node must hold together too.
  StoreNode* under = RootNode(first);
  ReadProjectText(first, text, under, true, context);
  (void)ProjectFileText(first, 0, kVersion);
}

TEST(ProjectFileRobustnessTest, MutatedFilesReadAndSaveStably) {
  std::vector<KnownRegion> domains = {{"AU", "Australia"}};
  std::vector<InstalledCard> cards = {{"Visa", false}};
  std::vector<StyleRef> styles = {{"Group", "Style"}, {"Other", "One"}};
  ProjectFileContext context;
  context.domains = &domains;
  context.installedCards = &cards;
  context.styles = &styles;
  std::mt19937 rng(20240607);
  ExpectStableAfterOneSave(kBase, context);
  for (int i = 0; i < 1500; ++i) {
    std::string text = Mutate(kBase, rng);
    SCOPED_TRACE("case " + std::to_string(i));
    ExpectStableAfterOneSave(text, context);
    if (HasFatalFailure()) return;
  }
}

TEST(ProjectFileRobustnessTest, VeryDeepNestingNeedsNoDeepStack) {
  std::string text;
  const int depth = 50000;
  for (int i = 0; i < depth; ++i) text += "NODE0=n\nSTATUS=0\n#BRANCH\n";
  text += "NODE4=leaf\nSTATUS=0\n";
  StoreProject p;
  auto stats = ReadProjectText(p, text, nullptr, false);
  EXPECT_EQ(stats.placed, static_cast<std::size_t>(depth + 1));
  std::string saved = ProjectFileText(p, 0, kVersion);
  EXPECT_NE(saved.find("NODE4=leaf\n"), std::string::npos);
  StoreProject again;
  ReadProjectText(again, saved, nullptr, false);
  EXPECT_EQ(CountNodes(again), static_cast<std::size_t>(depth + 1));
  ClearProject(again);
}

TEST(ProjectFileRobustnessTest, EveryTruncationOfAValidFileReads) {
  const std::string base = kBase;
  for (std::size_t cut = 0; cut <= base.size(); ++cut) {
    ExpectStableAfterOneSave(base.substr(0, cut), {});
    if (HasFatalFailure()) return;
  }
}

}  // namespace
}  // namespace tolmi
