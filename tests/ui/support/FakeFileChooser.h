// A FileChooser that records every query and answers from a script.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "ui/FileChooser.h"

namespace tolmi::test {

class FakeFileChooser : public ui::FileChooser {
 public:
  std::string OpenFile(const ui::FileQuery& q) override { return Answer("open", q); }
  std::string SaveFile(const ui::FileQuery& q) override { return Answer("save", q); }
  std::string ChooseFolder(const ui::FileQuery& q) override { return Answer("folder", q); }

  struct Asked {
    std::string kind;  // "open", "save" or "folder"
    ui::FileQuery query;
  };
  std::vector<Asked> asked;          // every query, in order
  std::deque<std::string> answers;   // the next paths to give ("" = cancelled)

 private:
  std::string Answer(const char* kind, const ui::FileQuery& q) {
    asked.push_back({kind, q});
    if (answers.empty()) return "";
    std::string a = answers.front();
    answers.pop_front();
    return a;
  }
};

}  // namespace tolmi::test
