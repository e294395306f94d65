// The template editors' text box: a plain-text editor with HTML colouring that
// shows a template's bytes and gives them back unchanged where the merchant did
// not edit (the line ends and the encoding the file had are kept).
#pragma once

#include <QPlainTextEdit>
#include <string>

class QMenu;

namespace tolmi::ui {

class TemplateEditor : public QPlainTextEdit {
  Q_OBJECT
 public:
  explicit TemplateEditor(QWidget* parent = nullptr);

  // Shows the bytes (decoded for display); the document is then not modified.
  void SetBytes(const std::string& bytes);
  // The text as bytes: CR LF line ends when the shown bytes had them, the
  // encoding they were read in (see EncodeFromDisplay).
  std::string Bytes() const;
  // Replaces the whole text as an edit (Load): the document is then modified.
  void ReplaceBytes(const std::string& bytes);

  // Selects the next occurrence of text after the cursor (ASCII case ignored),
  // starting again at the top when there is none below. False when it does not occur.
  bool FindNext(const QString& text);

  // A menu with the Insert entries of the Edit menu; each puts its text at the
  // editor's cursor.
  QMenu* MakeInsertMenu(QWidget* parent);

 private:
  bool crlf_ = false;
  bool utf8_ = false;
};

}  // namespace tolmi::ui
