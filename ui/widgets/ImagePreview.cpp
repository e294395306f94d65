#include "ui/widgets/ImagePreview.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>

namespace tolmi::ui {

ImagePreview::ImagePreview(QWidget* parent) : QWidget(parent) {
  setMinimumSize(80, 60);
  SetImage({});
}

ImagePreview::~ImagePreview() = default;

void ImagePreview::SetImage(const QString& path, const QStringList& baseDirs) {
  image_ = QImage();
  svg_.reset();
  QString file = path;
  file.replace(QLatin1Char('\\'), QLatin1Char('/'));
  if (file.isEmpty()) {
    placeholder_ = tr("No picture");
  } else if (file.startsWith(QStringLiteral("http"), Qt::CaseInsensitive)) {
    placeholder_ = tr("Picture on the web:\n%1").arg(file);
  } else {
    if (QFileInfo(file).isRelative()) {
      for (const QString& dir : baseDirs) {
        const QString candidate = QDir(dir).filePath(file);
        if (QFileInfo::exists(candidate)) {
          file = candidate;
          break;
        }
      }
    }
    if (!QFileInfo::exists(file)) {
      placeholder_ = tr("Picture not found:\n%1").arg(path);
    } else if (file.endsWith(QStringLiteral(".svg"), Qt::CaseInsensitive)) {
      auto renderer = std::make_unique<QSvgRenderer>(file);
      if (renderer->isValid())
        svg_ = std::move(renderer);
      else
        placeholder_ = tr("Cannot read the picture:\n%1").arg(path);
    } else {
      QImageReader reader(file);
      reader.setAutoTransform(true);
      image_ = reader.read();
      if (image_.isNull()) placeholder_ = tr("Cannot read the picture:\n%1").arg(path);
    }
  }
  if (HasPicture()) placeholder_.clear();
  setToolTip(placeholder_.isEmpty() ? path : placeholder_);
  update();
}

void ImagePreview::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect area = rect().adjusted(2, 2, -2, -2);
  p.setPen(palette().color(QPalette::Mid));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  if (!HasPicture()) {
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, placeholder_);
    return;
  }
  QSizeF natural = svg_ ? QSizeF(svg_->defaultSize()) : QSizeF(image_.size());
  if (natural.isEmpty()) natural = area.size();
  // Scaled down to fit, never up beyond the picture's own size.
  QSizeF shown = natural;
  if (shown.width() > area.width() || shown.height() > area.height())
    shown.scale(area.size(), Qt::KeepAspectRatio);
  QRectF target(QPointF(0, 0), shown);
  target.moveCenter(QRectF(area).center());
  if (svg_) {
    svg_->render(&p, target);
  } else {
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(target, image_);
  }
}

}  // namespace tolmi::ui
