#include "ui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/CommandLine.h"
#include "ui/CommandActions.h"
#include "ui/NodeListModel.h"
#include "ui/NodePage.h"
#include "ui/ProjectTreeModel.h"
#include "ui/ProjectWindows.h"
#include "ui/StorePages.h"
#include "util/TextEncoding.h"

namespace tolmi::ui {

namespace {

QString SettingsFile(const AppSession& session) {
  return QString::fromStdString(session.home()) + QStringLiteral("/tolmi-window.ini");
}

// A store page's frame: its content comes with the page's own editor.
QWidget* StorePageFrame(const char* name, QWidget* parent) {
  auto* page = new QWidget(parent);
  QString id = QString::fromLatin1(name).remove(QLatin1Char(' '));
  id[0] = id[0].toLower();
  page->setObjectName(id + QStringLiteral("Page"));
  auto* layout = new QVBoxLayout(page);
  auto* label = new QLabel(QString::fromLatin1(name), page);
  label->setAlignment(Qt::AlignCenter);
  label->setEnabled(false);
  layout->addWidget(label);
  return page;
}

}  // namespace

MainWindow::MainWindow(AppSession& session, Prompter& prompter, FileChooser& chooser,
                       BrowserLauncher& launcher, QWidget* parent)
    : QMainWindow(parent),
      session_(session),
      prompter_(prompter),
      chooser_(chooser),
      launcher_(launcher) {
  setObjectName(QStringLiteral("mainWindow"));
  InstallDefaultHooks();
  actions_ = new CommandActions(*this, [this](int id) { RunCommand(id); });
  BuildLayout();
  BuildBars();
  ConnectViews();
  statusBar()->setObjectName(QStringLiteral("statusBar"));
  statusBar()->showMessage(tr("Ready"));
  resize(1000, 700);
  RestoreWindowState();
  ApplyViewBits();
  actions_->SetRecentProjects(RecentProjectEntries(session_.config()));
  ProjectReplaced();
}

MainWindow::~MainWindow() {
  // The models go before the editor's project may change again.
  nodePage_->Load(nullptr, {});
}

void MainWindow::BuildLayout() {
  TreeEditor& editor = session_.editor();
  mainSplitter_ = new QSplitter(Qt::Horizontal, this);
  mainSplitter_->setObjectName(QStringLiteral("mainSplitter"));

  tree_ = new ProjectTreeView(mainSplitter_);
  tree_->setObjectName(QStringLiteral("projectTree"));
  treeModel_ = new ProjectTreeModel(editor, this);
  tree_->setModel(treeModel_);

  rightSplitter_ = new QSplitter(Qt::Vertical, mainSplitter_);
  rightSplitter_->setObjectName(QStringLiteral("rightSplitter"));
  list_ = new QTableView(rightSplitter_);
  list_->setObjectName(QStringLiteral("nodeList"));
  listModel_ = new NodeListModel(editor, this);
  list_->setModel(listModel_);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setEditTriggers(QAbstractItemView::EditKeyPressed);
  list_->setContextMenuPolicy(Qt::CustomContextMenu);
  list_->installEventFilter(this);
  list_->verticalHeader()->hide();
  list_->verticalHeader()->setDefaultSectionSize(list_->fontMetrics().height() + 6);
  list_->horizontalHeader()->setStretchLastSection(true);
  list_->setShowGrid(false);
  list_->setColumnWidth(0, 260);

  tabs_ = new QTabWidget(rightSplitter_);
  tabs_->setObjectName(QStringLiteral("propertyTabs"));
  nodePage_ = new NodePage(session_.project(), tabs_);
  tabs_->addTab(nodePage_, tr("Properties"));
  const WindowContext context{this, session_, prompter_, chooser_, launcher_};
  for (const char* name : kStorePageNames) {
    StorePage* page = MakeStorePage(name, context, tabs_);
    tabs_->addTab(page ? page : StorePageFrame(name, tabs_), tr(name));
    if (!page) continue;
    connect(page, &StorePage::projectChanged, this, [this] {
      UpdateTitle();
      ApplyCommandStates();
    });
    connect(page, &StorePage::projectReplaced, this, [this] { ProjectReplaced(); });
  }

  mainSplitter_->setStretchFactor(0, 1);
  mainSplitter_->setStretchFactor(1, 3);
  mainSplitter_->setSizes({280, 720});
  rightSplitter_->setStretchFactor(0, 1);
  rightSplitter_->setStretchFactor(1, 2);
  rightSplitter_->setSizes({200, 480});
  setCentralWidget(mainSplitter_);
}

void MainWindow::BuildBars() {
  toolBar_ = addToolBar(tr("Toolbar"));
  toolBar_->setObjectName(QStringLiteral("toolBar"));
  // The toolbar shows a picture beside each command, so it does not read as a second
  // copy of the button bar below it (text buttons only).
  const std::pair<int, QStyle::StandardPixmap> tools[] = {
      {kCmdNewStore, QStyle::SP_FileIcon},
      {kCmdOpenStore, QStyle::SP_DialogOpenButton},
      {kCmdSave, QStyle::SP_DialogSaveButton},
      {kCmdNewCategory, QStyle::SP_FileDialogNewFolder},
      {kCmdNewProduct, QStyle::SP_FileDialogDetailedView},
      {kCmdPreview, QStyle::SP_FileDialogContentsView},
      {kCmdBuildStore, QStyle::SP_BrowserReload},
      {kCmdOrders, QStyle::SP_FileDialogListView}};
  for (const auto& [id, icon] : tools) {
    QAction* action = actions_->MenuAction(id);
    action->setIcon(style()->standardIcon(icon));
    toolBar_->addAction(action);
  }
  toolBar_->setIconSize(QSize(16, 16));
  toolBar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  addToolBarBreak();
  buttonBar_ = addToolBar(tr("Buttons"));
  buttonBar_->setObjectName(QStringLiteral("buttonBar"));
  buttonBar_->setToolButtonStyle(Qt::ToolButtonTextOnly);
  for (int id : {kCmdNewProduct, kCmdPreview, kCmdBuildStore, kCmdOrders})
    buttonBar_->addAction(actions_->MenuAction(id));
  // The bars follow the view bits only; hiding them from their own menu is not offered.
  toolBar_->toggleViewAction()->setVisible(false);
  buttonBar_->toggleViewAction()->setVisible(false);
  setContextMenuPolicy(Qt::NoContextMenu);
}

void MainWindow::ConnectViews() {
  tree_->onKey = [this](TreeKey key) { HandleTreeKey(key); };
  tree_->canDrop = [this](StoreNode& d, StoreNode* t) { return CanDropNode(d, t); };
  tree_->drop = [this](StoreNode& d, StoreNode* t) { DropNode(d, t); };
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this](const QModelIndex& index) { OnTreeCurrentChanged(index); });
  connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { OnListSelectionChanged(); });
  connect(list_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
    if (StoreNode* node = listModel_->NodeAt(index.row())) SelectNode(node);
  });
  connect(tree_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    QModelIndex index = tree_->indexAt(pos);
    if (index.isValid()) tree_->setCurrentIndex(index);
    lastFocus_ = UiFocus::Tree;
    ApplyCommandStates();
    actions_->treePopup()->popup(tree_->viewport()->mapToGlobal(pos));
  });
  connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
    lastFocus_ = UiFocus::NodeList;
    ApplyCommandStates();
    actions_->listPopup()->popup(list_->viewport()->mapToGlobal(pos));
  });
  connect(treeModel_, &ProjectTreeModel::renamed, this, [this] { AfterEdit(); });
  connect(listModel_, &NodeListModel::renamed, this, [this](StoreNode* node) {
    treeModel_->NodeChanged(*node);
    AfterEdit();
  });
  connect(nodePage_, &NodePage::applied, this, [this](StoreNode* node) {
    treeModel_->NodeChanged(*node);
    listModel_->Refresh();
    SyncListSelection();
    UpdateTitle();
    ApplyCommandStates();
  });
  connect(tabs_, &QTabWidget::currentChanged, this, [this] { ApplyCommandStates(); });
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
    if (!now || !isAncestorOf(now)) return;
    UiFocus f = CurrentFocus();
    if (f != UiFocus::Other) lastFocus_ = f;
    ApplyCommandStates();
  });
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this,
          [this] { ApplyCommandStates(); });
}

void MainWindow::RestoreWindowState() {
  QSettings settings(SettingsFile(session_), QSettings::IniFormat);
  if (settings.contains(QStringLiteral("geometry")))
    restoreGeometry(settings.value(QStringLiteral("geometry")).toByteArray());
  if (settings.contains(QStringLiteral("mainSplitter")))
    mainSplitter_->restoreState(settings.value(QStringLiteral("mainSplitter")).toByteArray());
  if (settings.contains(QStringLiteral("rightSplitter")))
    rightSplitter_->restoreState(settings.value(QStringLiteral("rightSplitter")).toByteArray());
}

void MainWindow::SaveWindowState() {
  QSettings settings(SettingsFile(session_), QSettings::IniFormat);
  settings.setValue(QStringLiteral("geometry"), saveGeometry());
  settings.setValue(QStringLiteral("mainSplitter"), mainSplitter_->saveState());
  settings.setValue(QStringLiteral("rightSplitter"), rightSplitter_->saveState());
}

UiFocus MainWindow::CurrentFocus() const {
  QWidget* w = QApplication::focusWidget();
  if (!w || !isAncestorOf(w)) return lastFocus_;
  if (w == tree_ || tree_->isAncestorOf(w)) return UiFocus::Tree;  // includes a label editor
  if (w == list_ || list_->isAncestorOf(w)) return UiFocus::NodeList;
  if (tabs_->isAncestorOf(w) && (qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w)))
    return UiFocus::TextField;
  return UiFocus::Other;
}

CommandState MainWindow::CurrentCommandState() const {
  WindowState window;
  window.focus = CurrentFocus();
  const QString tab = tabs_->tabText(tabs_->currentIndex());
  if (tab == tr("Freight")) window.page = PropertyPage::Freight;
  if (tab == tr("Layout")) window.page = PropertyPage::Layout;
  window.systemClipboardHasText = !QGuiApplication::clipboard()->text().isEmpty();
  window.ordersChanged = (session_.changedFlags() & kOrdersChangedBit) != 0;
  window.view = session_.globals().config.view;
  return CommandStateFor(session_.globals().session, session_.editor(), window);
}

void MainWindow::ApplyCommandStates() { actions_->Apply(CurrentCommandState()); }

void MainWindow::UpdateTitle() {
  const std::string& path = session_.globals().session.path;
  setWindowTitle(QString::fromStdString(DecodeForDisplay(MainWindowTitle(path))) +
                 QStringLiteral("[*]"));
  setWindowModified(session_.anyChanged());
}

void MainWindow::ApplyViewBits() {
  const int view = session_.globals().config.view;
  toolBar_->setVisible((view & kViewToolbar) != 0);
  buttonBar_->setVisible((view & kViewButtons) != 0);
}

void MainWindow::ProjectReplaced() {
  syncing_ = true;
  nodePage_->Load(nullptr, {});
  treeModel_->Reset();
  syncing_ = false;
  StoreProject& project = session_.project();
  if (!project.selected) project.selected = RootNode(project);
  actions_->SetRecentProjects(RecentProjectEntries(session_.config()));
  for (StorePage* page : tabs_->findChildren<StorePage*>()) page->Reload();
  AfterEdit();
}

void MainWindow::AfterEdit() {
  syncing_ = true;
  listModel_->Refresh();
  SyncTreeSelection();
  SyncListSelection();
  syncing_ = false;
  ShowCurrentNode();
  UpdateTitle();
  ApplyCommandStates();
}

void MainWindow::SyncTreeSelection() {
  StoreNode* current = session_.editor().current();
  QModelIndex index = treeModel_->IndexOf(current);
  if (index.isValid()) {
    tree_->setCurrentIndex(index);
    tree_->scrollTo(index);
  } else {
    tree_->selectionModel()->clear();
  }
}

void MainWindow::SyncListSelection() {
  const bool was = syncing_;
  syncing_ = true;
  QItemSelection selection;
  for (StoreNode* node : session_.editor().SelectedEntries()) {
    int row = listModel_->RowOf(node);
    if (row >= 0)
      selection.select(listModel_->index(row, 0),
                       listModel_->index(row, listModel_->columnCount() - 1));
  }
  list_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  syncing_ = was;
}

void MainWindow::ShowCurrentNode() {
  StoreNode* current = session_.editor().current();
  if (nodePage_->node() == current) return;
  // Picture paths are relative to the home (the installation folder), or to the
  // project's own folder.
  QStringList dirs{QString::fromStdString(session_.home())};
  const std::string& path = session_.globals().session.path;
  if (!path.empty()) dirs << QString::fromStdString(ProjectDirOf(path));
  nodePage_->Load(current, dirs);
}

void MainWindow::CommitPage() {
  nodePage_->Apply();
  for (StorePage* page : tabs_->findChildren<StorePage*>()) page->Commit();
}

void MainWindow::SelectNode(StoreNode* node) {
  CommitPage();
  session_.editor().Select(node);
  session_.editor().SetListSelection({});
  AfterEdit();
}

void MainWindow::OnTreeCurrentChanged(const QModelIndex& index) {
  if (syncing_) return;
  StoreNode* node = ProjectTreeModel::NodeOf(index);
  if (node == session_.editor().current()) return;
  SelectNode(node);
}

void MainWindow::OnListSelectionChanged() {
  if (syncing_) return;
  std::vector<StoreNode*> selected;
  for (const QModelIndex& index : list_->selectionModel()->selectedRows())
    if (StoreNode* node = listModel_->NodeAt(index.row())) selected.push_back(node);
  session_.editor().SetListSelection(std::move(selected));
  ApplyCommandStates();
}

bool MainWindow::CanDropNode(StoreNode& dragged, StoreNode* target) const {
  return session_.editor().CanDrop(dragged, target);
}

void MainWindow::DropNode(StoreNode& dragged, StoreNode* target) {
  CommitPage();
  syncing_ = true;
  const bool moved = session_.editor().Drop(dragged, target);
  syncing_ = false;
  if (moved) session_.editor().Select(&dragged);
  AfterEdit();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  // Keys typed into a label editor go to the editor, not to the list itself.
  if (watched == list_ && event->type() == QEvent::KeyPress) {
    if (std::optional<TreeKey> key = ProjectTreeView::KeyFor(*static_cast<QKeyEvent*>(event))) {
      int id = 0;
      switch (*key) {
        case TreeKey::SelectAll: id = kCmdListSelectAll; break;
        case TreeKey::Copy: id = kCmdListCopy; break;
        case TreeKey::Paste: id = kCmdListPaste; break;
        case TreeKey::Delete: id = kCmdListDelete; break;
        default: break;  // "+" and "-" move tree nodes only
      }
      if (id != 0) {
        lastFocus_ = UiFocus::NodeList;
        RunCommand(id);
        return true;
      }
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!quitting_) {
    CommitPage();
    if (!AskToSaveChanges(session_.session(), session_.env()).ok()) {
      event->ignore();  // the save failed: keep the window and the changes
      return;
    }
  }
  SaveWindowState();
  (void)session_.Shutdown(HelpWindowOpen(this));
  event->accept();
}

}  // namespace tolmi::ui
