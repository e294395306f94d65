#include "ui/FileChooser.h"

#include <QFileDialog>

namespace tolmi::ui {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// Qt separates the patterns of one filter by spaces: "(*.htm;*.html)" lists both.
QString Filter(const std::string& s) {
  QString filter = Q(s);
  bool inPatterns = false;
  for (QChar& c : filter) {
    if (c == QLatin1Char('(')) inPatterns = true;
    if (c == QLatin1Char(')')) inPatterns = false;
    if (inPatterns && c == QLatin1Char(';')) c = QLatin1Char(' ');
  }
  return filter;
}

}  // namespace

std::string DialogFileChooser::OpenFile(const FileQuery& query) {
  return QFileDialog::getOpenFileName(parent_, Q(query.title), Q(query.start),
                                      Filter(query.filter))
      .toStdString();
}

std::string DialogFileChooser::SaveFile(const FileQuery& query) {
  return QFileDialog::getSaveFileName(parent_, Q(query.title), Q(query.start),
                                      Filter(query.filter))
      .toStdString();
}

std::string DialogFileChooser::ChooseFolder(const FileQuery& query) {
  return QFileDialog::getExistingDirectory(parent_, Q(query.title), Q(query.start))
      .toStdString();
}

}  // namespace tolmi::ui
