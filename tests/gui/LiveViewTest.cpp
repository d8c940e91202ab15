#include <QFileDialog>
#include <QRegularExpression>
#include <QtTest>

#include "GuiTestSupport.h"
#include "SoundFile.h"
#include "StatusPanels.h"
#include "ZarnoSimulator.h"
#include "fZarnoSoundQt.h"

using namespace kalvist;

namespace {

constexpr int kConnectMs = 8000;
constexpr int kRecordingMs = 30000;

struct TLive {
  uint32_t Used = 0xFFFFF;
  int Cylinders = 4;
  std::vector<uint8_t> Knock;  // the intensity bytes, the rest 0
  uint8_t Status = 0;
  uint32_t BadSensors = 0;
};

std::vector<uint8_t> LittleEndian(uint32_t value, int size) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < size; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
  return bytes;
}

// The window connected to a simulator whose live values stand still at `live`.
class TLiveRig {
 public:
  explicit TLiveRig(const TLive& live) : Simulator(Options()) {
    const std::string path = Simulator.Start();
    Set(live);
    Window = &Rig.Start();
    Window->ConnectTo(path, 1);
  }

  static sim::TSimOptions Options() {
    sim::TSimOptions options;
    options.LiveTickMs = 0;  // no engine: the values stay as set
    return options;
  }

  void Set(const TLive& live) {
    std::vector<uint8_t> knock = live.Knock;
    knock.resize(kChannelCount, 0);
    Simulator.SetObject(idKnockIntensity, knock);
    Simulator.SetObject(idUsedSensors, LittleEndian(live.Used, 4));
    Simulator.SetObject(idCylinderCount, LittleEndian(static_cast<uint32_t>(live.Cylinders), 1));
    Simulator.SetObject(idStatus, std::vector<uint8_t>{live.Status});
    Simulator.SetObject(idBadSensors, LittleEndian(live.BadSensors, 4));
  }

  // Connected, the configuration read and a few poll answers shown.
  bool Settled() {
    TmSetUp& w = *Window;
    return QTest::qWaitFor(
        [&] {
          return w.Zarno->IsConnected() && w.Zarno->Queue().Count() < 8 &&
                 w.iPlot->graph(0)->data()->size() >= 3;
        },
        kConnectMs);
  }

  sim::TZarnoSimulator Simulator;
  TWindowRig Rig;
  TmSetUp* Window = nullptr;
};

QString TextOf(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QColor TextColour(const QLabel* label) {
  return label->palette().color(QPalette::WindowText);
}

}  // namespace

class LiveViewTest : public QObject {
  Q_OBJECT

 private slots:
  void StatisticsShown_data();
  void StatisticsShown();
  void ChannelStatesColourLabelsAndTraces();
  void OutputLimitsSetTheZones_data();
  void OutputLimitsSetTheZones();
  void DisplayModeAndAClickOnATrace();
  void NothingReachesThePlotWhileOffline();
  void ResetPeakClearsTheMarkAndTheLine();
  void OutOfRangeLiveValuesStayInsideTheWidgets_data();
  void OutOfRangeLiveValuesStayInsideTheWidgets();
  void RecordingFromTheDesktop_data();
  void RecordingFromTheDesktop();
  void LiveValuesLoggedUntilDisconnect();
  void UnwritableLogSaysWhyAndPollingGoesOn();
  void HistoryPausesExportsAndSavesAPicture();
};

void LiveViewTest::StatisticsShown_data() {
  QTest::addColumn<uint>("used");
  QTest::addColumn<int>("cylinders");
  QTest::addColumn<QByteArray>("knock");
  QTest::addColumn<QString>("max");
  QTest::addColumn<QString>("channel");
  QTest::addColumn<QString>("meter");  // the knocking meter's readout (maximum mode)
  QTest::addColumn<QList<double>>("columns");
  // The meter's readout changes with its position only: at 0 it keeps "000 %".
  QTest::newRow("no channel analysed") << 0u << 4 << QByteArray("\xff\xff\xff\xff") << "0 %"
                                       << "Ch: 00"
                                       << "000 %" << QList<double>{0, 0, 0, 0};
  QTest::newRow("a tie shows the lower channel")
      << 0xFu << 4 << QByteArray("\x33\xcc\xcc\x00", 4) << "80 %"
      << "Ch: 02"
      << "80 %" << QList<double>{20, 80, 80, 0};
  // The cylinder-count edit cannot hold 1: the 2 it shows is written back.
  QTest::newRow("one cylinder becomes two")
      << 0xFFFFFu << 1 << QByteArray("\x33\x66\x99") << "40 %"
      << "Ch: 02"
      << "40 %" << QList<double>{20, 40, 0, 0};
}

void LiveViewTest::StatisticsShown() {
  QFETCH(uint, used);
  QFETCH(int, cylinders);
  QFETCH(QByteArray, knock);
  QFETCH(QString, max);
  QFETCH(QString, channel);
  QFETCH(QString, meter);
  QFETCH(QList<double>, columns);
  TLiveRig rig({used, cylinders, std::vector<uint8_t>(knock.begin(), knock.end())});
  QVERIFY(rig.Settled());
  TmSetUp& w = *rig.Window;
  QCOMPARE(w.stKnockingMax->text(), max);
  QCOMPARE(w.lKnockMax->text(), channel);
  QCOMPARE(w.stKnockingIntensity->text(), meter);
  for (int i = 0; i < columns.size(); ++i) QCOMPARE(w.vrSpectrum->Value(i), columns[i]);
}

void LiveViewTest::ChannelStatesColourLabelsAndTraces() {
  // Channels 1 and 2 analysed, bad sensors on 2 and 4, four cylinders.
  TLiveRig rig({0x3, 4, {102, 153, 51, 0}, 0, 0xA});
  QVERIFY(rig.Settled());
  TmSetUp& w = *rig.Window;
  QTRY_VERIFY(w.ledBadSensor->Lit());
  const QColor expected[] = {Qt::green, Qt::red, Qt::darkGreen, Qt::darkRed, Qt::darkGreen};
  for (int i = 0; i < 5; ++i) QCOMPARE(TextColour(w.lblCh[static_cast<size_t>(i)]), expected[i]);
  QVERIFY(w.iPlot->graph(4)->visible());
  QVERIFY(!w.iPlot->graph(5)->visible());
  QVERIFY(w.iPlot->legend->hasItemWithPlottable(w.iPlot->graph(2)));
  QVERIFY(!w.iPlot->legend->hasItemWithPlottable(w.iPlot->graph(3)));
  QVERIFY(w.iPlot->graph(1)->data()->size() > 0);
  QCOMPARE(w.iPlot->graph(3)->data()->size(), 0);  // not analysed: no points

  w.ChannelDeselected(1);  // the trace breaks at once
  QVERIFY(std::isnan((w.iPlot->graph(1)->data()->constEnd() - 1)->value));

  w.iPlotClickChannel(2);  // the knocking meter follows channel 2 (60 %)
  QTRY_COMPARE(w.vrmKnockingIntensity->Position(), 60.0);
  QCOMPARE(w.stKnockingIntensity->text(), "60 %");
}

void LiveViewTest::OutputLimitsSetTheZones_data() {
  QTest::addColumn<int>("rawL");
  QTest::addColumn<int>("rawS");
  QTest::addColumn<double>("p1");
  QTest::addColumn<double>("p2");
  QTest::newRow("29.8 % and 80 %") << 76 << 204 << 29.0 << 51.0;
  QTest::newRow("reduction above stop: no yellow") << 204 << 51 << 80.0 << 0.0;
  QTest::newRow("both at 100 %") << 255 << 255 << 100.0 << 0.0;
}

void LiveViewTest::OutputLimitsSetTheZones() {
  QFETCH(int, rawL);
  QFETCH(int, rawS);
  QFETCH(double, p1);
  QFETCH(double, p2);
  TWindowRig rig;
  TmSetUp& w = rig.Start();
  for (auto [id, raw] : {std::pair{idIgnitionReductionLimit, rawL}, {idImmediateStopLimit, rawS}}) {
    w.Zarno->SetValue(id, TValue(raw));
    w.Zarno->ObjectChanged(id);
  }
  w.ApplyOutputLimits();
  const double l = w.IgnitionReductionLimitValue();
  const double s = w.ImmediateStopLimitValue();
  QCOMPARE(w.vrSpectrum->ZoneSize(1), p1);
  QCOMPARE(w.vrSpectrum->ZoneSize(2), p2);
  QCOMPARE(w.vrmKnockingIntensity->ZoneSize(1), p1);
  QCOMPARE(w.vrmKnockingIntensity->ZoneSize(2), p2);
  QCOMPARE(w.vrLineMeter->Region(0).FromValue, 1.0);
  QCOMPARE(w.vrLineMeter->Region(0).ToValue, l);
  QCOMPARE(w.vrLineMeter->Region(1).FromValue, l);
  QCOMPARE(w.vrLineMeter->Region(1).ToValue, s);
  QCOMPARE(w.vrLineMeter->Region(2).FromValue, s);
  QCOMPARE(w.vrLineMeter->Region(2).ToValue, 100.0);
  auto* reduction = w.iPlot->findChild<QCPItemRect*>("Reduction");
  auto* stop = w.iPlot->findChild<QCPItemRect*>("Stop");
  QVERIFY(reduction && stop);
  QCOMPARE(reduction->bottomRight->coords().y(), l);
  QCOMPARE(reduction->topLeft->coords().y(), s);
  QCOMPARE(stop->bottomRight->coords().y(), s);
  QCOMPARE(stop->topLeft->coords().y(), 100.0);
}

void LiveViewTest::DisplayModeAndAClickOnATrace() {
  TWindowRig rig;
  TmSetUp& w = rig.Start();
  QVERIFY(w.rbMax->isChecked());
  QCOMPARE(w.vrmKnockingIntensity->Caption(), "Knocking intensity|max. value|[%]");
  QVERIFY(!w.seAnalysedCylinder->isEnabled());
  w.rbMin->click();
  QCOMPARE(w.vrmKnockingIntensity->Caption(), "Knocking intensity|min. value|[%]");

  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  w.PCtrlCharts->setCurrentWidget(w.tsHistory);
  QCustomPlot* plot = w.iPlot;
  const QCPRange range = plot->xAxis->range();
  for (int i = 0; i <= 100; ++i) {
    plot->graph(3)->data()->add(QCPGraphData(range.lower + range.size() * i / 100, 50));
  }
  plot->replot();
  const QPoint onTrace(static_cast<int>(plot->xAxis->coordToPixel(range.center())),
                       static_cast<int>(plot->yAxis->coordToPixel(50)));
  QTest::mouseClick(plot, Qt::LeftButton, {}, onTrace);
  QVERIFY(w.rbChannel->isChecked());
  QCOMPARE(w.seAnalysedCylinder->value(), 3);
  QVERIFY(w.seAnalysedCylinder->isEnabled());
  QCOMPARE(w.AnalysedCylinder, 3);
  QCOMPARE(w.vrmKnockingIntensity->Caption(), "Knocking intensity|Anal.cyl. 03|[%]");
  QCOMPARE(plot->graph(3)->pen().width(), 2);
  QCOMPARE(plot->graph(4)->pen().width(), 1);

  w.iPlotClickChannel(0);  // the regulation output: nothing
  QCOMPARE(w.AnalysedCylinder, 3);
  w.seAnalysedCylinder->setValue(7);
  QCOMPARE(w.vrmKnockingIntensity->Caption(), "Knocking intensity|Anal.cyl. 07|[%]");
  QCOMPARE(plot->graph(3)->pen().width(), 1);
  QCOMPARE(plot->graph(7)->pen().width(), 2);
}

void LiveViewTest::NothingReachesThePlotWhileOffline() {
  TLiveRig rig({0xFFFFF, 4, {204, 102}, 0x1, 0});
  QVERIFY(rig.Settled());
  TmSetUp& w = *rig.Window;
  QTRY_COMPARE(w.vrLineMeter->MarkerValue(TvrLineMeter::SetPoint), 80.0);
  QVERIFY(w.ledKnocking->Lit());
  w.actClose->trigger();
  QTRY_VERIFY(!w.Zarno->IsConnected());
  QCOMPARE(w.vrLineMeter->MarkerValue(TvrLineMeter::SetPoint), 0.0);
  std::vector<int> counts;
  for (int i = 0; i <= kChannelCount; ++i) counts.push_back(w.iPlot->graph(i)->data()->size());
  QVERIFY(counts[1] > 0);

  // The end of a connection clears the live values; clearing is the only way live
  // objects arrive offline. The meters follow, the plot does not.
  QCOMPARE(w.vrmKnockingIntensity->Position(), 0.0);
  QCOMPARE(w.stKnockingMax->text(), "0 %");
  QVERIFY(!w.ledKnocking->Lit());
  w.Zarno->ClearLiveValues();
  for (int i = 0; i <= kChannelCount; ++i) {
    QCOMPARE(w.iPlot->graph(i)->data()->size(), counts[static_cast<size_t>(i)]);
  }
}

void LiveViewTest::ResetPeakClearsTheMarkAndTheLine() {
  TLiveRig rig({0xFFFFF, 4, {204}});
  QVERIFY(rig.Settled());
  TmSetUp& w = *rig.Window;
  auto* peak = w.iPlot->findChild<QCPItemStraightLine*>("Peak");
  QVERIFY(peak);
  QTRY_COMPARE(peak->point1->coords().y(), 80.0);
  w.actResetPeakValue->trigger();
  QCOMPARE(w.Zarno->PeakIntensity, 0.0);
  QCOMPARE(w.vrLineMeter->MarkerValue(TvrLineMeter::SetPoint), 0.0);
  QCOMPARE(peak->point1->coords().y(), 0.0);
  // The next knock values start a new peak.
  QTRY_COMPARE(w.vrLineMeter->MarkerValue(TvrLineMeter::SetPoint), 80.0);
}

void LiveViewTest::OutOfRangeLiveValuesStayInsideTheWidgets_data() {
  QTest::addColumn<int>("cylinders");
  QTest::addColumn<int>("shownCount");
  QTest::newRow("cylinder count 200") << 200 << 20;
  QTest::newRow("cylinder count 0 shows as 2") << 0 << 2;
}

void LiveViewTest::OutOfRangeLiveValuesStayInsideTheWidgets() {
  QFETCH(int, cylinders);
  QFETCH(int, shownCount);
  TLiveRig rig({0xFFFFFFFF, cylinders, std::vector<uint8_t>(20, 255), 0xFF, 0xFFFFFFFF});
  QVERIFY(rig.Settled());
  TmSetUp& w = *rig.Window;
  QCOMPARE(w.Zarno->CylinderCount(), shownCount);
  QTRY_COMPARE(w.stKnockingMax->text(), "100 %");
  QCOMPARE(w.vrmKnockingIntensity->Position(), 100.0);
  for (int i = 0; i < kChannelCount; ++i) {
    QCOMPARE(w.vrSpectrum->Value(i), i < shownCount ? 100.0 : 0.0);
  }
  for (TVrLamp* lamp : {w.ledKnocking, w.ledTRIP, w.ledREDUCTION, w.ledLowRPM, w.ledNoISUPulses,
                        w.ledSpuriousPulse, w.ledEEPROMFault, w.ledBadSensor}) {
    QVERIFY2(lamp->Lit(), qPrintable(lamp->objectName()));
  }
  QCOMPARE(TextColour(w.lblCh[0]), QColor(Qt::red));
  // The regulation output and every visible analysed channel; at most eight rows.
  int entries = 0;
  for (int i = 0; i <= kChannelCount; ++i) {
    entries += w.iPlot->legend->hasItemWithPlottable(w.iPlot->graph(i)) ? 1 : 0;
  }
  QCOMPARE(entries, 1 + shownCount);
  QCOMPARE(w.iPlot->legend->rowCount(), std::min(8, 1 + shownCount));
  for (QWidget* page : {w.tsAnalyzer, w.tsHistory}) {
    w.PCtrlCharts->setCurrentWidget(page);
    QVERIFY(!w.grab().isNull());  // paints without trouble
  }
}

void LiveViewTest::RecordingFromTheDesktop_data() {
  QTest::addColumn<int>("line");  // of the sensor choice list
  QTest::addColumn<bool>("stop");
  QTest::addColumn<QStringList>("sensors");
  QTest::newRow("ALL over three cylinders") << 0 << false << QStringList{"1", "2", "3"};
  QTest::newRow("SEL skips the channel not analysed") << 1 << false << QStringList{"1", "3"};
  QTest::newRow("Stop ends the sequence") << 0 << true << QStringList{"1"};
}

void LiveViewTest::RecordingFromTheDesktop() {
  QFETCH(int, line);
  QFETCH(bool, stop);
  QFETCH(QStringList, sensors);
  TLiveRig rig({0x5, 3, {51, 51, 51}});
  QVERIFY(rig.Settled());
  TmSetUp& w = *rig.Window;
  // Under three access levels a monitor may not record: the operator may.
  QVERIFY(!w.gbSound->isEnabled());
  w.Zarno->EnterPassword(sim::TSimOptions{}.OperatorPassword);
  QTRY_VERIFY_WITH_TIMEOUT(w.gbSound->isEnabled(), kConnectMs);
  QTemporaryDir folder;
  rig.Rig.Runner.Answer = [&](QDialog& dialog) {
    if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
      files->selectFile(folder.filePath("chosen.au"));
    }
    return int(QDialog::Accepted);
  };
  w.BuildSensorList();  // as the cylinder count's arrival does
  QCOMPARE(w.cbSoundSensor->count(), 5);
  QCOMPARE(w.cbSoundSensor->currentIndex(), 2);
  QVERIFY(!w.seRecordLength->isEnabled());
  w.cbSoundSensor->setCurrentIndex(line);
  QVERIFY(w.seRecordLength->isEnabled());
  w.seRecordLength->setValue(1);

  auto* window = dynamic_cast<TfmZarnoSoundQt*>(w.Zarno->SoundForm());
  QVERIFY(window);
  QString shownSensor, shownTime;
  if (stop) {
    QTimer::singleShot(600, window, [&] {
      shownSensor = window->lblSensorName->text();
      shownTime = window->lblTime->text();
      window->bStop->click();
    });
  }
  const int items = w.iPlot->itemCount();
  w.bStartSound->click();
  QTRY_VERIFY_WITH_TIMEOUT(!w.SoundRecorder->Busy(), kRecordingMs);

  QStringList recorded;
  for (const std::string& file : w.SoundRecorder->FilesWritten) {
    const QString path = QString::fromStdString(file);
    QCOMPARE(QFileInfo(path).path(), folder.path());
    recorded << path.section("_#", -1).chopped(3);
    QFile au(path);
    QVERIFY(au.open(QIODevice::ReadOnly));
    const QByteArray header = au.read(kAuHeaderSize);
    const TAuHeader expected =
        BuildAuHeader(static_cast<uint32_t>(au.size() - kAuHeaderSize), 41000);
    QCOMPARE(header, QByteArray(reinterpret_cast<const char*>(expected.data()), kAuHeaderSize));
    QVERIFY(au.size() > qint64{kAuHeaderSize});
  }
  QCOMPARE(recorded, sensors);
  QVERIFY(!w.Zarno->SequenceActive);
  QCOMPARE(w.iPlot->itemCount(), items + sensors.size());  // one mark per recording
  QVERIFY(w.Zarno->IsConnected());
  QVERIFY(w.ZarnoTimer->isActive());
  if (stop) {
    QCOMPARE(shownSensor, "1");
    QVERIFY(shownTime != "0:00:00,000");
  }
}

void LiveViewTest::LiveValuesLoggedUntilDisconnect() {
  TLiveRig rig({0x5, 4, {255, 128}, 0x5, 0x2});
  QVERIFY(rig.Settled());
  TmSetUp& w = *rig.Window;
  QTemporaryDir folder;
  const QString path = folder.filePath("run.csv");
  rig.Rig.Runner.Answer = [&](QDialog& dialog) {
    if (auto* files = qobject_cast<QFileDialog*>(&dialog)) files->selectFile(path);
    return int(QDialog::Accepted);
  };
  QVERIFY(w.actLogLiveValues->isEnabled());
  w.actLogLiveValues->trigger();
  QVERIFY(w.LiveLog->IsOpen());
  QVERIFY(w.actLogLiveValues->isChecked());
  QCOMPARE(w.LiveLogNote(), "Logging");
  QTRY_VERIFY(w.LiveLog->Rows() >= 3);

  w.actClose->trigger();
  QTRY_VERIFY(!w.Zarno->IsConnected());
  QVERIFY(!w.LiveLog->IsOpen());
  QVERIFY(!w.actLogLiveValues->isChecked());
  QVERIFY(!w.actLogLiveValues->isEnabled());
  QCOMPARE(w.LiveLogNote(), "");

  const QString text = TextOf(path);
  QVERIFY(text.endsWith('\n'));
  const QStringList lines = text.split('\n', Qt::SkipEmptyParts);
  QCOMPARE(lines.size(), w.LiveLog->Rows() + 1);
  QCOMPARE(lines[0], QString::fromStdString(LiveLogHeader()));
  const QRegularExpression time(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)");
  for (int i = 1; i < lines.size(); ++i) {
    const QStringList fields = lines[i].split(',');
    QCOMPARE(fields.size(), 29);
    QVERIFY2(time.match(fields[0]).hasMatch(), qPrintable(fields[0]));
    // Channels 1 and 3 analysed, 2 not, 5 and on beyond the cylinder count.
    QCOMPARE(fields.mid(1, 5), (QStringList{"100.0", "", "0.0", "", ""}));
    QCOMPARE(fields[23], "1");  // the channel of the maximum
    QCOMPARE(fields.mid(27), (QStringList{"5", "2"}));
  }
}

void LiveViewTest::UnwritableLogSaysWhyAndPollingGoesOn() {
  TLiveRig rig({0xFFFFF, 4, {51}});
  QVERIFY(rig.Settled());
  TmSetUp& w = *rig.Window;
  QVERIFY(!w.StartLiveLog("/nonexistent-folder/run.csv"));
  QTRY_COMPARE(rig.Rig.Runner.BoxTexts.size(), 1);
  QVERIFY(rig.Rig.Runner.BoxTexts[0].contains("/nonexistent-folder/run.csv: No such file"));
  QVERIFY(!w.actLogLiveValues->isChecked());
  const int points = w.iPlot->graph(0)->data()->size();
  QTRY_VERIFY(w.iPlot->graph(0)->data()->size() > points);  // still polling
  QVERIFY(w.Zarno->IsConnected());
}

void LiveViewTest::HistoryPausesExportsAndSavesAPicture() {
  TLiveRig rig({0x3, 2, {51, 102}});
  QVERIFY(rig.Settled());
  TmSetUp& w = *rig.Window;
  w.PCtrlCharts->setCurrentWidget(w.tsHistory);
  const QCPRange live = w.iPlot->xAxis->range();
  w.actPlotPause->trigger();
  const QCPRange lookedBack(live.lower - 30, live.upper - 30);  // as a drag would
  w.iPlot->xAxis->setRange(lookedBack);
  const int points = w.iPlot->graph(1)->data()->size();
  QTRY_VERIFY(w.iPlot->graph(1)->data()->size() > points + 2);  // data keeps arriving
  QCOMPARE(w.iPlot->xAxis->range(), lookedBack);
  w.actPlotPause->trigger();  // back to the live minute
  QVERIFY(w.iPlot->xAxis->range().upper >= live.upper);
  QCOMPARE(w.iPlot->xAxis->range().size(), 60.0);

  QTemporaryDir folder;
  w.actClose->trigger();
  QTRY_VERIFY(!w.Zarno->IsConnected());
  const QString csv = folder.filePath("history.csv");
  QVERIFY(w.ExportPlotHistory(csv));
  const QStringList lines = TextOf(csv).split('\n', Qt::SkipEmptyParts);
  QVERIFY(lines[0].startsWith("time,Reg.,Anal.cyl. 01,Anal.cyl. 02,Anal.cyl. 03,"));
  // A row per moment: the knock values of both channels share theirs, the regulation
  // output has its own (unless it came within the same millisecond).
  const int knockRows = w.iPlot->graph(1)->data()->size();
  QVERIFY(lines.size() >= 1 + knockRows);
  QVERIFY(lines.size() <= 1 + knockRows + w.iPlot->graph(0)->data()->size());
  QCOMPARE(lines.filter(",20.0,40.0,").size(), knockRows);
  QVERIFY(!w.ExportPlotHistory("/nonexistent-folder/history.csv"));

  const QString png = folder.filePath("history.png");
  QVERIFY(w.SavePlotPicture(png));
  QVERIFY(!QImage(png).isNull());
}

QTEST_MAIN(LiveViewTest)
#include "LiveViewTest.moc"
