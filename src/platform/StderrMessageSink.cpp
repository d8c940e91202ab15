#include "StderrMessageSink.h"

#include <string>

namespace kalvist {

namespace {

std::string OneLine(const std::string& text) {
  std::string line;
  line.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;  // CR LF: one blank
    line += (c == '\r' || c == '\n') ? ' ' : c;
  }
  return line;
}

}  // namespace

void TStderrMessageSink::Show(const TMessage& m, std::function<void()> closed) {
  const std::string prefix = m.Caption.empty() ? "" : m.Caption + ": ";
  {
    const std::lock_guard lock(mutex_);
    out_ << prefix << OneLine(m.Text) << '\n' << std::flush;
  }
  if (closed) closed();
}

}  // namespace kalvist
