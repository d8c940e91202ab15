#include "VrSpectrum.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace kalvist {

namespace {

constexpr int kMargin = 2;   // around the columns
constexpr int kSegment = 3;  // height of one lamp segment
constexpr int kSegmentGap = 1;

}  // namespace

TVrSpectrum::TVrSpectrum(int columns, QWidget* parent)
    : QWidget(parent), values_(static_cast<size_t>(std::max(1, columns)), 0.0) {
  zoneColors_ = {TSpectrumZoneColors{Qt::green, Qt::darkGreen},
                 TSpectrumZoneColors{Qt::yellow, Qt::darkYellow},
                 TSpectrumZoneColors{Qt::red, Qt::darkRed}};
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void TVrSpectrum::SetValue(int column, double value) {
  if (column < 0 || column >= Columns()) return;
  const double v = std::isnan(value) ? 0 : std::clamp(value, 0.0, max_);
  double& slot = values_[static_cast<size_t>(column)];
  if (v == slot) return;
  slot = v;
  update(ColumnLeft(column), 0, barWidth_, height());
}

void TVrSpectrum::SetZones(double size1, double size2) {
  const double a = std::clamp(size1, 0.0, max_);
  const double b = std::clamp(size2, 0.0, max_ - a);
  if (zoneSizes_[0] == a && zoneSizes_[1] == b) return;
  zoneSizes_ = {a, b, max_ - a - b};
  RenderBars();
  update();
}

void TVrSpectrum::SetBarWidth(int width) {
  barWidth_ = std::max(1, width);
  RenderBars();
  update();
}

int TVrSpectrum::Spacing() const {
  const int free = width() - 2 * kMargin - Columns() * barWidth_;
  return std::max(1, Columns() > 1 ? free / (Columns() - 1) : 0);
}

int TVrSpectrum::ColumnLeft(int column) const {
  return kMargin + column * (barWidth_ + Spacing());
}

QColor TVrSpectrum::SegmentColor(double value, bool lit) const {
  const int zone = value < zoneSizes_[0] ? 0 : value < zoneSizes_[0] + zoneSizes_[1] ? 1 : 2;
  return lit ? zoneColors_[static_cast<size_t>(zone)].Lit
             : zoneColors_[static_cast<size_t>(zone)].Unlit;
}

int TVrSpectrum::LitHeight(double value) const {
  const int span = height() - 2 * kMargin;
  return static_cast<int>(std::lround(value / max_ * span));
}

void TVrSpectrum::RenderBars() {
  const int h = height();
  if (h <= 0 || barWidth_ <= 0) return;
  lit_ = QPixmap(barWidth_, h);
  unlit_ = QPixmap(barWidth_, h);
  lit_.fill(Qt::black);
  unlit_.fill(Qt::black);
  QPainter litPainter(&lit_);
  QPainter unlitPainter(&unlit_);
  const int span = h - 2 * kMargin;
  for (int bottom = h - kMargin; bottom > kMargin; bottom -= kSegment + kSegmentGap) {
    const int top = std::max(kMargin, bottom - kSegment);
    // The zone of a segment is that of its middle.
    const double value = (h - kMargin - (top + bottom) / 2.0) / span * max_;
    litPainter.fillRect(0, top, barWidth_, bottom - top, SegmentColor(value, true));
    unlitPainter.fillRect(0, top, barWidth_, bottom - top, SegmentColor(value, false));
  }
}

void TVrSpectrum::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  RenderBars();
}

void TVrSpectrum::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  painter.fillRect(event->rect(), Qt::black);
  const int h = height();
  for (int column = 0; column < Columns(); ++column) {
    const int x = ColumnLeft(column);
    if (x > event->rect().right() || x + barWidth_ < event->rect().left()) continue;
    const int lit = LitHeight(values_[static_cast<size_t>(column)]);
    const int litTop = h - kMargin - lit;
    painter.drawPixmap(x, 0, unlit_, 0, 0, barWidth_, litTop);
    painter.drawPixmap(x, litTop, lit_, 0, litTop, barWidth_, h - litTop);
  }
}

}  // namespace kalvist
