// Stand-ins for the live view's part of the main window until its branch is merged;
// the merge deletes this file.
#include "Main.h"

namespace kalvist {

void TmSetUp::SelectionChanged() {}

void TmSetUp::ApplyOutputLimits() {}

void TmSetUp::BuildSensorList() {}

bool TmSetUp::LiveObjectChanged(uint16_t) {
  return false;
}

QGroupBox* TmSetUp::CreateDisplayModeGroup(QWidget* parent) {
  auto* group = new QGroupBox("Display", parent);
  group->setObjectName("gbDisplay");
  return group;
}

QGroupBox* TmSetUp::CreateSoundGroup(QWidget* parent) {
  auto* group = new QGroupBox("Sound recording", parent);
  group->setObjectName("gbSound");
  return group;
}

}  // namespace kalvist
