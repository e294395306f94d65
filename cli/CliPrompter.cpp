#include "cli/CliPrompter.h"

namespace tolmi::cli {

void CliPrompter::Show(const std::string& text, const std::string& title, PromptIcon icon) {
  if (icon == PromptIcon::Error || title == "Error") errorShown_ = true;
  err_ << text << "\n";
}

PromptAnswer CliPrompter::Ask(const std::string& text, const std::string&,
                              PromptButtons buttons) {
  // An OK/Cancel question takes --yes as OK and --no as Cancel.
  const bool okCancel = buttons == PromptButtons::OkCancel;
  if (yes_) {
    err_ << text << (okCancel ? " [ok]\n" : " [yes]\n");
    return okCancel ? PromptAnswer::Ok : PromptAnswer::Yes;
  }
  if (no_) {
    err_ << text << (okCancel ? " [cancel]\n" : " [no]\n");
    return okCancel ? PromptAnswer::Cancel : PromptAnswer::No;
  }
  unanswered_ = true;
  err_ << text << "\n"
       << "tolmi-cli: this question needs an answer: run again with --yes or --no\n";
  return PromptAnswer::Cancel;
}

}  // namespace tolmi::cli
