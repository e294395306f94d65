#include "ui/NodePage.h"

#include <QEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QVBoxLayout>

#include "ui/widgets/ImagePreview.h"
#include "util/TextEncoding.h"

namespace tolmi::ui {

namespace {

QString Shown(const std::string& bytes) { return QString::fromStdString(DecodeForDisplay(bytes)); }

// The bytes for an edited text, in the encoding the original was read in.
std::string Stored(const QString& text, const std::string& original) {
  return EncodeFromDisplay(text.toStdString(), IsUtf8Text(original));
}

bool AnyUtf8(const std::vector<std::string>& values) {
  for (const std::string& v : values)
    if (IsUtf8Text(v)) return true;
  return false;
}

}  // namespace

NodePage::NodePage(StoreProject& project, QWidget* parent) : QWidget(parent), project_(project) {
  setObjectName(QStringLiteral("nodePage"));
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  auto* inner = new QWidget(scroll);
  form_ = new QFormLayout(inner);
  form_->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  scroll->setWidget(inner);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->addWidget(scroll);

  title_ = AddLine("titleEdit", tr("Title:"));
  page_ = AddLine("pageEdit", tr("Page Title:"));
  file_ = AddLine("fileEdit", tr("Filename:"));
  temp_ = AddLine("templateEdit", tr("Template:"));
  code_ = AddLine("codeEdit", tr("Product Code:"));
  cost_ = AddLine("costEdit", tr("Cost:"));
  freight_ = AddLine("freightEdit", tr("Freight:"));
  weight_ = AddLine("weightEdit", tr("Weight:"));
  tax_ = AddLine("taxEdit", tr("Tax (%):"));
  image_ = AddLine("imageEdit", tr("Image:"));
  preview_ = new ImagePreview(inner);
  preview_->setObjectName(QStringLiteral("imagePreview"));
  preview_->setMinimumHeight(120);
  form_->addRow(QString(), preview_);
  link_ = AddLine("linkEdit", tr("Links to:"));
  body_ = AddText("bodyEdit", tr("Description:"), 6);
  desc_ = AddLine("descEdit", tr("Meta Description:"));
  keywords_ = AddLine("keywordsEdit", tr("Meta Keywords:"));
  optionLabel1_ = AddLine("optionLabel1Edit", tr("Option 1 Label:"));
  options1_ = AddText("options1Edit", tr("Option 1 Values:"), 3);
  optionLabel2_ = AddLine("optionLabel2Edit", tr("Option 2 Label:"));
  options2_ = AddText("options2Edit", tr("Option 2 Values:"), 3);

  pairs_ = new QWidget(inner);
  auto* grid = new QGridLayout(pairs_);
  grid->setContentsMargins(0, 0, 0, 0);
  for (int i = 0; i < 6; ++i) {
    auto make = [&](const char* prefix, int column, const QString& text) {
      auto* edit = new QLineEdit(pairs_);
      edit->setObjectName(QStringLiteral("%1%2Edit").arg(QLatin1String(prefix)).arg(i + 1));
      connect(edit, &QLineEdit::editingFinished, this, [this] { Apply(); });
      grid->addWidget(new QLabel(text, pairs_), i, column);
      grid->addWidget(edit, i, column + 1);
      return edit;
    };
    fields_[static_cast<std::size_t>(i)] = make("field", 0, QString::number(i + 1) + tr(" Label:"));
    labels_[static_cast<std::size_t>(i)] = make("label", 2, QString::number(i + 1) + tr(" Value:"));
  }
  form_->addRow(tr("User Fields:"), pairs_);
  connect(image_, &QLineEdit::textChanged, this, [this] { UpdatePreview(); });
  Load(nullptr, {});
}

QLineEdit* NodePage::AddLine(const char* name, const QString& label) {
  auto* edit = new QLineEdit(this);
  edit->setObjectName(QLatin1String(name));
  connect(edit, &QLineEdit::editingFinished, this, [this] { Apply(); });
  form_->addRow(label, edit);
  return edit;
}

QPlainTextEdit* NodePage::AddText(const char* name, const QString& label, int lines) {
  auto* edit = new QPlainTextEdit(this);
  edit->setObjectName(QLatin1String(name));
  edit->setTabChangesFocus(true);
  edit->setMinimumHeight(edit->fontMetrics().lineSpacing() * lines + 12);
  edit->installEventFilter(this);  // applied when the box loses the focus
  form_->addRow(label, edit);
  return edit;
}

bool NodePage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut) Apply();
  return QWidget::eventFilter(watched, event);
}

void NodePage::ShowRow(QWidget* field, bool shown) { form_->setRowVisible(field, shown); }

void NodePage::Load(StoreNode* node, const QStringList& baseDirs) {
  node_ = node;
  baseDirs_ = baseDirs;
  loaded_ = node ? ReadNodeProperties(*node) : NodeProperties{};
  const NodeFieldSet set = node ? NodeFieldsFor(*node) : NodeFieldSet{};
  setEnabled(node != nullptr);

  const QSignalBlocker block(image_);
  title_->setText(Shown(loaded_.title));
  page_->setText(Shown(loaded_.page));
  file_->setText(Shown(loaded_.file));
  file_->setReadOnly(!set.fileEditable);
  temp_->setText(Shown(loaded_.temp));
  temp_->setPlaceholderText(node ? Shown(DefaultTemplate(node->kind)) : QString());
  code_->setText(Shown(loaded_.code));
  cost_->setText(Shown(loaded_.cost));
  freight_->setText(Shown(loaded_.freight));
  weight_->setText(Shown(loaded_.weight));
  tax_->setText(Shown(loaded_.tax));
  image_->setText(Shown(loaded_.image));
  link_->setText(Shown(loaded_.link));
  body_->setPlainText(Shown(loaded_.body));
  desc_->setText(Shown(loaded_.desc));
  keywords_->setText(Shown(loaded_.keywords));
  optionLabel1_->setText(Shown(loaded_.optionLabel1));
  optionLabel2_->setText(Shown(loaded_.optionLabel2));
  options1_->setPlainText(Shown(OptionsText(loaded_.options1)));
  options2_->setPlainText(Shown(OptionsText(loaded_.options2)));
  for (std::size_t i = 0; i < 6; ++i) {
    fields_[i]->setText(Shown(loaded_.fields[i]));
    labels_[i]->setText(Shown(loaded_.labels[i]));
  }

  ShowRow(page_, set.page);
  ShowRow(file_, set.file);
  ShowRow(temp_, set.temp);
  for (QWidget* w : {static_cast<QWidget*>(code_), static_cast<QWidget*>(cost_),
                     static_cast<QWidget*>(freight_), static_cast<QWidget*>(weight_),
                     static_cast<QWidget*>(tax_), static_cast<QWidget*>(optionLabel1_),
                     static_cast<QWidget*>(options1_), static_cast<QWidget*>(optionLabel2_),
                     static_cast<QWidget*>(options2_)})
    ShowRow(w, set.productData);
  ShowRow(image_, set.image);
  ShowRow(preview_, set.image);
  ShowRow(link_, set.link);
  ShowRow(body_, set.body);
  ShowRow(desc_, set.meta);
  ShowRow(keywords_, set.meta);
  ShowRow(pairs_, set.userPairs);
  UpdatePreview();
}

void NodePage::UpdatePreview() { preview_->SetImage(image_->text(), baseDirs_); }

NodeProperties NodePage::Collect() const {
  NodeProperties p = loaded_;
  p.title = Stored(title_->text(), loaded_.title);
  p.page = Stored(page_->text(), loaded_.page);
  p.file = Stored(file_->text(), loaded_.file);
  p.temp = Stored(temp_->text(), loaded_.temp);
  p.code = Stored(code_->text(), loaded_.code);
  p.cost = Stored(cost_->text(), loaded_.cost);
  p.freight = Stored(freight_->text(), loaded_.freight);
  p.weight = Stored(weight_->text(), loaded_.weight);
  p.tax = Stored(tax_->text(), loaded_.tax);
  p.image = Stored(image_->text(), loaded_.image);
  p.link = Stored(link_->text(), loaded_.link);
  p.body = Stored(body_->toPlainText(), loaded_.body);
  p.desc = Stored(desc_->text(), loaded_.desc);
  p.keywords = Stored(keywords_->text(), loaded_.keywords);
  p.optionLabel1 = Stored(optionLabel1_->text(), loaded_.optionLabel1);
  p.optionLabel2 = Stored(optionLabel2_->text(), loaded_.optionLabel2);
  p.options1 = OptionsFromText(
      EncodeFromDisplay(options1_->toPlainText().toStdString(), AnyUtf8(loaded_.options1)));
  p.options2 = OptionsFromText(
      EncodeFromDisplay(options2_->toPlainText().toStdString(), AnyUtf8(loaded_.options2)));
  for (std::size_t i = 0; i < 6; ++i) {
    p.fields[i] = Stored(fields_[i]->text(), loaded_.fields[i]);
    p.labels[i] = Stored(labels_[i]->text(), loaded_.labels[i]);
  }
  return p;
}

bool NodePage::Apply() {
  if (!node_) return false;
  NodeProperties props = Collect();
  if (props == loaded_) return false;
  if (!ApplyNodeProperties(project_, *node_, props)) return false;
  loaded_ = ReadNodeProperties(*node_);
  emit applied(node_);
  return true;
}

}  // namespace tolmi::ui
