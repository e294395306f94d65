#include "ui/styles/StylePage.h"

#include <QColorDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/AppSession.h"
#include "builder/TemplatePreview.h"
#include "schemes/StyleChoice.h"
#include "schemes/TemplateInstall.h"
#include "ui/FileChooser.h"
#include "ui/widgets/ImagePreview.h"
#include "util/HtmlColours.h"
#include "util/Paths.h"
#include "util/TextEncoding.h"

namespace tolmi::ui {

namespace {

constexpr int kCategoryRole = Qt::UserRole;
constexpr int kSchemeRole = Qt::UserRole + 1;

QString Shown(const std::string& bytes) { return QString::fromStdString(DecodeForDisplay(bytes)); }

std::uint32_t ToRgbWord(const QColor& c) {
  return static_cast<std::uint32_t>(c.red()) | static_cast<std::uint32_t>(c.green()) << 8 |
         static_cast<std::uint32_t>(c.blue()) << 16;
}

QColor FromRgbWord(std::uint32_t word) {
  return QColor(word & 0xFF, (word >> 8) & 0xFF, (word >> 16) & 0xFF);
}

// The preview picture at the proportions of the styles' pictures, so that the
// buttons sit right below it at any width.
class StylePreview : public ImagePreview {
 public:
  using ImagePreview::ImagePreview;
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override { return width * 7 / 10; }
};

}  // namespace

QColor StyleColour(const std::string& value) {
  std::string hex = value;
  if (std::optional<std::string_view> named = ColourByName(value)) hex = std::string(*named);
  return FromRgbWord(ParseHtmlColour(hex));
}

std::optional<QColor> AskColourDialog(QWidget* parent, const QColor& initial,
                                      std::array<std::uint32_t, 16>& custom) {
  for (int i = 0; i < 16; ++i) QColorDialog::setCustomColor(i, FromRgbWord(custom[i]));
  const QColor chosen = QColorDialog::getColor(initial, parent, QObject::tr("Color"));
  for (int i = 0; i < 16; ++i) custom[i] = ToRgbWord(QColorDialog::customColor(i));
  if (!chosen.isValid()) return std::nullopt;
  return chosen;
}

StylePage::StylePage(AppSession& session, Prompter& prompter, FileChooser& chooser,
                     BrowserLauncher& launcher, QWidget* parent)
    : StorePage(parent),
      session_(session),
      prompter_(prompter),
      chooser_(chooser),
      launcher_(launcher) {
  setObjectName(QStringLiteral("layoutPage"));
  auto* splitter = new QSplitter(Qt::Horizontal, this);

  tree_ = new QTreeWidget(splitter);
  tree_->setObjectName(QStringLiteral("styleTree"));
  tree_->setHeaderLabel(tr("Styles"));

  auto* middle = new QWidget(splitter);
  name_ = new QLabel(middle);
  name_->setObjectName(QStringLiteral("styleName"));
  QFont bold = name_->font();
  bold.setBold(true);
  name_->setFont(bold);
  preview_ = new StylePreview(middle);
  preview_->setObjectName(QStringLiteral("stylePreview"));
  preview_->setMinimumWidth(250);
  previewButton_ = new QPushButton(tr("Pre&view"), middle);
  previewButton_->setObjectName(QStringLiteral("previewStyleButton"));
  previewButton_->setToolTip(tr("The current page made with this style, in the browser"));
  use_ = new QPushButton(tr("&Use This Style"), middle);
  use_->setObjectName(QStringLiteral("useStyleButton"));
  new_ = new QPushButton(tr("&New"), middle);
  new_->setObjectName(QStringLiteral("newStyleButton"));
  new_->setToolTip(tr("A new style of your own, copied from the last style of this group"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(previewButton_);
  buttons->addWidget(use_);
  buttons->addWidget(new_);
  buttons->addStretch(1);
  auto* middleColumn = new QVBoxLayout(middle);
  middleColumn->setContentsMargins(0, 0, 0, 0);
  middleColumn->addWidget(name_);
  middleColumn->addWidget(preview_);
  middleColumn->addLayout(buttons);
  auto* help = new QLabel(
      tr("Preview shows the current page made with the selected style in the browser, "
         "without changing the store. Use This Style gives the store that style. New makes "
         "a copy whose colours, headings, pictures and numbers you can change on the right."),
      middle);
  help->setObjectName(QStringLiteral("styleHelp"));
  help->setWordWrap(true);
  help->setForegroundRole(QPalette::PlaceholderText);
  middleColumn->addWidget(help);
  middleColumn->addStretch(1);

  auto* right = new QWidget(splitter);
  note_ = new QLabel(right);
  note_->setObjectName(QStringLiteral("styleEditNote"));
  note_->setWordWrap(true);
  settings_ = new QTableWidget(0, 2, right);
  settings_->setObjectName(QStringLiteral("styleSettings"));
  settings_->setHorizontalHeaderLabels({tr("Setting"), tr("Value")});
  settings_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  settings_->horizontalHeader()->setStretchLastSection(true);
  settings_->verticalHeader()->hide();
  settings_->verticalHeader()->setDefaultSectionSize(settings_->fontMetrics().height() + 8);
  settings_->setSelectionBehavior(QAbstractItemView::SelectRows);
  settings_->setSelectionMode(QAbstractItemView::SingleSelection);
  settings_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  auto* rightColumn = new QVBoxLayout(right);
  rightColumn->setContentsMargins(0, 0, 0, 0);
  rightColumn->addWidget(note_);
  rightColumn->addWidget(settings_, 1);

  splitter->setStretchFactor(0, 0);
  splitter->setStretchFactor(1, 3);
  splitter->setStretchFactor(2, 3);
  splitter->setSizes({130, 340, 400});
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(splitter);

  connect(tree_, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
    if (filling_ || !item || !item->data(0, kSchemeRole).isValid()) return;
    SelectStyle({item->data(0, kCategoryRole).toULongLong(),
                 item->data(0, kSchemeRole).toULongLong()});
  });
  connect(previewButton_, &QPushButton::clicked, this, [this] { PreviewSelectedStyle(); });
  connect(use_, &QPushButton::clicked, this, [this] { UseSelectedStyle(); });
  connect(new_, &QPushButton::clicked, this, [this] { NewStyle(); });
  connect(settings_, &QTableWidget::cellDoubleClicked, this, [this](int row) { EditSetting(row); });
  connect(settings_, &QTableWidget::itemChanged, this,
          [this](QTableWidgetItem* item) { SettingEdited(item); });
  Reload();
}

Scheme* StylePage::SelectedScheme() {
  return selected_ ? session_.schemes().At(*selected_) : nullptr;
}

void StylePage::Reload() {
  std::optional<SchemeIndex> at = selected_;
  const StoreProject& project = session_.project();
  if (project.settings.style)
    if (std::optional<SchemeIndex> own = FindScheme(session_.schemes(), *project.settings.style))
      at = own;
  FillTree();
  if (!at) {
    std::vector<OfferedStyle> offered = OfferedStyles(session_.schemes());
    if (!offered.empty()) at = offered.front().at;
  }
  if (at) SelectStyle(*at);
  else FillSettings();
}

void StylePage::FillTree() {
  filling_ = true;
  tree_->clear();
  const SchemeList& list = session_.schemes();
  std::optional<SchemeIndex> own;
  if (session_.project().settings.style) own = FindScheme(list, *session_.project().settings.style);
  QTreeWidgetItem* group = nullptr;
  std::size_t groupIndex = SIZE_MAX;
  for (const OfferedStyle& style : OfferedStyles(list)) {
    if (!group || groupIndex != style.at.category) {
      group = new QTreeWidgetItem(tree_, {Shown(style.group)});
      group->setFlags(Qt::ItemIsEnabled);
      group->setExpanded(true);
      groupIndex = style.at.category;
    }
    auto* item = new QTreeWidgetItem(group, {Shown(style.name)});
    item->setData(0, kCategoryRole, QVariant::fromValue<qulonglong>(style.at.category));
    item->setData(0, kSchemeRole, QVariant::fromValue<qulonglong>(style.at.scheme));
    if (own == style.at) {
      QFont font = item->font(0);
      font.setBold(true);
      item->setFont(0, font);
      item->setToolTip(0, tr("The style of this store"));
    }
  }
  tree_->expandAll();
  filling_ = false;
}

void StylePage::SelectStyle(const SchemeIndex& at) {
  SchemeList& list = session_.schemes();
  Scheme* scheme = list.At(at);
  if (!scheme) return;
  selected_ = at;
  if (!scheme->loaded) (void)ReadSchemeSettings(*scheme, list.installDir);
  filling_ = true;
  for (int g = 0; g < tree_->topLevelItemCount(); ++g)
    for (int s = 0; s < tree_->topLevelItem(g)->childCount(); ++s) {
      QTreeWidgetItem* item = tree_->topLevelItem(g)->child(s);
      if (item->data(0, kCategoryRole).toULongLong() == at.category &&
          item->data(0, kSchemeRole).toULongLong() == at.scheme)
        tree_->setCurrentItem(item);
    }
  filling_ = false;
  name_->setText(Shown(list.categories[at.category].name) + QStringLiteral(" / ") +
                 Shown(scheme->name));
  preview_->SetImage(QString::fromStdString(StylePreviewPicture(list, at)));
  std::optional<SchemeIndex> own;
  if (session_.project().settings.style) own = FindScheme(list, *session_.project().settings.style);
  use_->setEnabled(!session_.session().path.empty() && own != at);
  previewButton_->setEnabled(!session_.session().path.empty());
  FillSettings();
}

void StylePage::FillSettings() {
  filling_ = true;
  settings_->clearSpans();
  settings_->setRowCount(0);
  Scheme* scheme = SelectedScheme();
  const bool editable = scheme && IsSchemeEditable(*scheme);
  note_->setText(scheme && !editable ? tr(kInstalledStyleNote) : QString());
  note_->setVisible(scheme && !editable);
  new_->setEnabled(scheme != nullptr);
  if (!scheme) {
    filling_ = false;
    return;
  }
  settings_->setRowCount(static_cast<int>(scheme->variables.size()));
  for (std::size_t i = 0; i < scheme->variables.size(); ++i) {
    const StyleVariable& v = scheme->variables[i];
    const int row = static_cast<int>(i);
    auto* label = new QTableWidgetItem(Shown(v.label.empty() ? v.name : v.label));
    label->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    label->setToolTip(Shown(v.name));
    settings_->setItem(row, 0, label);
    if (v.type & kStyleSeparator) {
      QFont font = label->font();
      font.setBold(true);
      label->setFont(font);
      label->setBackground(palette().alternateBase());
      settings_->setSpan(row, 0, 1, 2);
      continue;
    }
    auto* value = new QTableWidgetItem(Shown(v.value));
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    // Colours and pictures go through their choosers; the other values are typed.
    if (editable && !(v.type & (kStyleColour | kStylePicture))) flags |= Qt::ItemIsEditable;
    value->setFlags(flags);
    if (v.type & kStyleColour) {
      QPixmap swatch(14, 14);
      swatch.fill(StyleColour(v.value));
      QPainter outline(&swatch);  // white and pale colours stay visible
      outline.setPen(palette().color(QPalette::Mid));
      outline.drawRect(0, 0, 13, 13);
      value->setIcon(QIcon(swatch));
    }
    settings_->setItem(row, 1, value);
  }
  filling_ = false;
}

void StylePage::SaveScheme(Scheme& scheme) {
  (void)WriteSchemeSettings(scheme, session_.schemes().installDir, prompter_);
}

void StylePage::SettingEdited(QTableWidgetItem* item) {
  if (filling_ || item->column() != 1) return;
  Scheme* scheme = SelectedScheme();
  if (!scheme) return;
  const std::size_t row = static_cast<std::size_t>(item->row());
  const std::string before = row < scheme->variables.size() ? scheme->variables[row].value : "";
  const std::string value = EncodeFromDisplay(item->text().toStdString(), IsUtf8Text(before));
  if (value == before) return;
  if (Status set = SetStyleValue(*scheme, row, value); !set) {
    prompter_.Show(set.message(), "Error", PromptIcon::Error);
    FillSettings();  // the cell shows the value kept
    settings_->selectRow(static_cast<int>(row));
    return;
  }
  SaveScheme(*scheme);
}

void StylePage::EditSetting(int row) {
  Scheme* scheme = SelectedScheme();
  if (!scheme || !IsSchemeEditable(*scheme) || row < 0 ||
      row >= static_cast<int>(scheme->variables.size()))
    return;
  StyleVariable& v = scheme->variables[static_cast<std::size_t>(row)];
  std::string value;
  if (v.type & kStyleColour) {
    std::optional<QColor> chosen = askColour
                                       ? askColour(StyleColour(v.value), scheme->customColours)
                                       : AskColourDialog(this, StyleColour(v.value),
                                                         scheme->customColours);
    if (!chosen) return;
    value = ColourText(static_cast<std::uint8_t>(chosen->red()),
                       static_cast<std::uint8_t>(chosen->green()),
                       static_cast<std::uint8_t>(chosen->blue()));
  } else if (v.type & kStylePicture) {
    AppConfig& config = session_.config();
    const std::string start = config.ld2.empty()
                                  ? SchemeTemplateDir(session_.schemes().installDir, *scheme)
                                  : config.ld2;
    const std::string path = chooser_.OpenFile(
        {tr("Select Picture").toStdString(),
         "Pictures (*.gif *.jpg *.jpeg *.png *.svg *.bmp);;All Files (*)", start});
    if (path.empty()) return;
    config.ld2 = NormalisePath(path).substr(0, NormalisePath(path).rfind('/'));
    Result<std::string> name = AddSchemePicture(*scheme, session_.schemes().installDir, path);
    if (!name) {
      prompter_.Show(name.status().message(), "Error", PromptIcon::Error);
      return;
    }
    value = *name;
  } else {
    return;  // typed in place
  }
  if (!SetStyleValue(*scheme, static_cast<std::size_t>(row), value)) return;
  SaveScheme(*scheme);
  FillSettings();
  settings_->selectRow(row);
}

void StylePage::PreviewSelectedStyle() {
  StoreNode* node = session_.editor().current();
  if (!selected_ || !node || session_.session().path.empty()) return;
  std::unique_ptr<BuildSession> build = session_.MakeBuildSession();
  if (!build) return;
  build->launcher = &launcher_;
  (void)PreviewStyle(*build, *selected_, *node);
}

void StylePage::UseSelectedStyle() {
  if (!selected_ || session_.session().path.empty()) return;
  // An older project's own templates are kept as backups before the style replaces them.
  session_.UpgradeTemplatesNow();
  Result<int> chosen = ChooseStyle(session_.project(), session_.schemes(), *selected_,
                                   session_.project().settings.projectDir, prompter_);
  if (!chosen) return;
  // The style brought its own order-form and confirmation templates.
  LoadProjectTemplates(session_.session());
  FillTree();
  SelectStyle(*selected_);
  emit projectReplaced();
}

void StylePage::NewStyle() {
  if (!selected_) return;
  SchemeList& list = session_.schemes();
  Result<SchemeIndex> made = NewScheme(list, selected_->category, prompter_);
  if (!made) return;
  (void)WriteSchemeList(list, prompter_);
  session_.globals().styles = SchemeStyleRefs(list);
  FillTree();
  SelectStyle(*made);
}

}  // namespace tolmi::ui
