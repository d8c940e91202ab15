// The editing protocol shared by every numeric edit of the configuration pages: typing
// marks the edit as being edited and writes nothing; Enter or leaving the field commits,
// Esc shows the object's value again; any other change (a spin step, a value set by the
// program) commits at once.
#include "Main.h"

namespace kalvist {

namespace {

// The keys that start editing: backspace, clear, print screen, delete, the digits, the
// keypad digits and the keypad decimal point.
bool StartsEditing(int virtualKey) {
  return virtualKey == 8 || virtualKey == 12 || virtualKey == 44 || virtualKey == 46 ||
         (virtualKey >= 48 && virtualKey <= 57) || (virtualKey >= 96 && virtualKey <= 105) ||
         virtualKey == 110;
}

constexpr int kVkEnter = 13;
constexpr int kVkEscape = 27;

}  // namespace

TBoundSpinEdit* TmSetUp::AddBoundEdit(const TEditSpec& def, QWidget* parent) {
  auto* edit = new TBoundSpinEdit(def, parent);
  edit->setFixedWidth(def.Family == TEditFamily::Plain ? 72 : 58);
  // Starts at the object's default, so that the first push of the controls keeps it.
  if (const std::optional<int64_t> raw = RawOf(ObjectOf(*edit))) {
    edit->setValue(ShownValue(def.Conversion, *raw, Zarno->WindowInDegrees()));
  }
  edit->OnEnter = [this](TBoundSpinEdit& e) { SpinEditEnter(e); };
  edit->OnExit = [this](TBoundSpinEdit& e) { SpinEditExit(e); };
  edit->OnChange = [this](TBoundSpinEdit& e) { SpinEditChange(e); };
  edit->OnKeyDown = [this](TBoundSpinEdit& e, int key) { return SpinEditKeyDown(e, key); };
  BoundEdits.push_back(edit);
  editsByObject_[ObjectOf(*edit)] = edit;
  return edit;
}

uint16_t TmSetUp::ObjectOf(const TBoundSpinEdit& edit) {
  const TEditSpec& def = edit.Def();
  return def.Family == TEditFamily::Angle ? AngleObjectOfEdit(def.Id - AngleEditSpec(0).Id)
                                           : def.Id;
}

TBoundSpinEdit* TmSetUp::EditOfObject(uint16_t id) const {
  const auto it = editsByObject_.find(id);
  return it == editsByObject_.end() ? nullptr : it->second;
}

double TmSetUp::EditingMaximum(const TBoundSpinEdit& edit) {
  return edit.Def().Family == TEditFamily::Angle ? MaxAngle() : edit.EditingMaximum();
}

void TmSetUp::SetEditing(TBoundSpinEdit& edit, bool on) {
  edit.SetLook(on ? TBoundSpinEdit::TLook::Editing : TBoundSpinEdit::TLook::Normal);
}

bool TmSetUp::IsEditing(const TBoundSpinEdit& edit) const {
  return edit.Look() == TBoundSpinEdit::TLook::Editing;
}

void TmSetUp::SpinEditEnter(TBoundSpinEdit& edit) {
  edit.selectAll();
  const TEditSpec& def = edit.Def();
  edit.SetMinValue(def.EditingMinimum);
  edit.SetMaxValue(EditingMaximum(edit));
}

bool TmSetUp::SpinEditKeyDown(TBoundSpinEdit& edit, int virtualKey) {
  if (!IsEditing(edit)) {
    if (StartsEditing(virtualKey)) SetEditing(edit, true);
    return false;
  }
  if (virtualKey == kVkEnter) {
    if (edit.Def().Family != TEditFamily::Plain) {
      edit.setValue(edit.Limited(edit.value()));
      if (edit.Def().Family == TEditFamily::Angle) EnforceFiringOrder();
    }
    CommitEdit(edit, true);
    return true;
  }
  if (virtualKey == kVkEscape) {
    RevertEdit(edit, true);
    return true;
  }
  return false;
}

void TmSetUp::SpinEditChange(TBoundSpinEdit& edit) {
  if (!IsEditing(edit)) CommitEdit(edit, false);
  if (&edit == seCylinderCount) {
    ShowChannelBoxes(static_cast<int>(edit.value()));
    BuildSensorList();
  }
}

void TmSetUp::SpinEditExit(TBoundSpinEdit& edit) {
  const TEditSpec& def = edit.Def();
  // Angles and gains are limited to the valid range and written whenever they are left;
  // the others only when something was typed, and then within the resting range.
  const bool always = def.Family != TEditFamily::Plain;
  if (always) edit.setValue(edit.Limited(edit.value()));
  edit.SetMinValue(def.Minimum);
  edit.SetMaxValue(edit.RestingMaximum());
  if (def.Family == TEditFamily::Angle) EnforceFiringOrder();
  if (always || IsEditing(edit)) CommitEdit(edit, false);
}

void TmSetUp::CommitEdit(TBoundSpinEdit& edit, bool selectAll) {
  const double limited = edit.Limited(edit.value());
  if (limited != edit.value()) edit.setValue(limited);
  WriteEdit(edit);
  SetEditing(edit, false);
  if (selectAll) edit.selectAll();
  if (&edit == seCylinderCount) SelectionChanged();
}

void TmSetUp::WriteEdit(TBoundSpinEdit& edit) {
  const TEditSpec& def = edit.Def();
  const int64_t raw = RawValue(def.Conversion, edit.value(), Zarno->WindowInDegrees());
  const uint16_t id = ObjectOf(edit);
  if (id == idDiagnosticOutput) {
    Zarno->SetDiagnosticOutput(static_cast<uint16_t>(raw));
    return;
  }
  // The angles and gains exist only in the newer parameter sets.
  if (!Zarno->HasParam(id)) return;
  Zarno->SetValue(id, TValue(raw));
  if (def.Conversion == TEditConversion::Percent255) ApplyOutputLimits();
}

void TmSetUp::RevertEdit(TBoundSpinEdit& edit, bool selectAll) {
  // Still in the editing state, so showing the value commits nothing.
  ZarnoObjectChanged(ObjectOf(edit));
  SetEditing(edit, false);
  if (selectAll) edit.selectAll();
}

std::optional<int64_t> TmSetUp::RawOf(uint16_t id) {
  if (id == idDiagnosticOutput) return Zarno->DiagnosticOutput();
  if (!Zarno->HasParam(id)) return std::nullopt;
  const std::optional<TValue> value = Zarno->GetValue(id);
  if (!value) return std::nullopt;
  return value->AsInt64();
}

void TmSetUp::ShowEditValue(TBoundSpinEdit& edit, int64_t raw) {
  const TEditSpec& def = edit.Def();
  edit.setValue(ShownValue(def.Conversion, raw, Zarno->WindowInDegrees()));
  if (!def.Marked) return;
  const bool out = OutOfRange(def, edit.value(), EditingMaximum(edit));
  edit.SetLook(out ? TBoundSpinEdit::TLook::Marked : TBoundSpinEdit::TLook::Normal);
}

void TmSetUp::ShowBoundObject(uint16_t id) {
  TBoundSpinEdit* edit = EditOfObject(id);
  const std::optional<int64_t> raw = RawOf(id);
  if (edit != nullptr && raw) ShowEditValue(*edit, *raw);
}

double TmSetUp::IgnitionReductionLimitValue() const {
  return seIgnitionReductionLimit->value();
}

double TmSetUp::ImmediateStopLimitValue() const {
  return seImmediateStopLimit->value();
}

int TmSetUp::CylinderCountValue() const {
  return static_cast<int>(seCylinderCount->value());
}

}  // namespace kalvist
