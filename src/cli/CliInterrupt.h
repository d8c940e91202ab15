// Ctrl-C as a request rather than an end: while a scope lives, SIGINT only marks that it
// came, and the command finishes what is under way, then says what was left undone.
#pragma once

namespace kalvist::cli {

class TInterruptScope {
 public:
  TInterruptScope();
  ~TInterruptScope();
  TInterruptScope(const TInterruptScope&) = delete;
  TInterruptScope& operator=(const TInterruptScope&) = delete;

  // SIGINT has come since the scope began.
  bool Interrupted() const;

 private:
  void (*previous_)(int);
};

}  // namespace kalvist::cli
