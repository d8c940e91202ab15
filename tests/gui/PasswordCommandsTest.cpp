#include <QtTest>

#include "GuiTestSupport.h"
#include "MessageThread.h"
#include "ZarnoSimulator.h"
#include "dlgPassword.h"

using namespace kalvist;

namespace {

constexpr int kLinkMs = 8000;

// How the password dialog looked when it came up.
struct TDialogSeen {
  int Kind = -1;
  int ChosenLevel = -2;
  bool ListShown = false;
  bool ListEnabled = false;
};

// The window connected to a simulated controller with the three-level scheme.
class TPasswordRig {
 public:
  TPasswordRig() {
    SetMessageSink(&Sink);
    Window.ConnectTo(Simulator.Start(), 1);
  }
  ~TPasswordRig() { SetMessageSink(nullptr); }

  // Runs `action` with the dialog answered: `level` chosen when not negative, the texts
  // typed, OK clicked.
  TDialogSeen Answer(QAction* action, const QString& password, int level = -1) {
    TDialogSeen seen;
    Rig.Runner.Answer = [&](QDialog& dialog) {
      auto* passwordDlg = dynamic_cast<TPasswordDlg*>(&dialog);
      if (passwordDlg == nullptr) return int(QMessageBox::Ok);
      seen = {passwordDlg->Kind(), passwordDlg->ChosenLevel(),
              !passwordDlg->cbAccessLevel->isHidden(), passwordDlg->cbAccessLevel->isEnabled()};
      if (level >= 0) passwordDlg->cbAccessLevel->setCurrentIndex(level);
      passwordDlg->medPassword->setText(password);
      passwordDlg->medConfirm->setText(password);
      passwordDlg->btnOk->click();
      return passwordDlg->result();
    };
    Window.UpdateActions();
    action->trigger();
    return seen;
  }

  uint64_t Writes(uint16_t id) const {
    const auto counts = Simulator.Counters().Writes;
    const auto it = counts.find(id);
    return it == counts.end() ? 0 : it->second;
  }

  TRecordingSink Sink;
  sim::TZarnoSimulator Simulator;
  TWindowRig Rig;
  TmSetUp& Window = Rig.Start();
};

}  // namespace

class PasswordCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void AdministratorSetsTheOperatorPasswordAndTheOperatorChangesIt();
  void MonitorGetsTheEntryFormAndTheChangeIsRefused();
};

void PasswordCommandsTest::AdministratorSetsTheOperatorPasswordAndTheOperatorChangesIt() {
  TPasswordRig rig;
  TmSetUp& w = rig.Window;
  QTRY_VERIFY_WITH_TIMEOUT(w.Zarno->IsConnected(), kLinkMs);
  QCOMPARE(w.Zarno->AccessLevel(), alMonitor);

  const TDialogSeen entry = rig.Answer(w.actCnEnterPassword, "1111");
  QCOMPARE(entry.Kind, TPasswordDlg::kEntryForm);
  QVERIFY(!entry.ListShown);
  QTRY_COMPARE_WITH_TIMEOUT(w.Zarno->AccessLevel(), alAdministrator, kLinkMs);

  // The administrator may pick either password; the operator's is changed here.
  const TDialogSeen admin = rig.Answer(w.actCnChangePassword, "$115C", alOperator);  // 4444
  QCOMPARE(admin.Kind, TPasswordDlg::kChangeForm);
  QCOMPARE(admin.ChosenLevel, 0);
  QVERIFY(admin.ListShown && admin.ListEnabled);
  QTRY_COMPARE_WITH_TIMEOUT(rig.Writes(idWriteOperPassword), uint64_t(1), kLinkMs);
  QCOMPARE(w.Zarno->Queue().PasswordWord, uint16_t(1111));  // still the administrator's

  rig.Answer(w.actCnDeactivatePassword, "");
  QVERIFY(!w.Zarno->PasswordOK());
  QCOMPARE(w.Zarno->Queue().PasswordWord, kNoPassword);

  rig.Answer(w.actCnEnterPassword, "4444");
  QTRY_COMPARE_WITH_TIMEOUT(w.Zarno->AccessLevel(), alOperator, kLinkMs);

  // An operator changes the operator password only: the list is locked there.
  const TDialogSeen oper = rig.Answer(w.actCnChangePassword, "5555");
  QCOMPARE(oper.Kind, TPasswordDlg::kChangeForm);
  QCOMPARE(oper.ChosenLevel, 1);
  QVERIFY(oper.ListShown && !oper.ListEnabled);
  QTRY_COMPARE_WITH_TIMEOUT(rig.Writes(idWriteOperPassword), uint64_t(2), kLinkMs);
  QTRY_COMPARE(w.Zarno->Queue().PasswordWord, uint16_t(5555));

  rig.Answer(w.actCnDeactivatePassword, "");
  rig.Answer(w.actCnEnterPassword, "5555");
  QTRY_COMPARE_WITH_TIMEOUT(w.Zarno->AccessLevel(), alOperator, kLinkMs);
  QVERIFY(!rig.Sink.Texts().contains("Wrong password"));
  QVERIFY(rig.Rig.Runner.BoxTexts.isEmpty());
}

void PasswordCommandsTest::MonitorGetsTheEntryFormAndTheChangeIsRefused() {
  TPasswordRig rig;
  TmSetUp& w = rig.Window;
  QTRY_VERIFY_WITH_TIMEOUT(w.Zarno->IsConnected(), kLinkMs);
  rig.Answer(w.actCnEnterPassword, "3333");
  QTRY_VERIFY_WITH_TIMEOUT(w.Zarno->PasswordOK(), kLinkMs);
  QCOMPARE(w.Zarno->AccessLevel(), alMonitor);

  const TDialogSeen seen = rig.Answer(w.actCnChangePassword, "6666");
  QCOMPARE(seen.Kind, TPasswordDlg::kEntryForm);
  QCOMPARE(seen.ChosenLevel, -1);
  QVERIFY(seen.ListShown);
  QCOMPARE(rig.Rig.Runner.BoxTexts, QStringList{"Writing password  to undefined comm. object."});

  // Queued after anything the change might have sent: once it is answered, nothing was.
  rig.Answer(w.actCnGetEncryptedPassword, "");
  const QString encrypted =
      "Encrypted password value is: " + QString::number(sim::EncryptPassword(1111));
  QTRY_VERIFY_WITH_TIMEOUT(rig.Sink.Texts().contains(encrypted), kLinkMs);
  QCOMPARE(rig.Writes(idPassword) + rig.Writes(idWriteOperPassword), uint64_t(0));
}

QTEST_MAIN(PasswordCommandsTest)
#include "PasswordCommandsTest.moc"
