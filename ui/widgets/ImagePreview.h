// A picture preview: shows a node's IMAGE scaled to fit, keeping its proportions.
// JPEG, PNG, GIF and BMP go through Qt's image readers, SVG through QSvgRenderer.
// A missing or unreadable file, or an address on the web, shows a clear text instead.
#pragma once

#include <QImage>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <memory>

class QSvgRenderer;

namespace tolmi::ui {

class ImagePreview : public QWidget {
  Q_OBJECT
 public:
  explicit ImagePreview(QWidget* parent = nullptr);
  ~ImagePreview() override;

  // Shows the picture at path; a relative path is taken below the first of
  // baseDirs that has it. An empty path clears the preview.
  void SetImage(const QString& path, const QStringList& baseDirs = {});

  // What is shown: a picture, or the placeholder text (for tests and tooltips).
  bool HasPicture() const { return !image_.isNull() || svg_ != nullptr; }
  const QString& PlaceholderText() const { return placeholder_; }

  QSize sizeHint() const override { return {160, 120}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QImage image_;
  std::unique_ptr<QSvgRenderer> svg_;
  QString placeholder_;
};

}  // namespace tolmi::ui
