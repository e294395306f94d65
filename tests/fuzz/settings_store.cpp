// The INI settings store (read only from a file): whatever loads saves, and the saved file
// loads back to the same store (saving it again gives the same bytes).
#include <optional>
#include <string>

#include "tests/fuzz/support/FuzzSupport.h"
#include "util/Files.h"
#include "util/SettingsStore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolmi;
  std::string path = fuzz::WriteScratchFile("settings.ini", fuzz::AsText(data, size));
  SettingsStore store(path);
  if (!store.Load().ok()) return 0;
  store.Get("Software\\BREVANTO\\Common", "Proxy");
  fuzz::Require(store.Save().ok(), "the store saves");
  std::optional<std::string> once = ReadWholeFile(path);
  SettingsStore again(path);
  fuzz::Require(again.Load().ok() && again.Save().ok(), "the saved store loads and saves");
  std::optional<std::string> twice = ReadWholeFile(path);
  fuzz::Require(once && twice && *once == *twice, "a saved store reads back the same",
                once.value_or(""), twice.value_or(""));
  return 0;
}
