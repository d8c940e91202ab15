#include "vrLineMeter.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace kalvist {

namespace {

// Ticks at Min + k × step for k = 1 .. n - 1, n = span / step rounded.
std::vector<double> InnerTicks(const TvrLineMeterScale& scale, double step) {
  std::vector<double> values;
  const double span = scale.Max - scale.Min;
  if (step <= 0 || span <= 0) return values;
  const long long n = std::llround(span / step);
  for (long long k = 1; k < n; ++k) values.push_back(scale.Min + static_cast<double>(k) * step);
  return values;
}

}  // namespace

int LineMeterY(const TvrLineMeterScale& scale, int height, double value) {
  const int length = height - 2 * scale.Offset;
  const double span = scale.Max - scale.Min;
  double f = span > 0 ? (value - scale.Min) / span : 0;
  if (!(f > 0)) f = 0;  // also a value that is no number
  if (f > 1) f = 1;
  const int p = static_cast<int>(std::lround(f * length));
  return height - scale.Offset - p;
}

std::vector<double> LineMeterMajorTicks(const TvrLineMeterScale& scale) {
  std::vector<double> values{scale.Min};
  const std::vector<double> inner = InnerTicks(scale, scale.Step);
  values.insert(values.end(), inner.begin(), inner.end());
  values.push_back(scale.Max);
  return values;
}

std::vector<double> LineMeterMinorTicks(const TvrLineMeterScale& scale) {
  return InnerTicks(scale, scale.SmallStep);
}

QString LineMeterLabel(const TvrLineMeterScale& scale, double value) {
  QString text = scale.FormatText;
  return text.replace("%s", QString::number(value, 'f', std::max(0, scale.Decimals)));
}

TLineMeterLayout LayoutLineMeter(const TvrLineMeterScale& scale, int width, int height) {
  TLineMeterLayout layout;
  layout.CentreX = width / 2;
  layout.Top = scale.Offset;
  layout.Bottom = height - scale.Offset;
  const std::vector<double> majors = LineMeterMajorTicks(scale);
  for (const double v : majors) layout.MajorY.push_back(LineMeterY(scale, height, v));
  for (const double v : LineMeterMinorTicks(scale)) {
    layout.MinorY.push_back(LineMeterY(scale, height, v));
  }
  // Min, Max, then the labels between, as they are painted.
  layout.Labels.push_back({LineMeterLabel(scale, scale.Min), layout.MajorY.front()});
  layout.Labels.push_back({LineMeterLabel(scale, scale.Max), layout.MajorY.back()});
  for (size_t i = 1; i + 1 < majors.size(); ++i) {
    layout.Labels.push_back({LineMeterLabel(scale, majors[i]), layout.MajorY[i]});
  }
  return layout;
}

TvrLineMeter::TvrLineMeter(QWidget* parent) : QWidget(parent) {
  markers_[SetPoint] = {0, TvrIndicatorShape::voTriangle, Qt::yellow, true};
  markers_[PeakMin] = {0, TvrIndicatorShape::voLine, Qt::red, true};
  markers_[PeakMax] = {0, TvrIndicatorShape::voLine, Qt::yellow, true};
  markers_[Value] = {0, TvrIndicatorShape::voLine, Qt::white, true};
  setAutoFillBackground(true);
  Relayout();
}

void TvrLineMeter::SetScale(const TvrLineMeterScale& scale) {
  scale_ = scale;
  Relayout();
  update();
}

void TvrLineMeter::SetRegion(int index, const TvrRegion& region) {
  regions_.at(static_cast<size_t>(index)) = region;
  update();
}

void TvrLineMeter::SetRegionRange(int index, double fromValue, double toValue) {
  TvrRegion& region = regions_.at(static_cast<size_t>(index));
  region.FromValue = fromValue;
  region.ToValue = toValue;
  update();
}

void TvrLineMeter::SetMarkerValue(TMarker marker, double value) {
  markers_[marker].Value = value;
  TrackPeaks();
  update();
}

void TvrLineMeter::TrackPeaks() {
  const double value = markers_[Value].Value;
  if (value > markers_[PeakMax].Value) markers_[PeakMax].Value = value;
  if (value < markers_[PeakMin].Value) markers_[PeakMin].Value = value;
}

void TvrLineMeter::Relayout() {
  layout_ = LayoutLineMeter(scale_, width(), height());
  const QFontMetrics metrics(font());
  labelWidths_.clear();
  for (const TLineMeterLabel& label : layout_.Labels) {
    labelWidths_.push_back(metrics.horizontalAdvance(label.Text));
  }
}

void TvrLineMeter::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Relayout();
}

void TvrLineMeter::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::FontChange) Relayout();
}

void TvrLineMeter::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int cx = layout_.CentreX;
  if (ShowRegions) {
    for (const TvrRegion& region : regions_) {
      // A band whose end lies below its start (limits set the wrong way round) is empty.
      if (!region.Visible || region.ToValue <= region.FromValue) continue;
      const int y1 = LineMeterY(scale_, height(), region.ToValue);
      const int y2 = LineMeterY(scale_, height(), region.FromValue);
      painter.fillRect(QRect(QPoint(cx - scale_.HeightMin, y1), QPoint(cx - 1, y2 - 1)),
                       region.Color);
    }
  }
  if (scale_.Visible) {
    painter.setPen(scale_.Color);
    const int ascent = painter.fontMetrics().ascent();
    const int textHeight = painter.fontMetrics().height();
    for (size_t i = 0; i < layout_.Labels.size(); ++i) {
      const TLineMeterLabel& label = layout_.Labels[i];
      painter.drawText(cx - scale_.HeightMax - labelWidths_[i], label.Y - textHeight / 2 + ascent,
                       label.Text);
    }
    painter.drawLine(cx, layout_.Top, cx, layout_.Bottom);
    for (const int y : layout_.MajorY) painter.drawLine(cx - scale_.HeightMax, y, cx, y);
    for (const int y : layout_.MinorY) painter.drawLine(cx - scale_.HeightMin, y, cx, y);
  }
  for (const TVrLiniarIndicator& marker : markers_) PaintMarker(painter, marker);
}

void TvrLineMeter::PaintMarker(QPainter& painter, const TVrLiniarIndicator& marker) const {
  if (!marker.Visible) return;
  const int cx = layout_.CentreX;
  const int y = LineMeterY(scale_, height(), marker.Value);
  const int h = scale_.HeightMin;
  if (marker.Shape == TvrIndicatorShape::voLine) {
    painter.setPen(marker.Color);
    painter.drawLine(cx - h, y, cx + h, y);
    return;
  }
  const QPoint triangle[3] = {{cx - h, y}, {cx + h, y - 5}, {cx + h, y + 5}};
  painter.setPen(scale_.Color);
  painter.setBrush(marker.Color);
  painter.drawPolygon(triangle, 3);
  painter.setBrush(Qt::NoBrush);
}

}  // namespace kalvist
