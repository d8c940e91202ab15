#include "QtMessageSink.h"

#include "TextCodec.h"

namespace kalvist {

namespace {

QMessageBox::Icon IconOf(int kind) {
  switch (kind) {
    case mkWarning:
      return QMessageBox::Warning;
    case mkError:
      return QMessageBox::Critical;
    case mkInformation:
      return QMessageBox::Information;
    case mkConfirmation:
      return QMessageBox::Question;
    default:
      return QMessageBox::NoIcon;
  }
}

}  // namespace

TQtMessageSink::TQtMessageSink() = default;

TQtMessageSink::~TQtMessageSink() {
  // Each box's `closed` runs as it goes.
  for (const QPointer<QMessageBox>& box : boxes_) delete box.data();
}

void TQtMessageSink::Show(const TMessage& m, std::function<void()> closed) {
  QMetaObject::invokeMethod(
      this, [this, m, closed = std::move(closed)] { ShowNow(m, closed); }, Qt::QueuedConnection);
}

void TQtMessageSink::ShowNow(const TMessage& m, std::function<void()> closed) {
  QString text = FromCp1252(m.Text);
  text.replace("\r\n", "\n");
  auto* box = new QMessageBox(IconOf(m.Kind), FromCp1252(m.Caption), text, QMessageBox::Ok);
  box->setWindowModality(Qt::NonModal);
  box->setWindowFlag(Qt::WindowStaysOnTopHint);
  box->setAttribute(Qt::WA_DeleteOnClose);
  connect(box, &QObject::destroyed, [closed = std::move(closed)] { closed(); });
  std::erase_if(boxes_, [](const QPointer<QMessageBox>& b) { return b.isNull(); });
  boxes_.emplace_back(box);
  box->show();
}

}  // namespace kalvist
