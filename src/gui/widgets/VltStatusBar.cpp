#include "VltStatusBar.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace kalvist {

namespace {
constexpr int kTextInset = 2;
constexpr int kRightReserve = 14;
}  // namespace

TVltStatusBar::TVltStatusBar(QWidget* parent) : QStatusBar(parent) {
  setSizeGripEnabled(false);
}

int TVltStatusBar::AddPanel(const TVltStatusPanel& panel) {
  panels_.push_back(panel);
  updateGeometry();
  update();
  return PanelCount() - 1;
}

void TVltStatusBar::SetPanelText(int index, const QString& text) {
  panels_.at(static_cast<size_t>(index)).Text = text;
  update();
}

void TVltStatusBar::SetPanelFont(int index, const QFont& font) {
  panels_.at(static_cast<size_t>(index)).Font = font;
  updateGeometry();
  update();
}

void TVltStatusBar::SetPanelBrush(int index, const QBrush& brush) {
  panels_.at(static_cast<size_t>(index)).Brush = brush;
  update();
}

int TVltStatusBar::PanelWidth(int index) const {
  const TVltStatusPanel& panel = Panel(index);
  if (!panel.Stretch) return panel.Width;
  int others = 0;
  for (int i = 0; i < PanelCount(); ++i) {
    if (i != index) others += Panel(i).Width;
  }
  return std::max(panel.Width, width() - kRightReserve - others);
}

QRect TVltStatusBar::PanelRect(int index) const {
  int left = 0;
  for (int i = 0; i < index; ++i) left += PanelWidth(i);
  int right = left + PanelWidth(index);
  if (index == PanelCount() - 1) right = std::max(right, width() - kRightReserve);
  return QRect(QPoint(left, 0), QPoint(right - 1, height() - 1)).adjusted(1, 1, -1, -1);
}

QSize TVltStatusBar::sizeHint() const {
  int textHeight = fontMetrics().height();
  for (const TVltStatusPanel& panel : panels_) {
    textHeight = std::max(textHeight, QFontMetrics(panel.Font).height());
  }
  int total = 0;
  for (const TVltStatusPanel& panel : panels_) total += panel.Width;
  return {total, textHeight + 6};
}

void TVltStatusBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  for (int i = 0; i < PanelCount(); ++i) {
    const QRect rect = PanelRect(i);
    painter.save();
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect.adjusted(-1, -1, 0, 0));
    painter.setClipRect(rect);
    if (Panel(i).Style == TPanelStyle::OwnerDraw) {
      painter.setFont(Panel(i).Font);
      if (OnDrawPanel) OnDrawPanel(*this, i, painter, rect);
    } else {
      DrawTextPanel(painter, Panel(i), rect);
    }
    painter.restore();
  }
}

void TVltStatusBar::DrawTextPanel(QPainter& painter, const TVltStatusPanel& panel,
                                  const QRect& rect) const {
  painter.fillRect(rect, panel.Brush);
  painter.setFont(panel.Font);
  painter.setPen(palette().color(QPalette::WindowText));
  const QRect textRect = rect.adjusted(kTextInset, 0, -kTextInset, 0);
  const Qt::Alignment horizontal = panel.Alignment & Qt::AlignHorizontal_Mask;
  painter.drawText(textRect, static_cast<int>(horizontal | Qt::AlignVCenter), panel.Text);
}

}  // namespace kalvist
