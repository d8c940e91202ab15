#include <QFile>

#include "Main.h"
#include "ParamFiles.h"
#include "TextCodec.h"

namespace kalvist {

void TmSetUp::LoadParamFile(const QString& fileName) {
  TParamFileHooks hooks;
  hooks.ProgramTitle = ToCp1252(ProgramTitle);
  hooks.SelectOfflineVersion = [this](int32_t version) { SelectOfflineVersion(version); };
  hooks.ShowInformation = [this](const std::string& text) {
    Notice(QMessageBox::Information, "Information", FromCp1252(text));
  };
  hooks.RefreshForDevice = [this] { RefreshForDevice(); };
  hooks.ShowOfflineDevice = [this] { UpdateHardwareTypeParts(); };
  kalvist::LoadParamFile(*Zarno, QFile::encodeName(fileName).toStdString(), hooks);
  ScheduleUpdateActions();
}

void TmSetUp::OpenCommandLineFile() {
  if (env_.Arguments.size() != 1) return;
  pendingParamFile_ = env_.Arguments.first();
  // An instant connect may still be identifying the controller: a file applied now
  // would set up a device the identification then replaces.
  if (!Zarno->IsConnecting()) OpenPendingParamFile();
}

void TmSetUp::OpenPendingParamFile() {
  if (pendingParamFile_.isEmpty()) return;
  const QString fileName = std::exchange(pendingParamFile_, QString());
  if (!Zarno->IsConnected()) {
    LoadParamFile(fileName);
    return;
  }
  // Not from inside the link's event: the question waits for the user.
  QMetaObject::invokeMethod(
      this, [this, fileName] { OpenParamFileAsked(fileName); }, Qt::QueuedConnection);
}

void TmSetUp::OpenParamFileAsked(const QString& fileName) {
  if (!Zarno->IsConnected()) return;
  QMessageBox box(QMessageBox::Warning, "Warning",
                  FromCp1252(Zarno->ZarnoName()) + " is connected. Overwrite all parameters?",
                  QMessageBox::Yes | QMessageBox::No, this);
  if (env_.Runner->Exec(box) != QMessageBox::Yes) return;
  LoadParamFile(fileName);
}

}  // namespace kalvist
