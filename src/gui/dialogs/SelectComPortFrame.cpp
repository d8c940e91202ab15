#include "SelectComPortFrame.h"

#include <QHeaderView>
#include <QVBoxLayout>

namespace kalvist {

namespace {

constexpr int kPathRole = Qt::UserRole + 1;

// Once a port row is selected, one stays selected: neither a click beside the rows nor
// Ctrl with a click or the space bar leaves the dialog without a port.
class TPortGrid : public QTableWidget {
 public:
  using QTableWidget::QTableWidget;

 protected:
  QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                       const QEvent*) const override {
    if (!index.isValid() || !(model()->flags(index) & Qt::ItemIsSelectable)) {
      return QItemSelectionModel::NoUpdate;
    }
    return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
  }
};

}  // namespace

TfrSelectComPort::TfrSelectComPort(TPortSources sources, QWidget* parent)
    : QFrame(parent), asgPort(new TPortGrid(1, 2, this)), sources_(std::move(sources)) {
  asgPort->setObjectName("asgPort");
  asgPort->horizontalHeader()->hide();
  asgPort->verticalHeader()->hide();
  asgPort->setSelectionBehavior(QAbstractItemView::SelectRows);
  asgPort->setSelectionMode(QAbstractItemView::SingleSelection);
  asgPort->setEditTriggers(QAbstractItemView::NoEditTriggers);
  asgPort->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  asgPort->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  asgPort->setColumnWidth(0, 74);
  asgPort->setColumnWidth(1, 220);
  asgPort->verticalHeader()->setDefaultSectionSize(17);
  asgPort->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  asgPort->setShowGrid(false);
  QFont font("Tahoma");
  font.setPointSize(8);
  asgPort->setFont(font);
  asgPort->setStyleSheet(
      "QTableWidget::item:selected { background: rgb(182, 202, 234); color: black; }");
  asgPort->setToolTip("Select COM port");
  asgPort->setStatusTip("Select COM port");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(asgPort);
}

void TfrSelectComPort::UpdatePortList() {
  const std::string selected = SelectedPath();
  ports_ = PortRows(ComInfoFromScan(sources_.Scan()), ComInfoFromDeviceMap(sources_.DeviceMap));
  asgPort->clearSelection();
  asgPort->clearContents();
  asgPort->setRowCount(ports_.Count());
  for (int row = 0; row < ports_.Count(); ++row) {
    const TComInfo& info = ports_[row];
    auto* name = new QTableWidgetItem;
    auto* description = new QTableWidgetItem;
    if (info.Number > 0) {
      name->setText(QString::fromStdString(PortLabel(info.Path)));
      name->setData(Qt::UserRole, info.Number);
      name->setData(kPathRole, QString::fromStdString(info.Path));
      description->setText(QString::fromStdString(info.Description));
    } else {
      // The empty row cannot be selected, by mouse or keyboard.
      name->setFlags(Qt::NoItemFlags);
      description->setFlags(Qt::NoItemFlags);
    }
    asgPort->setItem(row, 0, name);
    asgPort->setItem(row, 1, description);
  }
  // Numbers follow the scan order; the device path is what names the same port again.
  if (!selected.empty()) SelectPortPath(selected);
}

int TfrSelectComPort::RowNumber(int row) const {
  const QTableWidgetItem* item = asgPort->item(row, 0);
  return item == nullptr ? 0 : item->data(Qt::UserRole).toInt();
}

std::string TfrSelectComPort::RowPath(int row) const {
  const QTableWidgetItem* item = asgPort->item(row, 0);
  return item == nullptr ? "" : item->data(kPathRole).toString().toStdString();
}

void TfrSelectComPort::SelectRowWhere(const std::function<bool(int row)>& match) {
  for (int row = 0; row < asgPort->rowCount(); ++row) {
    if (RowNumber(row) > 0 && match(row)) {
      asgPort->setCurrentCell(row, 0);
      return;
    }
  }
}

void TfrSelectComPort::SelectPort(int number) {
  SelectRowWhere([&](int row) { return RowNumber(row) == number; });
}

void TfrSelectComPort::SelectPortPath(const std::string& path) {
  SelectRowWhere([&](int row) { return RowPath(row) == path; });
}

int TfrSelectComPort::SelectedPort() const {
  const auto rows = asgPort->selectionModel()->selectedRows();
  return rows.isEmpty() ? 0 : RowNumber(rows.first().row());
}

std::string TfrSelectComPort::SelectedPath() const {
  const auto rows = asgPort->selectionModel()->selectedRows();
  return rows.isEmpty() ? "" : RowPath(rows.first().row());
}

}  // namespace kalvist
