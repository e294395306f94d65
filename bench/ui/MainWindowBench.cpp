// Opening a store of 100,000 nodes in the main window: the project is generated
// like the project benchmark's (categories with a shelf and a list of products,
// pages and a link), written, opened through the session, shown in the window,
// then the tree is expanded and scrolled to its end. Prints the time of each step
// and the memory the process holds. Run with QT_QPA_PLATFORM=offscreen.
#include <QApplication>
#include <QElapsedTimer>
#include <QTreeView>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/AppSession.h"
#include "project/ProjectFile.h"
#include "ui/MainWindow.h"
#include "util/Browser.h"

namespace {

using namespace tolmi;

class YesPrompter : public Prompter {
 public:
  void Show(const std::string&, const std::string&, PromptIcon) override {}
  PromptAnswer Ask(const std::string&, const std::string&, PromptButtons) override {
    return PromptAnswer::Yes;
  }
};

class NoChooser : public ui::FileChooser {
 public:
  std::string OpenFile(const ui::FileQuery&) override { return {}; }
  std::string SaveFile(const ui::FileQuery&) override { return {}; }
  std::string ChooseFolder(const ui::FileQuery&) override { return {}; }
};

StoreNode* Add(StoreProject& p, StoreNode* parent, NodeKind kind, std::size_t& count) {
  auto node = CreateNode();
  node->kind = kind;
  node->title = std::string(DefaultTitle(kind)) + " " + std::to_string(count);
  node->file = std::to_string(count) + ".htm";
  node->code = "CODE-" + std::to_string(count);
  node->cost = std::to_string(count % 1000) + ".95";
  node->body = "<p>Item " + std::to_string(count) + " is hand made and packed with care.</p>";
  ++count;
  return AppendNode(p, parent, std::move(node));
}

void Generate(StoreProject& p, std::size_t nodes) {
  std::size_t count = 0;
  StoreNode* home = Add(p, nullptr, NodeKind::Category, count);
  while (count < nodes) {
    StoreNode* category = Add(p, home, NodeKind::Category, count);
    StoreNode* shelf = Add(p, category, NodeKind::Shelf, count);
    for (int i = 0; i < 40 && count < nodes; ++i) Add(p, shelf, NodeKind::Product, count);
    StoreNode* list = count < nodes ? Add(p, category, NodeKind::List, count) : nullptr;
    for (int i = 0; i < 40 && count < nodes && list; ++i) Add(p, list, NodeKind::Product, count);
    for (int i = 0; i < 3 && count < nodes; ++i) Add(p, category, NodeKind::Page, count);
    if (count < nodes) Add(p, category, NodeKind::Link, count);
  }
  p.settings.storeTitle = "Benchmark Store";
}

// "VmRSS" or "VmHWM" of this process in MiB.
double MemoryMiB(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(key, 0) == 0) return std::stod(line.substr(line.find(':') + 1)) / 1024.0;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const std::size_t nodes = argc > 1 ? std::stoul(argv[1]) : 100000;
  namespace fs = std::filesystem;
  const fs::path home = fs::temp_directory_path() / "tolmi-ui-bench";
  fs::remove_all(home);
  fs::create_directories(home / "Projects" / "Big");
  const std::string path = (home / "Projects" / "Big" / "Big.stp").string();

  YesPrompter prompter;
  SystemClock clock;
  {
    StoreProject project;
    Generate(project, nodes);
    if (!WriteProjectFile(project, path, prompter, clock, 2034361).ok()) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  const double baseMiB = MemoryMiB("VmRSS");
  AppSession session(home.string(), prompter, clock);
  session.SetProxyStorePath((home / "settings.ini").string());
  if (!session.Start().ok()) return 1;

  QElapsedTimer t;
  t.start();
  if (!session.Open(path).ok()) return 1;
  const qint64 openMs = t.restart();
  NoChooser chooser;
  SpawnBrowserLauncher launcher;
  ui::MainWindow window(session, prompter, chooser, launcher);
  window.resize(1000, 700);
  window.show();
  QCoreApplication::processEvents();
  const qint64 showMs = t.restart();
  window.treeView()->expandAll();
  QCoreApplication::processEvents();
  const qint64 expandMs = t.restart();
  window.treeView()->scrollToBottom();
  QCoreApplication::processEvents();
  const qint64 scrollMs = t.restart();
  StoreNode* last = nullptr;
  ForEachNode(session.project(), [&](StoreNode& n) { last = &n; });
  window.SelectNode(last);
  QCoreApplication::processEvents();
  const qint64 selectMs = t.restart();

  std::printf("nodes %zu\n", CountNodes(session.project()));
  std::printf("open project      %6lld ms\n", static_cast<long long>(openMs));
  std::printf("window shown      %6lld ms\n", static_cast<long long>(showMs));
  std::printf("tree expanded     %6lld ms\n", static_cast<long long>(expandMs));
  std::printf("scrolled to end   %6lld ms\n", static_cast<long long>(scrollMs));
  std::printf("last node shown   %6lld ms\n", static_cast<long long>(selectMs));
  std::printf("memory: before open %.1f MiB, now %.1f MiB, peak %.1f MiB\n", baseMiB,
              MemoryMiB("VmRSS"), MemoryMiB("VmHWM"));
  session.project().changed = false;  // nothing to ask at close
  window.close();
  fs::remove_all(home);
  return 0;
}
