#include "CliInterrupt.h"

#include <csignal>

namespace kalvist::cli {

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int) {
  interrupted = 1;
}

}  // namespace

TInterruptScope::TInterruptScope() {
  interrupted = 0;
  previous_ = std::signal(SIGINT, OnInterrupt);
}

TInterruptScope::~TInterruptScope() {
  std::signal(SIGINT, previous_);
}

bool TInterruptScope::Interrupted() const {
  return interrupted != 0;
}

}  // namespace kalvist::cli
