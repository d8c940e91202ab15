#include "Icons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <functional>

namespace kalvist {

namespace {

// Draws on a 24 x 24 grid at every size the icon is asked for.
QIcon Painted(const std::function<void(QPainter&)>& draw) {
  QIcon icon;
  for (const int size : {16, 24, 32, 48}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 24.0, size / 24.0);
    draw(painter);
    icon.addPixmap(pixmap);
  }
  return icon;
}

// A plug: body with two pins, cable leaving at `cableEnd`.
void Plug(QPainter& painter, const QColor& colour, qreal x) {
  painter.setPen(QPen(colour.darker(150), 1.2));
  painter.setBrush(colour);
  painter.drawRoundedRect(QRectF(x, 8, 6, 8), 1.5, 1.5);
}

}  // namespace

QIcon ApplicationIcon() {
  return Painted([](QPainter& p) {
    p.setPen(QPen(QColor(30, 60, 110), 1.5));
    p.setBrush(QColor(80, 160, 208));
    p.drawEllipse(QRectF(1.5, 1.5, 21, 21));
    p.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    // A knock: a sharp spike on a flat line.
    const QPointF wave[] = {{4, 13}, {8, 13}, {10, 6}, {12, 19}, {14, 10}, {16, 13}, {20, 13}};
    p.drawPolyline(wave, 7);
  });
}

QIcon ConnectIcon() {
  return Painted([](QPainter& p) {
    const QColor green(40, 150, 60);
    p.setPen(QPen(green.darker(130), 2));
    p.drawLine(QPointF(1, 12), QPointF(6, 12));
    p.drawLine(QPointF(18, 12), QPointF(23, 12));
    Plug(p, green, 6);
    Plug(p, green, 12);
  });
}

QIcon DisconnectIcon() {
  return Painted([](QPainter& p) {
    const QColor red(190, 50, 40);
    p.setPen(QPen(red.darker(130), 2));
    p.drawLine(QPointF(1, 12), QPointF(4, 12));
    p.drawLine(QPointF(20, 12), QPointF(23, 12));
    Plug(p, red, 4);
    Plug(p, red, 14);
  });
}

QIcon PasswordIcon(QChar badge) {
  return Painted([badge](QPainter& p) {
    const QColor gold(210, 160, 30);
    p.setPen(QPen(gold.darker(160), 1.2));
    p.setBrush(gold);
    QPainterPath key;
    key.addEllipse(QRectF(1.5, 6, 10, 10));
    key.addRect(QRectF(10, 9.5, 12, 3));
    key.addRect(QRectF(17, 12, 2.5, 4));
    key.addRect(QRectF(20, 12, 2, 3));
    p.drawPath(key.simplified());
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(4, 9, 3.5, 3.5));
    if (badge.isNull()) return;
    p.setPen(Qt::NoPen);
    p.setBrush(badge == 'A' ? QColor(190, 40, 40) : QColor(40, 90, 190));
    p.drawEllipse(QRectF(12, 12, 12, 12));
    QFont font = p.font();
    font.setPixelSize(10);
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(12, 12, 12, 12), Qt::AlignCenter, badge);
  });
}

}  // namespace kalvist
