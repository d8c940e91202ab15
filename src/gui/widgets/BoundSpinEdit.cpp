#include "BoundSpinEdit.h"

#include <QApplication>
#include <QKeyEvent>
#include <algorithm>

namespace kalvist {

namespace {

const QColor kEditingColour(166, 202, 240);  // sky blue
const QColor kMarkedColour(Qt::yellow);

}  // namespace

int VirtualKey(const QKeyEvent& event) {
  const bool keypad = event.modifiers().testFlag(Qt::KeypadModifier);
  const int key = event.key();
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return (keypad ? 96 : 48) + (key - Qt::Key_0);
  switch (key) {
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Tab:
      return 9;
    case Qt::Key_Clear:
      return 12;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_Print:
      return 44;
    case Qt::Key_Delete:
      return 46;
    case Qt::Key_Period:
      return keypad ? 110 : 190;
    case Qt::Key_Comma:
      return keypad ? 110 : 188;
    default:
      return 0;
  }
}

TBoundSpinEdit::TBoundSpinEdit(const TEditSpec& def, QWidget* parent)
    : QDoubleSpinBox(parent), spec_(def), minValue_(def.Minimum), maxValue_(def.RestingMaximum) {
  setObjectName(def.Name);
  setLocale(QLocale::c());
  setAutoFillBackground(true);
  setAccelerated(false);
  SetFormat(def.Decimals, def.SingleStep, def.RestingMaximum, def.EditingMaximum);
  setMinimum(def.Minimum);
  connect(this, &QDoubleSpinBox::valueChanged, this, [this] {
    if (OnChange) OnChange(*this);
  });
}

double TBoundSpinEdit::Limited(double value) const {
  return std::clamp(value, minValue_, std::max(minValue_, maxValue_));
}

void TBoundSpinEdit::SetFormat(int decimals, double step, double restingMaximum,
                               double editingMaximum) {
  setDecimals(decimals);
  setSingleStep(step);
  setMaximum(restingMaximum);
  maxValue_ = hasFocus() ? editingMaximum : restingMaximum;
  editingMaximum_ = editingMaximum;
}

void TBoundSpinEdit::SetLook(TLook look) {
  look_ = look;
  // A disabled edit keeps the disabled look whatever its mark.
  QPalette colours = QApplication::palette(this);
  if (look != TLook::Normal) {
    const QColor base = look == TLook::Editing ? kEditingColour : kMarkedColour;
    colours.setColor(QPalette::Active, QPalette::Base, base);
    colours.setColor(QPalette::Inactive, QPalette::Base, base);
  }
  setPalette(colours);
  QFont face = font();
  face.setBold(look == TLook::Editing);
  setFont(face);
}

void TBoundSpinEdit::stepBy(int steps) {
  setValue(Limited(value() + steps * singleStep()));
}

void TBoundSpinEdit::focusInEvent(QFocusEvent* event) {
  QDoubleSpinBox::focusInEvent(event);
  if (OnEnter) OnEnter(*this);
}

void TBoundSpinEdit::focusOutEvent(QFocusEvent* event) {
  QDoubleSpinBox::focusOutEvent(event);  // takes on what was typed first
  if (OnExit) OnExit(*this);
}

void TBoundSpinEdit::keyPressEvent(QKeyEvent* event) {
  if (OnKeyDown && OnKeyDown(*this, VirtualKey(*event))) {
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_Comma && event->modifiers().testFlag(Qt::KeypadModifier)) {
    // The keypad's separator types a point whatever the keyboard layout says.
    QKeyEvent point(event->type(), Qt::Key_Period, event->modifiers(), ".");
    QDoubleSpinBox::keyPressEvent(&point);
    return;
  }
  QDoubleSpinBox::keyPressEvent(event);
}

}  // namespace kalvist
