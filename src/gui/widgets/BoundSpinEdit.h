// The numeric spin edit of the configuration pages: one class for all of them, the
// differences (object, conversion, ranges, marking) coming from its TEditSpec. It keeps
// the range in force apart from the widget's own, so that a value above the valid range
// can be typed and shown while only commits and steps are limited to it. The editing
// protocol itself is the main window's (it reacts to the events below); the edit holds
// the look that tells the protocol's state. The decimal separator is a point in every
// locale.
#pragma once

#include <QDoubleSpinBox>
#include <functional>

#include "EditConversions.h"

class QKeyEvent;

namespace kalvist {

// Windows virtual-key codes of a key press, which the editing protocol is written in:
// 8 backspace, 12 clear, 13 Enter, 27 Esc, 44 print screen, 46 delete, 48..57 digits,
// 96..105 keypad digits, 110 keypad decimal point, 190 and 188 the main keyboard's point
// and comma; 0 for keys the protocol does not name.
int VirtualKey(const QKeyEvent& event);

class TBoundSpinEdit : public QDoubleSpinBox {
 public:
  enum class TLook { Normal, Editing, Marked };

  TBoundSpinEdit(const TEditSpec& def, QWidget* parent);

  const TEditSpec& Def() const { return spec_; }
  uint16_t Tag() const { return spec_.Id; }

  // The range in force: commits and steps keep within it.
  double MinValue() const { return minValue_; }
  double MaxValue() const { return maxValue_; }
  void SetMinValue(double value) { minValue_ = value; }
  void SetMaxValue(double value) { maxValue_ = value; }
  double Limited(double value) const;
  // Decimals, step, the widest value the edit shows (the resting range's top) and the
  // valid range's top, in force while the edit has the focus (the window edits change
  // unit, the angles' follows the engine stroke).
  void SetFormat(int decimals, double step, double restingMaximum, double editingMaximum);
  double RestingMaximum() const { return maximum(); }
  double EditingMaximum() const { return editingMaximum_; }
  void SetEditingMaximum(double value) { editingMaximum_ = value; }

  TLook Look() const { return look_; }
  void SetLook(TLook look);

  std::function<void(TBoundSpinEdit&)> OnEnter;
  std::function<void(TBoundSpinEdit&)> OnExit;
  // Every value change, typed, stepped or set by the program.
  std::function<void(TBoundSpinEdit&)> OnChange;
  // Returns true when the key was used up (Enter and Esc while editing).
  std::function<bool(TBoundSpinEdit&, int virtualKey)> OnKeyDown;

  void stepBy(int steps) override;

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  TEditSpec spec_;
  double minValue_;
  double maxValue_;
  double editingMaximum_;
  TLook look_ = TLook::Normal;
};

}  // namespace kalvist
