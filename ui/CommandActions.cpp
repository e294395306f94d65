#include "ui/CommandActions.h"

#include <QAction>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace tolmi::ui {

namespace {

QAction* Find(const std::map<int, QAction*>& actions, int id) {
  auto it = actions.find(id);
  return it == actions.end() ? nullptr : it->second;
}

// Keys the menus name nowhere but a merchant expects; the tree's own keys are
// handled by the tree so that they never reach a label being edited.
QKeySequence ShortcutFor(int id) {
  switch (id) {
    case kCmdOpenStore: return QKeySequence(Qt::CTRL | Qt::Key_O);
    case kCmdSave: return QKeySequence(Qt::CTRL | Qt::Key_S);
    case kCmdFind: return QKeySequence(Qt::CTRL | Qt::Key_F);
    case kCmdPreview: return QKeySequence(Qt::Key_F5);
    default: return {};
  }
}

}  // namespace

CommandActions::CommandActions(QMainWindow& window, std::function<void(int)> run)
    : QObject(&window), window_(window), run_(std::move(run)) {
  QMenuBar* bar = window.menuBar();
  for (MenuId menu : {MenuId::File, MenuId::Edit, MenuId::View, MenuId::Options, MenuId::Help}) {
    QMenu* m = BuildMenu(bar, menu, QString::fromUtf8(MenuTitle(menu)), menu_, "action");
    bar->addMenu(m);
    if (menu == MenuId::File) fileMenu_ = m;
  }
  for (auto& [id, action] : menu_) {
    QKeySequence key = ShortcutFor(id);
    if (!key.isEmpty()) action->setShortcut(key);
  }
  treePopup_ = BuildMenu(&window, MenuId::TreePopup, {}, tree_, "treeAction");
  treePopup_->setObjectName(QStringLiteral("treePopup"));
  listPopup_ = BuildMenu(&window, MenuId::ListPopup, {}, list_, "listAction");
  listPopup_->setObjectName(QStringLiteral("listPopup"));
  // The recent projects go between the File menu's last separator and "&Quit".
  if (QAction* quit = MenuAction(kCmdQuit)) {
    recentSeparator_ = fileMenu_->insertSeparator(quit);
    recentSeparator_->setVisible(false);
  }
}

QMenu* CommandActions::BuildMenu(QWidget* parent, MenuId menu, const QString& title,
                                 std::map<int, QAction*>& actions, const char* prefix) {
  auto* m = new QMenu(title, parent);
  for (const MenuEntry& entry : MenuEntriesOf(menu)) {
    if (entry.id == 0 && entry.submenu) {
      m->addMenu(BuildMenu(m, *entry.submenu, QString::fromUtf8(entry.label), actions, prefix));
      continue;
    }
    if (entry.id == 0) {
      m->addSeparator();
      continue;
    }
    auto* action = new QAction(QString::fromUtf8(entry.label), &window_);
    action->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(prefix)).arg(entry.id));
    action->setCheckable(entry.checkable);
    const int id = entry.id;
    connect(action, &QAction::triggered, this, [this, id] { run_(id); });
    m->addAction(action);
    actions.emplace(id, action);
  }
  return m;
}

QAction* CommandActions::MenuAction(int id) const {
  if (QAction* a = Find(menu_, id)) return a;
  return Find(recent_, id);
}
QAction* CommandActions::TreeAction(int id) const { return Find(tree_, id); }
QAction* CommandActions::ListAction(int id) const { return Find(list_, id); }

void CommandActions::SetRecentProjects(const std::vector<RecentProjectEntry>& entries) {
  for (auto& [id, action] : recent_) {
    fileMenu_->removeAction(action);
    action->setObjectName(QString());  // may be the one running: deleted later
    action->deleteLater();
  }
  recent_.clear();
  QAction* quit = MenuAction(kCmdQuit);
  int n = 1;
  for (const RecentProjectEntry& entry : entries) {
    auto* action = new QAction(
        QStringLiteral("&%1 %2").arg(n++).arg(QString::fromStdString(entry.path)), &window_);
    action->setObjectName(QStringLiteral("action%1").arg(entry.command));
    const int id = entry.command;
    connect(action, &QAction::triggered, this, [this, id] { run_(id); });
    fileMenu_->insertAction(recentSeparator_, action);
    recent_.emplace(id, action);
  }
  if (recentSeparator_) recentSeparator_->setVisible(!entries.empty() && quit);
}

void CommandActions::Apply(const CommandState& state) {
  const std::set<int> menuOn = EnabledMenuCommands(state);
  const std::set<int> checked = CheckedMenuCommands(state);
  for (auto* actions : {&menu_, &recent_}) {
    for (auto& [id, action] : *actions) {
      action->setEnabled(menuOn.count(id) != 0);
      if (action->isCheckable()) action->setChecked(checked.count(id) != 0);
    }
  }
  const std::set<int> treeOn = EnabledTreePopupCommands(state);
  for (auto& [id, action] : tree_) action->setEnabled(treeOn.count(id) != 0);
  const std::set<int> listOn = EnabledListPopupCommands(state);
  for (auto& [id, action] : list_) action->setEnabled(listOn.count(id) != 0);
  // Once a project path exists the pop-ups' "&Store" entry is removed.
  for (QAction* store : {TreeAction(kCmdNewStore), ListAction(kCmdNewStore)})
    if (store) store->setVisible(!state.hasProjectPath);
}

}  // namespace tolmi::ui
