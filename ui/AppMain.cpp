#include "ui/AppMain.h"

#include <QApplication>
#include <QMessageBox>

#include "app/AppSession.h"
#include "ui/EventLoopBridge.h"
#include "ui/FileChooser.h"
#include "ui/MainWindow.h"
#include "ui/QtPrompter.h"
#include "util/Browser.h"

namespace tolmi::ui {

ProgramArguments SplitProgramArguments(const std::vector<std::string>& args) {
  ProgramArguments out;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--home" && i + 1 < args.size()) {
      out.home = args[++i];
    } else if (a.rfind("--home=", 0) == 0) {
      out.home = a.substr(7);
    } else {
      out.words.push_back(a);
    }
  }
  return out;
}

int RunDesktopProgram(const std::vector<std::string>& args) {
  const ProgramArguments arguments = SplitProgramArguments(args);
  QtPrompter prompter;
  SystemClock clock;
  AppSession session(arguments.home, prompter, clock);
  Result<StartupResult> started = session.Start(ParseCommandLine(arguments.words));
  if (!started) {
    QMessageBox::critical(nullptr, QStringLiteral("Error"),
                          QString::fromStdString(started.status().message()));
    return 1;
  }
  if (started.value().exit) return started.value().exitCode;

  EventLoopBridge bridge(session.loop());
  DialogFileChooser chooser;
  SpawnBrowserLauncher launcher;
  MainWindow window(session, prompter, chooser, launcher);
  prompter.SetParent(&window);
  chooser.SetParent(&window);
  window.show();
  window.RunStartActions();
  if (!window.isVisible()) return 0;  // "-R" ended with its build window
  QApplication::exec();
  return 0;
}

}  // namespace tolmi::ui
