// The main window's status bar: fixed-width panels, each with its own font and brush,
// drawn as text or by the owner (OnDrawPanel, clipped to the panel).
#pragma once

#include <QBrush>
#include <QFont>
#include <QStatusBar>
#include <functional>
#include <vector>

namespace kalvist {

enum class TPanelStyle { Text, OwnerDraw };

struct TVltStatusPanel {
  QString Text;
  int Width = 50;
  Qt::Alignment Alignment = Qt::AlignLeft;
  TPanelStyle Style = TPanelStyle::Text;
  QFont Font;
  QBrush Brush{Qt::NoBrush};
  // Takes the room that the other panels leave in the bar, but never less than Width.
  bool Stretch = false;
};

class TVltStatusBar : public QStatusBar {
 public:
  explicit TVltStatusBar(QWidget* parent = nullptr);

  std::function<void(TVltStatusBar& bar, int panel, QPainter& painter, const QRect& rect)>
      OnDrawPanel;

  int AddPanel(const TVltStatusPanel& panel);  // returns its index
  int PanelCount() const { return static_cast<int>(panels_.size()); }
  const TVltStatusPanel& Panel(int index) const { return panels_.at(static_cast<size_t>(index)); }
  // Each setter repaints the bar.
  void SetPanelText(int index, const QString& text);
  void SetPanelFont(int index, const QFont& font);
  void SetPanelBrush(int index, const QBrush& brush);

  // The area a panel draws in: its slot shrunk by 1 pixel on each side; the last panel
  // reaches to 14 pixels before the bar's right edge.
  QRect PanelRect(int index) const;
  // The width of a panel's slot: its Width, or for a stretching panel what is left.
  int PanelWidth(int index) const;

  QSize sizeHint() const override;
  // The panels may run past the window's edge; only the height is needed.
  QSize minimumSizeHint() const override { return {0, sizeHint().height()}; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void DrawTextPanel(QPainter& painter, const TVltStatusPanel& panel, const QRect& rect) const;

  std::vector<TVltStatusPanel> panels_;
};

}  // namespace kalvist
