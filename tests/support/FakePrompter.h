// A Prompter that records every text and title and answers from a script.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "util/Platform.h"

namespace tolmi::test {

struct Shown {
  std::string text;
  std::string title;
  PromptButtons buttons = PromptButtons::Ok;  // questions only
};

class FakePrompter : public Prompter {
 public:
  void Show(const std::string& text, const std::string& title, PromptIcon) override {
    shown.push_back({text, title});
  }
  // An OK/Cancel question turns a scripted Yes into Ok and No into Cancel, so a
  // script of Yes/No answers fits every kind of question.
  PromptAnswer Ask(const std::string& text, const std::string& title,
                   PromptButtons buttons) override {
    asked.push_back({text, title, buttons});
    PromptAnswer a = defaultAnswer;
    if (!answers.empty()) {
      a = answers.front();
      answers.pop_front();
    }
    if (buttons == PromptButtons::OkCancel) {
      if (a == PromptAnswer::Yes) a = PromptAnswer::Ok;
      if (a == PromptAnswer::No) a = PromptAnswer::Cancel;
    }
    return a;
  }

  std::vector<Shown> shown;            // every message box, in order
  std::vector<Shown> asked;            // every question, in order
  std::deque<PromptAnswer> answers;    // the next answers to give
  PromptAnswer defaultAnswer = PromptAnswer::Yes;
};

// A clock fixed at a time the test sets.
class FakeClock : public Clock {
 public:
  explicit FakeClock(std::time_t t = 0) : now(t) {}
  std::time_t Now() const override { return now; }
  std::time_t now;
};

}  // namespace tolmi::test
