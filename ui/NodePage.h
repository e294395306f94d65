// The node page: the first tab of the property area, showing the fields of the
// current node's kind (NodeFieldsFor) decoded for display, and applying them back
// through ApplyNodeProperties when a field is left, before another node is shown
// and before the window saves, previews or closes.
#pragma once

#include <QStringList>
#include <QWidget>
#include <array>

#include "project/NodeProperties.h"

class QFormLayout;
class QLineEdit;
class QPlainTextEdit;
class QLabel;

namespace tolmi::ui {

class ImagePreview;

class NodePage : public QWidget {
  Q_OBJECT
 public:
  explicit NodePage(StoreProject& project, QWidget* parent = nullptr);

  // Shows the node's fields (null: an empty, disabled page). Relative picture
  // paths are taken below the first of baseDirs that has them. Does not apply
  // the node shown before.
  void Load(StoreNode* node, const QStringList& baseDirs);
  StoreNode* node() const { return node_; }

  // Applies the edited texts to the node. Returns whether the node changed.
  bool Apply();

  // The page's texts as they would be applied (bytes, encoded back).
  NodeProperties Collect() const;

 signals:
  // Apply changed the node (the project is now changed).
  void applied(StoreNode* node);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* AddLine(const char* name, const QString& label);
  QPlainTextEdit* AddText(const char* name, const QString& label, int lines);
  void ShowRow(QWidget* field, bool shown);
  void UpdatePreview();

  StoreProject& project_;
  StoreNode* node_ = nullptr;
  NodeProperties loaded_;
  QStringList baseDirs_;
  QFormLayout* form_;
  QLineEdit *title_, *page_, *file_, *temp_, *code_, *cost_, *freight_, *weight_, *tax_;
  QLineEdit *image_, *link_, *desc_, *keywords_, *optionLabel1_, *optionLabel2_;
  QPlainTextEdit *body_, *options1_, *options2_;
  std::array<QLineEdit*, 6> fields_{};
  std::array<QLineEdit*, 6> labels_{};
  QWidget* pairs_;
  ImagePreview* preview_;
};

}  // namespace tolmi::ui
