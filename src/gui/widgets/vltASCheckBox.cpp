#include "vltASCheckBox.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace kalvist {

namespace {
constexpr int kBox = 13;
constexpr int kBoxTop = 2;
}  // namespace

TAsCheckBox::TAsCheckBox(QWidget* parent) : QWidget(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setAutoFillBackground(false);
  QFont font("Arial");
  font.setPointSize(8);
  setFont(font);
  symbolFont_ = font;
  symbolFont_.setBold(true);
  setMinimumSize(kBox, kBox);
  Changed();
}

void TAsCheckBox::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  update();
  if (OnChanged) OnChanged(*this);
}

void TAsCheckBox::SetCaption(const QString& caption) {
  caption_ = caption;
  Changed();
}

void TAsCheckBox::SetCaptionSpace(int space) {
  captionSpace_ = space;
  Changed();
}

void TAsCheckBox::SetCheckStyle(TCheckStyle style) {
  checkStyle_ = style;
  update();
}

void TAsCheckBox::SetSymbols(const QString& symbols) {
  symbols_ = symbols;
  update();
}

void TAsCheckBox::SetAutoSize(bool on) {
  autoSize_ = on;
  Changed();
}

void TAsCheckBox::SetCaptionFont(const QFont& font) {
  setFont(font);
  Changed();
}

void TAsCheckBox::Changed() {
  updateGeometry();
  if (autoSize_) resize(sizeHint());
  update();
}

QSize TAsCheckBox::sizeHint() const {
  const QFontMetrics metrics(font());
  // An empty caption takes no room, so a bare box is 16 x 16 in any font.
  const int textWidth = caption_.isEmpty() ? 0 : metrics.horizontalAdvance(caption_);
  const int textHeight = caption_.isEmpty() ? 0 : metrics.height();
  return QSize(textWidth + captionSpace_ + 15, std::max(textHeight + 2, 16))
      .expandedTo(QSize(kBox, kBox));
}

void TAsCheckBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().color(QPalette::Window));
  DrawBox(painter);
  DrawMark(painter);

  const QColor text = isEnabled() ? palette().color(QPalette::WindowText) : QColor(Qt::gray);
  const int captionLeft = kBox + captionSpace_;
  painter.setPen(text);
  painter.setFont(font());
  painter.setClipRect(rect());
  painter.drawText(QRect(captionLeft, 1, width() - captionLeft, height() - 1),
                   Qt::AlignLeft | Qt::AlignTop, caption_);
  if (hasFocus()) {
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
    painter.drawRect(QRect(captionLeft, 0, width() - captionLeft - 1, height() - 1));
  }
}

void TAsCheckBox::DrawBox(QPainter& painter) const {
  const QRect box(0, kBoxTop, kBox, kBox);
  const QColor face = palette().color(QPalette::Button);
  painter.fillRect(box.adjusted(2, 2, -2, -2), isEnabled() ? QColor(Qt::white) : face);
  // Sunken: outer edge grey over white, inner edge black over button face.
  const auto edge = [&](const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    painter.setPen(topLeft);
    painter.drawLine(r.topLeft(), r.topRight());
    painter.drawLine(r.topLeft(), r.bottomLeft());
    painter.setPen(bottomRight);
    painter.drawLine(r.bottomLeft(), r.bottomRight());
    painter.drawLine(r.topRight(), r.bottomRight());
  };
  edge(box, Qt::gray, Qt::white);
  edge(box.adjusted(1, 1, -1, -1), Qt::black, face);
}

void TAsCheckBox::DrawMark(QPainter& painter) const {
  const QColor ink = isEnabled() ? QColor(Qt::black) : QColor(Qt::gray);
  if (checkStyle_ == TCheckStyle::chsSymbols) {
    const int index = checked_ ? 1 : 0;
    if (symbols_.size() <= index) return;
    painter.setPen(ink);
    painter.setFont(symbolFont_);
    painter.drawText(QRect(0, kBoxTop, kBox, kBox), Qt::AlignCenter, symbols_.mid(index, 1));
  } else if (checked_) {
    painter.setPen(QPen(ink, 2));
    const QPoint mark[] = {{4, 8}, {6, 11}, {9, 6}};
    painter.drawPolyline(mark, 3);
  }
}

void TAsCheckBox::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  setFocus(Qt::MouseFocusReason);
  Toggle();
}

void TAsCheckBox::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second click of a double click has already come as a press of its own, so a
  // double click toggles twice; the base class would count it once more.
  event->accept();
}

void TAsCheckBox::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
    Toggle();
  } else {
    QWidget::keyReleaseEvent(event);
  }
}

}  // namespace kalvist
