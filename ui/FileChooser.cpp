#include "ui/FileChooser.h"

#include <QFileDialog>

namespace tolmi::ui {

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

std::string DialogFileChooser::OpenFile(const FileQuery& query) {
  return QFileDialog::getOpenFileName(parent_, Q(query.title), Q(query.start), Q(query.filter))
      .toStdString();
}

std::string DialogFileChooser::SaveFile(const FileQuery& query) {
  return QFileDialog::getSaveFileName(parent_, Q(query.title), Q(query.start), Q(query.filter))
      .toStdString();
}

std::string DialogFileChooser::ChooseFolder(const FileQuery& query) {
  return QFileDialog::getExistingDirectory(parent_, Q(query.title), Q(query.start))
      .toStdString();
}

}  // namespace tolmi::ui
