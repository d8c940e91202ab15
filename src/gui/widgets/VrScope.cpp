#include "VrScope.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace kalvist {

TVrScope::TVrScope(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  Clear(41000);
}

void TVrScope::Clear(unsigned sampleRate) {
  window_ =
      std::max(2, static_cast<int>(std::lround(sampleRate * SecondsPerDivision * kDivisionsX)));
  // Two screens: a trigger is looked for in the older one.
  ring_.assign(static_cast<size_t>(2 * window_), TSample{0, 0});
  head_ = 0;
  filled_ = 0;
  update();
}

void TVrScope::Add(double sound, double sync) {
  ring_[head_] = {static_cast<float>(sound), static_cast<float>(sync)};
  head_ = (head_ + 1) % ring_.size();
  filled_ = std::min(filled_ + 1, ring_.size());
}

const TVrScope::TSample& TVrScope::Back(int age) const {
  return ring_[(head_ + ring_.size() - static_cast<size_t>(age)) % ring_.size()];
}

int TVrScope::TriggerStart() const {
  const float level = static_cast<float>(kSyncHigh / 2);
  const int oldest = static_cast<int>(filled_);
  for (int age = window_; age < oldest; ++age) {
    if (Back(age).Sync >= level && Back(age + 1).Sync < level) return age;
  }
  return window_;
}

void TVrScope::Trace(int back, float TSample::*channel, double scale, double zero,
                     std::vector<QPointF>& points) const {
  points.clear();
  const int shown = std::min(window_, static_cast<int>(filled_));
  const double dx = static_cast<double>(width() - 1) / window_;
  const double dy = height() / static_cast<double>(kDivisionsY) / scale;
  // At most two points per pixel column: the lowest and highest sample in it.
  int column = -1;
  float low = 0, high = 0;
  for (int i = 0; i < shown; ++i) {
    const float v = Back(back - i).*channel;
    const int x = static_cast<int>(i * dx);
    if (x != column) {
      if (column >= 0) {
        points.emplace_back(column, zero - low * dy);
        if (high != low) points.emplace_back(column, zero - high * dy);
      }
      column = x;
      low = high = v;
    } else {
      low = std::min(low, v);
      high = std::max(high, v);
    }
  }
  if (column >= 0) points.emplace_back(column, zero - low * dy);
}

void TVrScope::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  painter.setPen(QColor(0x30, 0x50, 0x30));
  for (int i = 1; i < kDivisionsX; ++i) {
    const int x = i * width() / kDivisionsX;
    painter.drawLine(x, 0, x, height());
  }
  for (int i = 1; i < kDivisionsY; ++i) {
    const int y = i * height() / kDivisionsY;
    painter.drawLine(0, y, width(), y);
  }
  // A triggered screen starts one division before the edge, so that the rise shows.
  int back = TriggerStart();
  if (back != window_) back += window_ / kDivisionsX;
  back = std::min(back, static_cast<int>(filled_));
  const double division = height() / static_cast<double>(kDivisionsY);
  Trace(back, &TSample::Sound, kSoundPerDivision, height() / 2.0 - division, soundPoints_);
  Trace(back, &TSample::Sync, 1, height() - division / 2, syncPoints_);
  painter.setPen(SoundColor);
  painter.drawPolyline(soundPoints_.data(), static_cast<int>(soundPoints_.size()));
  painter.setPen(SyncColor);
  painter.drawPolyline(syncPoints_.data(), static_cast<int>(syncPoints_.size()));
  painter.setPen(Qt::gray);
  painter.drawText(rect().adjusted(4, 2, -4, -2), Qt::AlignTop | Qt::AlignRight,
                   QString("%1 s/div").arg(SecondsPerDivision));
}

}  // namespace kalvist
