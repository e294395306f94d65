#include "tests/ui/support/UiTestSupport.h"

#include <QDir>
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include "tests/support/TestHome.h"

namespace tolmi::test {

bool SaveShot(QWidget& widget, const QString& name) {
  QImage image = widget.grab().toImage();
  QDir().mkpath(QStringLiteral(TOLMI_UI_SHOTS_DIR));
  image.save(QStringLiteral(TOLMI_UI_SHOTS_DIR "/") + name + QStringLiteral(".png"));
  if (image.isNull()) return false;
  if (image.size() != widget.size() * widget.devicePixelRatio()) return false;
  QRgb first = image.pixel(0, 0);
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x)
      if (image.pixel(x, y) != first) return true;
  return false;
}

std::filesystem::path CopySample(const std::string& sample, const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  fs::path from = SourceDir() / "data" / "samples" / sample;
  fs::create_directories(folder);
  fs::copy(from, folder, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  for (const auto& entry : fs::directory_iterator(folder))
    if (entry.path().extension() == ".stp") return entry.path();
  return {};
}

}  // namespace tolmi::test
