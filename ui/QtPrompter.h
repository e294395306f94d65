// The Prompter of the desktop program: Qt message boxes with the core's texts,
// icons and buttons, parented to the main window.
#pragma once

#include <QString>

#include "util/Platform.h"

class QWidget;

namespace tolmi::ui {

// A core text as shown: "\r\n" and lone "\r" become "\n".
QString PromptText(const std::string& text);

class QtPrompter : public Prompter {
 public:
  explicit QtPrompter(QWidget* parent = nullptr) : parent_(parent) {}
  void SetParent(QWidget* parent) { parent_ = parent; }

  void Show(const std::string& text, const std::string& title, PromptIcon icon) override;
  PromptAnswer Ask(const std::string& text, const std::string& title,
                   PromptButtons buttons) override;

 private:
  QWidget* parent_;
};

}  // namespace tolmi::ui
