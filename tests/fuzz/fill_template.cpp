// Template filling: the input is a page template filled from a small store (a shelf with
// products, options, fields and user variables) with one style scheme. Includes are read
// from a scratch installation folder only.
#include <memory>
#include <string>

#include "builder/BuildSession.h"
#include "builder/FillTemplate.h"
#include "project/ProjectFile.h"
#include "tests/fuzz/support/FuzzSupport.h"

namespace {

constexpr const char* kStore =
    "TIME=1\nVERSION=2034361\nOWNER=Tolmi PRO\n"
    "NODE0=Home\nSTATUS=0\nFILE=index.htm\nPAGE=Tea Shop\nBODY=Welcome@@@in\n#BRANCH\n"
    "NODE2=Teas\nSTATUS=0\nFILE=teas.htm\nTEMP=list.htm\nIMG=pics\\teas.gif\n#BRANCH\n"
    "NODE1=Green <b>Tea</b>\nSTATUS=0\nCOST=4.50\nCODE=G1\nTAX=1\nWEIGHT=0.2\nF1=loose\n"
    "T1=Kind\nIMG=green.jpg\nLINK=http://x.example/\nNN1=Size:\n&1Small|\n&2Large|\n"
    "NN2=Tin:\n&1Yes|\n"
    "NODE1=Black Tea\nSTATUS=0\nCOST=3\nCODE=B1\nDESC=Strong & dark\n"
    "NODE1=Hidden\nSTATUS=-2\nCOST=1\n#EOB\n"
    "NODE4=About\nSTATUS=0\nFILE=about.htm\nKEY=k\n"
    "NODE5=Link\nSTATUS=0\nLINK=http://y.example/\n#EOB\n"
    "VAR=$SHOPNAME|Tea Shop\nVAR=$EMPTY|\nVAR=$MULTI|a@@@b\n"
    "STITLE=Tea Shop\nCURR=EUR\nHAS3DCART=1\nSEARCH=1\n";

// "%FILE=name%" includes a file below the installation folder, or anywhere for a full path;
// a template naming /dev/zero would read forever. Inputs that could name (or, through a
// variable, assemble) a path outside the scratch installation folder are skipped.
bool IncludesStayInside(std::string_view text) {
  for (std::string_view risky : {"..", "=/", "=\\", "=$"})
    if (text.find(risky) != std::string_view::npos) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolmi;
  std::string text(fuzz::AsText(data, size));
  if (!IncludesStayInside(text)) return 0;
  static const bool prepared = [] {
    fuzz::WriteScratchFile("inc.htm", "<p>$PAGETITLE included</p>");
    return true;
  }();
  (void)prepared;

  StoreProject project;
  ReadProjectText(project, kStore, nullptr, false);
  SchemeList schemes;
  schemes.installDir = fuzz::ScratchDir();
  StyleCategory category;
  category.name = "Modern";
  Scheme scheme;
  scheme.name = "Plain";
  scheme.loaded = true;
  for (int i = 0; i < 7; ++i)
    scheme.variables.push_back({"", kPictureSlotNames[i], "pics\\p.gif", 0, kStylePicture});
  scheme.variables.push_back({"", "%S_BGCOLOR%", "#FFFFFF", 0, kStyleColour});
  category.schemes.push_back(std::move(scheme));
  schemes.categories.push_back(std::move(category));
  schemes.current = SchemeIndex{0, 0};

  fuzz::SilentPrompter prompter;
  BuildSession session(project, schemes, prompter);
  session.options.installDir = fuzz::ScratchDir();
  session.buildDir = fuzz::ScratchDir() + "/web";
  session.now = [] { return std::time_t{1700000000}; };
  StoreNode* home = RootNode(project);
  StoreNode* shelf = home ? FirstChild(*home) : nullptr;
  if (!shelf) return 0;
  std::string again = text;
  FillTemplate(session, text, *home, *home, 1);
  FillTemplate(session, again, *shelf, *home, 2);
  return 0;
}
