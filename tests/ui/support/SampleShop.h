// A fresh home with the sample store open through an AppSession, the fakes the
// project windows take, and helpers to drive modal windows by their object names.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "app/AppSession.h"
#include "tests/support/FakePrompter.h"
#include "tests/support/TestHome.h"
#include "tests/ui/support/FakeFileChooser.h"
#include "tests/ui/support/UiTestSupport.h"
#include "ui/ProjectWindows.h"
#include "util/Browser.h"
#include "util/Files.h"

namespace tolmi::test {

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

// Makes the environment of a test run alike on every machine: the shipped data of
// this checkout and no system proxy. Call from initTestCase.
inline void PrepareUiTestEnvironment() {
  qputenv("TOLMI_DATA_DIR", TOLMI_SOURCE_DIR "/data");
  for (const char* name : {"http_proxy", "https_proxy", "ftp_proxy", "all_proxy", "HTTP_PROXY",
                           "HTTPS_PROXY", "FTP_PROXY", "ALL_PROXY", "BROWSER"})
    qunsetenv(name);
}

// A home with data/samples/TeaShop open, the fakes, and a parent window.
struct SampleShop {
  TestHome home;
  FakePrompter prompter;
  FakeClock clock{1764979200};
  FakeFileChooser chooser;
  RecordingLauncher launcher;
  AppSession session;
  QWidget window;
  ui::WindowContext ctx;
  std::filesystem::path project;

  SampleShop()
      : session(home.path().string(), prompter, clock),
        ctx{&window, session, prompter, chooser, launcher} {
    session.SetProxyStorePath((home / "settings.ini").string());
    if (!session.Start().ok()) qFatal("the home could not be prepared");
    project = CopySample("TeaShop", home / "Projects" / "TeaShop");
    if (!session.Open(project.string()).ok()) qFatal("the sample store did not open");
    window.resize(800, 600);
  }
  std::string Bytes(const std::filesystem::path& path) const {
    return ReadWholeFile(path.string()).value_or("");
  }
};

}  // namespace tolmi::test
