// A dial meter: a black face with an arc scale (range, ticks, three colour zones), a
// needle and a caption of several lines (split at "|").
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <vector>

namespace kalvist {

class TVrMeter : public QWidget {
 public:
  explicit TVrMeter(QWidget* parent = nullptr);

  // Called after the position has changed.
  std::function<void(TVrMeter& sender)> OnChange;

  double Position() const { return position_; }
  // Kept within the range; a value that is no number counts as the minimum.
  void SetPosition(double value);
  void SetZoneColors(const QColor& zone1, const QColor& zone2, const QColor& zone3);
  // Zone 1 spans `size1` from the minimum, zone 2 the next `size2`, zone 3 the rest;
  // both change in one repaint.
  void SetZones(double size1, double size2);
  double ZoneSize(int zone) const { return zoneSizes_.at(static_cast<size_t>(zone - 1)); }
  // Lines separated by "|".
  void SetCaption(const QString& caption);
  QString Caption() const { return caption_; }

  QSize sizeHint() const override { return {190, 128}; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct TTick {
    QLineF Line;
    QPointF LabelAt;  // centre of the label
    QString Label;
  };
  double AngleOf(double value) const;  // degrees, counter-clockwise from 3 o'clock
  QPointF PointAt(double angle, double radius) const;
  void Relayout();

  double min_ = 0;
  double max_ = 100;
  int ticks_ = 10;
  double position_ = 0;
  QColor needleColor_ = Qt::green;
  std::array<QColor, 3> zoneColors_{Qt::white, Qt::white, Qt::white};
  std::array<double, 3> zoneSizes_{0, 0, 100};
  QString caption_;
  QStringList captionLines_;
  // Layout for the current size.
  QPointF pivot_;
  double radius_ = 0;
  std::vector<TTick> ticksLayout_;
};

}  // namespace kalvist
