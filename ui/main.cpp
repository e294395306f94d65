// The desktop program tolmi.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tolmi PRO"));
  QMainWindow window;
  window.setWindowTitle(QStringLiteral("Tolmi PRO - "));
  window.show();
  return app.exec();
}
