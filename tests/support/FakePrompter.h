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
};

class FakePrompter : public Prompter {
 public:
  void Show(const std::string& text, const std::string& title, PromptIcon) override {
    shown.push_back({text, title});
  }
  PromptAnswer Ask(const std::string& text, const std::string& title, PromptButtons) override {
    asked.push_back({text, title});
    if (answers.empty()) return defaultAnswer;
    PromptAnswer a = answers.front();
    answers.pop_front();
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
