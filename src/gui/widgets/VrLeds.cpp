#include "VrLeds.h"

#include <QPainter>
#include <algorithm>

namespace kalvist {

namespace {

constexpr int kLampWidth = 22;
constexpr int kLampHeight = 9;
constexpr int kCaptionGap = 4;
constexpr int kRowGap = 2;
constexpr int kGroupGap = 9;  // between the two groups, the separator in its middle
constexpr int kSeparatorInset = 3;
constexpr int kLabelColumn = 50;  // the group labels stand left of the lamps

const QColor kSilver(0xC0, 0xC0, 0xC0);

}  // namespace

TVrLamp::TVrLamp(const QString& caption, const QColor& litColor, QWidget* parent)
    : QWidget(parent), caption_(caption), litColor_(litColor) {
  QFont small = font();
  small.setPointSize(7);
  setFont(small);
}

void TVrLamp::SetLit(bool lit) {
  if (lit == lit_) return;
  lit_ = lit;
  update();
}

QSize TVrLamp::sizeHint() const {
  const QFontMetrics metrics(font());
  return {kLampWidth + kCaptionGap + metrics.horizontalAdvance(caption_) + 2,
          std::max(kLampHeight + 2, metrics.height())};
}

void TVrLamp::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const int top = (height() - kLampHeight) / 2;
  const QRect lamp(0, top, kLampWidth, kLampHeight);
  painter.fillRect(lamp, ShownColor());
  painter.setPen(QColor(0x80, 0x80, 0x80));
  painter.drawRect(lamp.adjusted(0, 0, -1, -1));
  painter.setPen(Qt::black);
  painter.drawText(QRect(kLampWidth + kCaptionGap, 0, width(), height()),
                   Qt::AlignVCenter | Qt::AlignLeft, caption_);
}

TLedPanel::TLedPanel(QWidget* parent)
    : QFrame(parent),
      statusLabel_(new QLabel("STATUS", this)),
      errorsLabel_(new QLabel("ERRORS", this)) {
  setFrameShape(QFrame::Panel);
  setFrameShadow(QFrame::Raised);
  setAutoFillBackground(true);
  QPalette silver = palette();
  silver.setColor(QPalette::Window, kSilver);
  silver.setColor(QPalette::WindowText, Qt::black);
  setPalette(silver);
  for (QLabel* label : {statusLabel_, errorsLabel_}) {
    QFont bold = label->font();
    bold.setPointSize(7);
    bold.setBold(true);
    label->setFont(bold);
    label->adjustSize();
  }
}

void TLedPanel::SetLamps(const std::vector<TVrLamp*>& lamps, int statusCount) {
  lamps_ = lamps;
  statusCount_ = statusCount;
  LayoutDiodes();
}

QSize TLedPanel::sizeHint() const {
  int width = 0;
  int height = 2 * frameWidth() + 6 + kGroupGap;
  for (const TVrLamp* lamp : lamps_) {
    width = std::max(width, lamp->sizeHint().width());
    height += lamp->sizeHint().height() + kRowGap;
  }
  return {kLabelColumn + width + 2 * frameWidth() + 6, height};
}

void TLedPanel::LayoutDiodes() {
  if (lamps_.empty()) return;
  const int rowHeight = lamps_.front()->sizeHint().height();
  const int rows = static_cast<int>(lamps_.size());
  const int inner = height() - 2 * frameWidth();
  // Rows spread over the height the panel has, with the group gap between the groups.
  const int step =
      std::max(rowHeight + kRowGap, (inner - kGroupGap - rowHeight) / std::max(1, rows - 1) - 1);
  int y = frameWidth() + std::max(2, (inner - (rows - 1) * step - kGroupGap - rowHeight) / 2);
  int statusBottom = y;
  int errorsTop = y;
  for (int i = 0; i < rows; ++i) {
    if (i == statusCount_) {
      y += kGroupGap;
      errorsTop = y;
    }
    TVrLamp* lamp = lamps_[static_cast<size_t>(i)];
    lamp->setGeometry(kLabelColumn, y, width() - kLabelColumn - frameWidth() - 2, rowHeight);
    if (i < statusCount_) statusBottom = y + rowHeight;
    y += step;
  }
  separatorY_ = (statusBottom + errorsTop) / 2;
  const int lastBottom = lamps_.back()->geometry().bottom();
  statusLabel_->move(frameWidth() + 5, (frameWidth() + separatorY_ - statusLabel_->height()) / 2);
  errorsLabel_->move(frameWidth() + 5, (separatorY_ + lastBottom - errorsLabel_->height()) / 2);
  update();
}

void TLedPanel::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  LayoutDiodes();
}

void TLedPanel::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  if (lamps_.empty()) return;
  QPainter painter(this);
  painter.setPen(QColor(0x80, 0x80, 0x80));
  painter.drawLine(kSeparatorInset, separatorY_, width() - 1 - kSeparatorInset, separatorY_);
  painter.setPen(Qt::white);
  painter.drawLine(kSeparatorInset, separatorY_ + 1, width() - 1 - kSeparatorInset,
                   separatorY_ + 1);
}

}  // namespace kalvist
