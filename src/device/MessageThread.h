// Message boxes of the device model, shown without waiting: the device object reports an
// error from inside a transfer event and goes on. Several boxes may be open at once; of
// the boxes that share a non-zero key only one is open at a time, later ones are dropped.
#pragma once

#include <string>

#include "MessageSink.h"

namespace kalvist {

// Any thread; returns at once. Goes nowhere while no sink is set.
void ShowMessageAsync(const std::string& text, int key, int kind);

// Process-wide and not owned. Waits for a Show in progress on the old sink, so that the
// old sink may be destroyed once this returns (it must still call the `closed` of its
// open boxes, or their keys stay taken). nullptr drops messages from then on.
void SetMessageSink(IMessageSink* sink);

// "Warning", "Error", "Information", "Confirmation"; empty for any other kind.
std::string MessageCaption(int kind);

}  // namespace kalvist
