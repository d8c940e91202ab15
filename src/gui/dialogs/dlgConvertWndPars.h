// "Detonation window parameters conversion": shows a window delay and width in one unit,
// the engine speed to convert at, and the converted pair live; converted values above
// the controller's limits show red and are set to the limits once the user agrees. The
// arithmetic is the core's (WindowConversion.h). Created for one conversion and shown
// modally by its caller.
#pragma once

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "ModalRunner.h"
#include "WindowConversion.h"

namespace kalvist {

class TCnvDetonWndParDlg : public QDialog {
 public:
  // The runner shows the dialog's own warning boxes.
  TCnvDetonWndParDlg(IModalRunner& runner, QWidget* parent);

  TWindowDirection Direction() const { return direction_; }
  void SetDirection(TWindowDirection direction);
  int64_t SourceDelay() const { return source_.Delay; }
  void SetSourceDelay(int64_t value);
  int64_t SourceWidth() const { return source_.Width; }
  void SetSourceWidth(int64_t value);
  void SetSpeed(int32_t rpm) { seSpeed->setValue(rpm); }
  bool FourStroke() const { return fourStroke_; }
  void SetFourStroke(bool on);
  const TWindowLimits& Limits() const { return limits_; }
  void SetLimits(const TWindowLimits& limits);
  int64_t ConvertedDelay() const { return converted_.Delay; }
  void SetConvertedDelay(int64_t value);
  int64_t ConvertedWidth() const { return converted_.Width; }
  void SetConvertedWidth(int64_t value);

  void Recalculate();
  void seSpeedChange();
  void seSpeedExit();
  void btnOkClick();

  QGroupBox* gbSrc;
  QGroupBox* gbDest;
  QLabel* lbSrcDetonWndDelay;
  QLabel* lbSrcDetonWndWidth;
  QLabel* lbDstDetonWndDelay;
  QLabel* lbDstDetonWndWidth;
  QLabel* lbStrokeValue;
  QSpinBox* seSpeed;
  QPushButton* btnOk;
  QPushButton* btnCancel;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // The value in its unit: microseconds whole, tenths of a degree as degrees.
  QString ValueText(int64_t value, bool degrees) const;
  bool SourceInDegrees() const { return direction_ == TWindowDirection::DegreesToMicroseconds; }
  bool SpeedInRange() const;

  IModalRunner& runner_;
  TWindowDirection direction_ = TWindowDirection::DegreesToMicroseconds;
  TWindowPair source_;
  TWindowPair converted_;
  bool fourStroke_ = true;
  TWindowLimits limits_;
};

}  // namespace kalvist
