// Pages "&Outputs options" (limits, ramps, output options, the controller name) and
// "&CAN params".
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "Main.h"
#include "TextCodec.h"

namespace kalvist {

namespace {

// Label, edit and unit in one row of `grid`.
void AddEditRow(QGridLayout* grid, int row, const QString& label, TBoundSpinEdit* edit,
                const QString& unit) {
  auto* caption = new QLabel(label, edit->parentWidget());
  caption->setBuddy(edit);
  grid->addWidget(caption, row, 0);
  grid->addWidget(edit, row, 1);
  grid->addWidget(new QLabel(unit, edit->parentWidget()), row, 2);
}

QCheckBox* AddCheckBox(QWidget* parent, const char* name, const QString& caption) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  return box;
}

}  // namespace

void TmSetUp::CreateOptionsPage() {
  auto* page = new QHBoxLayout(tsOptions);
  page->setContentsMargins(4, 4, 4, 4);

  // The red block sits behind the two limit edits while the reduction limit is above
  // the stop limit.
  auto* limits = new QWidget(tsOptions);
  auto* limitGrid = new QGridLayout(limits);
  limitGrid->setContentsMargins(0, 0, 0, 0);
  lblErrLimits = new QLabel(limits);
  lblErrLimits->setObjectName("lblErrLimits");
  lblErrLimits->setStyleSheet("background-color: red;");
  lblErrLimits->setFixedSize(196, 47);
  lblErrLimits->setVisible(false);
  auto* edits = new QWidget(limits);
  auto* grid = new QGridLayout(edits);
  grid->setContentsMargins(4, 2, 4, 2);
  grid->setVerticalSpacing(3);
  seIgnitionReductionLimit = AddNamedEdit("seIgnitionReductionLimit", edits);
  seImmediateStopLimit = AddNamedEdit("seImmediateStopLimit", edits);
  seDecreaseRamp = AddNamedEdit("seDecreaseRamp", edits);
  seTimingReductionGain = AddNamedEdit("seTimingReductionGain", edits);
  seMaximumOutputValue = AddNamedEdit("seMaximumOutputValue", edits);
  seDelayAfterLoadReduction = AddNamedEdit("seDelayAfterLoadReduction", edits);
  AddEditRow(grid, 0, "Ignition reduction limit ", seIgnitionReductionLimit, "[%]");
  AddEditRow(grid, 1, "Immediate stop limit ", seImmediateStopLimit, "[%]");
  AddEditRow(grid, 2, "Decrease ramp  ", seDecreaseRamp, "[%/s]");
  AddEditRow(grid, 3, "Timing reduction gain  ", seTimingReductionGain, "[%]");
  AddEditRow(grid, 4, "Maximum output value", seMaximumOutputValue, "[%]");
  AddEditRow(grid, 5, "Delay after load reduction", seDelayAfterLoadReduction, "[s]");
  grid->setRowStretch(6, 1);
  limitGrid->addWidget(lblErrLimits, 0, 0, Qt::AlignLeft | Qt::AlignTop);
  limitGrid->addWidget(edits, 0, 0);
  lblErrLimits->lower();

  auto* right = new QVBoxLayout;
  chReverseAnalogOutput = AddCheckBox(tsOptions, "chReverseAnalogOutput", "Reverse analog output");
  chEnableMaxOutputSetting =
      AddCheckBox(tsOptions, "chEnableMaxOutputSetting", "Enable max. output setting");
  chEnableBadSensorDetect =
      AddCheckBox(tsOptions, "chEnableBadSensorDetect", "Enable bad sensor detect");
  chEnableKnockLEDLatch = AddCheckBox(tsOptions, "chEnableKnockLEDLatch",
                                      "Enable knock LED latch (switch OFF/ON to reset)");
  rgTripContactInactive =
      new TRadioGroup("Trip contact inactive ", {"CLOSE", "OPEN"}, 2, tsOptions);
  rgTripContactInactive->setObjectName("rgTripContactInactive");
  rgTripContactInactive->SetItemIndex(0);
  gbSetpointsIDName = new QGroupBox("Name of controller", tsOptions);
  gbSetpointsIDName->setObjectName("gbSetpointsIDName");
  auto* name = new QVBoxLayout(gbSetpointsIDName);
  edSetpointsIDName = new QLineEdit(gbSetpointsIDName);
  edSetpointsIDName->setObjectName("edSetpointsIDName");
  edSetpointsIDName->setMaxLength(15);
  name->addWidget(edSetpointsIDName);
  for (QWidget* control :
       {static_cast<QWidget*>(chReverseAnalogOutput),
        static_cast<QWidget*>(chEnableMaxOutputSetting),
        static_cast<QWidget*>(chEnableBadSensorDetect),
        static_cast<QWidget*>(chEnableKnockLEDLatch), static_cast<QWidget*>(rgTripContactInactive),
        static_cast<QWidget*>(gbSetpointsIDName)}) {
    right->addWidget(control);
  }
  right->addStretch();

  const std::pair<QCheckBox*, int> bits[] = {
      {chReverseAnalogOutput, 2}, {chEnableMaxOutputSetting, 3}, {chEnableBadSensorDetect, 5}};
  for (const auto& [box, bit] : bits) {
    connect(box, &QCheckBox::toggled, this,
            [this, n = bit](bool on) { Zarno->SetSwitchBit(n, on); });
  }
  connect(chEnableKnockLEDLatch, &QCheckBox::toggled, this, [this](bool on) { LedLatchClick(on); });
  rgTripContactInactive->OnClick = [this](TRadioGroup& group) {
    Zarno->SetSwitchBit(4, group.ItemIndex() == 1);
  };
  connect(edSetpointsIDName, &QLineEdit::editingFinished, this,
          [this] { edSetpointsIDNameExit(); });

  page->addWidget(limits);
  page->addLayout(right, 1);
}

void TmSetUp::CreateCanPage() {
  auto* page = new QHBoxLayout(tsCAN);
  page->setContentsMargins(4, 4, 4, 4);
  auto* grid = new QGridLayout;
  seCanAddr = AddNamedEdit("seCanAddr", tsCAN);
  grid->addWidget(new QLabel("CAN address", tsCAN), 0, 0);
  grid->addWidget(seCanAddr, 0, 1);
  cbBusSpeed = new QComboBox(tsCAN);
  cbBusSpeed->setObjectName("cbBusSpeed");
  cbBusSpeed->addItems({"50", "100", "125", "250", "500", "1000"});
  cbBusSpeed->setCurrentText("250");
  cbBusSpeed->setFixedWidth(72);
  lblBusSpeed = new QLabel("[kb/s]", tsCAN);
  lblBusSpeed->setObjectName("lblBusSpeed");
  auto* busLabel = new QLabel("Bus speed", tsCAN);
  busLabel->setObjectName("lblBusSpeedCaption");
  grid->addWidget(busLabel, 1, 0);
  grid->addWidget(cbBusSpeed, 1, 1);
  grid->addWidget(lblBusSpeed, 1, 2);
  grid->setRowStretch(2, 1);
  rgCanMode =
      new TRadioGroup(" Communication mode ", {"CANOpen mode", "Qorvix-controller"}, 1, tsCAN);
  rgCanMode->setObjectName("rgCanMode");
  rgCanMode->SetItemIndex(0);
  rgCanMode->OnClick = [this](TRadioGroup&) { rgCanModeClick(); };
  connect(cbBusSpeed, &QComboBox::activated, this, [this] {
    Zarno->SetValue(idBusSpeed, TValue(cbBusSpeed->currentText().toStdString()));
    SetMarked(cbBusSpeed, false);
  });
  auto* right = new QVBoxLayout;
  right->addWidget(rgCanMode);
  right->addStretch();
  page->addLayout(grid);
  page->addSpacing(16);
  page->addLayout(right);
  page->addStretch();
}

void TmSetUp::rgCanModeClick() {
  const int index = rgCanMode->ItemIndex();
  Zarno->SetValue(idCANMode, TValue(index));
  const bool canOpen = index == 0;
  cbBusSpeed->setEnabled(canOpen);
  lblBusSpeed->setEnabled(canOpen);
}

void TmSetUp::ShowBusSpeed(uint16_t id) {
  const std::optional<int64_t> raw = RawOf(id);
  if (!raw) return;
  const int index = cbBusSpeed->findText(QString::number(*raw));
  cbBusSpeed->setCurrentIndex(index);
  SetMarked(cbBusSpeed, index < 0);
}

void TmSetUp::ShowCanMode(uint16_t id) {
  if (const std::optional<int64_t> raw = RawOf(id)) rgCanMode->SetItemIndex(static_cast<int>(*raw));
}

void TmSetUp::ShowControllerName() {
  if (Zarno->HasParam(idSetpointsIdName)) {
    edSetpointsIDName->setText(FromCp1252(Zarno->GetValue(idSetpointsIdName)->AsString()));
  } else {
    edSetpointsIDName->clear();
  }
  setWindowTitle(WindowCaption());
}

void TmSetUp::ShowControllerNameObject(uint16_t) {
  ShowControllerName();
}

void TmSetUp::edSetpointsIDNameExit() {
  if (!Zarno->HasParam(idSetpointsIdName)) return;
  Zarno->SetValue(idSetpointsIdName, TValue(ToCp1252(edSetpointsIDName->text())));
  ZarnoObjectChanged(idSetpointsIdName);
}

void TmSetUp::SetLimitWarningVisible(bool visible) {
  lblErrLimits->setVisible(visible);
}

}  // namespace kalvist
