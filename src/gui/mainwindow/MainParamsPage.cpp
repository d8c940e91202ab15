// Page "&Knocking params": engine type and stroke, V-angle and cylinder count; the
// detonation window, the filter frequencies and the attenuation.
#include <QApplication>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>

#include "FrequencyTable.h"
#include "Main.h"

namespace kalvist {

namespace {

const TEditSpec& SpecNamed(const char* name) {
  for (const TEditSpec& def : BoundEditSpecs()) {
    if (std::string_view(def.Name) == name) return def;
  }
  throw TKalvistError(std::string("No edit named ") + name);
}

QComboBox* AddList(QWidget* parent, const char* name) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  list->setFixedWidth(80);
  list->setMaxVisibleItems(16);
  return list;
}

// An edit or list with its unit to the right.
QWidget* WithUnit(QWidget* control, QLabel* unit) {
  auto* box = new QWidget(control->parentWidget());
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(4);
  control->setParent(box);
  unit->setParent(box);
  row->addWidget(control);
  row->addWidget(unit);
  row->addStretch();
  return box;
}

void FillFrequencies(QComboBox* list, int32_t min, int32_t max) {
  const QString remembered = list->currentIndex() < 0 ? QString() : list->currentText();
  list->clear();
  for (const int32_t hz : FrequencyTable) {
    if (hz >= min && hz <= max) list->addItem(QString::number(hz));
  }
  const int index = list->findText(remembered);
  list->setCurrentIndex(index < 0 ? 0 : index);
}

}  // namespace

void SetMarked(QWidget* control, bool marked) {
  QPalette colours = QApplication::palette(control);
  if (marked) {
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
      colours.setColor(group, QPalette::Base, Qt::yellow);
      colours.setColor(group, QPalette::Button, Qt::yellow);
    }
  }
  control->setPalette(colours);
}

TBoundSpinEdit* TmSetUp::AddNamedEdit(const char* name, QWidget* parent) {
  return AddBoundEdit(SpecNamed(name), parent);
}

void TmSetUp::CreateParamsPage() {
  auto* page = new QHBoxLayout(tsParams);
  page->setContentsMargins(4, 4, 4, 4);

  gbEngineType = new QGroupBox("Engine type", tsParams);
  gbEngineType->setObjectName("gbEngineType");
  auto* engine = new QFormLayout(gbEngineType);
  rgEngineType = new TRadioGroup("", {"In-line", "V-type"}, 2, gbEngineType);
  rgEngineType->setObjectName("rgEngineType");
  rgEngineStroke = new TRadioGroup("", {"2-stroke", "4-stroke"}, 2, gbEngineType);
  rgEngineStroke->setObjectName("rgEngineStroke");
  seAngleV = AddNamedEdit("seAngleV", gbEngineType);
  seCylinderCount = AddNamedEdit("seCylinderCount", gbEngineType);
  engine->addRow(rgEngineType);
  engine->addRow(rgEngineStroke);
  engine->addRow("V - angle", seAngleV);
  engine->addRow("Cylinder count", seCylinderCount);
  rgEngineType->SetItemIndex(0);
  rgEngineStroke->SetItemIndex(1);
  rgEngineType->OnClick = [this](TRadioGroup&) { rgEngineTypeClick(); };
  rgEngineStroke->OnClick = [this](TRadioGroup&) { rgEngineStrokeClick(); };
  seAngleV->setEnabled(false);

  gbDetonWinPar = new QGroupBox("Detonation window parameters", tsParams);
  gbDetonWinPar->setObjectName("gbDetonWinPar");
  auto* window = new QFormLayout(gbDetonWinPar);
  window->setVerticalSpacing(3);
  seWindowDelay = AddNamedEdit("seWindowDelay", gbDetonWinPar);
  seWindowWidth = AddNamedEdit("seWindowWidth", gbDetonWinPar);
  lWindowDelayUnits = new QLabel("[µs]", gbDetonWinPar);
  lWindowDelayUnits->setObjectName("lWindowDelayUnits");
  lWindowWidthUnits = new QLabel("[µs]", gbDetonWinPar);
  lWindowWidthUnits->setObjectName("lWindowWidthUnits");
  cbKnockFrequency = AddList(gbDetonWinPar, "cbKnockFrequency");
  cbRefFrequency = AddList(gbDetonWinPar, "cbRefFrequency");
  seAttenuation = AddNamedEdit("seAttenuation", gbDetonWinPar);
  rgAttenuation = new TRadioGroup("", {"KNOCK", "REF"}, 2, gbDetonWinPar);
  rgAttenuation->setObjectName("rgAttenuation");
  window->addRow("Deton. window delay", WithUnit(seWindowDelay, lWindowDelayUnits));
  window->addRow("Deton. window width", WithUnit(seWindowWidth, lWindowWidthUnits));
  window->addRow("Knock filter frequency",
                 WithUnit(cbKnockFrequency, new QLabel("[Hz]", gbDetonWinPar)));
  window->addRow("Ref. filter frequency",
                 WithUnit(cbRefFrequency, new QLabel("[Hz]", gbDetonWinPar)));
  auto* attenuation = new QHBoxLayout;
  attenuation->addWidget(seAttenuation);
  attenuation->addWidget(rgAttenuation);
  window->addRow("Attenuation", attenuation);
  rgAttenuation->SetItemIndex(1);  // "REF"
  rgAttenuation->OnClick = [this](TRadioGroup& group) {
    Zarno->SetSwitchBit(1, group.ItemIndex() == 0);
  };

  FillFrequencies(cbKnockFrequency, 1220, 15070);
  FillFrequencies(cbRefFrequency, 1220, 15070);
  cbKnockFrequency->setCurrentText("5480");
  cbRefFrequency->setCurrentText("1780");
  for (QComboBox* list : {cbKnockFrequency, cbRefFrequency}) {
    const uint16_t id = list == cbKnockFrequency ? idKnockFilterFrequency : idRefFilterFrequency;
    connect(list, &QComboBox::activated, this, [this, list, id] {
      Zarno->SetValue(id, TValue(list->currentText().toStdString()));
      SetMarked(list, false);
    });
  }

  page->addWidget(gbEngineType, 2);
  page->addWidget(gbDetonWinPar, 3);
}

void TmSetUp::rgEngineStrokeClick() {
  Zarno->SetSwitchBit(0, rgEngineStroke->ItemIndex() == 1);
  RecolourAngles();
}

void TmSetUp::rgEngineTypeClick() {
  const int index = rgEngineType->ItemIndex();
  if (index >= 0) Zarno->SetEngineType(index);
  SetRule(tsFirings, index == 2 ? "1111" : "0000");
  ApplyAccessMasks(Zarno->AccessLevel());
  VisibilityList.ApplyControl(tsFirings);
  seAngleV->setEnabled(seCylinderCount->isEnabled() && index == 1);
}

void TmSetUp::RebuildEngineTypeList() {
  const bool newVersion = Zarno->NewVersionSW();
  lastNewVersionSW_ = newVersion;
  const int remembered = rgEngineType->ItemIndex();
  QStringList items{"In-line", "V-type"};
  if (newVersion) items << "Irregular";
  rgEngineType->SetItems(items, static_cast<int>(items.size()));
  // Restoring the selection is no choice of the user: the click follows when the
  // visibility pass enables the group (a disabled group keeps the firing page's rule).
  rgEngineType->SetItemIndex(std::min(remembered, rgEngineType->Count() - 1), true);
  PCTRL->setTabVisible(PCTRL->indexOf(tsGains), newVersion);
  if (!newVersion || Zarno->IsConnected()) return;
  for (int n = 1; n <= kChannelCount; ++n) {
    Zarno->SetValue(static_cast<uint16_t>(idGain1 + n - 1), TValue(100));
    seGain[static_cast<size_t>(n - 1)]->setValue(100);
  }
}

void TmSetUp::RebuildFrequencyLists() {
  lastFrequencyRange_ = Zarno->FrequencyRangeKind();
  int32_t min = 0;
  int32_t max = 0;
  TZarno::FrequencyRange(lastFrequencyRange_, min, max);
  FillFrequencies(cbKnockFrequency, min, max);
  FillFrequencies(cbRefFrequency, min, max);
}

void TmSetUp::ShowFrequency(uint16_t id) {
  QComboBox* list = id == idKnockFilterFrequency ? cbKnockFrequency : cbRefFrequency;
  const std::optional<int64_t> raw = RawOf(id);
  if (!raw) return;
  const int index = list->findText(QString::number(*raw));
  list->setCurrentIndex(index);
  SetMarked(list, index < 0);
}

}  // namespace kalvist
