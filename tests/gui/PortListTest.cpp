#include <QtTest>

#include "ComInfoList.h"
#include "fSetupDlg.h"

using namespace kalvist;

namespace {

TComInfoList List(std::initializer_list<TComInfo> entries) {
  TComInfoList list;
  for (const TComInfo& entry : entries) list.Add(entry);
  return list;
}

std::vector<int> Numbers(const TComInfoList& list) {
  std::vector<int> numbers;
  for (int i = 0; i < list.Count(); ++i) numbers.push_back(list[i].Number);
  return numbers;
}

// Three present ports (numbered 1 to 3 in scan order) and two device-map ports.
TPortSources Sources() {
  TPortSources sources;
  sources.Scan = [] {
    return std::vector<TPortInfo>{{"/dev/ttyS0", "Serial port"},
                                  {"/dev/ttyUSB0", "FT232R USB UART (A1)"},
                                  {"/dev/ttyACM0", "Zarno USB"}};
  };
  sources.DeviceMap = {{"ZarnoSimVCP", "COM9", "/dev/pts/4"},
                       {"\\Device\\Serial0", "COM2", "/dev/ttyS9"}};
  return sources;
}

QPoint CellCentre(QTableWidget* grid, int row) {
  return grid->visualRect(grid->model()->index(row, 1)).center();
}

}  // namespace

class PortListTest : public QObject {
  Q_OBJECT

 private slots:
  void DescribesDriverDeviceNames();
  void DeviceMapTakesNumbersOneToHundredOnly();
  void RowsStartWithThePlaceholderAndFollowTheNumbers();
  void GridShowsPortsAndSelectsOnlyPortRows();
  void DoubleClickClosesOnlyOnAPortRow();
  void SelectedPortCannotBeUnselected();
  void RefreshScansAgainAndKeepsTheSelectedPort();
};

void PortListTest::DescribesDriverDeviceNames() {
  const std::pair<const char*, const char*> cases[] = {
      {"\\Device\\Serial0", "Communications Port"},
      {"\\Device\\BtPort3", "Bluetooth Communications Port"},
      {"\\Device\\ZarnoVcp1", "Virtual Communications Port"},
      {"\\Device\\BthModem0", "Bth Modem"},
      {"ModemDev0", " Modem"},  // "MODEM" only inside the 8-character prefix
      {"\\Device\\NPSer2", "Ethernet Communications Port"},
      {"\\Device\\NPDRV7", "Ethernet Communications Port"},
      {"\\Device\\SerialModem", "Communications Port"},  // the first rule wins
      {"\\Device\\Foo0", "Unknown Communications Port"},
  };
  for (const auto& [name, description] : cases) {
    QCOMPARE(QString::fromStdString(DescribeDeviceName(name)), QString(description));
  }
}

void PortListTest::DeviceMapTakesNumbersOneToHundredOnly() {
  const TComInfoList list = ComInfoFromDeviceMap({{"\\Device\\Serial0", "COM1", "/a"},
                                                  {"\\Device\\Serial1", "COM100", "/b"},
                                                  {"\\Device\\Serial2", "COM101", "/c"},
                                                  {"\\Device\\Serial3", "COM0", "/d"},
                                                  {"\\Device\\Serial4", "COMx", "/e"},
                                                  {"\\Device\\Serial5", "XYZ7", "/f"},
                                                  {"\\Device\\Serial6", "COM", "/g"}});
  QCOMPARE(Numbers(list), (std::vector<int>{1, 100, 7}));
  QCOMPARE(list[2].Path, "/f");  // the first three characters are not checked
}

void PortListTest::RowsStartWithThePlaceholderAndFollowTheNumbers() {
  const TComInfoList present = List({{10, "ten", "/p10"}, {9, "nine", "/p9"}, {3, "three", "/p3"}});
  const TComInfoList deviceMap = List({{3, "map three", "/m3"}, {1, "map one", "/m1"}});
  const TComInfoList rows = PortRows(present, deviceMap);
  QCOMPARE(Numbers(rows), (std::vector<int>{-1, 1, 3, 9, 10}));
  QCOMPARE(rows[2].Description, "three");  // the present port wins over the map's
  QCOMPARE(rows[2].Path, "/p3");

  TComInfoList list = present;
  QVERIFY(list.Contains(9) && !list.Contains(1));
  list.AddMissing(deviceMap);
  QCOMPARE(Numbers(list), (std::vector<int>{10, 9, 3, 1}));
}

void PortListTest::GridShowsPortsAndSelectsOnlyPortRows() {
  TfmSetupDlg dialog(Sources());
  QTableWidget* grid = dialog.frSelectComPort->asgPort;
  // Placeholder, ttyS0, ttyUSB0, ttyACM0, the simulator; the map's COM2 is taken.
  QCOMPARE(grid->rowCount(), 5);
  QCOMPARE(grid->item(0, 0)->text(), "");
  QCOMPARE(grid->item(1, 0)->text(), "ttyS0");
  QCOMPARE(grid->item(2, 1)->text(), "FT232R USB UART (A1)");
  QCOMPARE(grid->item(4, 0)->text(), "pts/4");
  QCOMPARE(grid->item(4, 1)->text(), "Virtual Communications Port");
  QCOMPARE(dialog.ComPort(), 0);  // nothing chosen yet

  dialog.SetComPort(42);  // not listed: nothing moves
  QCOMPARE(dialog.ComPort(), 0);
  dialog.SetComPortPath("/dev/ttyUSB0");
  QCOMPARE(dialog.ComPort(), 2);
  dialog.SetComPort(9);
  QCOMPARE(dialog.ComPortPath(), "/dev/pts/4");

  dialog.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dialog));
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCentre(grid, 1));
  QCOMPARE(dialog.ComPort(), 1);
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCentre(grid, 0));
  QCOMPARE(dialog.ComPort(), 1);  // the empty row cannot be chosen
  grid->setFocus();
  QTest::keyClick(grid, Qt::Key_Up);
  QCOMPARE(dialog.ComPort(), 1);
  QTest::keyClick(grid, Qt::Key_Down);
  QCOMPARE(dialog.ComPort(), 2);
}

void PortListTest::DoubleClickClosesOnlyOnAPortRow() {
  const auto doubleClickAt = [](int row, int yBelowLast = 0) {
    TfmSetupDlg dialog(Sources());
    dialog.show();
    QTableWidget* grid = dialog.frSelectComPort->asgPort;
    const QPoint at = row >= 0 ? CellCentre(grid, row)
                               : CellCentre(grid, grid->rowCount() - 1) + QPoint(0, yBelowLast);
    QTest::mouseMove(grid->viewport(), at);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
    return dialog.result() == QDialog::Accepted && !dialog.isVisible();
  };
  QVERIFY(doubleClickAt(3));
  QVERIFY(doubleClickAt(4));
  QVERIFY(!doubleClickAt(0));
  QVERIFY(!doubleClickAt(-1, 40));  // no cell under the mouse
}

void PortListTest::SelectedPortCannotBeUnselected() {
  TfmSetupDlg dialog(Sources());
  dialog.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dialog));
  QTableWidget* grid = dialog.frSelectComPort->asgPort;
  QVERIFY(!dialog.btnOk->isEnabled());  // no port chosen yet
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, CellCentre(grid, 2));
  QCOMPARE(dialog.ComPort(), 2);
  QVERIFY(dialog.btnOk->isEnabled());

  const QPoint belowRows = CellCentre(grid, grid->rowCount() - 1) + QPoint(0, 40);
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, belowRows);
  QCOMPARE(dialog.ComPort(), 2);
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier, CellCentre(grid, 2));
  QCOMPARE(dialog.ComPort(), 2);
  grid->setFocus();
  QTest::keyClick(grid, Qt::Key_Space, Qt::ControlModifier);
  QCOMPARE(dialog.ComPort(), 2);
  QTest::keyClick(grid, Qt::Key_Down);
  QCOMPARE(dialog.ComPort(), 3);
  QVERIFY(dialog.btnOk->isEnabled());
}

void PortListTest::RefreshScansAgainAndKeepsTheSelectedPort() {
  auto present = std::make_shared<std::vector<TPortInfo>>(
      std::vector<TPortInfo>{{"/dev/ttyUSB0", "FT232R"}, {"/dev/ttyUSB1", "CH340"}});
  TPortSources sources;
  sources.Scan = [present] { return *present; };
  TfmSetupDlg dialog(sources);
  dialog.SetComPortPath("/dev/ttyUSB1");
  QCOMPARE(dialog.ComPort(), 2);

  // An adapter plugged in meanwhile comes first and takes the numbers that follow.
  present->insert(present->begin(), {"/dev/ttyACM0", "Zarno USB"});
  dialog.btnRefresh->click();
  QCOMPARE(dialog.frSelectComPort->asgPort->rowCount(), 4);
  QCOMPARE(dialog.ComPortPath(), "/dev/ttyUSB1");
  QCOMPARE(dialog.ComPort(), 3);
  QVERIFY(dialog.btnOk->isEnabled());

  present->pop_back();  // the chosen adapter is pulled: no port is chosen any more
  dialog.btnRefresh->click();
  QCOMPARE(dialog.frSelectComPort->asgPort->rowCount(), 3);
  QCOMPARE(dialog.ComPort(), 0);
  QVERIFY(!dialog.btnOk->isEnabled());
}

QTEST_MAIN(PortListTest)
#include "PortListTest.moc"
