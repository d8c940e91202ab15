// The live monitoring view: dial meters, status lamps, the bar meter, the spectrum with
// its channel labels and the one-minute history plot, fed by the live objects of each
// poll answer.
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <cmath>

#include "Main.h"

namespace kalvist {

namespace {

constexpr double kPlotMinute = 60;  // seconds shown on the time axis
constexpr double kScrollStep = 1;   // the time axis moves by whole seconds
constexpr int kPlotBuffer = 1024;   // points kept per plot channel
constexpr int kMaxLegendRows = 8;
constexpr int kTopRowHeight = 120;

// A trace colour per cylinder channel, distinct on white.
const QColor kTraceColors[kChannelCount] = {
    {0x1f, 0x77, 0xb4}, {0xff, 0x7f, 0x0e}, {0x2c, 0xa0, 0x2c}, {0xd6, 0x27, 0x28},
    {0x94, 0x67, 0xbd}, {0x8c, 0x56, 0x4b}, {0xe3, 0x77, 0xc2}, {0x7f, 0x7f, 0x7f},
    {0xbc, 0xbd, 0x22}, {0x17, 0xbe, 0xcf}, {0x00, 0x00, 0x80}, {0x80, 0x00, 0x00},
    {0x00, 0x80, 0x80}, {0x80, 0x80, 0x00}, {0xff, 0x00, 0xff}, {0x00, 0x64, 0x00},
    {0xff, 0x45, 0x00}, {0x48, 0x3d, 0x8b}, {0xb8, 0x86, 0x0b}, {0x00, 0xbf, 0xff}};

QLabel* Readout(QWidget* parent, const char* name) {
  auto* label = new QLabel("000 %", parent);
  label->setObjectName(name);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setAutoFillBackground(true);
  QPalette palette = label->palette();
  palette.setColor(QPalette::Window, Qt::black);
  palette.setColor(QPalette::WindowText, Qt::white);
  label->setPalette(palette);
  QFont bold = label->font();
  bold.setBold(true);
  label->setFont(bold);
  label->setMinimumWidth(label->fontMetrics().horizontalAdvance("0000 %") + 6);
  label->setContentsMargins(2, 0, 4, 0);
  return label;
}

QString PercentText(double value) {
  return QString::asprintf("%.0f %%", value);
}

void SetTextColor(QLabel* label, const QColor& color) {
  if (label->palette().color(QPalette::WindowText) == color) return;
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, color);
  label->setPalette(palette);
}

}  // namespace

double TmSetUp::PlotNow() {
  return static_cast<double>(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

void TmSetUp::CreateLiveView(QWidget* parent, QBoxLayout* layout) {
  layout->addWidget(CreateMeterPanels(parent));
  // The charts shrink with the window: its smallest size is the rule, not their content.
  PCtrlCharts->setMinimumHeight(100);
  CreateAnalyzerPage();
  CreateHistoryPage();
  InitPlotChannels();
  CreateLiveActions();
  LiveLog = std::make_unique<TLiveLog>();
  CreateSoundRecorder();
}

QWidget* TmSetUp::CreateMeterPanels(QWidget* parent) {
  auto* row = new QWidget(parent);
  row->setFixedHeight(kTopRowHeight);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(4);

  vrmZarnoRegOutput = new TVrMeter(row);
  vrmZarnoRegOutput->setObjectName("vrmZarnoRegOutput");
  stRegulationOutput = Readout(row, "stRegulationOutput");
  vrmZarnoRegOutput->OnChange = [this](TVrMeter& meter) {
    stRegulationOutput->setText(PercentText(meter.Position()));
  };
  auto* regulation = new QGridLayout;
  regulation->setSpacing(0);
  regulation->addWidget(vrmZarnoRegOutput, 0, 0, 1, 2);
  regulation->addWidget(stRegulationOutput, 1, 1);
  regulation->setColumnStretch(0, 1);

  vrmKnockingIntensity = new TVrMeter(row);
  vrmKnockingIntensity->setObjectName("vrmKnockingIntensity");
  vrmKnockingIntensity->SetZoneColors(Qt::darkGreen, Qt::yellow, Qt::red);
  stKnockingIntensity = Readout(row, "stKnockingIntensity");
  stKnockingMax = Readout(row, "stKnockingMax");
  lKnockMax = new QLabel("Ch: 00", row);
  lKnockMax->setObjectName("lKnockMax");
  lKnockMax->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  vrmKnockingIntensity->OnChange = [this](TVrMeter& meter) {
    stKnockingIntensity->setText(PercentText(meter.Position()));
  };
  auto* knocking = new QGridLayout;
  knocking->setSpacing(0);
  knocking->addWidget(vrmKnockingIntensity, 0, 0, 4, 1);
  knocking->addWidget(new QLabel("max", row), 0, 1, Qt::AlignRight);
  knocking->addWidget(stKnockingMax, 1, 1);
  knocking->addWidget(lKnockMax, 2, 1);
  knocking->addWidget(stKnockingIntensity, 4, 1);
  knocking->setColumnStretch(0, 1);
  knocking->setRowStretch(3, 1);

  panelDiodes = new TLedPanel(row);
  panelDiodes->setObjectName("panelDiodes");
  CreateLamps();

  layout->addLayout(regulation, 5);
  layout->addLayout(knocking, 6);
  layout->addWidget(panelDiodes, 4);
  return row;
}

void TmSetUp::CreateLamps() {
  struct TLampDef {
    TVrLamp** Lamp;
    const char* Name;
    const char* Caption;
    QColor Lit;
  };
  const TLampDef lamps[] = {
      {&ledKnocking, "ledKnocking", " ENGINE KNOCKING", Qt::green},
      {&ledTRIP, "ledTRIP", " TRIP", Qt::green},
      {&ledREDUCTION, "ledREDUCTION", " REDUCTION", Qt::green},
      {&ledLowRPM, "ledLowRPM", " LOW RPM", Qt::red},
      {&ledNoISUPulses, "ledNoISUPulses", " NO ISU PULSES", Qt::red},
      {&ledSpuriousPulse, "ledSpuriousPulse", " SPURIOUS PULSE", Qt::red},
      {&ledEEPROMFault, "ledEEPROMFault", " EEPROM FAULT", Qt::red},
      {&ledBadSensor, "ledBadSensor", " BAD SENSOR", Qt::red},
  };
  std::vector<TVrLamp*> stack;
  for (const TLampDef& def : lamps) {
    *def.Lamp = new TVrLamp(def.Caption, def.Lit, panelDiodes);
    (*def.Lamp)->setObjectName(def.Name);
    stack.push_back(*def.Lamp);
  }
  panelDiodes->SetLamps(stack, 3);
}

void TmSetUp::LayoutDiodes() {
  panelDiodes->LayoutDiodes();
}

void TmSetUp::CreateAnalyzerPage() {
  tsAnalyzer->setAutoFillBackground(true);
  QPalette black = tsAnalyzer->palette();
  black.setColor(QPalette::Window, Qt::black);
  black.setColor(QPalette::WindowText, Qt::white);
  tsAnalyzer->setPalette(black);

  vrLineMeter = new TvrLineMeter(tsAnalyzer);
  vrLineMeter->setObjectName("vrLineMeter");
  vrLineMeter->setPalette(black);
  QFont labels("MS Sans Serif", 8);
  vrLineMeter->setFont(labels);
  TvrLineMeterScale scale;
  scale.Color = Qt::green;
  vrLineMeter->SetScale(scale);
  vrLineMeter->SetRegion(0, {Qt::darkGreen, 1, 0, true});
  vrLineMeter->SetRegion(1, {Qt::darkYellow, 0, 0, true});
  vrLineMeter->SetRegion(2, {Qt::darkRed, 0, 100, true});

  vrSpectrum = new TVrSpectrum(kChannelCount, tsAnalyzer);
  vrSpectrum->setObjectName("vrSpectrum");

  lblCylinder_ = new QLabel("Cylinder", tsAnalyzer);
  QFont bold("Arial", 8);
  bold.setBold(true);
  lblCylinder_->setFont(bold);
  for (int i = 1; i <= kChannelCount; ++i) {
    auto* label = new QLabel(QString::asprintf("%02d", i), tsAnalyzer);
    label->setObjectName(QString::asprintf("lblCh%02d", i));
    label->setFont(bold);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    SetTextColor(label, Qt::green);
    lblCh[static_cast<size_t>(i - 1)] = label;
  }
  tsAnalyzer->installEventFilter(this);
}

// The meter at the left, the spectrum beside it and the channel labels under the columns.
void TmSetUp::LayoutAnalyzer() {
  const int labelHeight = lblCh[0]->fontMetrics().height();
  const int spectrumHeight = std::max(20, tsAnalyzer->height() - labelHeight - 6);
  const int meterWidth = 70;
  vrSpectrum->setGeometry(meterWidth, 2, tsAnalyzer->width() - meterWidth - 4, spectrumHeight);
  vrSpectrum->SetBarWidth(static_cast<int>(std::lround((vrSpectrum->width() - 29) / 20.0)));
  vrLineMeter->setGeometry(0, 4, meterWidth - 2, spectrumHeight - 4);
  const int labelTop = vrSpectrum->geometry().bottom() + 2;
  lblCylinder_->adjustSize();
  lblCylinder_->move(meterWidth - lblCylinder_->width() - 4, labelTop);
  for (int column = 0; column < kChannelCount; ++column) {
    QLabel* label = lblCh[static_cast<size_t>(column)];
    const int centre = meterWidth + vrSpectrum->ColumnLeft(column) + vrSpectrum->BarWidth() / 2;
    const int width =
        std::max(vrSpectrum->BarWidth(), label->fontMetrics().horizontalAdvance("00"));
    label->setGeometry(centre - width / 2, labelTop, width, labelHeight);
  }
}

bool TmSetUp::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tsAnalyzer && event->type() == QEvent::Resize) LayoutAnalyzer();
  return QMainWindow::eventFilter(watched, event);
}

void TmSetUp::CreateHistoryPage() {
  iPlot = new QCustomPlot(tsHistory);
  iPlot->setObjectName("iPlot");
  auto* layout = new QVBoxLayout(tsHistory);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(iPlot);
  iPlot->setNotAntialiasedElements(QCP::aeAll);
  iPlot->layer("main")->setMode(QCPLayer::lmBuffered);  // traces and marks alone redrawn
  iPlot->setPlottingHint(QCP::phFastPolylines, true);
  QFont small = iPlot->font();
  small.setPointSize(7);

  auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
  ticker->setDateTimeFormat("hh:mm:ss");
  iPlot->xAxis->setTicker(ticker);
  iPlot->xAxis->setLabel("Time");
  iPlot->yAxis->setLabel("Knocking intensity");
  iPlot->yAxis->setRange(0, 100);
  iPlot->yAxis2->setLabel("Regulation output");
  iPlot->yAxis2->setRange(0, 100);
  iPlot->yAxis2->setVisible(false);
  for (QCPAxis* axis : {iPlot->xAxis, iPlot->yAxis}) {
    axis->setTickLabelFont(small);
    axis->setLabelFont(small);
  }

  QCPGraph* output = iPlot->addGraph(iPlot->xAxis, iPlot->yAxis2);
  output->setObjectName("Output");
  output->setName("Reg.");
  output->setPen(QPen(Qt::black, 1, Qt::DotLine));

  iPlot->legend->setVisible(true);
  iPlot->legend->setFont(small);
  iPlot->legend->setIconSize(14, 8);
  iPlot->legend->setRowSpacing(-2);
  iPlot->legend->setFillOrder(QCPLayoutGrid::foRowsFirst);
  iPlot->axisRect()->insetLayout()->take(iPlot->legend);
  iPlot->plotLayout()->addElement(0, 1, iPlot->legend);
  iPlot->plotLayout()->setColumnStretchFactor(1, 0.001);
  iPlot->legend->setMargins(QMargins(2, 2, 2, 2));

  peakLine_ = new QCPItemStraightLine(iPlot);
  peakLine_->setObjectName("Peak");
  peakLine_->setPen(QPen(QColor(0xc0, 0x00, 0xc0), 1, Qt::DashLine));
  auto band = [this](const char* name, const QColor& color) {
    auto* rect = new QCPItemRect(iPlot);
    rect->setObjectName(name);
    for (QCPItemPosition* corner : {rect->topLeft, rect->bottomRight}) {
      corner->setTypeX(QCPItemPosition::ptAxisRectRatio);
      corner->setTypeY(QCPItemPosition::ptPlotCoords);
    }
    rect->topLeft->setCoords(0, 0);
    rect->bottomRight->setCoords(1, 0);
    QColor fill = color;
    fill.setAlpha(40);
    rect->setBrush(fill);
    rect->setPen(QPen(color, 1, Qt::DashLine));
    rect->setSelectable(false);
    return rect;
  };
  reductionBand_ = band("Reduction", QColor(0xd0, 0xb0, 0x00));
  stopBand_ = band("Stop", Qt::red);
  peakLine_->setSelectable(false);

  iPlot->addLayer("cursor", iPlot->layer("main"), QCustomPlot::limAbove);
  iPlot->layer("cursor")->setMode(QCPLayer::lmBuffered);
  plotCursor_ = new QCPItemText(iPlot);
  plotCursor_->setLayer("cursor");
  plotCursor_->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
  plotCursor_->position->setType(QCPItemPosition::ptAxisRectRatio);
  plotCursor_->position->setCoords(0.01, 0.02);
  plotCursor_->setFont(small);
  plotCursor_->setText("");
  plotPausedNote_ = new QCPItemText(iPlot);
  plotPausedNote_->setLayer("cursor");
  plotPausedNote_->setPositionAlignment(Qt::AlignRight | Qt::AlignTop);
  plotPausedNote_->position->setType(QCPItemPosition::ptAxisRectRatio);
  plotPausedNote_->position->setCoords(0.99, 0.02);
  plotPausedNote_->setText("Paused");
  plotPausedNote_->setColor(Qt::red);
  plotPausedNote_->setVisible(false);

  connect(iPlot, &QCustomPlot::plottableClick, this,
          [this](QCPAbstractPlottable* plottable, int, QMouseEvent*) {
            for (int i = 0; i < iPlot->graphCount(); ++i) {
              if (iPlot->graph(i) == plottable) iPlotClickChannel(i);
            }
          });
  connect(iPlot, &QCustomPlot::mouseMove, this,
          [this](QMouseEvent* event) { ShowPlotCursor(event->pos()); });
  iPlot->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(iPlot, &QCustomPlot::customContextMenuRequested, this,
          [this](const QPoint& position) { ShowPlotMenu(position); });
  iPlot->setStatusTip("Right click: pause, save picture, export history");
  connect(PCtrlCharts, &QTabWidget::currentChanged, this, [this] {
    if (plotDirty_) QueuePlotReplot();
  });
}

void TmSetUp::InitPlotChannels() {
  for (int i = 1; i <= kChannelCount; ++i) {
    QCPGraph* graph = iPlot->addGraph(iPlot->xAxis, iPlot->yAxis);
    graph->setName(QString::asprintf("Anal.cyl. %2.2d", i));
    graph->setPen(QPen(kTraceColors[i - 1], 1));
    graph->setSelectable(QCP::stNone);
  }
  iPlot->graph(0)->setSelectable(QCP::stNone);
  peakLine_->point1->setCoords(0, 0);
  peakLine_->point2->setCoords(1, 0);
  timeAxisStart_ = PlotNow();
  ScrollTimeAxis(timeAxisStart_);
}

void TmSetUp::PrepareLiveView() {
  rbChannelChange();
  TvrLineMeterScale scale = vrLineMeter->Scale();
  scale.Min = 0;
  scale.Offset = 5;
  vrLineMeter->SetScale(scale);
  vrmZarnoRegOutput->SetCaption("Normalized analog|output");
  ApplyOutputLimits();
  BuildSensorList();
  SelectionChanged();
}

bool TmSetUp::LiveObjectChanged(uint16_t id) {
  switch (id) {
    case idKnockIntensity:
      KnockValuesArrived();
      return true;
    case idRegulationOutput:
      RegulationOutputArrived();
      return true;
    case idStatus:
      StatusArrived();
      return true;
    case idBadSensors:
      BadSensorsArrived();
      return true;
    default:
      return false;
  }
}

void TmSetUp::KnockValuesArrived() {
  Zarno->ComputeStatistics();
  const int n = DisplayedChannels(Zarno->CylinderCount());
  for (int i = 1; i <= n; ++i) vrSpectrum->SetValue(i - 1, Zarno->KnockIntensityInt(i));
  if (rbMin->isChecked()) {
    vrmKnockingIntensity->SetPosition(Zarno->MinIntensity);
  } else if (rbMax->isChecked()) {
    vrmKnockingIntensity->SetPosition(Zarno->MaxIntensity);
  } else if (rbChannel->isChecked()) {
    vrmKnockingIntensity->SetPosition(Zarno->KnockIntensityInt(AnalysedCylinder));
  }
  stKnockingMax->setText(PercentText(Zarno->MaxIntensity));
  lKnockMax->setText(QString::asprintf("Ch: %2.2d", Zarno->MaxChannel));
  vrLineMeter->SetMarkerValue(TvrLineMeter::Value, Zarno->AverageIntensity);
  vrLineMeter->SetMarkerValue(TvrLineMeter::PeakMin, Zarno->MinIntensity);
  vrLineMeter->SetMarkerValue(TvrLineMeter::PeakMax, Zarno->MaxIntensity);
  vrLineMeter->SetMarkerValue(TvrLineMeter::SetPoint, Zarno->PeakIntensity);
  if (Zarno->IsConnected()) {
    const double now = PlotNow();
    for (int i = 1; i <= n; ++i) {
      if (Zarno->ChannelUsed(i)) AppendPlotPoint(i, now, Zarno->KnockIntensityInt(i));
    }
  }
  peakLine_->point1->setCoords(0, Zarno->PeakIntensity);
  peakLine_->point2->setCoords(1, Zarno->PeakIntensity);
}

void TmSetUp::RegulationOutputArrived() {
  if (Zarno->IsConnected()) {
    AppendPlotPoint(0, PlotNow(), Zarno->RegulationOutput());
    // The last answer of a poll whose values reach the plot: one replot for them all.
    QueuePlotReplot(true);
  }
  vrmZarnoRegOutput->SetPosition(Zarno->RegulationOutput());
  WriteLiveLogRow();
}

void TmSetUp::StatusArrived() {
  TVrLamp* const lamps[] = {ledKnocking,    ledTRIP,          ledREDUCTION,  ledLowRPM,
                            ledNoISUPulses, ledSpuriousPulse, ledEEPROMFault};
  for (int bit = 0; bit < 7; ++bit) lamps[bit]->SetLit(Zarno->StatusBit(bit));
}

void TmSetUp::BadSensorsArrived() {
  ledBadSensor->SetLit(Zarno->AnySensorFault());
  RefreshChannels();
}

void TmSetUp::RefreshChannels() {
  const int cylinders = Zarno->CylinderCount();
  bool legendChanged = false;
  for (int i = 1; i <= kChannelCount; ++i) {
    const bool visible = i <= cylinders;
    const bool used = Zarno->ChannelUsed(i);
    QCPGraph* graph = iPlot->graph(i);
    graph->setVisible(visible);
    legendChanged |= iPlot->legend->hasItemWithPlottable(graph) != (visible && used);
    const bool fault = Zarno->SensorFault(i);
    const QColor colour =
        visible && used ? (fault ? Qt::red : Qt::green) : (fault ? Qt::darkRed : Qt::darkGreen);
    SetTextColor(lblCh[static_cast<size_t>(i - 1)], colour);
  }
  if (!legendChanged) return;
  // Rebuilt whole, so that the entries keep the order of the channels.
  iPlot->legend->clearItems();
  for (int i = 0; i <= kChannelCount; ++i) {
    if (i == 0 || (i <= cylinders && Zarno->ChannelUsed(i))) iPlot->graph(i)->addToLegend();
  }
  QueuePlotReplot();
}

void TmSetUp::ApplyOutputLimits() {
  const double l = IgnitionReductionLimitValue();
  const double s = ImmediateStopLimitValue();
  const double p1 = std::trunc(l);
  const double p2 = std::clamp(std::trunc(s) - p1, 0.0, 100.0);
  SetLimitWarningVisible(l > s);
  vrSpectrum->SetZones(p1, p2);
  vrmKnockingIntensity->SetZones(p1, p2);
  vrLineMeter->SetRegionRange(0, 1, l);
  vrLineMeter->SetRegionRange(1, l, s);
  vrLineMeter->SetRegionRange(2, s, 100);
  if (reductionBand_->topLeft->coords().y() == s && reductionBand_->bottomRight->coords().y() == l)
    return;
  reductionBand_->topLeft->setCoords(0, s);
  reductionBand_->bottomRight->setCoords(1, l);
  stopBand_->topLeft->setCoords(0, 100);
  stopBand_->bottomRight->setCoords(1, s);
  QueuePlotReplot();
}

void TmSetUp::rbChannelChange() {
  AnalysedCylinder = std::clamp(seAnalysedCylinder->value(), seAnalysedCylinder->minimum(),
                                seAnalysedCylinder->maximum());
  for (int i = 1; i <= kChannelCount; ++i) {
    iPlot->graph(i)->setPen(QPen(kTraceColors[i - 1], 1));
  }
  QString mode = rbMin->isChecked() ? "min. value" : rbMax->isChecked() ? "max. value" : "";
  seAnalysedCylinder->setEnabled(rbChannel->isChecked());
  if (rbChannel->isChecked()) {
    mode = QString::asprintf("Anal.cyl. %2.2d", AnalysedCylinder);
    iPlot->graph(AnalysedCylinder)->setPen(QPen(kTraceColors[AnalysedCylinder - 1], 2));
  }
  vrmKnockingIntensity->SetCaption("Knocking intensity|" + mode + "|[%]");
  QueuePlotReplot();
}

void TmSetUp::iPlotClickChannel(int index) {
  if (index <= 0) return;
  seAnalysedCylinder->setValue(index);
  rbChannel->setChecked(true);
  rbChannelChange();
}

void TmSetUp::SelectionChanged() {
  seAnalysedCylinder->setMaximum(CylinderCountValue());
  AnalysedCylinder = std::min(AnalysedCylinder, seAnalysedCylinder->maximum());
  iPlot->legend->setWrap(DisplayedChannels(kMaxLegendRows));
  iPlot->legend->setFillOrder(QCPLayoutGrid::foRowsFirst, true);  // the entries there rewrap
  const int n = DisplayedChannels(Zarno->CylinderCount());
  for (int i = n + 1; i <= kChannelCount; ++i) vrSpectrum->SetValue(i - 1, 0);
  RefreshChannels();
}

void TmSetUp::actResetPeakValueExecute() {
  Zarno->ResetPeak();
  vrLineMeter->SetMarkerValue(TvrLineMeter::SetPoint, 0);
  peakLine_->point1->setCoords(0, 0);
  peakLine_->point2->setCoords(1, 0);
  QueuePlotReplot();
}

void TmSetUp::ChannelDeselected(int channel) {
  if (channel < 1 || channel > kChannelCount) return;
  BreakTrace(channel, PlotNow());
  QueuePlotReplot();
}

void TmSetUp::LiveConnectionStarted() {
  peakLine_->point1->setCoords(0, 0);
  peakLine_->point2->setCoords(1, 0);
  timeAxisStart_ = PlotNow();
  ScrollTimeAxis(timeAxisStart_);
  actLogLiveValues->setEnabled(true);
  QueuePlotReplot();
}

void TmSetUp::LiveConnectionEnded() {
  RefreshChannels();
  ApplyOutputLimits();
  vrLineMeter->SetMarkerValue(TvrLineMeter::SetPoint, 0);
  vrmKnockingIntensity->update();
  StopLiveLog();
  actLogLiveValues->setEnabled(false);
  QueuePlotReplot();
}

void TmSetUp::AppendPlotPoint(int channel, double time, double value) {
  QSharedPointer<QCPGraphDataContainer> points = iPlot->graph(channel)->data();
  points->add(QCPGraphData(time, value));
  if (points->size() > kPlotBuffer) {
    points->removeBefore((points->constEnd() - kPlotBuffer)->key);
  }
  ScrollTimeAxis(time);
}

void TmSetUp::BreakTrace(int channel, double time) {
  // A trace with no points, or already broken, needs no further gap.
  const QSharedPointer<QCPGraphDataContainer> points = iPlot->graph(channel)->data();
  if (points->isEmpty() || std::isnan((points->constEnd() - 1)->value)) return;
  AppendPlotPoint(channel, time, std::nan(""));
}

void TmSetUp::AddPlotGaps(double time) {
  for (int i = 0; i <= kChannelCount; ++i) BreakTrace(i, time);
}

void TmSetUp::ScrollTimeAxis(double now) {
  if (plotPaused_) return;
  // The live minute: in the first minute from the connection on, later up to the current
  // time rounded up to the next step. Between steps the axis (and so the layout) stays,
  // and a replot needs to draw the traces only.
  const QCPRange range = iPlot->xAxis->range();
  const double firstUpper = timeAxisStart_ + kPlotMinute;
  const bool live = std::abs(range.size() - kPlotMinute) < 1e-6 &&
                    ((std::abs(range.upper - firstUpper) < 1e-6 && now <= firstUpper) ||
                     (range.upper >= now && range.upper <= now + kScrollStep));
  if (live) return;
  const double upper = std::max(now + kScrollStep, firstUpper);
  iPlot->xAxis->setRange(upper - kPlotMinute, upper);
  plotFullReplot_ = true;
}

void TmSetUp::QueuePlotReplot(bool pointsOnly) {
  plotFullReplot_ |= !pointsOnly;
  // A page not in front is drawn when it comes to the front.
  if (PCtrlCharts->currentWidget() != tsHistory || !iPlot->isVisible()) {
    plotDirty_ = true;
    return;
  }
  plotDirty_ = false;
  if (plotReplotQueued_) return;
  plotReplotQueued_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        plotReplotQueued_ = false;
        if (plotFullReplot_) {
          plotFullReplot_ = false;
          iPlot->replot();
        } else {
          iPlot->layer("main")->replot();
        }
      },
      Qt::QueuedConnection);
}

}  // namespace kalvist
