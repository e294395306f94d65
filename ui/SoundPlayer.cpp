#include "ui/SoundPlayer.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace tolmi::ui {

void SystemSoundPlayer::Play(const std::string& file) {
  const QString path = QString::fromStdString(file);
  if (!QFileInfo(path).isFile()) return;
  for (const char* program : {"pw-play", "paplay", "aplay"}) {
    const QString found = QStandardPaths::findExecutable(program);
    if (found.isEmpty()) continue;
    QProcess::startDetached(found, {path});
    return;
  }
}

SoundPlayer& ProgramSoundPlayer() {
  static SystemSoundPlayer player;
  return player;
}

}  // namespace tolmi::ui
