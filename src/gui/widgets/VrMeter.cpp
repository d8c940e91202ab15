#include "VrMeter.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace kalvist {

namespace {

constexpr double kStartAngle = 140;  // the minimum
constexpr double kSweep = 100;
constexpr double kBand = 5;  // width of the zone arc

}  // namespace

TVrMeter::TVrMeter(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  QFont small = font();
  small.setPointSize(7);
  setFont(small);
  Relayout();
}

void TVrMeter::SetPosition(double value) {
  double v = std::isnan(value) ? min_ : std::clamp(value, min_, max_);
  if (v == position_) return;
  position_ = v;
  update();
  if (OnChange) OnChange(*this);
}

void TVrMeter::SetZoneColors(const QColor& zone1, const QColor& zone2, const QColor& zone3) {
  zoneColors_ = {zone1, zone2, zone3};
  update();
}

void TVrMeter::SetZones(double size1, double size2) {
  const double span = max_ - min_;
  const double a = std::clamp(size1, 0.0, span);
  const double b = std::clamp(size2, 0.0, span - a);
  zoneSizes_ = {a, b, span - a - b};
  update();
}

void TVrMeter::SetCaption(const QString& caption) {
  caption_ = caption;
  captionLines_ = caption.split('|');
  update();
}

double TVrMeter::AngleOf(double value) const {
  const double f = std::clamp((value - min_) / (max_ - min_), 0.0, 1.0);
  return kStartAngle - f * kSweep;
}

QPointF TVrMeter::PointAt(double angle, double radius) const {
  const double rad = angle * std::numbers::pi / 180;
  return {pivot_.x() + radius * std::cos(rad), pivot_.y() - radius * std::sin(rad)};
}

void TVrMeter::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Relayout();
}

void TVrMeter::Relayout() {
  const double halfChord = std::sin((kSweep / 2) * std::numbers::pi / 180);
  radius_ = std::max(10.0, std::min((width() - 24) / (2 * halfChord), height() - 22.0));
  pivot_ = {width() / 2.0, 12 + radius_};
  ticksLayout_.clear();
  const double labelRadius = radius_ + 7;
  for (int k = 0; k <= ticks_; ++k) {
    const double value = min_ + (max_ - min_) * k / ticks_;
    const double angle = AngleOf(value);
    // Every other label where they would crowd.
    const bool labelled = ticks_ <= 5 || k % 2 == 0 || radius_ > 120;
    ticksLayout_.push_back({QLineF(PointAt(angle, radius_ - kBand - 5), PointAt(angle, radius_)),
                            PointAt(angle, labelRadius),
                            labelled ? QString::number(value, 'f', 0) : QString()});
  }
}

void TVrMeter::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF arc(pivot_.x() - radius_ + kBand / 2, pivot_.y() - radius_ + kBand / 2,
                   2 * radius_ - kBand, 2 * radius_ - kBand);
  double from = min_;
  for (size_t zone = 0; zone < zoneSizes_.size(); ++zone) {
    if (zoneSizes_[zone] <= 0) continue;
    const double to = from + zoneSizes_[zone];
    painter.setPen(QPen(zoneColors_[zone], kBand, Qt::SolidLine, Qt::FlatCap));
    const double a1 = AngleOf(from);
    painter.drawArc(arc, static_cast<int>(a1 * 16), static_cast<int>((AngleOf(to) - a1) * 16));
    from = to;
  }
  painter.setPen(QColor(0xC0, 0xC0, 0xC0));
  const QFontMetrics metrics = painter.fontMetrics();
  for (const TTick& tick : ticksLayout_) {
    painter.drawLine(tick.Line);
    if (tick.Label.isEmpty()) continue;
    const QRectF box(tick.LabelAt.x() - 15, tick.LabelAt.y() - metrics.height() / 2.0, 30,
                     metrics.height());
    painter.drawText(box, Qt::AlignCenter, tick.Label);
  }
  painter.setPen(Qt::white);
  const double lineHeight = metrics.height();
  double y = pivot_.y() - radius_ * 0.6;
  for (const QString& line : captionLines_) {
    painter.drawText(QRectF(0, y, width(), lineHeight), Qt::AlignHCenter, line);
    y += lineHeight;
  }
  painter.setPen(QPen(needleColor_, 2));
  // From above the caption to the scale, so that the caption stays readable.
  painter.drawLine(PointAt(AngleOf(position_), radius_ * 0.66),
                   PointAt(AngleOf(position_), radius_ - 2));
}

}  // namespace kalvist
