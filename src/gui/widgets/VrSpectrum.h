// A bar spectrum: columns of stacked lamp segments; each segment takes the colour of
// its zone (0..zone 1, the next zone 2, the rest zone 3), bright when the column's value
// reaches it and dark otherwise.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>
#include <array>
#include <vector>

namespace kalvist {

struct TSpectrumZoneColors {
  QColor Lit;
  QColor Unlit;
};

class TVrSpectrum : public QWidget {
 public:
  explicit TVrSpectrum(int columns, QWidget* parent = nullptr);

  int Columns() const { return static_cast<int>(values_.size()); }
  // Kept within 0..Max; a column outside the spectrum is ignored.
  void SetValue(int column, double value);
  double Value(int column) const { return values_.at(static_cast<size_t>(column)); }
  // Zone 1 spans `size1` from 0, zone 2 the next `size2`, zone 3 the rest; one repaint.
  void SetZones(double size1, double size2);
  double ZoneSize(int zone) const { return zoneSizes_.at(static_cast<size_t>(zone - 1)); }
  void SetBarWidth(int width);
  int BarWidth() const { return barWidth_; }
  // The column's horizontal extent in this widget.
  int ColumnLeft(int column) const;
  // The colour of the segment around `value`, lit or not.
  QColor SegmentColor(double value, bool lit) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  int Spacing() const;
  int LitHeight(double value) const;
  void RenderBars();  // the two pictures the columns are cut from

  std::vector<double> values_;
  double max_ = 100;
  std::array<double, 3> zoneSizes_{0, 0, 100};
  std::array<TSpectrumZoneColors, 3> zoneColors_;
  int barWidth_ = 16;
  QPixmap lit_;
  QPixmap unlit_;
};

}  // namespace kalvist
