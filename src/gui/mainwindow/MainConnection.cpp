#include "DeviceVersionCheck.h"
#include "Main.h"
#include "StatusPanels.h"
#include "fSetupDlg.h"

namespace kalvist {

void TmSetUp::actOpenDirectExecute() {
  TfmSetupDlg dialog(env_.PortSources, this);
  actOpenDirect->setEnabled(false);
  // The device path names the port for sure; the number only while ports stay put.
  if (Zarno->PortPath().empty()) {
    dialog.SetComPort(Zarno->CommPort());
  } else {
    dialog.SetComPortPath(Zarno->PortPath());
  }
  dialog.chInstantConnect->setChecked(InstantConnect);
  dialog.adjustSize();
  dialog.move(frameGeometry().center() - dialog.rect().center());
  if (env_.Runner->Exec(dialog) != QDialog::Accepted) return;
  settings_.ComPort = dialog.ComPort();
  settings_.ComPortPath = dialog.ComPortPath();
  InstantConnect = dialog.chInstantConnect->isChecked();
  ConnectTo(settings_.ComPortPath, settings_.ComPort);
}

void TmSetUp::ConnectTo(const std::string& path, int number) {
  Zarno->SetCommPort(static_cast<uint8_t>(number & 0xFF));
  Zarno->SetPortPath(path);
  Zarno->Connect();
  sbMain->update();
  ScheduleUpdateActions();
}

void TmSetUp::ZarnoConnect() {
  const std::optional<std::string> refusal =
      CheckDeviceVersion(Zarno->ZarnoMode(), static_cast<uint8_t>(Zarno->SwVersion()));
  if (refusal) {
    // Not from inside the link's event: the box waits for the user.
    const QString text = QString::fromStdString(*refusal);
    Reconnector->Connected(false);
    // While the box waits, the window shows the connection that it is about to close.
    sbMain->update();
    ScheduleUpdateActions();
    QMetaObject::invokeMethod(
        this, [this, text] { RefuseDevice(text); }, Qt::QueuedConnection);
    return;
  }
  SelectOfflineVersion(Zarno->SwVersion());
  LiveConnectionStarted();
  sbMain->SetPanelText(spSwVersion, SwVersionText());
  Zarno->NumMaxChannels = kChannelCount;
  UpdateHardwareTypeParts();
  ShowChannelBoxes(Zarno->CylinderCount());
  Zarno->ResetPassword();
  Reconnector->Connected();
  ZarnoTimer->start();
  ScheduleUpdateActions();
  OpenPendingParamFile();
}

void TmSetUp::RefuseDevice(const QString& text) {
  Notice(QMessageBox::Information, "Information", text);
  Zarno->Disconnect();
}

void TmSetUp::ZarnoDisconnect() {
  ZarnoTimer->stop();
  Reconnector->Disconnected();
  LiveConnectionEnded();
  sbMain->SetPanelText(spSwVersion, "");
  seCylinderCount->SetFormat(0, 1, kChannelCount, kChannelCount);
  RefreshForDevice();
  sbMain->SetPanelText(spSwVersion, SwVersionText());
  ScheduleUpdateActions();
  OpenPendingParamFile();
}

void TmSetUp::ZarnoTimerTimer() {
  Zarno->ReadStatus();
  Zarno->ReadLiveValues();
  // Not while a limit is being typed: the meters would show what is not yet set.
  if (!IsEditing(*seIgnitionReductionLimit) && !IsEditing(*seImmediateStopLimit)) {
    ApplyOutputLimits();
  }
}

void TmSetUp::UpdateHardwareTypeParts() {
  BuildSensorList();
  LayoutDiodes();
  actTwoSensorsMode->setChecked(Zarno->ZarnoMode() == 1);
  sbMain->update();
}

void TmSetUp::actTwoSensorsModeExecute() {
  const bool toTwoSensors = Zarno->ZarnoMode() != 1;
  Zarno->SetZarnoMode(toTwoSensors ? 1 : 0);
  UpdateHardwareTypeParts();
  ShowChannelBoxes(Zarno->CylinderCount());
  Zarno->SetOfflineSWversion(toTwoSensors ? OfflineVersion2 : OfflineVersion20);
  RefreshForDevice();
}

void TmSetUp::RecordOfflineVersion(bool twoSensors, int version) {
  QAction* action;
  if (twoSensors) {
    OfflineVersion2 = version;
    action = version <= 11 ? acttov12 : version == 12 ? actv12 : actv13;
  } else {
    OfflineVersion20 = version;
    action = version < 20    ? acttov20
             : version <= 23 ? actfromv20to24
             : version == 24 ? actv24
                             : actv25;
  }
  action->setChecked(true);
  (twoSensors ? VersionLabel2 : VersionLabel20) = action->statusTip();
}

void TmSetUp::SelectOfflineVersion(int version) {
  RecordOfflineVersion(Zarno->ZarnoMode() == 1, version);
  Zarno->SetOfflineSWversion(version);
  if (!Zarno->IsConnected()) RefreshForDevice();
}

QString TmSetUp::SwVersionText() const {
  if (Zarno->IsConnected()) return ConnectedSwVersionText(Zarno->SwVersion());
  return actTwoSensorsMode->isChecked() ? VersionLabel2 : VersionLabel20;
}

}  // namespace kalvist
