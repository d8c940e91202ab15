#include <QDir>
#include <QFile>
#include <QFileDialog>

#include "Main.h"
#include "P16Import.h"
#include "TextCodec.h"

namespace kalvist {

namespace {

// "parameter files (*.zrn;*.zrp)|*.zrn;*.zrp|..." as the name filters of a file dialog.
QStringList NameFilters(const std::string& filter) {
  const QStringList parts = QString::fromStdString(filter).split('|');
  QStringList filters;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    const QString description = parts[i].left(parts[i].indexOf('(')).trimmed();
    filters << description + " (" + QString(parts[i + 1]).replace(';', ' ') + ")";
  }
  return filters;
}

// An imported old file fills the pages' fields; their change handling writes the objects.
class TPagesTarget : public IParamPageTarget {
 public:
  explicit TPagesTarget(TmSetUp& window) : w_(window) {}

  bool WindowInDegrees() const override { return w_.Zarno->WindowInDegrees(); }
  int32_t MaxWindowDelayDegrees() const override { return w_.Zarno->MaxWindowDelayDegrees(); }
  void SetEditValue(uint16_t objectId, double shownValue) override {
    if (TBoundSpinEdit* edit = w_.EditOfObject(objectId)) edit->setValue(shownValue);
  }
  void SelectFrequency(uint16_t objectId, int32_t hz) override {
    QComboBox* list = objectId == idKnockFilterFrequency ? w_.cbKnockFrequency : w_.cbRefFrequency;
    const int index = list->findText(QString::number(hz));
    if (index < 0) return;
    list->setCurrentIndex(index);
    w_.Zarno->SetValue(objectId, TValue(hz));
    SetMarked(list, false);
  }
  void SetSwitchBit(int bit, bool on) override {
    w_.Zarno->SetSwitchBit(bit, on);
    w_.ZarnoObjectChanged(idSwitches);
  }
  void SetEngineType(int type) override {
    w_.Zarno->SetEngineType(type);
    w_.ZarnoObjectChanged(idSwitches);
  }

 private:
  TmSetUp& w_;
};

}  // namespace

TParamFileHooks TmSetUp::ParamFileHooks(IParamPageTarget& pages) {
  TParamFileHooks hooks;
  hooks.ProgramTitle = ToCp1252(ProgramTitle);
  hooks.SelectOfflineVersion = [this](int32_t version) { SelectOfflineVersion(version); };
  hooks.ShowInformation = [this](const std::string& text) {
    Notice(QMessageBox::Information, "Information", FromCp1252(text));
  };
  hooks.RefreshForDevice = [this] { RefreshForDevice(); };
  hooks.ShowOfflineDevice = [this] {
    UpdateHardwareTypeParts();
    ShowChannelBoxes(Zarno->CylinderCount());
  };
  hooks.ConvertWindow = [this](const TWindowConversionRequest& request) {
    return ConvertWindowDialog(request);
  };
  hooks.PageTarget = &pages;
  return hooks;
}

void TmSetUp::LoadParamFile(const QString& fileName) {
  TPagesTarget pages(*this);
  kalvist::LoadParamFile(*Zarno, QFile::encodeName(fileName).toStdString(), ParamFileHooks(pages));
  ScheduleUpdateActions();
}

void TmSetUp::actOpenParamFileExecute() {
  std::string filter;
  try {
    filter = OpenFileFilter(Zarno->IsConnected(), Zarno->ZarnoMode());
  } catch (const TKalvistError& error) {
    Notice(QMessageBox::Critical, "Error", FromCp1252(error.what()));
    return;
  }
  QFileDialog dialog(this, "Open parameters", env_.Paths.ParametersFolder);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilters(NameFilters(filter));
  if (env_.Runner->Exec(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString fileName = dialog.selectedFiles().first();
  if (Zarno->IsConnected()) {
    OpenParamFileAsked(fileName);
  } else {
    LoadParamFile(fileName);
  }
}

void TmSetUp::actSaveAsExecute() {
  const uint8_t format = Zarno->GetSaveFileFormat();
  const QString extension = QString::fromStdString(SaveFileExtension(format));
  QFileDialog dialog(this, "Save as", env_.Paths.ParametersFolder);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  // The question below is asked through the window's runner like every other.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setNameFilters(NameFilters(SaveFileFilter(format)));
  dialog.setDefaultSuffix(extension.mid(1));
  if (env_.Runner->Exec(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  const QString fileName = dialog.selectedFiles().first();
  if (QFile::exists(fileName) &&
      Ask(QMessageBox::Warning, "Confirm Save As",
          QDir::toNativeSeparators(fileName) + " already exists.\nDo you want to replace it?") !=
          QMessageBox::Yes) {
    return;
  }
  // The core replaces the file only once the new one is written whole.
  if (Zarno->SaveToFile(QFile::encodeName(fileName).toStdString())) {
    Notice(QMessageBox::Information, "Information",
           "Parameters saved to " + QDir::toNativeSeparators(fileName));
  }
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
  TPagesTarget pages(*this);
  const TParamFileHooks hooks = ParamFileHooks(pages);
  TPreparedParamFile prepared;
  if (PrepareParamFile(*Zarno, QFile::encodeName(fileName).toStdString(), hooks, prepared) !=
      TParamFileResult::Loaded) {
    return;
  }
  // Overwriting a running engine's configuration: first what will change, and a way back.
  const std::vector<std::string> notRead = UnreadableParams(*Zarno);
  if (!OverwriteAgreed(ParamFileChanges(*Zarno, prepared, notRead))) return;
  std::string restorePoint;
  try {
    restorePoint = WriteRestorePoint(*Zarno, RestorePointsFolder(), notRead, LocalNow());
  } catch (const TKalvistError& error) {
    Notice(QMessageBox::Critical, "Error",
           "No restore point could be written, so nothing was loaded:\n" + FromCp1252(error.Text));
    return;
  }
  if (ApplyPreparedParamFile(*Zarno, prepared, hooks) == TParamFileResult::Loaded) {
    Notice(QMessageBox::Information, "Information",
           "Parameters loaded from " + QDir::toNativeSeparators(fileName) +
               ".\nThe configuration before the load was saved as the restore point " +
               QDir::toNativeSeparators(QFile::decodeName(restorePoint.c_str())));
  }
  ScheduleUpdateActions();
}

bool TmSetUp::OverwriteAgreed(const std::optional<std::vector<TParamChange>>& changes) {
  QMessageBox box(QMessageBox::Warning, "Warning",
                  FromCp1252(Zarno->ZarnoName()) + " is connected. Overwrite all parameters?",
                  QMessageBox::Yes | QMessageBox::No, this);
  box.setInformativeText(FromCp1252(ChangeSummary(changes)));
  QStringList lines;
  for (const TParamChange& change : changes.value_or(std::vector<TParamChange>{})) {
    lines << FromCp1252(ChangeLine(change));
  }
  box.setDetailedText(lines.join('\n'));
  // The question may wait a while: the controller may have gone meanwhile.
  return env_.Runner->Exec(box) == QMessageBox::Yes && Zarno->IsConnected();
}

std::string TmSetUp::RestorePointsFolder() const {
  const QString name = QString::fromLatin1(kRestorePointsFolder.data(),
                                           static_cast<qsizetype>(kRestorePointsFolder.size()));
  return QFile::encodeName(QDir(env_.Paths.ParametersFolder).filePath(name)).toStdString();
}

}  // namespace kalvist
