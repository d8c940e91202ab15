#include "KalvistError.h"
#include "vltZarno.h"

namespace kalvist {

uint8_t TZarno::AccessLevel() const {
  if (!IsConnected()) return alAdministrator;  // offline everything is open
  if (!threeLevel_) return passwordOK_ ? alAdministrator : alMonitor;
  switch (accessLevelNumber_) {
    case 3:
      return alAdministrator;
    case 2:
      return alOperator;
    default:
      return alMonitor;
  }
}

std::string TZarno::AccessLevelName(uint8_t level) {
  switch (level) {
    case alAdministrator:
      return "administrator";
    case alOperator:
      return "operator";
    case alMonitor:
      return "monitor";
    default:
      return "";
  }
}

void TZarno::EnterPassword(uint16_t value) {
  TZarnoParam& object = threeLevel_ ? threeLvLPassword_ : password_;
  object.SetAsWord(value);
  changedPasswordWord_.reset();
  queue_.PasswordWord = value;
  queue_.EnqueueWrite(object);
}

bool TZarno::ChangePassword(uint16_t value, uint8_t level) {
  TZarnoParam* object = &password_;
  if (threeLevel_ && level == alOperator) {
    object = &writeOperPassword_;
  } else if (threeLevel_ && level != alAdministrator) {
    throw TKalvistError("Writing password  to undefined comm. object.");
  }
  object->SetAsWord(value);
  // The write itself still needs the password in force; the new one takes over for
  // later writes once the controller has accepted it.
  const bool queued = queue_.EnqueueWrite(*object);
  if (queued && level == AccessLevel()) changedPasswordWord_ = value;
  return queued;
}

void TZarno::ResetPassword() {
  passwordOK_ = false;
  accessLevelNumber_ = 0;
  changedPasswordWord_.reset();
  queue_.PasswordWord = kNoPassword;
  ObjectChanged(idPassword);
}

void TZarno::RequestEncryptedPassword() {
  queue_.EnqueueRead(encryptedPassword_);
}

void TZarno::HandlePasswordWritten(uint16_t id, int result) {
  if (id == idThreeLvLPassword) {
    if (result == 0) {
      queue_.EnqueueRead(threeLvLPassword_);
      return;
    }
    ResetPassword();
    ShowError("Wrong password");
    return;
  }
  passwordOK_ = result == 0;
  TakeChangedPassword(passwordOK_);
  ObjectChanged(idPassword);
  if (!passwordOK_) ShowError("Wrong password");
}

void TZarno::TakeChangedPassword(bool accepted) {
  if (accepted && changedPasswordWord_) queue_.PasswordWord = *changedPasswordWord_;
  changedPasswordWord_.reset();
}

void TZarno::HandleThreeLevelRead(const TCustomCommObject& object) {
  accessLevelNumber_ = object.AsWord();
  if (accessLevelNumber_ > 0) passwordOK_ = true;
  ObjectChanged(idThreeLvLPassword);
}

}  // namespace kalvist
