#include <QLineEdit>
#include <QLocale>
#include <QSignalSpy>
#include <QtTest>

#include "GuiTestSupport.h"
#include "StatusPanels.h"
#include "ZarnoSimulator.h"

using namespace kalvist;

namespace {

constexpr int kConnectMs = 8000;

QString Key(const QString& ini, const QString& key) {
  const QRegularExpression line("(?m)^" + key + "=(.*?)\\r?$");
  const QRegularExpressionMatch match = line.match(ini);
  return match.hasMatch() ? match.captured(1) : QString();
}

// The window connected to a simulated controller.
struct TConnectedRig {
  explicit TConnectedRig(sim::TSimOptions options, const QString& settings = QString())
      : Simulator(options), Rig(settings.isNull() ? TWindowRig() : TWindowRig(settings)) {
    Rig.Start().ConnectTo(Simulator.Start(), 1);
  }
  sim::TZarnoSimulator Simulator;
  TWindowRig Rig;
};

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void FirstStartAsksForUnitNamesAndStartsInTheTwentySensorType();
  void UnitNamesCancelledEndsWithoutWritingSettings();
  void SettingsReadAtStartAndWrittenBackAtClose();
  void LastModeTwoStartsInTheTwentySensorType();
  void NumMaxChannelsIsWrittenAsTwentyAfterAConnection();
  void InstantConnectShowsSetupAndCancelStillBringsThePage();
  void OfflineVersionChoiceSetsLabelAndRadioItem_data();
  void OfflineVersionChoiceSetsLabelAndRadioItem();
  void TwoSensorsModeSwapsVersionGroupAndLabel();
  void ActionsFollowConnectionAndPassword();
  void NewerFirmwareIsRefusedAndTheWindowGoesOffline();
  void ConnectionPanelShowsStateTextAndColour();
  void FirmwareVersionTextUsesAPointInAnyLocale();
  void TooSmallResizeIsRefusedWhole();
};

void MainWindowTest::FirstStartAsksForUnitNamesAndStartsInTheTwentySensorType() {
  TWindowRig rig{QString()};
  QString proposed20, proposed2;
  rig.Runner.Answer = [&](QDialog& dialog) {
    proposed20 = dialog.findChild<QLineEdit*>("eZarno20Name")->text();
    proposed2 = dialog.findChild<QLineEdit*>("eZarno2Name")->text();
    return int(QDialog::Accepted);
  };
  TmSetUp& w = rig.Start();
  QCOMPARE(rig.Runner.Titles, QStringList{"Unit names"});
  QCOMPARE(proposed20, "Z-20");
  QCOMPARE(proposed2, "Z-2");
  QCOMPARE(w.Zarno->GetZarnoNames(0), "Z-20");
  QCOMPARE(w.Zarno->ZarnoMode(), 0);
  QCOMPARE(w.Zarno->OfflineSWversion(), 10);
  QCOMPARE(w.SwVersionText(), "SW ver. less than 2.0");
  QVERIFY(w.acttov20->isChecked());
  QVERIFY(w.actv13->isChecked());  // in the hidden 2-sensor group
  QVERIFY(!w.actv13->isVisible());
  QCOMPARE(w.sbMain->Panel(spSwVersion).Text, "SW ver. less than 2.0");
  QVERIFY(!w.TerminateRequested());
  QVERIFY(QDir(rig.Window->Paths().ParametersFolder).exists());
  QVERIFY(QDir(rig.Window->Paths().SoundFolder).exists());
}

void MainWindowTest::UnitNamesCancelledEndsWithoutWritingSettings() {
  TWindowRig rig{QString()};
  rig.Runner.Answer = [](QDialog&) { return int(QDialog::Rejected); };
  QVERIFY(rig.Start().TerminateRequested());
  rig.Window.reset();
  QVERIFY(!QFile::exists(rig.IniPath()));
}

void MainWindowTest::SettingsReadAtStartAndWrittenBackAtClose() {
  TWindowRig rig(
      "[Setup]\r\nCOMPort=263\r\nCOMPortPath=/dev/ttyUSB3\r\nSampleRate=8000\r\n"
      "TimeStampDelay=50\r\nUnit20SensorsName=North\r\nUnit2SensorsName=South\r\n"
      "NumMaxChannels=5\r\nLastMode=1\r\nNewVersionSW=12\r\nInstantConnect=0\r\n"
      "ActivatePage=2\r\nAutoReconnect=1\r\n[Other]\r\nkeep=1\r\n");
  TmSetUp& w = rig.Start();
  QVERIFY(w.Reconnector->Enabled);
  QCOMPARE(w.Zarno->CommPort(), 7);  // the low 8 bits of 263
  QCOMPARE(w.Zarno->PortPath(), "/dev/ttyUSB3");
  QCOMPARE(w.Settings().SampleRate, 8000);
  QCOMPARE(w.Settings().TimeStampDelay, 50);
  QCOMPARE(w.Zarno->GetZarnoNames(1), "South");
  QCOMPARE(w.Zarno->NumMaxChannels, 5);
  QCOMPARE(w.Zarno->ZarnoMode(), 1);
  QVERIFY(w.actTwoSensorsMode->isChecked());
  QVERIFY(w.actv12->isChecked());
  QVERIFY(w.actv25->isChecked());  // the other family starts at its newest version
  QCOMPARE(w.ActivatePage, 2);
  QVERIFY(rig.Runner.Titles.isEmpty());

  w.close();
  const QString ini = rig.ReadSettings();
  QCOMPARE(Key(ini, "COMPort"), "263");
  QCOMPARE(Key(ini, "COMPortPath"), "/dev/ttyUSB3");
  QCOMPARE(Key(ini, "Unit20SensorsName"), "North");
  QCOMPARE(Key(ini, "NumMaxChannels"), "5");
  QCOMPARE(Key(ini, "LastMode"), "1");
  QCOMPARE(Key(ini, "NewVersionSW"), "12");
  QCOMPARE(Key(ini, "InstantConnect"), "0");
  QCOMPARE(Key(ini, "ActivatePage"), "2");
  QCOMPARE(Key(ini, "AutoReconnect"), "1");
  QCOMPARE(Key(ini, "SampleRate"), "8000");  // never written, left as it was
  QCOMPARE(Key(ini, "LastEngineType"), "0");
  QCOMPARE(Key(ini, "keep"), "1");
}

void MainWindowTest::LastModeTwoStartsInTheTwentySensorType() {
  TWindowRig rig("[Setup]\r\nUnit20SensorsName=A\r\nUnit2SensorsName=B\r\nLastMode=2\r\n");
  TmSetUp& w = rig.Start();
  QCOMPARE(w.Zarno->ZarnoMode(), 0);
  QVERIFY(!w.actTwoSensorsMode->isChecked());
  w.close();
  QCOMPARE(Key(rig.ReadSettings(), "LastMode"), "0");
}

void MainWindowTest::NumMaxChannelsIsWrittenAsTwentyAfterAConnection() {
  TConnectedRig connected({},
                          "[Setup]\r\nUnit20SensorsName=A\r\nUnit2SensorsName=B\r\n"
                          "NumMaxChannels=5\r\n");
  TmSetUp& w = *connected.Rig.Window;
  QTRY_VERIFY_WITH_TIMEOUT(w.Zarno->IsConnected(), kConnectMs);
  w.close();
  QVERIFY(!w.Zarno->IsConnected());
  QCOMPARE(Key(connected.Rig.ReadSettings(), "NumMaxChannels"), "20");
}

void MainWindowTest::InstantConnectShowsSetupAndCancelStillBringsThePage() {
  TWindowRig rig(
      "[Setup]\r\nUnit20SensorsName=A\r\nUnit2SensorsName=B\r\nInstantConnect=1\r\n"
      "ActivatePage=2\r\n");
  rig.Runner.Answer = [](QDialog&) { return int(QDialog::Rejected); };
  TmSetUp& w = rig.Start();
  w.show();
  QTRY_COMPARE(rig.Runner.Titles, QStringList{"Setup"});
  QCOMPARE(w.Zarno->ConnectionState, TConnectionState::Offline);
  QCOMPARE(w.PCtrlCharts->currentWidget(), w.tsHistory);
  QTRY_VERIFY(w.actOpenDirect->isEnabled());  // again at the next action update
}

void MainWindowTest::OfflineVersionChoiceSetsLabelAndRadioItem_data() {
  QTest::addColumn<bool>("twoSensors");
  QTest::addColumn<int>("version");
  QTest::addColumn<QString>("action");
  QTest::addColumn<QString>("label");
  QTest::newRow("20: 10") << false << 10 << "acttov20"
                          << "SW ver. less than 2.0";
  QTest::newRow("20: 19") << false << 19 << "acttov20"
                          << "SW ver. less than 2.0";
  QTest::newRow("20: 20") << false << 20 << "actfromv20to24"
                          << "SW ver. 2.0 to 2.3";
  QTest::newRow("20: 23") << false << 23 << "actfromv20to24"
                          << "SW ver. 2.0 to 2.3";
  QTest::newRow("20: 24") << false << 24 << "actv24"
                          << "SW ver. 2.4";
  QTest::newRow("20: 26") << false << 26 << "actv25"
                          << "SW ver. 2.5";
  QTest::newRow("2: 5") << true << 5 << "acttov12"
                        << "SW ver. less than 1.2";
  QTest::newRow("2: 11") << true << 11 << "acttov12"
                         << "SW ver. less than 1.2";
  QTest::newRow("2: 12") << true << 12 << "actv12"
                         << "SW ver. 1.2";
  QTest::newRow("2: 14") << true << 14 << "actv13"
                         << "SW ver. 1.3";
}

void MainWindowTest::OfflineVersionChoiceSetsLabelAndRadioItem() {
  QFETCH(bool, twoSensors);
  QFETCH(int, version);
  QFETCH(QString, action);
  QFETCH(QString, label);
  TWindowRig rig;
  TmSetUp& w = rig.Start();
  if (twoSensors) w.actTwoSensorsMode->trigger();
  // The other family's choice must survive: the groups are independent.
  QAction* other = twoSensors ? w.acttov20 : w.actv13;
  QVERIFY(other->isChecked());

  w.SelectOfflineVersion(version);
  QVERIFY(w.findChild<QAction*>(action)->isChecked());
  QCOMPARE(w.SwVersionText(), label);
  QCOMPARE(w.Zarno->OfflineSWversion(), version);
  QVERIFY(other->isChecked());
}

void MainWindowTest::TwoSensorsModeSwapsVersionGroupAndLabel() {
  TWindowRig rig;
  TmSetUp& w = rig.Start();
  w.SelectOfflineVersion(24);
  w.actTwoSensorsMode->trigger();
  w.UpdateActions();
  QCOMPARE(w.Zarno->ZarnoMode(), 1);
  QCOMPARE(w.Zarno->OfflineSWversion(), 13);
  QVERIFY(w.actv13->isVisible() && !w.actv24->isVisible());
  QCOMPARE(w.sbMain->Panel(spSwVersion).Text, "SW ver. 1.3");
  QVERIFY(w.PCTRL->isTabVisible(w.PCTRL->indexOf(w.tsGains)));  // 2-sensor, 1.3

  w.actTwoSensorsMode->trigger();
  w.UpdateActions();
  QCOMPARE(w.Zarno->ZarnoMode(), 0);
  QCOMPARE(w.Zarno->OfflineSWversion(), 24);
  QCOMPARE(w.sbMain->Panel(spSwVersion).Text, "SW ver. 2.4");
}

void MainWindowTest::ActionsFollowConnectionAndPassword() {
  struct TExpected {
    bool TwoSensors, Versions, Close, OpenDirect, Enter, Change, Deactivate, Encrypted, OpenFile,
        SaveAs;
  };
  const auto check = [](TmSetUp& w, const TExpected& e) {
    w.UpdateActions();
    QCOMPARE(w.actTwoSensorsMode->isEnabled(), e.TwoSensors);
    for (QAction* a : {w.acttov20, w.actfromv20to24, w.actv24, w.actv25}) {
      QCOMPARE(a->isEnabled(), e.Versions);
    }
    QCOMPARE(w.actClose->isEnabled(), e.Close);
    QCOMPARE(w.actOpenDirect->isEnabled(), e.OpenDirect);
    QCOMPARE(w.actCnEnterPassword->isEnabled(), e.Enter);
    QCOMPARE(w.actCnChangePassword->isEnabled(), e.Change);
    QCOMPARE(w.actCnDeactivatePassword->isEnabled(), e.Deactivate);
    QCOMPARE(w.actCnGetEncryptedPassword->isEnabled(), e.Encrypted);
    QCOMPARE(w.actOpenParamFile->isEnabled(), e.OpenFile);
    QCOMPARE(w.actSaveAs->isEnabled(), e.SaveAs);
    QVERIFY(!w.actHelp->isVisible());
  };

  // Firmware 2.5: the three-level scheme, monitor until a password is given.
  TConnectedRig connected({});
  TmSetUp& w = *connected.Rig.Window;
  QCOMPARE(w.Zarno->ConnectionState, TConnectionState::Connecting);
  // Disconnect gives up the connect under way.
  check(w, {false, false, true, false, false, false, false, false, true, true});
  QTRY_VERIFY_WITH_TIMEOUT(w.Zarno->IsConnected(), kConnectMs);
  QCOMPARE(w.Zarno->AccessLevel(), alMonitor);
  check(w, {false, false, true, false, true, false, false, true, false, false});

  w.Zarno->EnterPassword(1111);  // the simulator's administrator password
  QTRY_VERIFY_WITH_TIMEOUT(w.Zarno->PasswordOK(), kConnectMs);
  check(w, {false, false, true, false, false, true, true, true, true, true});

  w.actClose->trigger();
  QTRY_COMPARE(w.Zarno->ConnectionState, TConnectionState::Offline);
  check(w, {true, true, false, true, false, false, false, false, true, true});
}

void MainWindowTest::NewerFirmwareIsRefusedAndTheWindowGoesOffline() {
  sim::TSimOptions options;
  options.Firmware = 26;
  TConnectedRig connected(options);
  TmSetUp& w = *connected.Rig.Window;
  bool connectedWhileAsked = false;
  connected.Rig.Runner.Answer = [&](QDialog&) {
    connectedWhileAsked = w.Zarno->IsConnected();
    return int(QMessageBox::Ok);
  };
  QTRY_COMPARE_WITH_TIMEOUT(connected.Rig.Runner.BoxTexts.size(), 1, kConnectMs);
  QCOMPARE(connected.Rig.Runner.Titles, QStringList{"Information"});
  QCOMPARE(connected.Rig.Runner.BoxTexts.first(),
           "Zarno-20 version 2.6 is unsupported! (Last supported version is 2.5.)\r\n\r\n"
           "Connection will be closed!");
  QVERIFY(connectedWhileAsked);
  QTRY_COMPARE(w.Zarno->ConnectionState, TConnectionState::Offline);
  QVERIFY(!w.ZarnoTimer->isActive());
  QTRY_VERIFY(w.actOpenDirect->isEnabled());
  // The refused controller leaves the offline choice as it was.
  QCOMPARE(w.SwVersionText(), "SW ver. less than 2.0");
}

void MainWindowTest::ConnectionPanelShowsStateTextAndColour() {
  QCOMPARE(ConnectionPanelPaint(TConnectionState::Offline, "/dev/ttyUSB0").Text, "Offline");
  QVERIFY(!ConnectionPanelPaint(TConnectionState::Offline, "/dev/ttyUSB0").Fill.isValid());
  QCOMPARE(ConnectionPanelPaint(TConnectionState::Connecting, "/dev/ttyUSB0").Text,
           "Connecting...");
  QCOMPARE(ConnectionPanelPaint(TConnectionState::Connecting, "/dev/ttyUSB0").Fill,
           QColor(Qt::yellow));
  QCOMPARE(ConnectionPanelPaint(TConnectionState::Connected, "/dev/ttyUSB0").Text,
           "Connected to: ttyUSB0");
  QCOMPARE(ConnectionPanelPaint(TConnectionState::Connected, "/dev/ttyUSB0").Fill,
           QColor(0, 255, 0));
  // The built-in simulator on a loopback line (Windows) is named as such, not as a port.
  QCOMPARE(ConnectionPanelPaint(TConnectionState::Connected, "loopback:1").Text,
           "Connected to: built-in simulator");

  // And on screen: the panel is painted in the colour of the state.
  TConnectedRig connected({});
  TmSetUp& w = *connected.Rig.Window;
  w.show();
  const QPoint probe = w.sbMain->PanelRect(spConnection).bottomRight() - QPoint(2, 2);
  QCOMPARE(w.sbMain->grab().toImage().pixelColor(probe), QColor(Qt::yellow));
  QTRY_VERIFY_WITH_TIMEOUT(w.Zarno->IsConnected(), kConnectMs);
  QTRY_COMPARE(w.sbMain->grab().toImage().pixelColor(probe), QColor(0, 255, 0));
}

void MainWindowTest::FirmwareVersionTextUsesAPointInAnyLocale() {
  const QLocale before;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
  const QString text = ConnectedSwVersionText(25);
  std::setlocale(LC_NUMERIC, "C");
  QLocale::setDefault(before);
  QCOMPARE(text, "SW ver: 2.5");
  QCOMPARE(ConnectedSwVersionText(0), "SW ver: 0.0");
  QCOMPARE(ConnectedSwVersionText(13), "SW ver: 1.3");
}

void MainWindowTest::TooSmallResizeIsRefusedWhole() {
  TWindowRig rig;
  TmSetUp& w = rig.Start();
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  const QSize start = w.size();
  QCOMPARE(start, QSize(TmSetUp::kWidth, TmSetUp::kHeight));
  w.resize(800, 600);  // wide enough, too low: refused whole
  QTRY_COMPARE(w.size(), start);
  w.resize(640, 700);
  QTRY_COMPARE(w.size(), start);
  w.resize(700, 611);
  QTRY_COMPARE(w.size(), QSize(700, 611));
}

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
