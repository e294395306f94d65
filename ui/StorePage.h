// A store page of the property area (Template, Order Form, Confirmation, Layout,
// Variables, ...): a widget over the open project that the main window tells when
// to store its edits and when to show the project again, and to which it routes
// the Edit commands that the rules send to the page shown.
#pragma once

#include <QWidget>

namespace tolmi::ui {

class StorePage : public QWidget {
  Q_OBJECT
 public:
  using QWidget::QWidget;

  // Stores edits the page still holds (before a save, a preview, a build, another
  // project, quitting). Safe to call at any time.
  virtual void Commit() {}
  // The project was opened, replaced or changed elsewhere: show it again. Edits
  // not committed are dropped.
  virtual void Reload() {}
  // Edit, Copy (2347), Paste (355), Delete (359) or Select All (358) routed to the
  // page. Returns whether the page handled it.
  virtual bool RunPageCommand(int /*id*/) { return false; }

 signals:
  // The page changed the project (the title's mark and the command states follow).
  void projectChanged();
  // The page replaced what other views show (node templates after a new style).
  void projectReplaced();
};

}  // namespace tolmi::ui
