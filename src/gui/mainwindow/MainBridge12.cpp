// Stand-ins for what the configuration pages own, until they land; the lead removes this
// file when merging, and their real versions take over.
#include <QHBoxLayout>

#include "BitUtils.h"
#include "Main.h"

namespace kalvist {

namespace {

double LimitPercent(TZarno& zarno, uint16_t id) {
  const std::optional<TValue> value = zarno.GetValue(id);
  return value ? ByteToPercent(static_cast<uint8_t>(value->AsInt64())) : 0;
}

}  // namespace

double TmSetUp::IgnitionReductionLimitValue() const {
  return LimitPercent(*Zarno, idIgnitionReductionLimit);
}

double TmSetUp::ImmediateStopLimitValue() const {
  return LimitPercent(*Zarno, idImmediateStopLimit);
}

int TmSetUp::CylinderCountValue() const {
  return Zarno->CylinderCount();
}

void TmSetUp::SetLimitWarningVisible(bool) {}

void TmSetUp::Bridge12PlaceModeGroups() {
  auto* layout = new QHBoxLayout(tsMode);
  layout->addWidget(CreateSoundGroup(tsMode));
  layout->addWidget(CreateDisplayModeGroup(tsMode));
  layout->addStretch(1);
}

}  // namespace kalvist
