// Which managed controls are shown and enabled, once for the connected and once for the
// offline state. The owner rebuilds the rules in layers (SetRule, then Restrict) and
// applies them; a tab page is shown or hidden through its tab, any other control itself.
// The list does not own the controls. GUI thread only.
#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

namespace kalvist {

// Rule bits.
inline constexpr uint8_t vrShownConnected = 1;
inline constexpr uint8_t vrShownOffline = 2;
inline constexpr uint8_t vrEnabledConnected = 4;
inline constexpr uint8_t vrEnabledOffline = 8;

class TVisibilityList {
 public:
  virtual ~TVisibilityList() = default;

  std::function<bool()> OnGetConnected;  // required before any rule is applied
  std::function<void(QWidget* control, bool shown)> OnVisibleChanged;
  std::function<void(QWidget* control, bool enabled)> OnEnabledChanged;

  // Appends a new control; a known one keeps its place and gets the new rule.
  void SetRule(QWidget* control, bool shownConnected, bool shownOffline, bool enabledConnected,
               bool enabledOffline);
  // Takes flags away (rule AND mask); a control not in the list is ignored.
  void Restrict(QWidget* control, bool shownConnected, bool shownOffline, bool enabledConnected,
                bool enabledOffline);

  // Throws TKalvistError "Connection status wasn't assigned to TVisibilityList" when
  // OnGetConnected is missing.
  virtual void Apply(QWidget* control, uint8_t rule);
  // In list order; each rule is read when its control comes up, so a handler may still
  // change the rule of a later control.
  void ApplyAll();
  void ApplyControl(QWidget* control);
  void Clear();

  int Count() const { return static_cast<int>(controls_.size()); }
  QWidget* Items(int index) const { return controls_.at(static_cast<size_t>(index)); }
  // 0 for a control not in the list.
  uint8_t Rule(QWidget* control) const;

 private:
  int IndexOf(QWidget* control) const;

  std::vector<QWidget*> controls_;
  std::vector<uint8_t> rules_;  // at the same index
};

}  // namespace kalvist
