// The "Layout" page: the style chooser and the style editor. The chooser lists the
// styles by group (unavailable ones are not offered) with the preview picture of
// the one selected; "Preview" shows the current page made with that style (the
// project unchanged); "Use This Style" gives the store that style (after the
// question, new templates for every node). The editor lists the selected style's
// settings (colours with a swatch and the colour chooser, pictures, headings,
// numbers, separator headings); installed styles are shown read-only and New makes
// an editable copy. Every edit is written to the style's settings file at once.
#pragma once

#include <QColor>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "schemes/Schemes.h"
#include "ui/StorePage.h"

class QLabel;
class QPushButton;
class QTableWidget;
class QTableWidgetItem;
class QTreeWidget;

namespace tolmi {
class AppSession;
class BrowserLauncher;
class Prompter;
}  // namespace tolmi

namespace tolmi::ui {

class FileChooser;
class ImagePreview;

// Note shown above the settings of an installed style.
inline constexpr const char* kInstalledStyleNote =
    "Installed styles cannot be changed. Click New to make your own copy of this style.";

// The colour chooser: the colour shown first and the sixteen custom colours (read
// and written back, red in the low byte); nullopt when cancelled.
using AskColour =
    std::function<std::optional<QColor>(const QColor& initial, std::array<std::uint32_t, 16>& custom)>;

class StylePage : public StorePage {
  Q_OBJECT
 public:
  StylePage(AppSession& session, Prompter& prompter, FileChooser& chooser,
            BrowserLauncher& launcher, QWidget* parent = nullptr);

  void Reload() override;

  // Selects a style in the chooser (shows its preview and settings).
  void SelectStyle(const SchemeIndex& at);
  std::optional<SchemeIndex> selectedStyle() const { return selected_; }
  // "Preview", "Use This Style", "New", and a double click on a setting row.
  void PreviewSelectedStyle();
  void UseSelectedStyle();
  void NewStyle();
  void EditSetting(int row);

  QTreeWidget* styleTree() const { return tree_; }
  QTableWidget* settings() const { return settings_; }
  ImagePreview* preview() const { return preview_; }

  AskColour askColour;

 private:
  void FillTree();
  void FillSettings();
  Scheme* SelectedScheme();
  void SettingEdited(QTableWidgetItem* item);
  void SaveScheme(Scheme& scheme);

  AppSession& session_;
  Prompter& prompter_;
  FileChooser& chooser_;
  BrowserLauncher& launcher_;
  QTreeWidget* tree_;
  ImagePreview* preview_;
  QLabel* name_;
  QLabel* note_;
  QPushButton* previewButton_;
  QPushButton* use_;
  QPushButton* new_;
  QTableWidget* settings_;
  std::optional<SchemeIndex> selected_;
  bool filling_ = false;
};

// The real colour chooser (QColorDialog with the custom colours).
std::optional<QColor> AskColourDialog(QWidget* parent, const QColor& initial,
                                      std::array<std::uint32_t, 16>& custom);

// The colour of a style value: a colour name, or "#RRGGBB"; black when empty or unknown.
QColor StyleColour(const std::string& value);

}  // namespace tolmi::ui
