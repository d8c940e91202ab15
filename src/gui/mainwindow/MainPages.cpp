#include <QVBoxLayout>

#include "Main.h"

namespace kalvist {

namespace {

QWidget* AddPage(QTabWidget* pages, const char* name, const char* caption) {
  auto* page = new QWidget(pages);
  page->setObjectName(name);
  pages->addTab(page, caption);
  return page;
}

struct TFlags {
  bool ShownConnected, ShownOffline, EnabledConnected, EnabledOffline;
};

// A rule written as four digits: shown connected, shown offline, enabled connected,
// enabled offline ("1110").
TFlags Flags(const char* code) {
  return {code[0] == '1', code[1] == '1', code[2] == '1', code[3] == '1'};
}

void SetRule(TVisibilityList& list, QWidget* control, const char* code) {
  const TFlags f = Flags(code);
  list.SetRule(control, f.ShownConnected, f.ShownOffline, f.EnabledConnected, f.EnabledOffline);
}

void Restrict(TVisibilityList& list, QWidget* control, const char* code) {
  const TFlags f = Flags(code);
  list.Restrict(control, f.ShownConnected, f.ShownOffline, f.EnabledConnected, f.EnabledOffline);
}

}  // namespace

void TmSetUp::CreatePages() {
  auto* central = new QWidget(this);
  auto* layout = new QVBoxLayout(central);
  layout->setContentsMargins(4, 4, 4, 4);

  PCtrlCharts = new QTabWidget(central);
  PCtrlCharts->setObjectName("PCtrlCharts");
  tsAnalyzer = AddPage(PCtrlCharts, "tsAnalyzer", "&Actual knocking values");
  tsHistory = AddPage(PCtrlCharts, "tsHistory", "Knocking &history");

  PCTRL = new QTabWidget(central);
  PCTRL->setObjectName("PCTRL");
  tsMode = AddPage(PCTRL, "tsMode", "&Mode");
  tsParams = AddPage(PCTRL, "tsParams", "&Knocking params");
  tsGains = AddPage(PCTRL, "tsGains", "&Input gains");
  tsFirings = AddPage(PCTRL, "tsFirings", "&Firing sequence");
  tsOptions = AddPage(PCTRL, "tsOptions", "&Outputs options");
  tsCAN = AddPage(PCTRL, "tsCAN", "&CAN params");

  CreateLiveView(central, layout);  // the meters and lamps above the charts
  layout->addWidget(PCtrlCharts, 1);
  layout->addWidget(PCTRL, 1);
  setCentralWidget(central);
  Bridge12PlaceModeGroups();
}

void TmSetUp::BringPageToFront(int activatePage) {
  switch (activatePage) {
    case 0:
      PCTRL->setCurrentWidget(tsMode);
      break;
    case 1:
      PCtrlCharts->setCurrentWidget(tsAnalyzer);
      break;
    case 2:
      PCtrlCharts->setCurrentWidget(tsHistory);
      break;
    default:
      break;
  }
}

void TmSetUp::RefreshForDevice() {
  RegisterBaseVisibility();
  RegisterVersionVisibility();
  setWindowTitle(WindowCaption());
  ApplyAccessMasks(Zarno->AccessLevel());
  VisibilityList.ApplyAll();
}

void TmSetUp::RegisterBaseVisibility() {
  SetRule(VisibilityList, tsMode, "1111");
  SetRule(VisibilityList, tsParams, "1111");
  SetRule(VisibilityList, tsOptions, "1111");
  SetRule(VisibilityList, tsCAN, "1111");
  SetRule(VisibilityList, tsGains, "0000");
  SetRule(VisibilityList, tsFirings, "0000");
}

void TmSetUp::RegisterVersionVisibility() {
  const int version = Zarno->SwVersion();
  const bool pages =
      (Zarno->ZarnoMode() == 0 && version >= 20) || (Zarno->ZarnoMode() == 1 && version >= 13);
  if (!pages) return;
  SetRule(VisibilityList, tsGains, "1111");
  SetRule(VisibilityList, tsFirings, "1111");
}

void TmSetUp::ApplyAccessMasks(uint8_t accessLevel) {
  struct TMask {
    QWidget* Control;
    const char* MonitorSingle;
    const char* MonitorThreeLevel;
    const char* Operator;
  };
  const TMask masks[] = {
      {tsMode, "1111", "1111", "1111"},    {tsParams, "1100", "0000", "0000"},
      {tsGains, "1100", "0000", "0000"},   {tsFirings, "1100", "0000", "0000"},
      {tsOptions, "1100", "0000", "0000"},
  };
  if (accessLevel != alOperator && accessLevel != alMonitor) return;
  for (const TMask& mask : masks) {
    const char* code = accessLevel == alOperator ? mask.Operator
                       : Zarno->ThreeLevel()     ? mask.MonitorThreeLevel
                                                 : mask.MonitorSingle;
    Restrict(VisibilityList, mask.Control, code);
  }
}

}  // namespace kalvist
