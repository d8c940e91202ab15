// The window's shell around a connection: what it shows while a controller is refused,
// how a connect is given up, what the settings hand to the device object, and how the
// program ends.
#include <QMessageBox>
#include <QtTest>

#include "AppPaths.h"
#include "GuiTestSupport.h"
#include "KalvistError.h"
#include "MessageThread.h"
#include "PseudoTerminal.h"
#include "QtMessageSink.h"
#include "SingleInstance.h"
#include "StatusPanels.h"
#include "ZarnoSimulator.h"
#include "fZarnoSound.h"

using namespace kalvist;

namespace {

constexpr int kConnectMs = 8000;

// A recording window without a window: the modal run is a Qt event loop.
class TLoopSoundForm : public TfmZarnoSound {
 public:
  using TfmZarnoSound::TfmZarnoSound;

 protected:
  void Prepare(const std::string&, uint16_t) override {}
  void ShowTime(const std::string&) override {}
  void RunModal() override { loop_.exec(); }
  void EndModal() override { loop_.quit(); }

 private:
  QEventLoop loop_;
};

QList<QMessageBox*> OpenBoxes() {
  QList<QMessageBox*> boxes;
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) boxes << box;
  }
  return boxes;
}

// The colour the connection panel shows on screen, as last painted.
QColor PaintedConnectionColour(TmSetUp& w) {
  const QPoint probe = w.sbMain->PanelRect(spConnection).bottomRight() - QPoint(2, 2);
  const QImage window = w.screen()->grabWindow(w.winId()).toImage();
  return window.pixelColor(w.sbMain->mapTo(&w, probe));
}

uint32_t BigEndian32(const QByteArray& bytes, int at) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value = value << 8 | static_cast<uint8_t>(bytes[at + i]);
  return value;
}

}  // namespace

class ShellTest : public QObject {
  Q_OBJECT

 private slots:
  void RefusedFirmwareShowsTheConnectionWhileTheBoxIsOpen();
  void SampleRateAndTimeStampDelayReachTheDeviceAndTheRecording();
  void ConnectOnASilentPortCanBeGivenUpAtOnce();
  void DisconnectWithAReadUnderWayRaisesNoBox();
  void StatusBarTellsTheAccessLevelAndFitsTheWindow();
  void PortableCopyKeepsEverythingBesideTheProgram();
  void StartMakesTheWorkAndSettingsFoldersOrSaysWhichCannotBeMade();
  void SecondStartBringsTheFirstToTheFrontAndEnds();
  void StartWithoutAPlaceForTheGuardStillRuns();
  void ExitWithAnOpenMessageBoxEndsTheProgram();  // last: it runs the application's loop
};

void ShellTest::PortableCopyKeepsEverythingBesideTheProgram() {
  QTemporaryDir dir;
  const QDir folder(dir.path());
  const TAppPaths paths = AppPathsFor(folder.filePath("kalvist"));
  QCOMPARE(paths.ProgramFolder, folder.path());
  QCOMPARE(paths.ProgramTitle, QString("kalvist"));
  QCOMPARE(paths.SettingsFile, folder.filePath("kalvist.ini"));
  QCOMPARE(paths.ParametersFolder, folder.filePath("Parameters"));
  QCOMPARE(paths.SoundFolder, folder.filePath("Sound files"));
}

void ShellTest::StartMakesTheWorkAndSettingsFoldersOrSaysWhichCannotBeMade() {
  QTemporaryDir dir;
  const QDir root(dir.path());
  TAppPaths paths{root.path(), "kalvist", root.filePath("config/Kalvist/kalvist.ini"),
                  root.filePath("docs/Parameters"), root.filePath("docs/Sound files")};
  CreateWorkFolders(paths);
  for (const char* folder : {"config/Kalvist", "docs/Parameters", "docs/Sound files"})
    QVERIFY2(root.exists(folder), folder);

  QFile blocker(root.filePath("blocked"));  // a file where the settings folder should be
  QVERIFY(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  paths.SettingsFile = root.filePath("blocked/kalvist.ini");
  try {
    CreateWorkFolders(paths);
    QFAIL("a folder that cannot be made was not reported");
  } catch (const TKalvistError& e) {
    QCOMPARE(QString::fromStdString(e.Text),
             "Cannot create directory \"" + root.filePath("blocked") + "\"");
  }
}

void ShellTest::SecondStartBringsTheFirstToTheFrontAndEnds() {
  const QString key = "second-start-" + QString::number(QCoreApplication::applicationPid());
  TSingleInstance first(key);
  int activations = 0;
  first.OnActivate = [&] { ++activations; };
  QVERIFY(first.BecomePrimary());
  TSingleInstance second(key);
  QVERIFY(!second.BecomePrimary());
  QTRY_COMPARE(activations, 1);
}

void ShellTest::StartWithoutAPlaceForTheGuardStillRuns() {
  // The server's socket goes to the temporary folder; here its path is too long for a
  // socket, as it can be on a deep home folder.
  QTemporaryDir base;
  const QString deep = QDir(base.path()).filePath(QString(120, 'd'));
  QVERIFY(QDir().mkpath(deep));
  const QByteArray temporary = qgetenv("TMPDIR");
  qputenv("TMPDIR", deep.toLocal8Bit());
  TSingleInstance lone("no-guard-" + QString::number(QCoreApplication::applicationPid()));
  const bool runs = lone.BecomePrimary();
  if (temporary.isNull()) {
    qunsetenv("TMPDIR");
  } else {
    qputenv("TMPDIR", temporary);
  }
  QVERIFY(runs);
}

void ShellTest::RefusedFirmwareShowsTheConnectionWhileTheBoxIsOpen() {
  sim::TSimOptions options;
  options.Firmware = 26;
  sim::TZarnoSimulator simulator(options);
  TWindowRig rig;
  TmSetUp& w = rig.Start();
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  bool closeWhileAsked = false;
  bool connectWhileAsked = true;
  QColor panelWhileAsked;
  rig.Runner.Answer = [&](QDialog&) {
    QCoreApplication::processEvents();  // as the box's own loop does
    closeWhileAsked = w.actClose->isEnabled();
    connectWhileAsked = w.actOpenDirect->isEnabled();
    panelWhileAsked = PaintedConnectionColour(w);
    return int(QMessageBox::Ok);
  };
  w.ConnectTo(simulator.Start(), 1);
  QTRY_COMPARE_WITH_TIMEOUT(rig.Runner.BoxTexts.size(), 1, kConnectMs);
  QVERIFY(rig.Runner.BoxTexts.first().contains("is unsupported!"));
  QVERIFY(closeWhileAsked);
  QVERIFY(!connectWhileAsked);
  QCOMPARE(panelWhileAsked, QColor(0, 255, 0));  // not the yellow of "Connecting..."

  QTRY_VERIFY(w.actOpenDirect->isEnabled());
  QVERIFY(!w.actClose->isEnabled());
  QTRY_VERIFY(PaintedConnectionColour(w) != QColor(0, 255, 0));
}

void ShellTest::SampleRateAndTimeStampDelayReachTheDeviceAndTheRecording() {
  sim::TZarnoSimulator simulator(sim::TSimOptions{});
  TWindowRig rig(
      "[Setup]\r\nUnit20SensorsName=A\r\nUnit2SensorsName=B\r\n"
      "SampleRate=22050\r\nTimeStampDelay=40\r\n");
  TmSetUp& w = rig.Start();
  QCOMPARE(w.Zarno->SampleRate, 22050);
  QCOMPARE(w.Zarno->TimeStampDelay, 40);

  w.ConnectTo(simulator.Start(), 1);
  QTRY_VERIFY_WITH_TIMEOUT(w.Zarno->IsConnected(), kConnectMs);
  w.ZarnoTimer->stop();
  // The stream starts only on an idle link: after the reads that follow the connect.
  QTRY_VERIFY_WITH_TIMEOUT(w.Zarno->Queue().Count() == 0 && !w.Zarno->Comm().Busy(), kConnectMs);
  TQtMainThread formThread;
  w.Zarno->SetSoundForm(std::make_unique<TLoopSoundForm>(formThread));
  const QString file = QDir(w.Paths().SoundFolder).filePath("rate.au");
  TRecordingSink sink;
  SetMessageSink(&sink);
  w.Zarno->RecordSound(file.toStdString(), "Sensor 1", 1, 1);
  SetMessageSink(nullptr);
  QCOMPARE(sink.Texts(), QStringList());
  QTRY_VERIFY_WITH_TIMEOUT(!w.Zarno->SoundFileOpen(), kConnectMs);
  QFile recorded(file);
  QVERIFY(recorded.open(QIODevice::ReadOnly));
  const QByteArray header = recorded.read(24);
  QCOMPARE(header.size(), 24);
  QCOMPARE(BigEndian32(header, 16), 22050u);
  QVERIFY(recorded.size() > 24);
}

void ShellTest::ConnectOnASilentPortCanBeGivenUpAtOnce() {
  TPseudoTerminal silent;
  silent.Open();
  TRecordingSink sink;
  SetMessageSink(&sink);
  TWindowRig rig;
  TmSetUp& w = rig.Start();
  w.show();
  w.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&w));

  for (const bool byKey : {false, true}) {
    const char* name = byKey ? "Esc" : "Disconnect";
    w.ConnectTo(silent.SlavePath(), 1);
    w.UpdateActions();
    QVERIFY2(w.actClose->isEnabled(), name);
    // Past the port's settling time: the first request waits for its reply.
    QTRY_VERIFY_WITH_TIMEOUT(w.Zarno->Comm().Busy(), kConnectMs);
    if (byKey) {
      QTest::keyClick(&w, Qt::Key_Escape);
    } else {
      w.actClose->trigger();
    }
    QCOMPARE(w.Zarno->ConnectionState, TConnectionState::Offline);
    // The attempt ends now, not after the reply's time-out of a second.
    QTRY_VERIFY2_WITH_TIMEOUT(w.Zarno->Comm().Connection()->State() == 0, name, 200);
    QTRY_VERIFY2(w.actOpenDirect->isEnabled(), name);
  }
  QTest::qWait(1500);  // where a late reply would have raised a box
  QCOMPARE(sink.Texts(), QStringList());
  QCOMPARE(rig.Runner.BoxTexts, QStringList());
  SetMessageSink(nullptr);
}

void ShellTest::DisconnectWithAReadUnderWayRaisesNoBox() {
  sim::TZarnoSimulator simulator(sim::TSimOptions{});
  TRecordingSink sink;
  SetMessageSink(&sink);
  TWindowRig rig;
  TmSetUp& w = rig.Start();
  w.ConnectTo(simulator.Start(), 1);
  QTRY_VERIFY_WITH_TIMEOUT(w.Zarno->IsConnected(), kConnectMs);
  QTRY_VERIFY_WITH_TIMEOUT(w.Zarno->Comm().Busy(), kConnectMs);  // a poll's read
  w.actClose->trigger();
  QTRY_COMPARE(w.Zarno->Comm().Connection()->State(), 0);
  QTest::qWait(300);
  QCOMPARE(sink.Texts(), QStringList());
  SetMessageSink(nullptr);
}

void ShellTest::StatusBarTellsTheAccessLevelAndFitsTheWindow() {
  QCOMPARE(AccessLevelText(false, alAdministrator), "");
  QCOMPARE(AccessLevelText(true, alAdministrator), "Administrator");
  QCOMPARE(AccessLevelText(true, alOperator), "Operator");
  QCOMPARE(AccessLevelText(true, alMonitor), "Monitor");

  TWindowRig rig;
  TmSetUp& w = rig.Start();
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  QCOMPARE(w.width(), TmSetUp::kWidth);
  for (const int panel : {spUnitName, spAccessLevel}) {
    QVERIFY(w.sbMain->PanelRect(panel).width() >= 50);
    QVERIFY(w.sbMain->PanelRect(panel).right() < w.sbMain->width());
  }
  QVERIFY(w.sbMain->PanelRect(spUnitName).right() < w.sbMain->PanelRect(spAccessLevel).left());
}

void ShellTest::ExitWithAnOpenMessageBoxEndsTheProgram() {
  TQtMessageSink sink;
  SetMessageSink(&sink);
  TWindowRig rig;
  TmSetUp& w = rig.Start();
  w.show();
  ShowMessageAsync("Z-20 is disconnected.", 0, mkError);
  QTRY_COMPARE(OpenBoxes().size(), 1);

  QTimer::singleShot(0, w.actExit, &QAction::trigger);
  QTimer hang;
  hang.setSingleShot(true);
  connect(&hang, &QTimer::timeout, [] { QCoreApplication::exit(1); });
  hang.start(5000);
  QCOMPARE(QApplication::exec(), 0);
  QVERIFY(!w.isVisible());
  QVERIFY(OpenBoxes().isEmpty());
  QVERIFY(rig.ReadSettings().contains("LastMode=0"));  // written at close
  SetMessageSink(nullptr);
}

QTEST_MAIN(ShellTest)
#include "ShellTest.moc"
