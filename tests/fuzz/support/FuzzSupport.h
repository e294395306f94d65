// Helpers shared by the fuzz targets: a prompter that answers without a person, a
// temporary folder for readers that only take a path, and checks that stop the run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "util/Platform.h"

namespace tolmi::fuzz {

// Shows nothing and answers every question with `answer`.
class SilentPrompter : public Prompter {
 public:
  explicit SilentPrompter(PromptAnswer answer = PromptAnswer::No) : answer_(answer) {}
  void Show(const std::string&, const std::string&, PromptIcon) override {}
  PromptAnswer Ask(const std::string&, const std::string&, PromptButtons buttons) override {
    if (buttons == PromptButtons::Ok) return PromptAnswer::Ok;
    return answer_;
  }

 private:
  PromptAnswer answer_;
};

// The input as text.
inline std::string_view AsText(const std::uint8_t* data, std::size_t size) {
  return std::string_view(reinterpret_cast<const char*>(data), size);
}

// A folder of this process below the system's temporary folder, made on first use and
// removed at exit. Readers that take only a path are fed through files in it.
const std::string& ScratchDir();

// Writes bytes to ScratchDir()/name and returns the path.
std::string WriteScratchFile(const std::string& name, std::string_view bytes);

// Splits the input at each "\n=====\n" into at most `parts` pieces (the last takes the
// rest); missing pieces are empty. Lets one input feed a reader several files.
std::vector<std::string_view> SplitParts(std::string_view input, std::size_t parts);

// Stops the run with a message and the two texts when a property does not hold, so that
// libFuzzer saves the input (and the regression runner fails).
void Require(bool holds, const char* what, std::string_view a = {}, std::string_view b = {});

// Requires a file text written, read back and written again to come out the same, but for the
// spaces and CRs at line ends, which the system's text files drop when read (LineReader::Next).
void RequireSameText(std::string_view written, std::string_view rewritten, const char* what);

}  // namespace tolmi::fuzz
