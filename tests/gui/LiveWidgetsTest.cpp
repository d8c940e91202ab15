#include <QImage>
#include <QtTest>
#include <cmath>

#include "VrLeds.h"
#include "VrMeter.h"
#include "VrScope.h"
#include "VrSpectrum.h"
#include "vrLineMeter.h"

using namespace kalvist;

namespace {

TvrLineMeterScale MainWindowScale() {
  TvrLineMeterScale scale;  // Min 0, Max 100, Step 20, SmallStep 10, Offset 5
  scale.Color = Qt::green;
  return scale;
}

QColor PixelAt(QWidget& widget, int x, int y) {
  return widget.grab().toImage().pixelColor(x, y);
}

}  // namespace

class LiveWidgetsTest : public QObject {
  Q_OBJECT

 private slots:
  void LineMeterValueToY_data();
  void LineMeterValueToY();
  void LineMeterTicksAndLabels();
  void LineMeterLabelFormat();
  void LineMeterPeaksFollowTheValue();
  void LineMeterPaintsClampedMarkersAtTheEnds();
  void LineMeterEmptyBandWhenLimitsAreCrossed();
  void DialMeterKeepsPositionInRangeAndReports();
  void DialMeterZonesShareTheRange();
  void SpectrumColoursByZoneLitAndUnlit();
  void SpectrumKeepsValuesInRange();
  void LedPanelSeparatorBetweenTheGroups();
  void ScopeTriggersOnTheLatestRisingSync();
};

void LiveWidgetsTest::LineMeterValueToY_data() {
  QTest::addColumn<double>("min");
  QTest::addColumn<double>("max");
  QTest::addColumn<int>("offset");
  QTest::addColumn<int>("height");
  QTest::addColumn<double>("value");
  QTest::addColumn<int>("y");
  // Scale length 200 between y = 5 and y = 205.
  QTest::newRow("min at the bottom end") << 0.0 << 100.0 << 5 << 210 << 0.0 << 205;
  QTest::newRow("max at the top end") << 0.0 << 100.0 << 5 << 210 << 100.0 << 5;
  QTest::newRow("middle") << 0.0 << 100.0 << 5 << 210 << 50.0 << 105;
  QTest::newRow("rounded to the nearest pixel") << 0.0 << 100.0 << 5 << 210 << 30.3 << 144;
  QTest::newRow("above max stays at the top") << 0.0 << 100.0 << 5 << 210 << 250.0 << 5;
  QTest::newRow("below min stays at the bottom") << 0.0 << 100.0 << 5 << 210 << -7.0 << 205;
  QTest::newRow("shifted scale") << 20.0 << 60.0 << 0 << 100 << 30.0 << 75;
  QTest::newRow("empty scale: the bottom end") << 50.0 << 50.0 << 5 << 210 << 70.0 << 205;
  QTest::newRow("no number: the bottom end") << 0.0 << 100.0 << 5 << 210 << std::nan("") << 205;
}

void LiveWidgetsTest::LineMeterValueToY() {
  QFETCH(double, min);
  QFETCH(double, max);
  QFETCH(int, offset);
  QFETCH(int, height);
  QFETCH(double, value);
  QFETCH(int, y);
  TvrLineMeterScale scale;
  scale.Min = min;
  scale.Max = max;
  scale.Offset = offset;
  QCOMPARE(LineMeterY(scale, height, value), y);
}

void LiveWidgetsTest::LineMeterTicksAndLabels() {
  const TLineMeterLayout layout = LayoutLineMeter(MainWindowScale(), 80, 210);
  QCOMPARE(layout.CentreX, 40);
  QCOMPARE(layout.Top, 5);
  QCOMPARE(layout.Bottom, 205);
  QCOMPARE(layout.MajorY, (std::vector<int>{205, 165, 125, 85, 45, 5}));
  QCOMPARE(layout.MinorY, (std::vector<int>{185, 165, 145, 125, 105, 85, 65, 45, 25}));
  // Min, Max, then the four between.
  QStringList texts;
  std::vector<int> ys;
  for (const TLineMeterLabel& label : layout.Labels) {
    texts << label.Text;
    ys.push_back(label.Y);
  }
  QCOMPARE(texts, (QStringList{"0", "100", "20", "40", "60", "80"}));
  QCOMPARE(ys, (std::vector<int>{205, 5, 165, 125, 85, 45}));

  TvrLineMeterScale uneven = MainWindowScale();
  uneven.Max = 90;  // 90 / 20 rounds to 5 divisions: inner ticks at 20, 40, 60, 80
  QCOMPARE(LineMeterMajorTicks(uneven), (std::vector<double>{0, 20, 40, 60, 80, 90}));
  uneven.Step = 0;
  QCOMPARE(LineMeterMajorTicks(uneven), (std::vector<double>{0, 90}));
}

void LiveWidgetsTest::LineMeterLabelFormat() {
  TvrLineMeterScale scale = MainWindowScale();
  QCOMPARE(LineMeterLabel(scale, 40), "40");
  scale.Decimals = 1;
  scale.FormatText = "%s %";
  QCOMPARE(LineMeterLabel(scale, 40), "40.0 %");
}

void LiveWidgetsTest::LineMeterPeaksFollowTheValue() {
  TvrLineMeter meter;
  meter.SetMarkerValue(TvrLineMeter::Value, 25);
  meter.SetMarkerValue(TvrLineMeter::PeakMin, 40);  // above the value: lowered to it
  QCOMPARE(meter.MarkerValue(TvrLineMeter::PeakMin), 25.0);
  meter.SetMarkerValue(TvrLineMeter::PeakMin, 20);
  meter.SetMarkerValue(TvrLineMeter::PeakMax, 30);
  meter.SetMarkerValue(TvrLineMeter::Value, 50);
  QCOMPARE(meter.MarkerValue(TvrLineMeter::PeakMax), 50.0);
  QCOMPARE(meter.MarkerValue(TvrLineMeter::PeakMin), 20.0);
  meter.SetMarkerValue(TvrLineMeter::Value, 10);
  QCOMPARE(meter.MarkerValue(TvrLineMeter::PeakMin), 10.0);
  QCOMPARE(meter.MarkerValue(TvrLineMeter::PeakMax), 50.0);
  // Any marker's change tracks again: a maximum set below the value is raised to it.
  meter.SetMarkerValue(TvrLineMeter::PeakMax, 5);
  QCOMPARE(meter.MarkerValue(TvrLineMeter::PeakMax), 10.0);
  meter.SetMarkerValue(TvrLineMeter::SetPoint, 70);
  QCOMPARE(meter.MarkerValue(TvrLineMeter::SetPoint), 70.0);
}

void LiveWidgetsTest::LineMeterPaintsClampedMarkersAtTheEnds() {
  TvrLineMeter meter;
  QPalette black = meter.palette();
  black.setColor(QPalette::Window, Qt::black);
  meter.setPalette(black);
  meter.SetScale(MainWindowScale());
  meter.resize(80, 210);
  meter.SetMarkerValue(TvrLineMeter::PeakMin, -50);  // red, below the scale
  meter.SetMarkerValue(TvrLineMeter::Value, 500);    // white, above; raises PeakMax too
  // Right of the centre line only markers are drawn.
  QCOMPARE(PixelAt(meter, 45, 5), QColor(Qt::white));
  QCOMPARE(PixelAt(meter, 45, 205), QColor(Qt::red));
  QCOMPARE(PixelAt(meter, 45, 105), QColor(Qt::black));
}

void LiveWidgetsTest::LineMeterEmptyBandWhenLimitsAreCrossed() {
  TvrLineMeter meter;
  meter.SetScale(MainWindowScale());
  meter.resize(80, 210);
  meter.SetRegion(0, {Qt::darkGreen, 1, 80, true});
  meter.SetRegion(1, {Qt::darkYellow, 80, 20, true});  // L above S
  meter.SetRegion(2, {Qt::darkRed, 20, 100, true});
  // Inside the band column (x = 32..39), away from the ticks: green and maroon, no olive.
  QCOMPARE(PixelAt(meter, 36, LineMeterY(meter.Scale(), 210, 13)), QColor(Qt::darkGreen));
  QCOMPARE(PixelAt(meter, 36, LineMeterY(meter.Scale(), 210, 93)), QColor(Qt::darkRed));
  const QImage image = meter.grab().toImage();
  for (int y = 0; y < 210; ++y) QVERIFY(image.pixelColor(36, y) != QColor(Qt::darkYellow));
}

void LiveWidgetsTest::DialMeterKeepsPositionInRangeAndReports() {
  TVrMeter meter;
  QList<double> reported;
  meter.OnChange = [&](TVrMeter& m) { reported << m.Position(); };
  meter.SetPosition(42);
  meter.SetPosition(42);  // no change, no report
  meter.SetPosition(255);
  meter.SetPosition(-3);
  meter.SetPosition(std::nan(""));
  QCOMPARE(reported, (QList<double>{42, 100, 0}));
}

void LiveWidgetsTest::DialMeterZonesShareTheRange() {
  TVrMeter meter;
  meter.SetZones(29, 51);
  QCOMPARE(meter.ZoneSize(1), 29.0);
  QCOMPARE(meter.ZoneSize(2), 51.0);
  QCOMPARE(meter.ZoneSize(3), 20.0);
  meter.SetZones(80, 0);
  QCOMPARE(meter.ZoneSize(2), 0.0);
  QCOMPARE(meter.ZoneSize(3), 20.0);
  meter.SetZones(150, 40);  // no more than the range
  QCOMPARE(meter.ZoneSize(1), 100.0);
  QCOMPARE(meter.ZoneSize(2), 0.0);
  QCOMPARE(meter.ZoneSize(3), 0.0);
}

void LiveWidgetsTest::SpectrumColoursByZoneLitAndUnlit() {
  TVrSpectrum spectrum(20);
  spectrum.resize(400, 104);
  spectrum.SetBarWidth(16);
  spectrum.SetZones(20, 60);
  QCOMPARE(spectrum.SegmentColor(10, true), QColor(Qt::green));
  QCOMPARE(spectrum.SegmentColor(10, false), QColor(Qt::darkGreen));
  QCOMPARE(spectrum.SegmentColor(50, true), QColor(Qt::yellow));
  QCOMPARE(spectrum.SegmentColor(50, false), QColor(Qt::darkYellow));
  QCOMPARE(spectrum.SegmentColor(90, true), QColor(Qt::red));
  QCOMPARE(spectrum.SegmentColor(90, false), QColor(Qt::darkRed));

  spectrum.SetValue(3, 60);
  const QImage image = spectrum.grab().toImage();
  const int x = spectrum.ColumnLeft(3) + 8;
  const int span = 100;  // height less the two 2-pixel margins
  auto yOf = [&](double value) { return 102 - static_cast<int>(value / 100 * span); };
  // Lamp segments are 3 pixels with 1-pixel gaps; look for the colour near the level.
  auto seen = [&](int column, double value, const QColor& colour) {
    for (int dy = -2; dy <= 2; ++dy) {
      if (image.pixelColor(column, yOf(value) + dy) == colour) return true;
    }
    return false;
  };
  QVERIFY(seen(x, 10, Qt::green));
  QVERIFY(seen(x, 50, Qt::yellow));
  QVERIFY(seen(x, 90, Qt::darkRed));                             // above the column's value
  QVERIFY(seen(spectrum.ColumnLeft(4) + 8, 10, Qt::darkGreen));  // a column at 0
}

void LiveWidgetsTest::SpectrumKeepsValuesInRange() {
  TVrSpectrum spectrum(20);
  spectrum.SetValue(0, 255);
  spectrum.SetValue(1, -5);
  spectrum.SetValue(2, std::nan(""));
  spectrum.SetValue(20, 50);  // no such column
  spectrum.SetValue(-1, 50);
  QCOMPARE(spectrum.Value(0), 100.0);
  QCOMPARE(spectrum.Value(1), 0.0);
  QCOMPARE(spectrum.Value(2), 0.0);
}

void LiveWidgetsTest::LedPanelSeparatorBetweenTheGroups() {
  TLedPanel panel;
  std::vector<TVrLamp*> lamps;
  for (int i = 0; i < 8; ++i) {
    lamps.push_back(new TVrLamp(QString(" LAMP %1").arg(i), i < 3 ? Qt::green : Qt::red, &panel));
  }
  panel.SetLamps(lamps, 3);
  panel.resize(170, 128);
  panel.LayoutDiodes();
  const int reductionBottom = lamps[2]->geometry().bottom() + 1;
  const int lowRpmTop = lamps[3]->geometry().top();
  QVERIFY(reductionBottom < lowRpmTop);
  QCOMPARE(panel.SeparatorY(), (reductionBottom + lowRpmTop) / 2);
  for (size_t i = 1; i < lamps.size(); ++i) {
    QVERIFY(lamps[i]->geometry().top() > lamps[i - 1]->geometry().top());
  }
  QVERIFY(lamps.back()->geometry().bottom() < panel.height());
  // "STATUS" centred in the space above the separator.
  const QRect status = panel.StatusLabel()->geometry();
  QVERIFY(std::abs((status.top() + status.bottom()) / 2 - panel.SeparatorY() / 2) <= 2);
  QVERIFY(panel.ErrorsLabel()->geometry().top() > panel.SeparatorY());

  QCOMPARE(lamps[0]->ShownColor(), QColor(Qt::black));
  lamps[0]->SetLit(true);
  lamps[5]->SetLit(true);
  QCOMPARE(lamps[0]->ShownColor(), QColor(Qt::green));
  QCOMPARE(lamps[5]->ShownColor(), QColor(Qt::red));
}

void LiveWidgetsTest::ScopeTriggersOnTheLatestRisingSync() {
  TVrScope scope;
  scope.Clear(41000);
  const int window = scope.WindowSamples();
  QCOMPARE(window, 4100);  // ten divisions of 0.01 s
  for (int i = 0; i < 3 * window; ++i) scope.Add(0, 0);
  QCOMPARE(scope.TriggerStart(), window);  // no edge: the newest screen
  // Two pulses; the later one still leaves a whole screen after it.
  auto pulse = [&] {
    for (int i = 0; i < 100; ++i) scope.Add(0.5, TVrScope::kSyncHigh);
  };
  pulse();
  for (int i = 0; i < 500; ++i) scope.Add(0, 0);
  pulse();
  for (int i = 0; i < window + 250; ++i) scope.Add(0, 0);
  QCOMPARE(scope.TriggerStart(), window + 250 + 100);
  // A pulse too recent for a whole screen after it does not count.
  pulse();
  QCOMPARE(scope.TriggerStart(), window + 250 + 100 + 100);
}

QTEST_MAIN(LiveWidgetsTest)
#include "LiveWidgetsTest.moc"
