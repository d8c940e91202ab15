#include "Main.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QScreen>

#include "CtrlNameDlg.h"
#include "TextCodec.h"

namespace kalvist {

TmSetUp::TmSetUp(TMainEnvironment environment)
    : Zarno(std::make_unique<TZarno>(*environment.MainThread)),
      Reconnector(std::make_unique<TReconnector>(*Zarno, *environment.MainThread)),
      ZarnoTimer(new QTimer(this)),
      env_(std::move(environment)),
      updateActionsTimer_(new QTimer(this)) {
  setObjectName("mSetUp");
  // The window is laid out for Tahoma; where it is missing, a narrow face keeps the
  // status-bar texts inside their panels and the pages' columns inside the window.
  QFont::insertSubstitution("Tahoma", "DejaVu Sans Condensed");
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  CreatePages();
  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreateStatusBar();
  resize(kWidth, kHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    move(screen->availableGeometry().center() - rect().center());
  }

  ZarnoTimer->setInterval(kPollMs);
  connect(ZarnoTimer, &QTimer::timeout, this, [this] { ZarnoTimerTimer(); });
  updateActionsTimer_->setSingleShot(true);
  updateActionsTimer_->setInterval(0);
  connect(updateActionsTimer_, &QTimer::timeout, this, [this] { UpdateActions(); });

  Zarno->OnConnect = [this](TZarno&) { ZarnoConnect(); };
  Zarno->OnDisconnect = [this](TZarno&) { ZarnoDisconnect(); };
  Zarno->OnObjectChanged = [this](TZarno&, uint16_t id) { ZarnoObjectChanged(id); };
  FormCreate();
  UpdateActions();
}

TmSetUp::~TmSetUp() {
  // The device object's events must not reach a window that is half gone.
  Zarno->OnConnect = nullptr;
  Zarno->OnDisconnect = nullptr;
  Zarno->OnObjectChanged = nullptr;
  // The controls outlive the device object (the widget base deletes them later); hiding
  // them then moves the focus, which must not commit into an object that is gone.
  for (TBoundSpinEdit* edit : BoundEdits) {
    edit->OnEnter = nullptr;
    edit->OnExit = nullptr;
    edit->OnChange = nullptr;
    edit->OnKeyDown = nullptr;
  }
  for (QObject* child : findChildren<QObject*>()) child->disconnect(this);
}

void TmSetUp::FormCreate() {
  try {
    CreateSteps();
  } catch (const TKalvistError& error) {
    // The window opens all the same, with the steps that did not run left out.
    Notice(QMessageBox::Critical, "Error", FromCp1252(error.what()));
  }
}

void TmSetUp::CreateSteps() {
  ProgramVersion =
      QString::fromStdString(TVerInfoRes(env_.VersionResource).ProductVersion().AsString());
  Initialised = false;
  ProgramTitle = env_.Paths.ProgramTitle;
  QCoreApplication::setApplicationName(ProgramTitle);
  VisibilityList.OnGetConnected = [this] { return Zarno->IsConnected(); };
  LoadCustomIcon();
  CreateWorkFolders(env_.Paths);
  ReadSettings();
  // The family not in use starts at its newest version.
  if (Zarno->ZarnoMode() == 1) {
    RecordOfflineVersion(false, 25);
  } else {
    RecordOfflineVersion(true, 13);
  }
  PrepareLiveView();
  Zarno->ClearLiveValues();
  SetCylinderCountFromMax();
  CheckUnitNames();
  PCtrlCharts->setCurrentWidget(tsAnalyzer);
  Zarno->SetSwitchBit(0, true);  // 4-stroke, as the stroke selection starts
  Zarno->ApplySwVersion();
  Zarno->ApplyNewVersionSW();
  SelectOfflineVersion(Zarno->OfflineSWversion());
  lastWindowInDegrees_ = Zarno->WindowInDegrees();
  lastFrequencyRange_ = Zarno->FrequencyRangeKind();
  lastNewVersionSW_ = Zarno->NewVersionSW();
  Initialised = true;
  PCTRL->setCurrentWidget(tsMode);
}

void TmSetUp::LoadCustomIcon() {
  const QString icon = QDir(env_.Paths.ProgramFolder).filePath("icon.ico");
  if (QFile::exists(icon)) QApplication::setWindowIcon(QIcon(icon));
}

void TmSetUp::ReadSettings() {
  TMainSettings defaults;
  defaults.ComPort = Zarno->CommPort();
  defaults.ComPortPath = Zarno->PortPath();
  defaults.Unit20SensorsName = Zarno->GetZarnoNames(0);
  defaults.Unit2SensorsName = Zarno->GetZarnoNames(1);
  defaults.NumMaxChannels = Zarno->NumMaxChannels;
  defaults.SampleRate = Zarno->SampleRate;
  defaults.TimeStampDelay = Zarno->TimeStampDelay;
  settings_ = ReadSettingsFile(env_.Paths.SettingsFile.toStdString(), defaults);

  Zarno->SetCommPort(static_cast<uint8_t>(settings_.ComPort & 0xFF));
  Zarno->SetPortPath(settings_.ComPortPath);
  Zarno->SetZarnoNames(0, settings_.Unit20SensorsName);
  Zarno->SetZarnoNames(1, settings_.Unit2SensorsName);
  Zarno->NumMaxChannels = settings_.NumMaxChannels;
  Zarno->SampleRate = settings_.SampleRate;
  Zarno->TimeStampDelay = settings_.TimeStampDelay;
  const bool twoSensors = settings_.LastMode == 1;
  actTwoSensorsMode->setChecked(twoSensors);
  Zarno->SetZarnoMode(twoSensors ? 1 : 0);
  Zarno->SetOfflineSWversion(settings_.NewVersionSW);
  InstantConnect = settings_.InstantConnect;
  ActivatePage = settings_.ActivatePage;
  Reconnector->Enabled = settings_.AutoReconnect;
}

void TmSetUp::CheckUnitNames() {
  if (!Zarno->GetZarnoNames(0).empty() && !Zarno->GetZarnoNames(1).empty()) return;
  TfmControllerName dialog(this);
  dialog.SetZarno20Name("Z-20");
  dialog.SetZarno2Name("Z-2");
  if (env_.Runner->Exec(dialog) != QDialog::Accepted) terminateRequested_ = true;
  Zarno->SetZarnoNames(0, ToCp1252(dialog.Zarno20Name()));
  Zarno->SetZarnoNames(1, ToCp1252(dialog.Zarno2Name()));
}

void TmSetUp::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shown_) return;
  shown_ = true;
  // After the window is on screen, as a dialog of the instant connect may follow.
  QMetaObject::invokeMethod(
      this, [this] { FormShow(); }, Qt::QueuedConnection);
}

void TmSetUp::FormShow() {
  if (InstantConnect) {
    actOpenDirect->trigger();
    BringPageToFront(ActivatePage);
  }
  ShowChannelBoxes(Zarno->CylinderCount());
  SetCylinderCountFromMax();
  PushControlsToObjects();
  OpenCommandLineFile();
}

void TmSetUp::closeEvent(QCloseEvent* event) {
  FormClose();
  event->accept();
  // The program ends with its window, also while a message box of the device model is
  // open: that box would otherwise keep it running, and a second start would bring this
  // closed window back.
  QCoreApplication::quit();
}

void TmSetUp::FormClose() {
  Zarno->Disconnect();
  settings_.InstantConnect = InstantConnect;
  settings_.ActivatePage = ActivatePage;
  settings_.Unit20SensorsName = Zarno->GetZarnoNames(0);
  settings_.Unit2SensorsName = Zarno->GetZarnoNames(1);
  settings_.LastMode = Zarno->ZarnoMode();
  settings_.NumMaxChannels = Zarno->NumMaxChannels;
  settings_.NewVersionSW = Zarno->ZarnoMode() == 1 ? OfflineVersion2 : OfflineVersion20;
  settings_.LastEngineType = Zarno->EngineType();
  try {
    WriteSettingsFile(env_.Paths.SettingsFile.toStdString(), settings_);
  } catch (const TKalvistError& error) {
    Notice(QMessageBox::Critical, "Error", FromCp1252(error.what()));
  }
}

bool TmSetUp::FormCanResize(int width, int height) {
  return width >= kMinWidth && height >= kMinHeight;
}

void TmSetUp::resizeEvent(QResizeEvent* event) {
  const QSize old = event->oldSize();
  if (!FormCanResize(width(), height()) && old.isValid() &&
      FormCanResize(old.width(), old.height())) {
    resize(old);  // refused whole: neither side changes
    return;
  }
  QMainWindow::resizeEvent(event);
}

bool TmSetUp::event(QEvent* event) {
  if (event->type() == QEvent::StatusTip) {
    sbMain->SetPanelText(spHint, static_cast<QStatusTipEvent*>(event)->tip());
    return true;
  }
  return QMainWindow::event(event);
}

int TmSetUp::Notice(QMessageBox::Icon icon, const QString& caption, const QString& text) {
  QMessageBox box(icon, caption, text, QMessageBox::Ok, this);
  return env_.Runner->Exec(box);
}

int TmSetUp::Ask(QMessageBox::Icon icon, const QString& caption, const QString& text) {
  QMessageBox box(icon, caption, text, QMessageBox::Yes | QMessageBox::No, this);
  return env_.Runner->Exec(box);
}

}  // namespace kalvist
