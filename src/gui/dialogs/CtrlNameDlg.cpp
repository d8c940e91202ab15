#include "CtrlNameDlg.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace kalvist {

TfmControllerName::TfmControllerName(QWidget* parent)
    : QDialog(parent), eZarno20Name(new QLineEdit(this)), eZarno2Name(new QLineEdit(this)) {
  setWindowTitle("Unit names");
  setObjectName("fmControllerName");
  eZarno20Name->setObjectName("eZarno20Name");
  eZarno2Name->setObjectName("eZarno2Name");
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Name for 20 sensors unit?", this));
  layout->addWidget(eZarno20Name);
  layout->addWidget(new QLabel("Name for 2 sensors unit?", this));
  layout->addWidget(eZarno2Name);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  eZarno20Name->setMinimumWidth(240);
}

void TfmControllerName::done(int result) {
  if (result == QDialog::Accepted && Zarno20Name().isEmpty()) return;
  QDialog::done(result);
}

}  // namespace kalvist
