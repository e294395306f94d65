// Style schemes: a list file ("scheme.dat"/"scheme.ini") and a scheme's settings file, from
// memory, split by "\n=====\n"; a third part is looked up as a project's LAYOUT. What is read
// writes out and reads back the same.
#include <string>

#include "schemes/Schemes.h"
#include "tests/fuzz/support/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolmi;
  std::vector<std::string_view> parts = fuzz::SplitParts(fuzz::AsText(data, size), 3);

  SchemeList list;
  list.installDir = fuzz::ScratchDir();
  ReadSchemeListText(list, std::string(parts[0]));
  std::string ini = SchemeIniText(list);
  SchemeList again;
  again.installDir = list.installDir;
  ReadSchemeListText(again, ini);
  fuzz::RequireSameText(ini, SchemeIniText(again), "a written scheme list reads back the same");

  // A NUL byte ends a label when the settings are written (a damaged file's junk), so the
  // round trip is checked on the text without them.
  Scheme raw;
  ReadSchemeSettingsText(raw, std::string(parts[1]));
  SchemeSettingsText(raw);
  std::string withoutNul(parts[1]);
  std::erase(withoutNul, '\0');
  Scheme scheme;
  scheme.name = "Fuzz";
  ReadSchemeSettingsText(scheme, withoutNul);
  LookUpPictures(scheme);
  std::string settings = SchemeSettingsText(scheme);
  Scheme reread;
  reread.name = scheme.name;
  ReadSchemeSettingsText(reread, settings);
  fuzz::RequireSameText(settings, SchemeSettingsText(reread),
                        "written scheme settings read back the same");

  if (!list.categories.empty() && !list.categories[0].schemes.empty()) {
    list.categories[0].schemes[0] = scheme;
    list.categories[0].schemes[0].loaded = true;
  }
  std::string layout(parts[2].substr(0, parts[2].find('\n')));
  if (std::optional<SchemeIndex> at = FindSchemeByLayout(list, layout)) {
    fuzz::Require(list.At(*at) != nullptr, "a found scheme is in the list");
    SchemePath(list, *at);
    list.current = at;
  }
  SchemeStyleRefs(list);
  fuzz::SilentPrompter prompter;
  MakeSchemeCurrent(list, prompter);
  return 0;
}
