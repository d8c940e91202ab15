// Group boxes that hold a selection: TRadioGroup, one of several items laid out in
// columns, and TCheckGroup, check boxes whose states make a bit mask (the first box bit
// 0). Both raise their event for a change by the user and for one made in code, as the
// pages rely on; setting the state they already have raises nothing.
#pragma once

#include <QGroupBox>
#include <QStringList>
#include <functional>
#include <vector>

class QAbstractButton;
class QButtonGroup;
class QGridLayout;

namespace kalvist {

class TRadioGroup : public QGroupBox {
 public:
  TRadioGroup(const QString& title, const QStringList& items, int columns, QWidget* parent);

  // Replaces the items; none is selected afterwards and nothing is raised.
  void SetItems(const QStringList& items, int columns);
  int Count() const { return static_cast<int>(buttons_.size()); }
  int ItemIndex() const { return itemIndex_; }
  // -1 selects nothing; an index out of range too. OnClick follows a change unless `quiet`.
  void SetItemIndex(int index, bool quiet = false);
  QAbstractButton* Button(int index) const { return buttons_.at(static_cast<size_t>(index)); }

  std::function<void(TRadioGroup&)> OnClick;

 private:
  QGridLayout* grid_;
  QButtonGroup* group_;
  std::vector<QAbstractButton*> buttons_;
  int itemIndex_ = -1;
};

class TCheckGroup : public QGroupBox {
 public:
  TCheckGroup(const QString& title, const QStringList& items, QWidget* parent);

  uint32_t Mask() const;
  void SetMask(uint32_t mask);
  QAbstractButton* Button(int index) const { return boxes_.at(static_cast<size_t>(index)); }

  std::function<void(TCheckGroup&)> OnChange;

 private:
  std::vector<QAbstractButton*> boxes_;
};

}  // namespace kalvist
