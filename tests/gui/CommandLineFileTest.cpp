#include <QtTest>

#include "GuiTestSupport.h"
#include "ZarnoSimulator.h"

using namespace kalvist;

namespace {

constexpr int kLinkMs = 8000;

// A file for the 2-sensor unit, firmware 1.2; "SelectSensors" exists in that mode only.
const char kTwoSensorFile[] =
    "[identification]\r\nFileVersion=0\r\nHWType=1\r\nSWVersion=12\r\n"
    "[parameters]\r\nSelectSensors=2\r\nCANAddress=7\r\n";
// A file for the simulator's default controller; "CANAddress" is open to every level.
const char kTwentySensorFile[] =
    "[identification]\r\nFileVersion=0\r\nHWType=0\r\nSWVersion=25\r\n"
    "[parameters]\r\nCANAddress=9\r\n";

QString WriteFile(const QTemporaryDir& folder, const QString& name, const char* text) {
  const QString path = folder.filePath(name);
  QFile file(path);
  file.open(QIODevice::WriteOnly);
  file.write(text);
  return path;
}

int64_t Value(TmSetUp& w, uint16_t id) {
  const std::optional<TValue> value = w.Zarno->GetValue(id);
  return value ? value->AsInt64() : -1;
}

}  // namespace

class CommandLineFileTest : public QObject {
  Q_OBJECT

 private slots:
  void OneArgumentIsOpenedOffline_data();
  void OneArgumentIsOpenedOffline();
  void FileWaitsForAConnectUnderWayAndAsksFirst_data();
  void FileWaitsForAConnectUnderWayAndAsksFirst();
};

void CommandLineFileTest::OneArgumentIsOpenedOffline_data() {
  QTest::addColumn<int>("count");  // of file arguments
  QTest::addColumn<bool>("opened");
  QTest::newRow("none") << 0 << false;
  QTest::newRow("one") << 1 << true;
  QTest::newRow("two") << 2 << false;
}

void CommandLineFileTest::OneArgumentIsOpenedOffline() {
  QFETCH(int, count);
  QFETCH(bool, opened);
  QTemporaryDir folder;
  const QString file = WriteFile(folder, "two.zrp", kTwoSensorFile);
  TWindowRig rig;
  rig.SetArguments(QStringList(count, file));
  TmSetUp& w = rig.Start();
  QCOMPARE(w.Zarno->ZarnoMode(), 0);
  w.show();
  QVERIFY(QTest::qWaitForWindowExposed(&w));
  QCoreApplication::processEvents();  // the opening follows the show

  QCOMPARE(w.Zarno->ZarnoMode(), opened ? 1 : 0);
  QCOMPARE(w.actTwoSensorsMode->isChecked(), opened);
  if (opened) {
    // Switched to the file's kind and version before its values were taken.
    QVERIFY(w.actv12->isChecked());
    QCOMPARE(w.Zarno->OfflineSWversion(), 12);
    QCOMPARE(Value(w, idSelectSensors), 2);
    QCOMPARE(Value(w, idCANAddress), 7);
    w.UpdateActions();
    QCOMPARE(w.SwVersionText(), "SW ver. 1.2");
    QVERIFY(w.acttov12->isVisible());
  } else {
    QCOMPARE(w.Zarno->OfflineSWversion(), 10);
    QCOMPARE(Value(w, idCANAddress), 1);
  }
  QVERIFY(rig.Runner.BoxTexts.isEmpty());
}

void CommandLineFileTest::FileWaitsForAConnectUnderWayAndAsksFirst_data() {
  QTest::addColumn<int>("answer");
  QTest::addColumn<int>("written");
  QTest::newRow("yes") << int(QMessageBox::Yes) << 9;
  QTest::newRow("no") << int(QMessageBox::No) << 5;
}

void CommandLineFileTest::FileWaitsForAConnectUnderWayAndAsksFirst() {
  QFETCH(int, answer);
  QFETCH(int, written);
  QTemporaryDir folder;
  sim::TZarnoSimulator simulator;
  TWindowRig rig;
  rig.SetArguments({WriteFile(folder, "twenty.zrp", kTwentySensorFile)});
  const uint8_t held = 5;
  simulator.SetObject(idCANAddress, std::span(&held, 1));
  bool connectedWhenAsked = false;
  rig.Runner.Answer = [&](QDialog&) {
    connectedWhenAsked = rig.Window->Zarno->IsConnected();
    // The user answers after the connection's first reading of the value has landed.
    const bool read = QTest::qWaitFor([&] { return Value(*rig.Window, idCANAddress) == held; });
    return read ? answer : int(QMessageBox::Cancel);
  };
  TmSetUp& w = rig.Start();
  w.ConnectTo(simulator.Start(), 1);
  w.show();
  QTRY_VERIFY_WITH_TIMEOUT(!rig.Runner.BoxTexts.isEmpty(), kLinkMs);
  QCOMPARE(rig.Runner.BoxTexts.first(), "A is connected. Overwrite all parameters?");
  // Only a load that went ahead says so, naming the restore point kept before it.
  QCOMPARE(rig.Runner.BoxTexts.size(), answer == QMessageBox::Yes ? 2 : 1);
  if (answer == QMessageBox::Yes) QVERIFY(rig.Runner.BoxTexts.last().contains("restore point"));
  QVERIFY(connectedWhenAsked);
  // A later read shows what the controller holds once the file's write would be done.
  w.Zarno->ReadValue(idCANAddress);
  QTRY_COMPARE_WITH_TIMEOUT(simulator.GetObject(idCANAddress)->at(0), uint8_t(written), kLinkMs);
  QTRY_COMPARE_WITH_TIMEOUT(Value(w, idCANAddress), int64_t(written), kLinkMs);
}

QTEST_MAIN(CommandLineFileTest)
#include "CommandLineFileTest.moc"
