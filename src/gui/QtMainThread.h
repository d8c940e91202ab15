// The main-thread hand-over on the Qt event loop: posted functions run as queued calls,
// channels wake the loop through a descriptor it watches (so signalling allocates
// nothing), timers are QTimers.
#pragma once

#include <QObject>
#include <QTimer>
#include <map>
#include <memory>

#include "MainThread.h"

namespace kalvist {

class TQtMainThread : public QObject, public IMainThread {
 public:
  // Create on the GUI thread, after the application object.
  TQtMainThread();
  ~TQtMainThread() override;

  void Post(std::function<void()> fn) override;
  std::unique_ptr<TChannel> CreateChannel(std::function<void()> handler) override;
  TTimerId StartTimer(uint32_t intervalMs, std::function<void()> fn) override;
  void StopTimer(TTimerId id) override;
  uint64_t NowMs() const override;

 private:
  std::map<TTimerId, QTimer*> timers_;  // children of this object
  TTimerId nextTimerId_ = 1;
};

}  // namespace kalvist
