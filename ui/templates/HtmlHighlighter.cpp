#include "ui/templates/HtmlHighlighter.h"

#include <QRegularExpression>

namespace tolmi::ui {

namespace {

// Block states: inside a comment that did not end on its line.
constexpr int kInComment = 1;

}  // namespace

HtmlHighlighter::HtmlHighlighter(QTextDocument* document) : QSyntaxHighlighter(document) {
  tag_.setForeground(QColor(0x1f, 0x4e, 0x9e));
  value_.setForeground(QColor(0x9c, 0x2f, 0x1f));
  comment_.setForeground(QColor(0x6b, 0x73, 0x7b));
  comment_.setFontItalic(true);
  variable_.setForeground(QColor(0x7a, 0x1f, 0x8c));
  variable_.setFontWeight(QFont::Bold);
  styleVariable_.setForeground(QColor(0x0b, 0x6e, 0x5f));
  styleVariable_.setFontWeight(QFont::Bold);
}

void HtmlHighlighter::highlightBlock(const QString& text) {
  static const QRegularExpression kTag(QStringLiteral("</?[A-Za-z!][^>]*>?"));
  static const QRegularExpression kValue(QStringLiteral("\"[^\"]*\"|'[^']*'"));
  static const QRegularExpression kVariable(QStringLiteral("\\$[A-Za-z_][A-Za-z0-9_]*"));
  static const QRegularExpression kStyleVariable(QStringLiteral("%[A-Za-z_][A-Za-z0-9_]*(=[^%]*)?%"));

  for (auto it = kTag.globalMatch(text); it.hasNext();) {
    const QRegularExpressionMatch tag = it.next();
    setFormat(tag.capturedStart(), tag.capturedLength(), tag_);
    for (auto v = kValue.globalMatch(tag.captured()); v.hasNext();) {
      const QRegularExpressionMatch value = v.next();
      setFormat(tag.capturedStart() + value.capturedStart(), value.capturedLength(), value_);
    }
  }
  for (const auto* pattern : {&kStyleVariable, &kVariable})
    for (auto it = pattern->globalMatch(text); it.hasNext();) {
      const QRegularExpressionMatch m = it.next();
      setFormat(m.capturedStart(), m.capturedLength(),
                pattern == &kVariable ? variable_ : styleVariable_);
    }

  // Comments last, over everything else; they may run over several lines.
  setCurrentBlockState(0);
  bool continued = previousBlockState() == kInComment;
  int start = continued ? 0 : text.indexOf(QStringLiteral("<!--"));
  while (start >= 0) {
    const int end = text.indexOf(QStringLiteral("-->"), continued ? 0 : start + 4);
    continued = false;
    if (end < 0) {
      setFormat(start, text.size() - start, comment_);
      setCurrentBlockState(kInComment);
      return;
    }
    setFormat(start, end + 3 - start, comment_);
    start = text.indexOf(QStringLiteral("<!--"), end + 3);
  }
}

}  // namespace tolmi::ui
