// The store's Freight page: the delivery-method chooser, the grid of regions
// against weight bands for that method ("Country", "0.5" ... "10", "11+ per/unit
// of weight", "Tax"), the focused record's rule, and "Wizard", "Methods" and
// "Add/Remove &Regions", which run the Store Wizard in freight set-up,
// methods-only and regions-only mode. The rows, sorting and every edit are the
// core's FreightGrid; the page only shows them. Its own Copy, Paste and Delete
// copy, paste and clear whole tables of the selected regions.
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "project/FreightGrid.h"
#include "ui/ProjectWindows.h"
#include "ui/StorePage.h"

class QComboBox;
class QLineEdit;
class QTableView;

namespace tolmi::ui {

// The grid of one delivery method. Column 0 carries the enabled flag as a check
// box; bands of records without a rule and the tax are editable.
class FreightGridModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  FreightGridModel(StoreProject& project, QObject* parent);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  // Rebuilds the rows (another method, another sort, the regions changed).
  void Reload(int method, int sortColumn, bool descending);
  // Re-reads the cells of the rows in place (their order stays until a sort).
  void RefreshRows();
  int method() const { return method_; }
  // The region of a row, or -1.
  int RegionAt(int row) const;

 signals:
  void edited();  // a value of the project changed

 private:
  StoreProject& project_;
  std::vector<FreightGridRow> rows_;
  int method_ = 0;
  int sortColumn_ = -1;
  bool descending_ = false;
};

class FreightPage : public StorePage {
  Q_OBJECT
 public:
  FreightPage(const WindowContext& ctx, QWidget* parent);

  // Shows the open project again (opened, replaced, regions or methods changed).
  void Reload() override;
  bool RunPageCommand(int command) override;

  void CopyTables();
  void PasteTables();
  void DeleteTables();
  // Runs the Store Wizard in the mode; the preset goes to the method shown.
  void RunWizard(WizardMode mode);

  FreightGridModel* model() const { return model_; }
  QTableView* grid() const { return grid_; }

 private:
  std::vector<std::size_t> SelectedRegions() const;
  void ShowFocusedRule();
  void Sort(int column);

  WindowContext ctx_;
  FreightGridModel* model_ = nullptr;
  QComboBox* method_ = nullptr;
  QTableView* grid_ = nullptr;
  QLineEdit* rule_ = nullptr;
  int sortColumn_ = -1;
  bool descending_ = false;
};

// Options, Import Freight Tables: a project file chosen in "Projects", then the
// core's ImportFreightTables (its S105 message when the file cannot be read).
// Cancelled when no file was chosen.
Status ImportFreightTablesCommand(const WindowContext& ctx);

}  // namespace tolmi::ui
