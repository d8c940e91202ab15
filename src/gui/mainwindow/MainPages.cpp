#include <QApplication>
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
  CreateConfigPages();

  layout->addWidget(PCtrlCharts, 1);
  layout->addWidget(PCTRL, 1);
  setCentralWidget(central);
}

void TmSetUp::CreateConfigPages() {
  PCTRL->setFont(QFont("Tahoma", 8));
  CreateModePage();
  CreateParamsPage();
  CreateGainsPage();
  CreateFiringPage();
  CreateOptionsPage();
  CreateCanPage();
  VisibilityList.OnEnabledChanged = [this](QWidget* control, bool enabled) {
    OnVisibilityEnable(control, enabled);
  };
  Beep = [] { QApplication::beep(); };
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

}  // namespace kalvist
