// Where the device model's message boxes go: the GUI shows a non-modal, always-on-top
// box, the command-line tool writes a line. The device model never waits for the user.
#pragma once

#include <functional>
#include <string>

namespace kalvist {

// Box kinds; each has its caption and icon. Other values show no caption and no icon.
enum TMessageKind : int { mkWarning = 0, mkError = 1, mkInformation = 2, mkConfirmation = 3 };

struct TMessage {
  std::string Text;     // Windows-1252, lines separated by CR LF
  std::string Caption;  // "Warning", "Error", "Information", "Confirmation" or empty
  int Kind = mkError;
  int Key = 0;  // 0: no key
};

class IMessageSink {
 public:
  virtual ~IMessageSink() = default;

  // Any thread. Must not block and must not show another message from inside. Calls
  // `closed` exactly once when the box is gone: from any thread, possibly before Show
  // returns.
  virtual void Show(const TMessage& m, std::function<void()> closed) = 0;
};

}  // namespace kalvist
