#include "KalvistError.h"
#include "Main.h"
#include "TextCodec.h"
#include "dlgPassword.h"

namespace kalvist {

void TmSetUp::CreatePasswordCommands() {
  connect(actCnEnterPassword, &QAction::triggered, this, [this] { actCnEnterPasswordExecute(); });
  connect(actCnDeactivatePassword, &QAction::triggered, this, [this] { Zarno->ResetPassword(); });
  connect(actCnChangePassword, &QAction::triggered, this, [this] { actCnChangePasswordExecute(); });
  connect(actCnGetEncryptedPassword, &QAction::triggered, this,
          [this] { Zarno->RequestEncryptedPassword(); });
}

void TmSetUp::actCnEnterPasswordExecute() {
  TPasswordDlg dialog(*env_.Runner, this);
  dialog.SetKind(TPasswordDlg::kEntryForm);
  if (env_.Runner->Exec(dialog) != QDialog::Accepted) return;
  if (const std::optional<uint16_t> value = PasswordValue(dialog.Password())) {
    Zarno->EnterPassword(*value);
  }
}

void TmSetUp::actCnChangePasswordExecute() {
  TPasswordDlg dialog(*env_.Runner, this);
  dialog.SetKind(TPasswordDlg::kChangeForm);
  dialog.SetAccessLevel(Zarno->AccessLevel());
  dialog.SetShowAccessLevel(Zarno->ThreeLevel());
  if (env_.Runner->Exec(dialog) != QDialog::Accepted) return;
  const std::optional<uint16_t> value = PasswordValue(dialog.Password());
  if (!value) return;
  try {
    // A monitor is offered no level: the device object refuses the change.
    Zarno->ChangePassword(*value, static_cast<uint8_t>(dialog.ChosenLevel()));
  } catch (const TKalvistError& error) {
    Notice(QMessageBox::Critical, "Error", FromCp1252(error.what()));
  }
}

}  // namespace kalvist
