#include "fSetupDlg.h"

#include <QDialogButtonBox>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace kalvist {

TfmSetupDlg::TfmSetupDlg(TPortSources sources, QWidget* parent)
    : QDialog(parent),
      frSelectComPort(new TfrSelectComPort(std::move(sources), this)),
      chInstantConnect(new QCheckBox("Open connection after startup", this)) {
  setWindowTitle("Setup");
  setObjectName("fmSetupDlg");
  auto* buttons = new QDialogButtonBox(this);
  btnOk = buttons->addButton(QDialogButtonBox::Ok);
  btnCancel = buttons->addButton(QDialogButtonBox::Cancel);
  // Adapters are often plugged in after the dialog has opened.
  btnRefresh = buttons->addButton("&Refresh", QDialogButtonBox::ResetRole);
  btnRefresh->setObjectName("btnRefresh");
  btnRefresh->setToolTip("Scan the ports again");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(btnRefresh, &QPushButton::clicked, frSelectComPort, &TfrSelectComPort::UpdatePortList);
  // Without a port there is nothing to connect to.
  connect(frSelectComPort->asgPort->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          [this] { btnOk->setEnabled(ComPort() > 0); });
  btnOk->setEnabled(false);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(frSelectComPort);
  layout->addWidget(chInstantConnect);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  frSelectComPort->setFixedSize(74 + 220 + 2 * frSelectComPort->asgPort->frameWidth() + 18, 160);

  QWidget* cells = frSelectComPort->asgPort->viewport();
  cells->setMouseTracking(true);
  cells->installEventFilter(this);
  FormCreate();
}

void TfmSetupDlg::FormCreate() {
  frSelectComPort->UpdatePortList();
}

bool TfmSetupDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == frSelectComPort->asgPort->viewport()) {
    if (event->type() == QEvent::MouseMove || event->type() == QEvent::MouseButtonPress) {
      frSelectComPortasgPortMouseMove(static_cast<QMouseEvent*>(event)->position().toPoint());
    } else if (event->type() == QEvent::MouseButtonDblClick) {
      frSelectComPortasgPortDblClickCell();
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TfmSetupDlg::frSelectComPortasgPortMouseMove(const QPoint& position) {
  const QTableWidget* grid = frSelectComPort->asgPort;
  mouseCol_ = grid->columnAt(position.x());
  mouseRow_ = grid->rowAt(position.y());
  if (mouseCol_ < 0 || mouseRow_ < 0) mouseCol_ = mouseRow_ = -1;
}

void TfmSetupDlg::frSelectComPortasgPortDblClickCell() {
  // Row 0 is the empty row: only port rows close the dialog.
  if (mouseRow_ >= 1 && mouseRow_ <= frSelectComPort->asgPort->rowCount() - 1) accept();
}

}  // namespace kalvist
