// Status lamps: a horizontal lamp with its caption beside it, and the silver panel that
// stacks them in two groups ("STATUS" above a separator line, "ERRORS" below it).
#pragma once

#include <QColor>
#include <QFrame>
#include <QLabel>
#include <QWidget>
#include <vector>

namespace kalvist {

class TVrLamp : public QWidget {
 public:
  TVrLamp(const QString& caption, const QColor& litColor, QWidget* parent = nullptr);

  bool Lit() const { return lit_; }
  void SetLit(bool lit);
  // What the lamp shows now: its lit colour, or black.
  QColor ShownColor() const { return lit_ ? litColor_ : QColor(Qt::black); }
  QString Caption() const { return caption_; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString caption_;
  QColor litColor_;
  bool lit_ = false;
};

class TLedPanel : public QFrame {
 public:
  explicit TLedPanel(QWidget* parent = nullptr);

  // The lamps top to bottom; the first `statusCount` form the "STATUS" group.
  void SetLamps(const std::vector<TVrLamp*>& lamps, int statusCount);
  // Places the lamps, the separator and the two group labels.
  void LayoutDiodes();
  int SeparatorY() const { return separatorY_; }
  QLabel* StatusLabel() const { return statusLabel_; }
  QLabel* ErrorsLabel() const { return errorsLabel_; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  std::vector<TVrLamp*> lamps_;
  int statusCount_ = 0;
  int separatorY_ = 0;
  QLabel* statusLabel_;
  QLabel* errorsLabel_;
};

}  // namespace kalvist
