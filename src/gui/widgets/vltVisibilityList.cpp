#include "vltVisibilityList.h"

#include <QStackedWidget>
#include <QTabWidget>
#include <algorithm>

#include "KalvistError.h"

namespace kalvist {

namespace {

uint8_t MakeRule(bool shownConnected, bool shownOffline, bool enabledConnected,
                 bool enabledOffline) {
  return static_cast<uint8_t>(
      (shownConnected ? vrShownConnected : 0) | (shownOffline ? vrShownOffline : 0) |
      (enabledConnected ? vrEnabledConnected : 0) | (enabledOffline ? vrEnabledOffline : 0));
}

// The page control whose tab shows `page`, when `page` is a tab page.
QTabWidget* TabOwner(QWidget* page) {
  auto* stack = qobject_cast<QStackedWidget*>(page->parentWidget());
  if (stack == nullptr) return nullptr;
  auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget());
  return tabs != nullptr && tabs->indexOf(page) >= 0 ? tabs : nullptr;
}

}  // namespace

int TVisibilityList::IndexOf(QWidget* control) const {
  const auto it = std::find(controls_.begin(), controls_.end(), control);
  return it == controls_.end() ? -1 : static_cast<int>(it - controls_.begin());
}

void TVisibilityList::SetRule(QWidget* control, bool shownConnected, bool shownOffline,
                              bool enabledConnected, bool enabledOffline) {
  const uint8_t rule = MakeRule(shownConnected, shownOffline, enabledConnected, enabledOffline);
  const int index = IndexOf(control);
  if (index < 0) {
    controls_.push_back(control);
    rules_.push_back(rule);
  } else {
    rules_[static_cast<size_t>(index)] = rule;
  }
}

void TVisibilityList::Restrict(QWidget* control, bool shownConnected, bool shownOffline,
                               bool enabledConnected, bool enabledOffline) {
  const int index = IndexOf(control);
  if (index < 0) return;
  rules_[static_cast<size_t>(index)] &=
      MakeRule(shownConnected, shownOffline, enabledConnected, enabledOffline);
}

void TVisibilityList::Apply(QWidget* control, uint8_t rule) {
  if (!OnGetConnected) {
    throw TKalvistError("Connection status wasn't assigned to TVisibilityList", "vltVisibilityList",
                        __LINE__);
  }
  const bool connected = OnGetConnected();
  const bool shown = (rule & (connected ? vrShownConnected : vrShownOffline)) != 0;
  if (QTabWidget* tabs = TabOwner(control)) {
    tabs->setTabVisible(tabs->indexOf(control), shown);
  } else {
    control->setVisible(shown);
  }
  if (OnVisibleChanged) OnVisibleChanged(control, shown);

  const bool enabled = (rule & (connected ? vrEnabledConnected : vrEnabledOffline)) != 0;
  control->setEnabled(enabled);
  if (OnEnabledChanged) OnEnabledChanged(control, enabled);
}

void TVisibilityList::ApplyAll() {
  // By index: a handler may append controls while the pass runs.
  for (size_t i = 0; i < controls_.size(); ++i) Apply(controls_[i], rules_[i]);
}

void TVisibilityList::ApplyControl(QWidget* control) {
  const int index = IndexOf(control);
  if (index >= 0) Apply(control, rules_[static_cast<size_t>(index)]);
}

void TVisibilityList::Clear() {
  controls_.clear();
  rules_.clear();
}

uint8_t TVisibilityList::Rule(QWidget* control) const {
  const int index = IndexOf(control);
  return index < 0 ? 0 : rules_[static_cast<size_t>(index)];
}

}  // namespace kalvist
