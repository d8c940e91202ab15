#include "MessageThread.h"

#include <mutex>
#include <set>

namespace kalvist {

namespace {

struct TRegistry {
  std::mutex sinkMutex;  // held while a sink shows, so that the sink is not swapped under it
  IMessageSink* sink = nullptr;
  std::mutex keysMutex;  // taken by `closed`, which may run inside Show
  std::set<int> openKeys;
};

// Never destroyed: a box may close while the program is already ending.
TRegistry& Registry() {
  static auto* registry = new TRegistry;
  return *registry;
}

bool TakeKey(int key) {
  if (key == 0) return true;
  auto& registry = Registry();
  const std::lock_guard lock(registry.keysMutex);
  return registry.openKeys.insert(key).second;
}

void ReleaseKey(int key) {
  if (key == 0) return;
  auto& registry = Registry();
  const std::lock_guard lock(registry.keysMutex);
  registry.openKeys.erase(key);
}

}  // namespace

std::string MessageCaption(int kind) {
  switch (kind) {
    case mkWarning:
      return "Warning";
    case mkError:
      return "Error";
    case mkInformation:
      return "Information";
    case mkConfirmation:
      return "Confirmation";
    default:
      return "";
  }
}

void ShowMessageAsync(const std::string& text, int key, int kind) {
  auto& registry = Registry();
  const std::lock_guard lock(registry.sinkMutex);
  if (registry.sink == nullptr || !TakeKey(key)) return;
  try {
    registry.sink->Show(TMessage{text, MessageCaption(kind), kind, key},
                        [key] { ReleaseKey(key); });
  } catch (...) {
    ReleaseKey(key);  // no box came up, so none holds the key
    throw;
  }
}

void SetMessageSink(IMessageSink* sink) {
  auto& registry = Registry();
  const std::lock_guard lock(registry.sinkMutex);
  registry.sink = sink;
}

}  // namespace kalvist
