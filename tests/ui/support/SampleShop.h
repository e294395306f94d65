// What the window tests share: a fresh home with a started AppSession (the sample store open,
// or no project), the fakes the windows take, a parent window or the main window on it,
// helpers to drive windows by their object names, and screenshots.
#pragma once

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>
#include <QtTest>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/AppSession.h"
#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"
#include "ui/FileChooser.h"
#include "ui/MainWindow.h"
#include "ui/ProjectWindows.h"
#include "util/Browser.h"
#include "util/Files.h"

namespace tolmi::test {

// A FileChooser that records every query and answers from a script ("" = cancelled).
class FakeFileChooser : public ui::FileChooser {
 public:
  std::string OpenFile(const ui::FileQuery& q) override { return Answer(q); }
  std::string SaveFile(const ui::FileQuery& q) override { return Answer(q); }
  std::string ChooseFolder(const ui::FileQuery& q) override { return Answer(q); }

  std::vector<ui::FileQuery> asked;  // every query, in order
  std::deque<std::string> answers;   // the next paths to give

 private:
  std::string Answer(const ui::FileQuery& q) {
    asked.push_back(q);
    if (answers.empty()) return "";
    std::string a = answers.front();
    answers.pop_front();
    return a;
  }
};

// A BrowserLauncher that records what it would start.
class RecordingLauncher : public BrowserLauncher {
 public:
  bool Launch(const std::string& program, const std::string& argument) override {
    launched.push_back(program + " " + argument);
    return true;
  }
  bool Exists(const std::string&) const override { return true; }
  std::vector<std::string> launched;
};

// Runs drive on the next modal window of type T once it shows (commands use exec()).
template <typename T>
void WhenModal(std::function<void(T*)> drive) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, drive] {
    if (auto* dialog = dynamic_cast<T*>(QApplication::activeModalWidget())) {
      timer->stop();
      timer->deleteLater();
      drive(dialog);
    }
  });
  timer->start();
}

// The child of that object name; the test ends when there is none.
template <typename T>
T* Child(QWidget* parent, const char* name) {
  T* child = parent->findChild<T*>(QString::fromUtf8(name));
  if (!child) qFatal("no child %s", name);
  return child;
}

// Grabs the widget into <build>/ui-shots/<name>.png and returns whether the image is usable:
// the widget's size and not a single colour.
inline bool SaveShot(QWidget& widget, const QString& name) {
  QImage image = widget.grab().toImage();
  QDir().mkpath(QStringLiteral(TOLMI_UI_SHOTS_DIR));
  image.save(QStringLiteral(TOLMI_UI_SHOTS_DIR "/") + name + QStringLiteral(".png"));
  if (image.isNull() || image.size() != widget.size() * widget.devicePixelRatio()) return false;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) != image.pixel(0, 0)) return true;
  return false;
}

// Copies data/samples/<sample> into folder; the path of its project file ("" when none).
inline std::filesystem::path CopySample(const std::string& sample,
                                        const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  fs::create_directories(folder);
  fs::copy(SourceDir() / "data" / "samples" / sample, folder,
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().extension() == ".stp") return entry.path();
  return {};
}

// The texts of actions, in order ("" for a separator).
inline QStringList Texts(const QList<QAction*>& actions) {
  QStringList out;
  for (QAction* a : actions) out << a->text();
  return out;
}

// Types text into the line edit of that name, replacing what it held (QTest types ASCII
// keys only; other characters arrive as typed text).
inline void Type(QWidget* parent, const char* name, const QString& text) {
  auto* edit = Child<QLineEdit>(parent, name);
  edit->clear();
  for (QChar c : text) {
    if (c.unicode() < 128)
      QTest::keyClick(edit, c.toLatin1());
    else
      edit->insert(c);
  }
}

// Every file below dir (relative name to bytes).
inline std::map<std::string, std::string> FilesBelow(const std::filesystem::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir))
    if (entry.is_regular_file())
      files[std::filesystem::relative(entry.path(), dir).string()] =
          ReadWholeFile(entry.path().string()).value_or("");
  return files;
}

// Makes the environment of a test run alike on every machine: the shipped data of
// this checkout and no system proxy. Call from initTestCase.
inline void PrepareUiTestEnvironment() {
  qputenv("TOLMI_DATA_DIR", TOLMI_SOURCE_DIR "/data");
  for (const char* name : {"http_proxy", "https_proxy", "ftp_proxy", "all_proxy", "HTTP_PROXY",
                           "HTTPS_PROXY", "FTP_PROXY", "ALL_PROXY", "BROWSER"})
    qunsetenv(name);
}

// The save time differs between the test clock and the CLI's real one.
inline std::string WithoutTime(std::string bytes) {
  const std::size_t at = bytes.find("TIME=");
  if (at != std::string::npos) bytes.erase(at, bytes.find('\n', at) - at);
  return bytes;
}

// A started session on a fresh home; withSample: data/samples/TeaShop copied in and open.
struct ShopHome {
  TestHome home;
  FakePrompter prompter;
  FakeClock clock{1764979200};
  FakeFileChooser chooser;
  RecordingLauncher launcher;
  AppSession session;
  std::filesystem::path project;

  explicit ShopHome(bool withSample) : session(home.path().string(), prompter, clock) {
    session.SetProxyStorePath((home / "settings.ini").string());
    if (!session.Start().ok()) qFatal("the home could not be prepared");
    if (!withSample) return;
    project = CopySample("TeaShop", home / "Projects" / "TeaShop");
    if (!session.Open(project.string()).ok()) qFatal("the sample store did not open");
  }
  std::string Bytes(const std::filesystem::path& path) const {
    return ReadWholeFile(path.string()).value_or("");
  }
  // The first node (display order) of that title.
  StoreNode* Node(const std::string& title) {
    StoreNode* found = nullptr;
    ForEachNode(session.project(), [&](StoreNode& n) {
      if (!found && n.title == title) found = &n;
    });
    return found;
  }
  // The first node of the kind, inside a shelf or list or not.
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

// A home and a parent window for the project windows.
struct SampleShop : ShopHome {
  QWidget window;
  ui::WindowContext ctx;

  explicit SampleShop(bool withSample = true)
      : ShopHome(withSample), ctx{&window, session, prompter, chooser, launcher} {
    window.resize(800, 600);
  }
};

// The main window on a home.
struct WindowShop : ShopHome {
  std::unique_ptr<ui::MainWindow> window;

  explicit WindowShop(bool withSample = true) : ShopHome(withSample) {
    window = std::make_unique<ui::MainWindow>(session, prompter, chooser, launcher);
    window->resize(1000, 700);
  }
  // Shows the window and waits until it has the focus.
  void Show() {
    window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window.get())) qWarning("the window did not become active");
  }
  QAction* Action(const QString& name) const { return window->findChild<QAction*>(name); }
  QAction* Action(int id) const { return Action(QStringLiteral("action%1").arg(id)); }
  // Triggers the menu-bar action of id; false when it is missing or disabled.
  bool Trigger(int id) const {
    QAction* a = Action(id);
    if (!a || !a->isEnabled()) return false;
    a->trigger();
    return true;
  }
};

}  // namespace tolmi::test
