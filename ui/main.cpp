// The desktop program tolmi.
#include <QApplication>
#include <string>
#include <vector>

#include "ui/AppMain.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tolmi PRO"));
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return tolmi::ui::RunDesktopProgram(args);
}
