#include "cli/CliPrompter.h"

namespace tolmi::cli {

void CliPrompter::Show(const std::string& text, const std::string& title, PromptIcon icon) {
  if (icon == PromptIcon::Error || title == "Error") errorShown_ = true;
  err_ << text << "\n";
}

PromptAnswer CliPrompter::Ask(const std::string& text, const std::string&, PromptButtons) {
  if (yes_) {
    err_ << text << " [yes]\n";
    return PromptAnswer::Yes;
  }
  if (no_) {
    err_ << text << " [no]\n";
    return PromptAnswer::No;
  }
  unanswered_ = true;
  err_ << text << "\n"
       << "tolmi-cli: this question needs an answer: run again with --yes or --no\n";
  return PromptAnswer::Cancel;
}

}  // namespace tolmi::cli
