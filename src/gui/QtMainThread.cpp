#include "QtMainThread.h"

#include "Clock.h"
#include "WakeHandle.h"

#ifdef Q_OS_WIN
#include <QWinEventNotifier>
#else
#include <QSocketNotifier>
#endif

namespace kalvist {

namespace {

// Qt watches an event handle on Windows and a readable descriptor elsewhere.
#ifdef Q_OS_WIN
class TWakeNotifier final : public QWinEventNotifier {
 public:
  explicit TWakeNotifier(TWakeHandle::TNative event) : QWinEventNotifier(event) {}
};
#else
class TWakeNotifier final : public QSocketNotifier {
 public:
  explicit TWakeNotifier(TWakeHandle::TNative fd) : QSocketNotifier(fd, QSocketNotifier::Read) {}
};
#endif

class TQtChannel final : public TChannel {
 public:
  explicit TQtChannel(std::function<void()> handler)
      : handler_(std::move(handler)), notifier_(wake_.Native()) {
    QObject::connect(&notifier_, &TWakeNotifier::activated, [this] {
      wake_.Drain();
      handler_();  // may destroy this channel: nothing follows
    });
  }
  void Signal() override { wake_.Signal(); }

 private:
  std::function<void()> handler_;
  TWakeHandle wake_;
  TWakeNotifier notifier_;
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
