#include "QtMainThread.h"

#include <QSocketNotifier>

#include "Clock.h"
#include "WakeFd.h"

namespace kalvist {

namespace {

class TQtChannel final : public TChannel {
 public:
  explicit TQtChannel(std::function<void()> handler)
      : handler_(std::move(handler)), notifier_(wake_.Fd(), QSocketNotifier::Read) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, [this] {
      wake_.Drain();
      handler_();  // may destroy this channel: nothing follows
    });
  }
  void Signal() override { wake_.Signal(); }

 private:
  std::function<void()> handler_;
  TWakeFd wake_;
  QSocketNotifier notifier_;
};

}  // namespace

TQtMainThread::TQtMainThread() = default;
TQtMainThread::~TQtMainThread() = default;

void TQtMainThread::Post(std::function<void()> fn) {
  QMetaObject::invokeMethod(this, std::move(fn), Qt::QueuedConnection);
}

std::unique_ptr<TChannel> TQtMainThread::CreateChannel(std::function<void()> handler) {
  return std::make_unique<TQtChannel>(std::move(handler));
}

TTimerId TQtMainThread::StartTimer(uint32_t intervalMs, std::function<void()> fn) {
  const TTimerId id = nextTimerId_++;
  auto* timer = new QTimer(this);
  timer->setInterval(static_cast<int>(intervalMs));
  connect(timer, &QTimer::timeout, this, std::move(fn));
  timer->start();
  timers_[id] = timer;
  return id;
}

void TQtMainThread::StopTimer(TTimerId id) {
  const auto it = timers_.find(id);
  if (it == timers_.end()) return;
  it->second->stop();
  it->second->deleteLater();  // the timer may be the one whose handler is calling
  timers_.erase(it);
}

uint64_t TQtMainThread::NowMs() const {
  return SteadyMs();
}

}  // namespace kalvist
