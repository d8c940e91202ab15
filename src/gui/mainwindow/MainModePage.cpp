// Page "&Mode": the channel check boxes, the live view's display and sound groups, the
// LED latch and the diagnostics group.
#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <algorithm>

#include "Main.h"

namespace kalvist {

namespace {

constexpr uint32_t kAllChannels = (1u << kChannelCount) - 1;

TAsCheckBox* AddChannelBox(QWidget* parent, const QString& name, TCheckStyle style, int channel) {
  auto* box = new TAsCheckBox(parent);
  box->setObjectName(name + QString::number(channel));
  box->SetCheckStyle(style);
  box->SetCaptionSpace(1);
  QFont face("Arial");
  face.setPixelSize(13);
  box->SetCaptionFont(face);
  return box;
}

uint32_t MaskOf(const std::array<TAsCheckBox*, kChannelCount>& boxes) {
  uint32_t mask = 0;
  for (int i = 0; i < kChannelCount; ++i) {
    if (boxes[static_cast<size_t>(i)]->Checked()) mask |= 1u << i;
  }
  return mask;
}

// In the order of the boxes in the group: channel 1, 3, ..., 19, then 2, 4, ..., 20. Each
// box that changes raises its own handler.
void SetBoxesFromMask(const std::array<TAsCheckBox*, kChannelCount>& boxes, uint32_t mask) {
  for (int first : {0, 1}) {
    for (int i = first; i < kChannelCount; i += 2) {
      boxes[static_cast<size_t>(i)]->SetChecked((mask >> i) & 1u);
    }
  }
}

}  // namespace

void TmSetUp::CreateModePage() {
  auto* grid = new QGridLayout(tsMode);
  grid->setContentsMargins(4, 4, 4, 4);
  grid->setSpacing(4);

  gbSensors = new QGroupBox("  Analysed channels  ", tsMode);
  gbSensors->setObjectName("gbSensors");
  auto* channels = new QGridLayout(gbSensors);
  channels->setContentsMargins(6, 2, 6, 4);
  channels->setHorizontalSpacing(6);
  channels->setVerticalSpacing(2);
  for (int i = 0; i < kChannelCount; ++i) {
    const auto n = static_cast<size_t>(i);
    USensor[n] = AddChannelBox(gbSensors, "USensor", TCheckStyle::chsClasic, i + 1);
    USensor[n]->SetChecked(true);
    SSensor[n] = AddChannelBox(gbSensors, "SSensor", TCheckStyle::chsSymbols, i + 1);
    SSensor[n]->SetCaption(QString::number(i + 1));
    SSensor[n]->setToolTip("Detector signal input A/B");
    SSensor[n]->setStatusTip("Detector signal input A/B");
    auto* cell = new QHBoxLayout;
    cell->setSpacing(2);
    cell->addWidget(USensor[n]);
    cell->addWidget(SSensor[n]);
    cell->addStretch();
    channels->addLayout(cell, i % 2, i / 2);
    USensor[n]->OnChanged = [this](TAsCheckBox& box) { USensor1Changed(box); };
    SSensor[n]->OnChanged = [this](TAsCheckBox&) { SSensor1Changed(); };
  }

  gbSound = CreateSoundGroup(tsMode);
  gbDisplay = CreateDisplayModeGroup(tsMode);

  gbLEDLatch = new QGroupBox("Knock LED latch", tsMode);
  gbLEDLatch->setObjectName("gbLEDLatch");
  auto* latch = new QVBoxLayout(gbLEDLatch);
  latch->setContentsMargins(6, 4, 6, 4);
  chEnableKnockLEDLatch2 =
      new QCheckBox("Enable knock\nLED latch (switch\nOFF/ON to reset)", gbLEDLatch);
  chEnableKnockLEDLatch2->setObjectName("chEnableKnockLEDLatch2");
  latch->addWidget(chEnableKnockLEDLatch2);
  latch->addStretch();
  connect(chEnableKnockLEDLatch2, &QCheckBox::toggled, this,
          [this](bool on) { LedLatchClick(on); });

  gbDiagnose = new QGroupBox(tsMode);
  gbDiagnose->setObjectName("gbDiagnose");
  auto* diagnose = new QGridLayout(gbDiagnose);
  diagnose->setContentsMargins(6, 4, 6, 4);
  chDiagMode = new QCheckBox("Diagnose", gbDiagnose);
  chDiagMode->setObjectName("chDiagMode");
  chgDiagLEDs =
      new TCheckGroup("", {"LED ISU", "LED ANA", "KNOCKING", "REDUCTION", "TRIP"}, gbDiagnose);
  chgDiagLEDs->setObjectName("chgDiagLEDs");
  auto* outputLabel = new QLabel("Reg. output", gbDiagnose);
  seDiagOutput = AddBoundEdit(BoundEditSpecs()[0], gbDiagnose);
  seDiagOutput->setFixedWidth(64);
  lblDiagOutputUnit = new QLabel("[%]", gbDiagnose);
  diagnose->addWidget(chDiagMode, 0, 0, 1, 3);
  diagnose->addWidget(chgDiagLEDs, 1, 0, 1, 3);
  diagnose->addWidget(outputLabel, 2, 0, 1, 3);
  diagnose->addWidget(seDiagOutput, 3, 0, 1, 2);
  diagnose->addWidget(lblDiagOutputUnit, 3, 2);
  diagnose->setRowStretch(4, 1);
  chgDiagLEDs->setEnabled(false);
  seDiagOutput->setEnabled(false);
  connect(chDiagMode, &QCheckBox::toggled, this, [this] { chDiagModeChange(); });
  chgDiagLEDs->OnChange = [this](TCheckGroup& group) {
    Zarno->SetDiagnosticLeds(static_cast<uint16_t>(group.Mask()));
  };

  auto* lower = new QHBoxLayout;
  lower->setSpacing(4);
  lower->addWidget(gbSound, 3);
  lower->addWidget(gbDisplay, 2);
  lower->addWidget(gbLEDLatch, 2);
  grid->addWidget(gbSensors, 0, 0);
  grid->addLayout(lower, 1, 0);
  grid->addWidget(gbDiagnose, 0, 1, 2, 1);
  grid->setRowStretch(1, 1);
  grid->setColumnStretch(0, 1);
}

uint32_t TmSetUp::ChannelMask() const {
  return MaskOf(USensor);
}

uint32_t TmSetUp::InputMask() const {
  return MaskOf(SSensor);
}

int TmSetUp::DisplayedChannels(int count) const {
  return std::clamp(count, 2, std::max(2, Zarno->NumMaxChannels));
}

void TmSetUp::ShowChannelBoxes(int count) {
  const int n = DisplayedChannels(count);
  const bool twoSensors = Zarno->ZarnoMode() == 1;
  for (int i = 0; i < kChannelCount; ++i) {
    const auto k = static_cast<size_t>(i);
    USensor[k]->setVisible(i < n);
    SSensor[k]->setVisible(twoSensors && i < n);
    USensor[k]->SetCaption(twoSensors ? QString() : QString::number(i + 1));
    for (QWidget* row : {static_cast<QWidget*>(LblCyl[k]), static_cast<QWidget*>(LabCyl[k]),
                         static_cast<QWidget*>(seGain[k]), static_cast<QWidget*>(seAngle[k])}) {
      row->setVisible(i < n);
    }
  }
}

void TmSetUp::SetCylinderCountFromMax() {
  seCylinderCount->SetFormat(0, 1, kChannelCount, kChannelCount);
  seCylinderCount->setValue(std::clamp(Zarno->NumMaxChannels, 2, kChannelCount));
  BuildSensorList();
}

void TmSetUp::USensor1Changed(TAsCheckBox& box) {
  Zarno->SetValue(idUsedSensors, TValue(ChannelMask()));
  const auto channel =
      static_cast<size_t>(std::find(USensor.begin(), USensor.end(), &box) - USensor.begin());
  seGain[channel]->setEnabled(box.Checked());
  seAngle[channel]->setEnabled(box.Checked());
  if (!box.Checked()) ChannelDeselected(static_cast<int>(channel) + 1);
  SelectionChanged();
}

void TmSetUp::SSensor1Changed() {
  if (Zarno->HasParam(idSelectSensors)) Zarno->SetValue(idSelectSensors, TValue(InputMask()));
}

void TmSetUp::ShowChannelMask(uint16_t id) {
  ShowBoxMask(id, USensor);
}

void TmSetUp::ShowInputMask(uint16_t id) {
  ShowBoxMask(id, SSensor);
}

void TmSetUp::ShowBoxMask(uint16_t id, const std::array<TAsCheckBox*, kChannelCount>& boxes) {
  const std::optional<int64_t> raw = RawOf(id);
  if (!raw) return;
  const auto mask = static_cast<uint32_t>(std::clamp<int64_t>(*raw, 0, kAllChannels));
  if (mask != MaskOf(boxes)) SetBoxesFromMask(boxes, mask);
  // A mask with bits beyond the twentieth channel goes back without them.
  if (*raw != MaskOf(boxes)) Zarno->SetValue(id, TValue(MaskOf(boxes)));
  ShowChannelBoxes(Zarno->CylinderCount());
  RefreshChannels();
}

void TmSetUp::chDiagModeChange() {
  const bool on = chDiagMode->isChecked();
  Zarno->SetDiagnosticMode(on);
  chgDiagLEDs->setEnabled(on);
  seDiagOutput->setEnabled(on);
  lblDiagOutputUnit->setEnabled(on);
}

void TmSetUp::ShowDiagnosticMode(uint16_t) {
  chDiagMode->setChecked(Zarno->DiagnosticMode());
}

void TmSetUp::ShowDiagnosticLeds(uint16_t) {
  chgDiagLEDs->SetMask(Zarno->DiagnosticLeds());
}

void TmSetUp::LedLatchClick(bool checked) {
  Zarno->SetSwitchBit(6, checked);
  ZarnoObjectChanged(idSwitches);
}

}  // namespace kalvist
