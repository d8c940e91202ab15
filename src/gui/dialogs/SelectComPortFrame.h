// The port list of the Setup dialog: an empty first row, then one row per serial port
// in ascending order of number, the port's name and its description. Only port rows can
// be selected.
#pragma once

#include <QFrame>
#include <QTableWidget>
#include <functional>

#include "ComInfoList.h"

namespace kalvist {

// Where the ports come from: the system's scan and device-map entries the program adds
// (the built-in simulator in demo mode).
struct TPortSources {
  std::function<std::vector<TPortInfo>()> Scan = [] { return ScanPorts(); };
  std::vector<TDeviceMapEntry> DeviceMap;
};

class TfrSelectComPort : public QFrame {
 public:
  explicit TfrSelectComPort(TPortSources sources, QWidget* parent = nullptr);

  // Scans and refills the list; the selected port stays selected while it is listed.
  void UpdatePortList();
  // Selects the first row of that port; no such row leaves the selection as it is.
  void SelectPort(int number);
  void SelectPortPath(const std::string& path);
  // 0 (and an empty path) while no port row is selected.
  int SelectedPort() const;
  std::string SelectedPath() const;

  QTableWidget* asgPort;

 private:
  void SelectRowWhere(const std::function<bool(int row)>& match);
  int RowNumber(int row) const;
  std::string RowPath(int row) const;

  TPortSources sources_;
  TComInfoList ports_;
};

}  // namespace kalvist
