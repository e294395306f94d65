// The main window's commands as QActions: one action per entry of the core's menu
// table (app/CommandRules.h), created in one place with a stable object name —
// "action<id>" for the menu bar, "treeAction<id>" and "listAction<id>" for the two
// pop-up menus — and their enabled and checked states set in one function from
// the core's rules. Triggering an action runs the window's command by id.
#pragma once

#include <QObject>
#include <functional>
#include <map>
#include <vector>

#include "app/CommandRules.h"
#include "app/Config.h"

class QAction;
class QMainWindow;
class QMenu;
class QMenuBar;

namespace tolmi::ui {

class CommandActions : public QObject {
  Q_OBJECT
 public:
  // Builds the menu bar of window and the two pop-up menus; run(id) is called
  // when an action is triggered.
  CommandActions(QMainWindow& window, std::function<void(int)> run);

  // The actions by command id (null when the id has none there).
  QAction* MenuAction(int id) const;
  QAction* TreeAction(int id) const;
  QAction* ListAction(int id) const;
  QMenu* treePopup() const { return treePopup_; }
  QMenu* listPopup() const { return listPopup_; }

  // Replaces the recent-project entries (19000 to 19004) before "&Quit".
  void SetRecentProjects(const std::vector<RecentProjectEntry>& entries);

  // Sets every action's enabled and checked state for the state (menu bar, both
  // pop-ups; the pop-ups' "&Store" entry shows only while no project path exists).
  void Apply(const CommandState& state);

 private:
  QMenu* BuildMenu(QWidget* parent, MenuId menu, const QString& title,
                   std::map<int, QAction*>& actions, const char* prefix);

  QMainWindow& window_;
  std::function<void(int)> run_;
  std::map<int, QAction*> menu_, tree_, list_, recent_;
  QMenu* fileMenu_ = nullptr;
  QAction* recentSeparator_ = nullptr;
  QMenu* treePopup_ = nullptr;
  QMenu* listPopup_ = nullptr;
};

}  // namespace tolmi::ui
