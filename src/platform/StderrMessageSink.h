// The command-line form of a message box: one line "Caption: text" on the error stream,
// closed at once.
#pragma once

#include <iostream>
#include <mutex>

#include "MessageSink.h"

namespace kalvist {

class TStderrMessageSink : public IMessageSink {
 public:
  explicit TStderrMessageSink(std::ostream& out = std::cerr) : out_(out) {}

  // Line breaks in the text become single blanks, so that one message stays one line.
  void Show(const TMessage& m, std::function<void()> closed) override;

 private:
  std::ostream& out_;
  std::mutex mutex_;  // lines of messages shown at the same time do not interleave
};

}  // namespace kalvist
