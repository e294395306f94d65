// Syntax colouring of the template editors: HTML tags, their quoted attribute
// values, comments (across lines), "$NAME" variables and "%NAME%" style and
// include variables.
#pragma once

#include <QSyntaxHighlighter>
#include <QTextCharFormat>

namespace tolmi::ui {

class HtmlHighlighter : public QSyntaxHighlighter {
  Q_OBJECT
 public:
  explicit HtmlHighlighter(QTextDocument* document);

 protected:
  void highlightBlock(const QString& text) override;

 private:
  QTextCharFormat tag_, value_, comment_, variable_, styleVariable_;
};

}  // namespace tolmi::ui
