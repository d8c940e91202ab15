// "Open parameters" and "Save as ..." with their dialogs and questions.
#include <QFileDialog>
#include <QtTest>

#include "GuiTestSupport.h"
#include "IniFile.h"
#include "ZarnoSimulator.h"

using namespace kalvist;

namespace {

constexpr int kLinkMs = 8000;

// What the file dialogs were shown with, and the file the user picks.
struct TFileChoice {
  QString Pick;  // empty: the user cancels
  QStringList Filters;
  QString Folder;
  QString Suffix;
  bool Save = false;
};

void AnswerFileDialogs(TWindowRig& rig, TFileChoice& choice, int questionAnswer) {
  rig.Runner.Answer = [&choice, questionAnswer](QDialog& dialog) {
    auto* files = qobject_cast<QFileDialog*>(&dialog);
    if (files == nullptr) return questionAnswer;
    choice.Filters = files->nameFilters();
    choice.Folder = files->directory().absolutePath();
    choice.Suffix = files->defaultSuffix();
    choice.Save = files->acceptMode() == QFileDialog::AcceptSave;
    if (choice.Pick.isEmpty()) return int(QDialog::Rejected);
    files->selectFile(choice.Pick);
    return int(QDialog::Accepted);
  };
}

// A file for the 20-sensor unit, firmware 2.5, in the window's parameters folder.
QString WriteParamFile(TmSetUp& w, const QString& name, const char* parameters) {
  const QString path = QDir(w.Paths().ParametersFolder).filePath(name);
  QFile out(path);
  out.open(QIODevice::WriteOnly);
  out.write("[identification]\r\nFileVersion=0\r\nHWType=0\r\nSWVersion=25\r\n[parameters]\r\n");
  out.write(parameters);
  return path;
}

}  // namespace

class FileCommandsTest : public QObject {
  Q_OBJECT

 private slots:
  void SaveAsOffersTheFormatOfTheFirmwareAndAsksBeforeReplacing_data();
  void SaveAsOffersTheFormatOfTheFirmwareAndAsksBeforeReplacing();
  void OpenOfflineLoadsTheFileIntoThePages();
  void OpenWhileConnectedAsksFirst();  // with the change list and a restore point
};

void FileCommandsTest::SaveAsOffersTheFormatOfTheFirmwareAndAsksBeforeReplacing_data() {
  QTest::addColumn<int>("version");
  QTest::addColumn<QString>("filter");
  QTest::newRow("2.4") << 24 << "parameter file (*.zrn)";
  QTest::newRow("2.5") << 25 << "parameter file (*.zrp)";
}

void FileCommandsTest::SaveAsOffersTheFormatOfTheFirmwareAndAsksBeforeReplacing() {
  QFETCH(int, version);
  QFETCH(QString, filter);
  TWindowRig rig;
  TmSetUp& w = rig.Start();
  w.SelectOfflineVersion(version);
  TFileChoice choice;
  AnswerFileDialogs(rig, choice, QMessageBox::Ok);
  w.actSaveAs->trigger();  // cancelled: nothing written
  QCOMPARE(choice.Filters, QStringList{filter});
  QCOMPARE(choice.Folder, QDir(w.Paths().ParametersFolder).absolutePath());
  QVERIFY(choice.Save);
  QCOMPARE(QDir(w.Paths().ParametersFolder).entryList(QDir::Files), QStringList());

  w.seCanAddr->setValue(42);
  choice.Pick = QDir(w.Paths().ParametersFolder).filePath("engine");
  w.actSaveAs->trigger();
  const QString saved = choice.Pick + "." + choice.Suffix;
  QVERIFY(QFile::exists(saved));
  QCOMPARE(TIniFile::LoadFromFile(QFile::encodeName(saved).toStdString())
               .ReadInteger("parameters", "CANAddress", 0),
           42);
  QVERIFY(rig.Runner.BoxTexts.last().startsWith("Parameters saved to "));

  // An existing file is replaced only after a Yes.
  w.seCanAddr->setValue(43);
  choice.Pick = saved;
  AnswerFileDialogs(rig, choice, QMessageBox::No);
  w.actSaveAs->trigger();
  QVERIFY(rig.Runner.BoxTexts.last().endsWith("already exists.\nDo you want to replace it?"));
  QCOMPARE(TIniFile::LoadFromFile(QFile::encodeName(saved).toStdString())
               .ReadInteger("parameters", "CANAddress", 0),
           42);
  AnswerFileDialogs(rig, choice, QMessageBox::Yes);
  w.actSaveAs->trigger();
  QCOMPARE(TIniFile::LoadFromFile(QFile::encodeName(saved).toStdString())
               .ReadInteger("parameters", "CANAddress", 0),
           43);
}

void FileCommandsTest::OpenOfflineLoadsTheFileIntoThePages() {
  TWindowRig rig;
  TmSetUp& w = rig.Start();
  w.SelectOfflineVersion(19);
  TFileChoice choice;
  choice.Pick =
      WriteParamFile(w, "irregular.zrp", "Switches=1281\r\nCANAddress=200\r\nDecreaseRamp=234\r\n");
  AnswerFileDialogs(rig, choice, QMessageBox::Ok);
  w.actOpenParamFile->trigger();
  QCOMPARE(choice.Filters,
           (QStringList{"parameter files (*.zrn *.zr2 *.zrp)", "parameters (*.p16)"}));
  QVERIFY(w.actv25->isChecked());
  QCOMPARE(w.rgEngineType->ItemIndex(), 2);
  QVERIFY(w.PCTRL->isTabVisible(w.PCTRL->indexOf(w.tsFirings)));
  QCOMPARE(w.seDecreaseRamp->value(), 23.4);
  QCOMPARE(w.seCanAddr->value(), 200.0);
  QCOMPARE(int(w.seCanAddr->Look()), int(TBoundSpinEdit::TLook::Marked));
}

void FileCommandsTest::OpenWhileConnectedAsksFirst() {
  sim::TZarnoSimulator simulator;
  TWindowRig rig;
  TmSetUp& w = rig.Start();
  w.ConnectTo(simulator.Start(), 1);
  QTRY_VERIFY_WITH_TIMEOUT(w.Zarno->IsConnected(), kLinkMs);
  w.Zarno->EnterPassword(1111);
  QTRY_VERIFY_WITH_TIMEOUT(w.Zarno->PasswordOK(), kLinkMs);
  const int before = static_cast<int>(w.seCanAddr->value());
  TFileChoice choice;
  choice.Pick = WriteParamFile(w, "can.zrp", "CANAddress=9\r\n");
  QString details;
  const auto answer = [&](int questionAnswer) {
    AnswerFileDialogs(rig, choice, questionAnswer);
    rig.Runner.Answer = [&, questionAnswer, files = rig.Runner.Answer](QDialog& dialog) {
      if (auto* box = qobject_cast<QMessageBox*>(&dialog)) details = box->detailedText();
      return files(dialog);
    };
  };
  answer(QMessageBox::No);
  w.UpdateActions();
  w.actOpenParamFile->trigger();
  QCOMPARE(choice.Filters, QStringList{"parameter files (*.zrn *.zrp)"});
  QCOMPARE(rig.Runner.BoxTexts.last(), QString("A is connected. Overwrite all parameters?"));
  QCOMPARE(details, QString("CANAddress: %1 -> 9").arg(before));
  QCOMPARE(w.seCanAddr->value(), double(before));

  // A restore point that cannot be written: nothing is loaded.
  const QString restorePoints = QDir(w.Paths().ParametersFolder).filePath("Restore points");
  QFile blocker(restorePoints);
  QVERIFY(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  answer(QMessageBox::Yes);
  w.actOpenParamFile->trigger();
  QVERIFY(rig.Runner.BoxTexts.last().startsWith("No restore point could be written"));
  QCOMPARE(w.seCanAddr->value(), double(before));
  QVERIFY(blocker.remove());

  w.actOpenParamFile->trigger();
  QCOMPARE(w.seCanAddr->value(), 9.0);
  QTRY_COMPARE_WITH_TIMEOUT(simulator.GetObject(idCANAddress)->at(0), uint8_t(9), kLinkMs);
  const QStringList kept = QDir(restorePoints).entryList(QDir::Files);
  QCOMPARE(kept.size(), 1);
  QVERIFY(rig.Runner.BoxTexts.last().endsWith(
      QDir::toNativeSeparators(QDir(restorePoints).filePath(kept.first()))));
  QCOMPARE(TIniFile::LoadFromFile(
               QFile::encodeName(QDir(restorePoints).filePath(kept.first())).toStdString())
               .ReadInteger("parameters", "CANAddress", 0),
           before);
}

QTEST_MAIN(FileCommandsTest)
#include "FileCommandsTest.moc"
