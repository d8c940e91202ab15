// How the main window runs its modal dialogs and message boxes. The program executes
// them; tests answer them without a user.
#pragma once

#include <QDialog>

namespace kalvist {

class IModalRunner {
 public:
  virtual ~IModalRunner() = default;
  // Shows `dialog` modally and returns its result (QDialog::Accepted, a button, ...).
  virtual int Exec(QDialog& dialog) = 0;
};

class TExecRunner : public IModalRunner {
 public:
  int Exec(QDialog& dialog) override { return dialog.exec(); }
};

}  // namespace kalvist
