// A self-drawn check box: a 13 x 13 sunken box with a check mark, or one of two symbol
// characters (unchecked, checked), and a caption to its right. Sizes itself to box and
// caption unless AutoSize is off.
#pragma once

#include <QFont>
#include <QWidget>
#include <functional>

namespace kalvist {

enum class TCheckStyle { chsClasic, chsSymbols };

class TAsCheckBox : public QWidget {
 public:
  explicit TAsCheckBox(QWidget* parent = nullptr);

  // Raised after every change of Checked, by the user or the program.
  std::function<void(TAsCheckBox& sender)> OnChanged;

  bool Checked() const { return checked_; }
  void SetChecked(bool checked);
  QString Caption() const { return caption_; }
  void SetCaption(const QString& caption);
  int CaptionSpace() const { return captionSpace_; }
  void SetCaptionSpace(int space);
  TCheckStyle CheckStyle() const { return checkStyle_; }
  void SetCheckStyle(TCheckStyle style);
  // Two characters: the first shows while unchecked, the second while checked.
  QString Symbols() const { return symbols_; }
  void SetSymbols(const QString& symbols);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool on);

  // The caption's font (the widget's font); the symbols keep their own.
  void SetCaptionFont(const QFont& font);

  // Box and caption: caption width + CaptionSpace + 15 by the larger of caption height
  // + 2 and 16, never below 13 x 13.
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;

 private:
  void Toggle() { SetChecked(!checked_); }
  void Changed();  // a property that moves or resizes the drawing
  void DrawBox(QPainter& painter) const;
  void DrawMark(QPainter& painter) const;

  bool checked_ = false;
  QString caption_;
  int captionSpace_ = 2;
  TCheckStyle checkStyle_ = TCheckStyle::chsClasic;
  QString symbols_ = "AB";
  bool autoSize_ = true;
  QFont symbolFont_;
};

}  // namespace kalvist
