// The vertical bar meter: a scale with ticks and numbered labels, three colour bands and
// four markers (average, minimum, maximum, running peak). Where everything sits is
// worked out by plain functions, outside painting, so that it can be checked as numbers.
#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QWidget>
#include <array>
#include <vector>

namespace kalvist {

struct TvrLineMeterScale {
  double Min = 0;
  double Max = 100;
  double Step = 20;       // labelled major ticks
  double SmallStep = 10;  // minor ticks
  int HeightMax = 14;     // length of major ticks
  int HeightMin = 8;      // minor ticks, band width, half-length of line markers
  int Offset = 5;         // margin between the control's edge and the scale's end
  int Decimals = 0;
  QString FormatText = "%s";
  QColor Color = Qt::green;
  bool Visible = true;
};

struct TvrRegion {
  QColor Color;
  double FromValue = 0;
  double ToValue = 0;
  bool Visible = true;
};

enum class TvrIndicatorShape { voLine, voTriangle };

struct TVrLiniarIndicator {
  double Value = 0;
  TvrIndicatorShape Shape = TvrIndicatorShape::voLine;
  QColor Color;
  bool Visible = true;
};

// The y of a value on a control `height` pixels high: Min at the bottom end, Max at the
// top end; values beyond the ends stay at the ends.
int LineMeterY(const TvrLineMeterScale& scale, int height, double value);
// The values of the major ticks (both ends and the inner ones, in ascending order) and
// of the inner minor ticks.
std::vector<double> LineMeterMajorTicks(const TvrLineMeterScale& scale);
std::vector<double> LineMeterMinorTicks(const TvrLineMeterScale& scale);
// FormatText with the number written with Decimals decimals.
QString LineMeterLabel(const TvrLineMeterScale& scale, double value);

struct TLineMeterLabel {
  QString Text;
  int Y;  // of its tick: the label is centred on it
};
// Everything of the scale that does not move with the markers, for one size.
struct TLineMeterLayout {
  int CentreX = 0;
  int Top = 0;
  int Bottom = 0;
  std::vector<int> MajorY;
  std::vector<int> MinorY;
  std::vector<TLineMeterLabel> Labels;  // Min, Max, then the inner ones
};
TLineMeterLayout LayoutLineMeter(const TvrLineMeterScale& scale, int width, int height);

class TvrLineMeter : public QWidget {
 public:
  enum TMarker { SetPoint = 0, PeakMin, PeakMax, Value };  // also the paint order

  explicit TvrLineMeter(QWidget* parent = nullptr);

  const TvrLineMeterScale& Scale() const { return scale_; }
  void SetScale(const TvrLineMeterScale& scale);
  const TvrRegion& Region(int index) const { return regions_.at(static_cast<size_t>(index)); }
  void SetRegion(int index, const TvrRegion& region);
  void SetRegionRange(int index, double fromValue, double toValue);
  // Every change of a marker's value raises PeakMax to Value or lowers PeakMin to it.
  void SetMarkerValue(TMarker marker, double value);
  double MarkerValue(TMarker marker) const { return markers_[marker].Value; }
  bool ShowRegions = true;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void TrackPeaks();
  void Relayout();
  void PaintMarker(QPainter& painter, const TVrLiniarIndicator& marker) const;

  TvrLineMeterScale scale_;
  std::array<TvrRegion, 3> regions_;
  std::array<TVrLiniarIndicator, 4> markers_;
  TLineMeterLayout layout_;
  std::vector<int> labelWidths_;  // of the layout's labels, in the current font
};

}  // namespace kalvist
