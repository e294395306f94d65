// The Prompter of tolmi-cli: message boxes become lines on stderr, and questions
// take their answer from --yes / --no. Without either, a question is answered
// Cancel and reported, so the command can fail with a clear message.
#pragma once

#include <ostream>
#include <string>

#include "util/Platform.h"

namespace tolmi::cli {

class CliPrompter : public Prompter {
 public:
  CliPrompter(std::ostream& err, bool yes, bool no) : err_(err), yes_(yes), no_(no) {}

  void Show(const std::string& text, const std::string& title, PromptIcon icon) override;
  PromptAnswer Ask(const std::string& text, const std::string& title,
                   PromptButtons buttons) override;

  // True when a question came that neither --yes nor --no answered.
  bool unanswered() const { return unanswered_; }
  // True when an error message was shown.
  bool errorShown() const { return errorShown_; }

 private:
  std::ostream& err_;
  bool yes_;
  bool no_;
  bool unanswered_ = false;
  bool errorShown_ = false;
};

}  // namespace tolmi::cli
