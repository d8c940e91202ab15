// "Password": enters a password (entry form) or sets a new one for an access level
// (change form). The dialog closes with OK only for a number the controller can take.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <optional>

#include "ModalRunner.h"

namespace kalvist {

// The number a password text stands for: the program's whole-number rule (decimal, or
// hexadecimal after "$"), within 0..65535. Nothing for any other text.
std::optional<uint16_t> PasswordValue(const QString& text);

class TPasswordDlg : public QDialog {
 public:
  static constexpr int kEntryForm = 0;
  static constexpr int kChangeForm = 1;
  static constexpr int kMaxLength = 5;

  // `runner` shows the dialog's error boxes.
  explicit TPasswordDlg(IModalRunner& runner, QWidget* parent = nullptr);

  void SetKind(int kind);
  int Kind() const { return kind_; }
  void SetAccessLevel(int level);
  void SetShowAccessLevel(bool show);
  QString Password() const { return medPassword->text(); }
  // -1 when no level is selected (a monitor never gets one).
  int ChosenLevel() const { return cbAccessLevel->currentIndex(); }

  QLabel* lbAccessLevel;
  QComboBox* cbAccessLevel;
  QLabel* lbPassword;
  QLineEdit* medPassword;
  QLabel* lbConfirm;
  QLineEdit* medConfirm;
  QPushButton* btnOk;
  QPushButton* btnCancel;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void UpdateOk();
  // Enter in an edit; true when the key is used up.
  bool EditReturn(QObject* edit);
  void btnOkClick();
  // The text that keeps the dialog open, or nothing when the input passes.
  std::optional<QString> InputError() const;

  IModalRunner& runner_;
  int kind_ = kEntryForm;
};

}  // namespace kalvist
