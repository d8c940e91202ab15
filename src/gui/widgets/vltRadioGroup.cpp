#include "vltRadioGroup.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kalvist {

TRadioGroup::TRadioGroup(const QString& title, const QStringList& items, int columns,
                         QWidget* parent)
    : QGroupBox(title, parent), grid_(new QGridLayout(this)), group_(new QButtonGroup(this)) {
  grid_->setContentsMargins(6, 2, 6, 2);
  grid_->setVerticalSpacing(0);
  connect(group_, &QButtonGroup::idClicked, this, [this](int id) { SetItemIndex(id); });
  SetItems(items, columns);
}

void TRadioGroup::SetItems(const QStringList& items, int columns) {
  for (QAbstractButton* button : buttons_) delete button;
  buttons_.clear();
  itemIndex_ = -1;
  const int rows = (static_cast<int>(items.size()) + columns - 1) / columns;
  for (int i = 0; i < items.size(); ++i) {
    auto* button = new QRadioButton(items[i], this);
    group_->addButton(button, i);
    grid_->addWidget(button, i % rows, i / rows);
    buttons_.push_back(button);
  }
}

void TRadioGroup::SetItemIndex(int index, bool quiet) {
  if (index < 0 || index >= Count()) index = -1;
  if (index == itemIndex_) return;
  itemIndex_ = index;
  if (index < 0) {
    group_->setExclusive(false);
    for (QAbstractButton* button : buttons_) button->setChecked(false);
    group_->setExclusive(true);
  } else {
    Button(index)->setChecked(true);
  }
  if (OnClick && !quiet) OnClick(*this);
}

TCheckGroup::TCheckGroup(const QString& title, const QStringList& items, QWidget* parent)
    : QGroupBox(title, parent) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(6, 2, 6, 2);
  column->setSpacing(0);
  for (const QString& item : items) {
    auto* box = new QCheckBox(item, this);
    column->addWidget(box);
    boxes_.push_back(box);
    connect(box, &QCheckBox::toggled, this, [this] {
      if (OnChange) OnChange(*this);
    });
  }
}

uint32_t TCheckGroup::Mask() const {
  uint32_t mask = 0;
  for (size_t i = 0; i < boxes_.size(); ++i) {
    if (boxes_[i]->isChecked()) mask |= 1u << i;
  }
  return mask;
}

void TCheckGroup::SetMask(uint32_t mask) {
  for (size_t i = 0; i < boxes_.size(); ++i) boxes_[i]->setChecked((mask >> i) & 1u);
}

}  // namespace kalvist
