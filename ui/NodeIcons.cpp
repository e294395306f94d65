#include "ui/NodeIcons.h"

#include <QPainter>
#include <QPixmap>
#include <array>

namespace tolmi::ui {

namespace {

struct KindLook {
  QColor colour;
  QChar letter;
};

KindLook LookOf(NodeKind kind) {
  switch (kind) {
    case NodeKind::Category: return {QColor(0xd9, 0x8c, 0x1f), QLatin1Char('C')};
    case NodeKind::Product: return {QColor(0x2e, 0x7d, 0x32), QLatin1Char('P')};
    case NodeKind::Shelf: return {QColor(0x15, 0x65, 0xc0), QLatin1Char('S')};
    case NodeKind::List: return {QColor(0x6a, 0x1b, 0x9a), QLatin1Char('L')};
    case NodeKind::Page: return {QColor(0x45, 0x5a, 0x64), QLatin1Char('G')};
    case NodeKind::Link: return {QColor(0x00, 0x83, 0x8f), QLatin1Char('K')};
  }
  return {Qt::black, QLatin1Char('?')};
}

QIcon Draw(NodeKind kind, bool enabled) {
  const KindLook look = LookOf(kind);
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  QColor fill = enabled ? look.colour : QColor(0xb0, 0xb0, 0xb0);
  p.setPen(fill.darker(140));
  p.setBrush(fill);
  if (kind == NodeKind::Category)
    p.drawRoundedRect(QRectF(0.5, 2.5, 15, 12), 2, 2);  // a folder-like block
  else if (kind == NodeKind::Link)
    p.drawEllipse(QRectF(0.5, 0.5, 15, 15));
  else
    p.drawRect(QRectF(2.5, 0.5, 11, 15));  // a sheet
  QFont font = p.font();
  font.setPixelSize(10);
  font.setBold(true);
  p.setFont(font);
  p.setPen(Qt::white);
  p.drawText(QRect(0, 1, 16, 15), Qt::AlignCenter, QString(look.letter));
  if (!enabled) {
    p.setPen(QPen(QColor(0xc6, 0x28, 0x28), 2));
    p.drawLine(2, 14, 14, 2);
  }
  return QIcon(pixmap);
}

}  // namespace

QIcon NodeIcon(NodeKind kind, bool enabled) {
  static std::array<QIcon, 12> icons;
  const std::size_t i = static_cast<std::size_t>(kind) * 2 + (enabled ? 0 : 1);
  if (i >= icons.size()) return {};
  if (icons[i].isNull()) icons[i] = Draw(kind, enabled);
  return icons[i];
}

}  // namespace tolmi::ui
