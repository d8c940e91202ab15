// The refresh after a change of hardware kind, firmware version or access level: the
// visibility rules in three layers, the page contents that follow the firmware, and the
// enabled state passed on to what the groups and pages hold.
#include "Main.h"

namespace kalvist {

namespace {

struct TFlags {
  bool ShownConnected, ShownOffline, EnabledConnected, EnabledOffline;
};

// A rule written as four digits: shown connected, shown offline, enabled connected,
// enabled offline ("1110").
TFlags Flags(const char* code) {
  return {code[0] == '1', code[1] == '1', code[2] == '1', code[3] == '1'};
}

}  // namespace

void TmSetUp::SetRule(QWidget* control, const char* code) {
  const TFlags f = Flags(code);
  VisibilityList.SetRule(control, f.ShownConnected, f.ShownOffline, f.EnabledConnected,
                         f.EnabledOffline);
}

void TmSetUp::Restrict(QWidget* control, const char* code) {
  const TFlags f = Flags(code);
  VisibilityList.Restrict(control, f.ShownConnected, f.ShownOffline, f.EnabledConnected,
                          f.EnabledOffline);
}

void TmSetUp::RefreshForDevice() {
  RegisterBaseVisibility();
  RegisterVersionVisibility();
  if (Zarno->FrequencyRangeKind() != lastFrequencyRange_ || !Initialised) RebuildFrequencyLists();
  if (Zarno->NewVersionSW() != lastNewVersionSW_ || !Initialised) RebuildEngineTypeList();
  CheckWindowFormat();
  ShowControllerName();
  ApplyAccessMasks(Zarno->AccessLevel());
  VisibilityList.ApplyAll();
}

void TmSetUp::RegisterBaseVisibility() {
  const std::pair<QWidget*, const char*> rules[] = {
      {tsMode, "1111"},    {gbDiagnose, "1110"},        {gbDisplay, "1111"},
      {gbSensors, "1111"}, {gbSound, "1110"},           {chEnableKnockLEDLatch2, "1111"},
      {tsParams, "1111"},  {gbEngineType, "1111"},      {gbDetonWinPar, "1111"},
      {tsOptions, "1111"}, {gbSetpointsIDName, "0000"}, {tsCAN, "1111"},
      {tsGains, "0000"},   {tsFirings, "0000"},
  };
  for (const auto& [control, code] : rules) SetRule(control, code);
}

void TmSetUp::RegisterVersionVisibility() {
  const int version = Zarno->SwVersion();
  std::vector<QWidget*> widened;
  switch (Zarno->ZarnoMode()) {
    case 0:
      if (version >= 20) widened = {tsGains, tsFirings};
      if (version >= 25) widened.push_back(gbSetpointsIDName);
      break;
    case 1:
      if (version >= 13) widened = {tsGains, tsFirings, gbSetpointsIDName};
      break;
    default:
      break;
  }
  for (QWidget* control : widened) SetRule(control, "1111");
}

void TmSetUp::ApplyAccessMasks(uint8_t accessLevel) {
  struct TMask {
    QWidget* Control;
    const char* MonitorSingle;  // nullptr: not narrowed
    const char* MonitorThreeLevel;
    const char* Operator;
  };
  const TMask masks[] = {
      {tsMode, "1111", "1111", "1111"},
      {gbDiagnose, "1110", "1100", "1110"},
      {gbDisplay, "1111", "1111", "1111"},
      {gbSensors, "1100", "1100", "1100"},
      {gbSound, "1111", "1100", "1111"},
      {chEnableKnockLEDLatch2, "1100", "1100", nullptr},
      {tsParams, "1100", "0000", "0000"},
      {gbEngineType, "1100", nullptr, nullptr},
      {gbDetonWinPar, "1100", nullptr, nullptr},
      {tsGains, "1100", "0000", "0000"},
      {tsFirings, "1100", "0000", "0000"},
      {tsOptions, "1100", "0000", "0000"},
      {gbSetpointsIDName, "0000", "0000", "0000"},
  };
  if (accessLevel != alOperator && accessLevel != alMonitor) return;
  for (const TMask& mask : masks) {
    const char* code = accessLevel == alOperator ? mask.Operator
                       : Zarno->ThreeLevel()     ? mask.MonitorThreeLevel
                                                 : mask.MonitorSingle;
    if (code != nullptr) Restrict(mask.Control, code);
  }
}

void TmSetUp::OnVisibilityEnable(QWidget* control, bool enabled) {
  // What a group or page holds follows its enabled state by itself; what is left is to
  // bring back the states that depend on other controls.
  if (!enabled) return;
  if (control == gbDiagnose) {
    chDiagModeChange();
  } else if (control == gbSound) {
    BuildSensorList();
    UpdateHardwareTypeParts();
  } else if (control == gbEngineType) {
    rgEngineType->SetItemIndex(
        std::min(std::clamp(Zarno->EngineType(), 0, 2), rgEngineType->Count() - 1));
    rgEngineTypeClick();
  }
}

}  // namespace kalvist
