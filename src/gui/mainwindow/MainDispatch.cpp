// The dispatch of the device object's OnObjectChanged by object ID, the switch word the
// controls share, and the one push of every control's value into its object.
#include <QApplication>

#include "BitUtils.h"
#include "Main.h"

namespace kalvist {

namespace {

using THandler = void (TmSetUp::*)(uint16_t id);

struct TDispatchRow {
  uint16_t First;
  uint16_t Last;
  THandler Handler;
};

// One row per ID or run of IDs; the live view and the pages both extend it here.
constexpr TDispatchRow kDispatch[] = {
    {idAlfa1, idAlfa1 + kChannelCount - 1, &TmSetUp::ShowBoundObject},  // Alfa and Beta
    {idWindowDelay, idWindowWidth, &TmSetUp::ShowBoundObject},
    {idKnockFilterFrequency, idRefFilterFrequency, &TmSetUp::ShowFrequency},
    {idAttenuation, idAttenuation, &TmSetUp::ShowBoundObject},
    {idUsedSensors, idUsedSensors, &TmSetUp::ShowChannelMask},
    {idIgnitionReductionLimit, idImmediateStopLimit, &TmSetUp::ShowBoundObject},
    {idSwitches, idSwitches, &TmSetUp::ShowSwitches},
    {idCANAddress, idCANAddress, &TmSetUp::ShowBoundObject},
    {idBusSpeed, idBusSpeed, &TmSetUp::ShowBusSpeed},
    {idStatus, idBadSensors, &TmSetUp::RouteLiveObject},
    {idCANMode, idCANMode, &TmSetUp::ShowCanMode},
    {idCylinderCount, idCylinderCount, &TmSetUp::ShowCylinderCount},
    {idAngleV, idAngleV, &TmSetUp::ShowBoundObject},
    {idDiagnosticMode, idDiagnosticMode, &TmSetUp::ShowDiagnosticMode},
    {idDiagnosticOutput, idDiagnosticOutput, &TmSetUp::ShowBoundObject},
    {idDiagnosticLeds, idDiagnosticLeds, &TmSetUp::ShowDiagnosticLeds},
    {idSelectSensors, idSelectSensors, &TmSetUp::ShowInputMask},
    {idGain1, idGain1 + kChannelCount - 1, &TmSetUp::ShowBoundObject},
    {idMode2Live1, idMode2Live1, &TmSetUp::IgnoreObject},
    {idMode2Live2, idMode2Live3, &TmSetUp::IgnoreObject},
    {idMode2Live4, idMode2Live4, &TmSetUp::IgnoreObject},
    {idHardwareType, idHardwareType, &TmSetUp::IgnoreObject},
    {idSetpointsIdName, idSetpointsIdName, &TmSetUp::ShowControllerNameObject},
    {idKnockIntensity, idKnockIntensity, &TmSetUp::RouteLiveObject},
    {idThreeLvLPassword, idThreeLvLPassword, &TmSetUp::PasswordStateChanged},
    {idPassword, idPassword, &TmSetUp::PasswordStateChanged},
};

}  // namespace

void TmSetUp::ZarnoObjectChanged(uint16_t id) {
  for (const TDispatchRow& row : kDispatch) {
    if (id >= row.First && id <= row.Last) {
      (this->*row.Handler)(id);
      return;
    }
  }
  Beep();
}

void TmSetUp::RouteLiveObject(uint16_t id) {
  LiveObjectChanged(id);
}

void TmSetUp::IgnoreObject(uint16_t) {}

void TmSetUp::PasswordStateChanged(uint16_t) {
  Zarno->ReadAllParameters();
  RefreshForDevice();
  if (PCTRL->currentIndex() < 0 || !PCTRL->isTabVisible(PCTRL->currentIndex())) {
    PCTRL->setCurrentWidget(tsMode);
  }
  ScheduleUpdateActions();
}

void TmSetUp::ShowCylinderCount(uint16_t) {
  seCylinderCount->setValue(Zarno->CylinderCount());
}

void TmSetUp::ShowSwitches(uint16_t) {
  // Each control raises its own handler, which writes its bit back unchanged.
  rgEngineStroke->SetItemIndex(Zarno->SwitchBit(0) ? 1 : 0);
  rgAttenuation->SetItemIndex(Zarno->SwitchBit(1) ? 0 : 1);
  chReverseAnalogOutput->setChecked(Zarno->SwitchBit(2));
  chEnableMaxOutputSetting->setChecked(Zarno->SwitchBit(3));
  rgTripContactInactive->SetItemIndex(Zarno->SwitchBit(4) ? 1 : 0);
  chEnableBadSensorDetect->setChecked(Zarno->SwitchBit(5));
  chEnableKnockLEDLatch->setChecked(Zarno->SwitchBit(6));
  chEnableKnockLEDLatch2->setChecked(Zarno->SwitchBit(6));
  // A type the list does not offer (irregular on older firmware) selects its last item.
  rgEngineType->SetItemIndex(
      std::min(std::clamp(Zarno->EngineType(), 0, 2), rgEngineType->Count() - 1));
}

uint16_t TmSetUp::SwitchWordFromControls() const {
  uint32_t word = 0;
  SetBit0(word, 1, rgAttenuation->ItemIndex() == 0);
  SetBit0(word, 2, chReverseAnalogOutput->isChecked());
  SetBit0(word, 3, chEnableMaxOutputSetting->isChecked());
  SetBit0(word, 4, rgTripContactInactive->ItemIndex() == 1);
  SetBit0(word, 5, chEnableBadSensorDetect->isChecked());
  SetBit0(word, 6, chEnableKnockLEDLatch->isChecked());
  SetMaskedBits(word, 8, 2, static_cast<uint32_t>(std::max(0, rgEngineType->ItemIndex())));
  return static_cast<uint16_t>(word);
}

void TmSetUp::PushControlsToObjects() {
  Zarno->SetValue(idBusSpeed, TValue(cbBusSpeed->currentText().toStdString()));
  Zarno->SetValue(idCANMode, TValue(rgCanMode->ItemIndex()));
  for (TBoundSpinEdit* edit :
       {seWindowDelay, seWindowWidth, seCylinderCount, seAngleV, seAttenuation,
        seIgnitionReductionLimit, seImmediateStopLimit, seCanAddr}) {
    WriteEdit(*edit);
  }
  Zarno->SetValue(idKnockFilterFrequency, TValue(cbKnockFrequency->currentText().toStdString()));
  Zarno->SetValue(idRefFilterFrequency, TValue(cbRefFrequency->currentText().toStdString()));
  for (TBoundSpinEdit* edit :
       {seDecreaseRamp, seTimingReductionGain, seMaximumOutputValue, seDelayAfterLoadReduction}) {
    WriteEdit(*edit);
  }
  Zarno->SetValue(idUsedSensors, TValue(ChannelMask()));
  if (Zarno->ZarnoMode() == 1) Zarno->SetValue(idSelectSensors, TValue(InputMask()));
  Zarno->SetValue(idSwitches, TValue(SwitchWordFromControls()));
  Zarno->SetSwitchBit(0, true);  // 4-stroke
}

}  // namespace kalvist
