#include "ui/templates/TemplateEditor.h"

#include <QFontDatabase>
#include <QMenu>
#include <QTextDocument>

#include "app/CommandRules.h"
#include "ui/templates/HtmlHighlighter.h"
#include "util/TextEncoding.h"

namespace tolmi::ui {

namespace {

// The text shown for bytes: decoded, each CR LF as one line end.
QString Shown(const std::string& bytes) {
  QString text = QString::fromStdString(DecodeForDisplay(bytes));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

}  // namespace

TemplateEditor::TemplateEditor(QWidget* parent) : QPlainTextEdit(parent) {
  setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  setLineWrapMode(QPlainTextEdit::NoWrap);
  setTabStopDistance(fontMetrics().horizontalAdvance(QLatin1Char(' ')) * 4);
  new HtmlHighlighter(document());
}

void TemplateEditor::SetBytes(const std::string& bytes) {
  crlf_ = bytes.find("\r\n") != std::string::npos;
  utf8_ = IsUtf8Text(bytes);
  const bool blocked = blockSignals(true);
  setPlainText(Shown(bytes));
  blockSignals(blocked);
  document()->setModified(false);
}

std::string TemplateEditor::Bytes() const {
  // The raw text keeps non-breaking spaces, which toPlainText() turns into spaces.
  QString text = document()->toRawText();
  text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
  std::string bytes = EncodeFromDisplay(text.toStdString(), utf8_);
  if (!crlf_) return bytes;
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 16);
  for (char c : bytes) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

void TemplateEditor::ReplaceBytes(const std::string& bytes) {
  crlf_ = bytes.find("\r\n") != std::string::npos;
  utf8_ = IsUtf8Text(bytes);
  // Through a cursor, so that the change is one undo step and marks the document.
  QTextCursor cursor(document());
  cursor.select(QTextCursor::Document);
  cursor.insertText(Shown(bytes));
  document()->setModified(true);
}

bool TemplateEditor::FindNext(const QString& text) {
  if (text.isEmpty()) return false;
  if (find(text)) return true;
  QTextCursor top(document());
  setTextCursor(top);
  return find(text);
}

QMenu* TemplateEditor::MakeInsertMenu(QWidget* parent) {
  auto* menu = new QMenu(parent);
  menu->setObjectName(QStringLiteral("insertMenu"));
  for (const InsertEntry& entry : InsertEntries()) {
    QAction* action = menu->addAction(QString::fromUtf8(entry.label));
    const QString text = QString::fromUtf8(entry.text);
    connect(action, &QAction::triggered, this, [this, text] {
      insertPlainText(text);
      setFocus();
    });
  }
  return menu;
}

}  // namespace tolmi::ui
