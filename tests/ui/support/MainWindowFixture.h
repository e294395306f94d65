// A main window on a fresh home, with or without a copy of the sample store open,
// and the fakes it takes. Helpers find actions by object name and walk models.
#pragma once

#include <QAbstractItemModel>
#include <QAction>
#include <QtTest>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/AppSession.h"
#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"
#include "tests/ui/support/FakeFileChooser.h"
#include "tests/ui/support/UiTestSupport.h"
#include "ui/MainWindow.h"
#include "util/Browser.h"

namespace tolmi::test {

class RecordingLauncher : public BrowserLauncher {
 public:
  bool Launch(const std::string& program, const std::string& argument) override {
    launched.push_back(program + " " + argument);
    return true;
  }
  bool Exists(const std::string&) const override { return true; }
  std::vector<std::string> launched;
};

struct WindowShop {
  TestHome home;
  FakePrompter prompter;
  FakeClock clock{1764979200};
  FakeFileChooser chooser;
  RecordingLauncher launcher;
  AppSession session;
  std::filesystem::path project;
  std::unique_ptr<ui::MainWindow> window;

  // withSample: the sample store "TeaShop" copied into the home and opened.
  explicit WindowShop(bool withSample = true)
      : session(home.path().string(), prompter, clock) {
    session.SetProxyStorePath((home / "settings.ini").string());
    if (!session.Start().ok()) qFatal("the home could not be prepared");
    if (withSample) {
      project = CopySample("TeaShop", home / "Projects" / "TeaShop");
      if (!session.Open(project.string()).ok()) qFatal("the sample store did not open");
    }
    window = std::make_unique<ui::MainWindow>(session, prompter, chooser, launcher);
    window->resize(1000, 700);
  }

  // Shows the window and waits until it has the focus.
  void Show() {
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get())) qWarning("the window did not become active");
  }

  QAction* Action(const QString& name) const {
    return window->findChild<QAction*>(name);
  }
  // Triggers the menu-bar action of id; false when it is missing or disabled.
  bool Trigger(int id) const {
    QAction* a = Action(QStringLiteral("action%1").arg(id));
    if (!a || !a->isEnabled()) return false;
    a->trigger();
    return true;
  }

  // The first node (display order) whose title is title.
  StoreNode* Node(const std::string& title) {
    StoreNode* found = nullptr;
    ForEachNode(session.project(), [&](StoreNode& n) {
      if (!found && n.title == title) found = &n;
    });
    return found;
  }
  // The first node of the kind.
  StoreNode* NodeOfKind(NodeKind kind, bool insideShelfOrList = false) {
    StoreNode* found = nullptr;
    ForEachNode(session.project(), [&](StoreNode& n) {
      bool inside = n.parent && !n.parent->isTopHolder &&
                    (n.parent->kind == NodeKind::Shelf || n.parent->kind == NodeKind::List);
      if (!found && n.kind == kind && inside == insideShelfOrList) found = &n;
    });
    return found;
  }
};

// The nodes a tree model shows, depth first (a node before its children).
inline std::vector<StoreNode*> ModelOrder(const QAbstractItemModel& model,
                                          const QModelIndex& parent = {}) {
  std::vector<StoreNode*> out;
  for (int row = 0; row < model.rowCount(parent); ++row) {
    QModelIndex index = model.index(row, 0, parent);
    out.push_back(static_cast<StoreNode*>(index.internalPointer()));
    std::vector<StoreNode*> below = ModelOrder(model, index);
    out.insert(out.end(), below.begin(), below.end());
  }
  return out;
}

// The nodes of the project in display order.
inline std::vector<StoreNode*> CoreOrder(StoreProject& project) {
  std::vector<StoreNode*> out;
  ForEachNode(project, [&](StoreNode& n) { out.push_back(&n); });
  return out;
}

}  // namespace tolmi::test
