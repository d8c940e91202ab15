#include "dlgPassword.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QVBoxLayout>

#include "TextCodec.h"
#include "vltCommObject.h"

namespace kalvist {

std::optional<uint16_t> PasswordValue(const QString& text) {
  const std::optional<int64_t> number = TextToInteger(ToCp1252(text));
  if (!number || *number < 0 || *number > 65535) return std::nullopt;
  return static_cast<uint16_t>(*number);
}

namespace {

QLineEdit* PasswordEdit(const char* name, QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setEchoMode(QLineEdit::Password);
  edit->setStyleSheet("QLineEdit { lineedit-password-character: 42; }");  // "*"
  edit->setMaxLength(TPasswordDlg::kMaxLength);
  return edit;
}

}  // namespace

TPasswordDlg::TPasswordDlg(IModalRunner& runner, QWidget* parent)
    : QDialog(parent),
      lbAccessLevel(new QLabel("Access level:", this)),
      cbAccessLevel(new QComboBox(this)),
      lbPassword(new QLabel(this)),
      medPassword(PasswordEdit("medPassword", this)),
      lbConfirm(new QLabel("Confirm new password:", this)),
      medConfirm(PasswordEdit("medConfirm", this)),
      btnOk(new QPushButton("OK", this)),
      btnCancel(new QPushButton("Cancel", this)),
      runner_(runner) {
  setObjectName("PasswordDlg");
  cbAccessLevel->setObjectName("cbAccessLevel");
  cbAccessLevel->addItems({"Administrator", "Operator"});
  btnOk->setDefault(true);
  btnCancel->setAutoDefault(false);

  auto* fields = new QGridLayout;
  fields->addWidget(lbAccessLevel, 0, 0);
  fields->addWidget(cbAccessLevel, 0, 1);
  fields->addWidget(lbPassword, 1, 0);
  fields->addWidget(medPassword, 1, 1);
  fields->addWidget(lbConfirm, 2, 0);
  fields->addWidget(medConfirm, 2, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
  for (QLineEdit* edit : {medPassword, medConfirm}) {
    connect(edit, &QLineEdit::textChanged, this, [this] { UpdateOk(); });
    edit->installEventFilter(this);
  }
  SetKind(kEntryForm);
}

void TPasswordDlg::SetKind(int kind) {
  kind_ = kind;
  const bool change = kind == kChangeForm;
  setWindowTitle(change ? "Change password" : "Password");
  lbPassword->setText(change ? "New password:" : "Password:");
  lbConfirm->setVisible(change);
  medConfirm->setVisible(change);
  SetShowAccessLevel(change);
}

void TPasswordDlg::SetShowAccessLevel(bool show) {
  cbAccessLevel->setVisible(show);
  lbAccessLevel->setVisible(show);
  UpdateOk();
}

void TPasswordDlg::SetAccessLevel(int level) {
  cbAccessLevel->setCurrentIndex(level);
  if (kind_ != kChangeForm) return;
  switch (level) {
    case 0:
      cbAccessLevel->setEnabled(true);
      break;
    case 1:
      // An operator may change the operator password only.
      cbAccessLevel->setEnabled(false);
      break;
    default:
      SetKind(kEntryForm);
      break;
  }
}

void TPasswordDlg::UpdateOk() {
  const bool confirmNeeded = kind_ == kChangeForm;
  btnOk->setEnabled(!medPassword->text().isEmpty() &&
                    (!confirmNeeded || !medConfirm->text().isEmpty()));
}

bool TPasswordDlg::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) return EditReturn(watched);
  }
  return QDialog::eventFilter(watched, event);
}

bool TPasswordDlg::EditReturn(QObject* edit) {
  if (edit == medPassword && kind_ == kChangeForm) {
    medConfirm->setFocus();
    return true;
  }
  if (btnOk->isEnabled() && !btnOk->isHidden()) {
    btnOk->setFocus();
    btnOkClick();
  }
  return true;
}

std::optional<QString> TPasswordDlg::InputError() const {
  if (!PasswordValue(medPassword->text())) return QString("Password is invalid.");
  if (kind_ == kChangeForm && medPassword->text() != medConfirm->text()) {
    return QString("Confirm and new password aren't identical.");
  }
  return std::nullopt;
}

void TPasswordDlg::btnOkClick() {
  if (const std::optional<QString> error = InputError()) {
    QMessageBox box(QMessageBox::Critical, "Error", *error, QMessageBox::Ok, this);
    runner_.Exec(box);
    return;
  }
  accept();
}

}  // namespace kalvist
