#include <QtTest>

#include "GuiTestSupport.h"
#include "dlgPassword.h"

using namespace kalvist;

namespace {

void Fill(TPasswordDlg& dialog, const QString& password, const QString& confirm) {
  dialog.medPassword->setText(password);
  dialog.medConfirm->setText(confirm);
}

bool Shown(const QWidget* control) {
  return !control->isHidden();
}

}  // namespace

class PasswordDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void PasswordValueTakesDecimalAndDollarHexUpTo65535_data();
  void PasswordValueTakesDecimalAndDollarHexUpTo65535();
  void EntryAndChangeForms();
  void AccessLevelSelectsLocksOrFallsBackToTheEntryForm_data();
  void AccessLevelSelectsLocksOrFallsBackToTheEntryForm();
  void OkNeedsTextInEveryShownEdit_data();
  void OkNeedsTextInEveryShownEdit();
  void OkChecksKeepTheDialogOpenWithTheirText_data();
  void OkChecksKeepTheDialogOpenWithTheirText();
  void EnterKeyActsAsOkOrMovesToTheConfirmation();
};

void PasswordDialogTest::PasswordValueTakesDecimalAndDollarHexUpTo65535_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<int>("value");  // -1: invalid
  QTest::newRow("zero") << "0" << 0;
  QTest::newRow("decimal") << "1111" << 1111;
  QTest::newRow("largest") << "65535" << 65535;
  QTest::newRow("hex") << "$FFFF" << 65535;
  QTest::newRow("hex lower case") << "$1a" << 26;
  QTest::newRow("one above") << "65536" << -1;
  QTest::newRow("hex above") << "$10000" << -1;
  QTest::newRow("negative") << "-1" << -1;
  QTest::newRow("empty") << "" << -1;
  QTest::newRow("dollar alone") << "$" << -1;
  QTest::newRow("letters") << "abc" << -1;
  QTest::newRow("digits then letter") << "12a" << -1;
  QTest::newRow("hex without dollar") << "FF" << -1;
}

void PasswordDialogTest::PasswordValueTakesDecimalAndDollarHexUpTo65535() {
  QFETCH(QString, text);
  QFETCH(int, value);
  const std::optional<uint16_t> parsed = PasswordValue(text);
  QCOMPARE(parsed ? int(*parsed) : -1, value);
}

void PasswordDialogTest::EntryAndChangeForms() {
  TScriptedRunner runner;
  TPasswordDlg dialog(runner);
  QCOMPARE(dialog.windowTitle(), "Password");
  QCOMPARE(dialog.lbPassword->text(), "Password:");
  QVERIFY(!Shown(dialog.medConfirm) && !Shown(dialog.lbConfirm));
  QVERIFY(!Shown(dialog.cbAccessLevel) && !Shown(dialog.lbAccessLevel));
  for (QLineEdit* edit : {dialog.medPassword, dialog.medConfirm}) {
    QCOMPARE(edit->maxLength(), 5);
    QCOMPARE(edit->echoMode(), QLineEdit::Password);
    QCOMPARE(edit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, edit),
             int('*'));
  }
  QVERIFY(dialog.btnOk->isDefault());

  dialog.SetKind(TPasswordDlg::kChangeForm);
  QCOMPARE(dialog.windowTitle(), "Change password");
  QCOMPARE(dialog.lbPassword->text(), "New password:");
  QCOMPARE(dialog.lbConfirm->text(), "Confirm new password:");
  QCOMPARE(dialog.lbAccessLevel->text(), "Access level:");
  QVERIFY(Shown(dialog.medConfirm) && Shown(dialog.lbConfirm));
  QVERIFY(Shown(dialog.cbAccessLevel) && Shown(dialog.lbAccessLevel));
  QCOMPARE(dialog.cbAccessLevel->itemText(0), "Administrator");
  QCOMPARE(dialog.cbAccessLevel->itemText(1), "Operator");

  // The older password scheme has one password: no list.
  dialog.SetShowAccessLevel(false);
  QVERIFY(!Shown(dialog.cbAccessLevel) && !Shown(dialog.lbAccessLevel));
  QVERIFY(Shown(dialog.medConfirm));

  dialog.SetKind(TPasswordDlg::kEntryForm);
  QCOMPARE(dialog.windowTitle(), "Password");
  QCOMPARE(dialog.lbPassword->text(), "Password:");
  QVERIFY(!Shown(dialog.medConfirm));
}

void PasswordDialogTest::AccessLevelSelectsLocksOrFallsBackToTheEntryForm_data() {
  QTest::addColumn<int>("before");  // a level set first, -1 none
  QTest::addColumn<int>("level");
  QTest::addColumn<int>("index");
  QTest::addColumn<bool>("listEnabled");
  QTest::addColumn<int>("kind");
  QTest::newRow("administrator") << -1 << 0 << 0 << true << 1;
  QTest::newRow("operator locks") << -1 << 1 << 1 << false << 1;
  QTest::newRow("administrator unlocks") << 1 << 0 << 0 << true << 1;
  QTest::newRow("monitor: entry form, nothing chosen") << 0 << 2 << -1 << true << 0;
}

void PasswordDialogTest::AccessLevelSelectsLocksOrFallsBackToTheEntryForm() {
  QFETCH(int, before);
  QFETCH(int, level);
  QFETCH(int, index);
  QFETCH(bool, listEnabled);
  QFETCH(int, kind);
  TScriptedRunner runner;
  TPasswordDlg dialog(runner);
  dialog.SetKind(TPasswordDlg::kChangeForm);
  if (before >= 0) dialog.SetAccessLevel(before);
  dialog.SetAccessLevel(level);
  QCOMPARE(dialog.ChosenLevel(), index);
  QCOMPARE(dialog.cbAccessLevel->isEnabled(), listEnabled);
  QCOMPARE(dialog.Kind(), kind);
  QCOMPARE(Shown(dialog.medConfirm), kind == TPasswordDlg::kChangeForm);
}

void PasswordDialogTest::OkNeedsTextInEveryShownEdit_data() {
  QTest::addColumn<int>("kind");
  QTest::addColumn<QString>("password");
  QTest::addColumn<QString>("confirm");
  QTest::addColumn<bool>("enabled");
  QTest::newRow("entry, empty") << 0 << ""
                                << "" << false;
  QTest::newRow("entry, password") << 0 << "1"
                                   << "" << true;
  QTest::newRow("entry, confirmation alone") << 0 << ""
                                             << "1" << false;
  QTest::newRow("change, password alone") << 1 << "1"
                                          << "" << false;
  QTest::newRow("change, confirmation alone") << 1 << ""
                                              << "1" << false;
  QTest::newRow("change, both") << 1 << "1"
                                << "2" << true;
}

void PasswordDialogTest::OkNeedsTextInEveryShownEdit() {
  QFETCH(int, kind);
  QFETCH(QString, password);
  QFETCH(QString, confirm);
  QFETCH(bool, enabled);
  TScriptedRunner runner;
  TPasswordDlg dialog(runner);
  dialog.SetKind(kind);
  QVERIFY(!dialog.btnOk->isEnabled());
  Fill(dialog, password, confirm);
  QCOMPARE(dialog.btnOk->isEnabled(), enabled);
  // Emptied again, OK goes off again.
  Fill(dialog, "", "");
  QVERIFY(!dialog.btnOk->isEnabled());
}

void PasswordDialogTest::OkChecksKeepTheDialogOpenWithTheirText_data() {
  QTest::addColumn<int>("kind");
  QTest::addColumn<QString>("password");
  QTest::addColumn<QString>("confirm");
  QTest::addColumn<QString>("error");  // empty: the dialog closes with OK
  const QString invalid = "Password is invalid.";
  const QString different = "Confirm and new password aren't identical.";
  QTest::newRow("entry, number") << 0 << "1111"
                                 << ""
                                 << "";
  QTest::newRow("entry, hex") << 0 << "$FFFF"
                              << ""
                              << "";
  QTest::newRow("entry, too large") << 0 << "65536"
                                    << "" << invalid;
  QTest::newRow("entry, negative") << 0 << "-1"
                                   << "" << invalid;
  QTest::newRow("entry, letters") << 0 << "pass"
                                  << "" << invalid;
  QTest::newRow("change, equal") << 1 << "4444"
                                 << "4444"
                                 << "";
  QTest::newRow("change, different") << 1 << "4444"
                                     << "4445" << different;
  // The same number written differently is still another text.
  QTest::newRow("change, same number as hex") << 1 << "255"
                                              << "$FF" << different;
  QTest::newRow("change, invalid before different") << 1 << "x"
                                                    << "y" << invalid;
}

void PasswordDialogTest::OkChecksKeepTheDialogOpenWithTheirText() {
  QFETCH(int, kind);
  QFETCH(QString, password);
  QFETCH(QString, confirm);
  QFETCH(QString, error);
  TScriptedRunner runner;
  TPasswordDlg dialog(runner);
  dialog.SetKind(kind);
  Fill(dialog, password, confirm);
  dialog.setResult(-1);
  dialog.btnOk->click();
  if (error.isEmpty()) {
    QVERIFY(runner.BoxTexts.isEmpty());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
  } else {
    QCOMPARE(runner.BoxTexts, QStringList{error});
    QCOMPARE(runner.Titles, QStringList{"Error"});
    QCOMPARE(dialog.result(), -1);
  }
}

void PasswordDialogTest::EnterKeyActsAsOkOrMovesToTheConfirmation() {
  TScriptedRunner runner;
  {
    // Entry form: Enter with nothing typed does nothing; with a password it is OK.
    TPasswordDlg dialog(runner);
    dialog.show();
    dialog.setResult(-1);
    QTest::keyClick(dialog.medPassword, Qt::Key_Return);
    QCOMPARE(dialog.result(), -1);
    QVERIFY(runner.BoxTexts.isEmpty());
    QTest::keyClicks(dialog.medPassword, "123456");  // the sixth character is refused
    QCOMPARE(dialog.Password(), "12345");
    QTest::keyClick(dialog.medPassword, Qt::Key_Enter);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
  }
  {
    // Change form: Enter in the new password moves on, in the confirmation it is OK.
    TPasswordDlg dialog(runner);
    dialog.SetKind(TPasswordDlg::kChangeForm);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    dialog.setResult(-1);
    dialog.medPassword->setFocus();
    QTest::keyClicks(dialog.medPassword, "4444");
    QTest::keyClick(dialog.medPassword, Qt::Key_Return);
    QTRY_COMPARE(QApplication::focusWidget(), dialog.medConfirm);
    QCOMPARE(dialog.result(), -1);
    QVERIFY(runner.BoxTexts.isEmpty());
    QTest::keyClicks(dialog.medConfirm, "4445");
    QTest::keyClick(dialog.medConfirm, Qt::Key_Return);
    QCOMPARE(runner.BoxTexts, QStringList{"Confirm and new password aren't identical."});
    QCOMPARE(dialog.result(), -1);
    dialog.medConfirm->setText("4444");
    QTest::keyClick(dialog.medConfirm, Qt::Key_Return);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
  }
}

QTEST_MAIN(PasswordDialogTest)
#include "PasswordDialogTest.moc"
