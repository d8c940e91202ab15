// "Unit names": the display names of the 20-sensor and the 2-sensor unit. OK needs a
// 20-sensor name; the 2-sensor name may stay empty.
#pragma once

#include <QDialog>
#include <QLineEdit>

namespace kalvist {

class TfmControllerName : public QDialog {
 public:
  explicit TfmControllerName(QWidget* parent = nullptr);

  // Reading trims blanks at both ends.
  QString Zarno20Name() const { return eZarno20Name->text().trimmed(); }
  void SetZarno20Name(const QString& name) { eZarno20Name->setText(name); }
  QString Zarno2Name() const { return eZarno2Name->text().trimmed(); }
  void SetZarno2Name(const QString& name) { eZarno2Name->setText(name); }

  // An OK close is refused while the 20-sensor name is blank; any other close passes.
  void done(int result) override;

  QLineEdit* eZarno20Name;
  QLineEdit* eZarno2Name;
};

}  // namespace kalvist
