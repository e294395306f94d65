// The project file reader, opening and merging, from memory. Whatever is read writes out
// and reads back to the same file text.
#include <ctime>
#include <string>
#include <vector>

#include "project/ProjectFile.h"
#include "tests/fuzz/support/FuzzSupport.h"

namespace {

constexpr int kVersion = 2034361;
constexpr std::time_t kNow = 1700000000;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolmi;
  std::string bytes(fuzz::AsText(data, size));
  const std::vector<KnownRegion> domains = {{"uk", "United Kingdom"}, {"de", "Germany"}};
  std::vector<InstalledCard> cards = {{"Visa", false}, {"MasterCard", false}};
  const std::vector<StyleRef> styles = {{"Modern", "Plain"}, {"", "Classic"}};
  ProjectFileContext context;
  context.domains = &domains;
  context.installedCards = &cards;
  context.styles = &styles;

  StoreProject project;
  ReadProjectText(project, bytes, nullptr, false, context);
  std::string written = ProjectFileText(project, kNow, kVersion);
  StoreProject reread;
  ReadProjectText(reread, written, nullptr, false, context);
  std::string rewritten = ProjectFileText(reread, kNow, kVersion);
  fuzz::RequireSameText(written, rewritten, "a written project reads back the same");

  // Merging the same bytes below the first node of the project just read.
  ReadProjectText(project, bytes, RootNode(project), true, context);
  ProjectFileText(project, kNow, kVersion);
  return 0;
}
