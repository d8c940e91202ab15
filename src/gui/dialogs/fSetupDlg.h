// The "Setup" dialog of "Connect USB": the port list and "Open connection after
// startup". A double click on a port row closes it with OK; OK needs a port row.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QPushButton>

#include "SelectComPortFrame.h"

namespace kalvist {

class TfmSetupDlg : public QDialog {
 public:
  // Fills the port list at once.
  explicit TfmSetupDlg(TPortSources sources, QWidget* parent = nullptr);

  int ComPort() const { return frSelectComPort->SelectedPort(); }
  void SetComPort(int number) { frSelectComPort->SelectPort(number); }
  std::string ComPortPath() const { return frSelectComPort->SelectedPath(); }
  void SetComPortPath(const std::string& path) { frSelectComPort->SelectPortPath(path); }

  TfrSelectComPort* frSelectComPort;
  QCheckBox* chInstantConnect;
  QPushButton* btnOk;
  QPushButton* btnCancel;
  QPushButton* btnRefresh;  // scans the ports again

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormCreate();
  void frSelectComPortasgPortMouseMove(const QPoint& position);
  void frSelectComPortasgPortDblClickCell();

  int mouseCol_ = -1;  // the grid cell under the mouse pointer, -1 outside the cells
  int mouseRow_ = -1;
};

}  // namespace kalvist
