// The device model's message boxes on screen: each is a non-modal box that stays on top,
// with the caption and icon of its kind and a single OK button. The program goes on
// while it is open.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <vector>

#include "MessageSink.h"

namespace kalvist {

class TQtMessageSink : public QObject, public IMessageSink {
 public:
  // Create on the GUI thread. Boxes still open when it is destroyed close with it.
  TQtMessageSink();
  ~TQtMessageSink() override;

  // Any thread; the box is built on the GUI thread.
  void Show(const TMessage& m, std::function<void()> closed) override;

 private:
  void ShowNow(const TMessage& m, std::function<void()> closed);

  std::vector<QPointer<QMessageBox>> boxes_;  // top-level, so not children of this
};

}  // namespace kalvist
