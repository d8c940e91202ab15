#include <QApplication>
#include <QMenuBar>
#include <QShortcut>
#include <QStyle>
#include <QToolBar>

#include "About.h"
#include "Icons.h"
#include "Main.h"
#include "StatusPanels.h"
#include "TextCodec.h"

namespace kalvist {

namespace {

struct TActionDef {
  QAction* TmSetUp::*Member;
  const char* Name;
  const char* Category;
  const char* Caption;  // as the menu shows it, with its access key
  const char* Hint;
  const char* Shortcut;
};

// Every command of the window; menus and tool bar show the same actions.
const TActionDef kActions[] = {
    {&TmSetUp::actOpenDirect, "actOpenDirect", "Connection", "&Connect USB", "Connect USB",
     "Ctrl+C"},
    {&TmSetUp::actClose, "actClose", "Connection", "&Disconnect", "Close connection", "Ctrl+D"},
    {&TmSetUp::actOpenParamFile, "actOpenParamFile", "Connection", "&Open parameters",
     "Open parameters file", "Ctrl+O"},
    {&TmSetUp::actSaveAs, "actSaveAs", "Connection", "S&ave as ...", "Save parameters", "Ctrl+S"},
    {&TmSetUp::actExit, "actExit", "Connection", "&Exit", "Exit", ""},
    {&TmSetUp::actCnEnterPassword, "actCnEnterPassword", "Controller", "E&nter password",
     "Enter password", "Ctrl+P"},
    {&TmSetUp::actCnDeactivatePassword, "actCnDeactivatePassword", "Controller",
     "&Deactivate password", "Deactivate password", ""},
    {&TmSetUp::actCnChangePassword, "actCnChangePassword", "Controller", "C&hange password",
     "Change password", ""},
    {&TmSetUp::actCnGetEncryptedPassword, "actCnGetEncryptedPassword", "Controller",
     "&Get encrypted password", "Get encrypted password", ""},
    {&TmSetUp::actTwoSensorsMode, "actTwoSensorsMode", "Controller", "&Two sensors mode",
     "Two sensors mode", ""},
    {&TmSetUp::acttov12, "acttov12", "Controller", "Device SW ver. less than 1.2",
     "SW ver. less than 1.2", ""},
    {&TmSetUp::actv12, "actv12", "Controller", "Device SW ver. 1.2", "SW ver. 1.2", ""},
    {&TmSetUp::actv13, "actv13", "Controller", "Device SW ver. 1.3", "SW ver. 1.3", ""},
    {&TmSetUp::acttov20, "acttov20", "Controller", "Device SW ver. less than 2.0",
     "SW ver. less than 2.0", ""},
    {&TmSetUp::actfromv20to24, "actfromv20to24", "Controller", "Device SW ver. 2.0 to 2.3",
     "SW ver. 2.0 to 2.3", ""},
    {&TmSetUp::actv24, "actv24", "Controller", "Device SW ver. 2.4", "SW ver. 2.4", ""},
    {&TmSetUp::actv25, "actv25", "Controller", "Device SW ver. 2.5", "SW ver. 2.5", ""},
    {&TmSetUp::actResetPeakValue, "actResetPeakValue", "Controller", "&Reset peak value",
     "Reset peak value", "Ctrl+R"},
    {&TmSetUp::actAbout, "actAbout", "Help", "&About", "About", ""},
    {&TmSetUp::actHelp, "actHelp", "Help", "&Help", "Help", ""},
};

}  // namespace

void TmSetUp::CreateActions() {
  for (const TActionDef& def : kActions) {
    auto* action = new QAction(def.Caption, this);
    action->setObjectName(def.Name);
    action->setProperty("category", def.Category);
    action->setToolTip(def.Hint);
    action->setStatusTip(def.Hint);
    action->setShortcut(QKeySequence(def.Shortcut));
    this->*def.Member = action;
  }
  const QStyle* look = style();
  actOpenDirect->setIcon(ConnectIcon());
  actClose->setIcon(DisconnectIcon());
  actOpenParamFile->setIcon(look->standardIcon(QStyle::SP_DialogOpenButton));
  actSaveAs->setIcon(look->standardIcon(QStyle::SP_DialogSaveButton));
  actCnEnterPassword->setIcon(PasswordIcon());
  actCnDeactivatePassword->setIcon(PasswordIcon());
  actClose->setEnabled(false);
  actCnChangePassword->setEnabled(false);
  actCnGetEncryptedPassword->setEnabled(false);
  actHelp->setVisible(false);
  actTwoSensorsMode->setCheckable(true);

  auto* group2 = new QActionGroup(this);
  auto* group20 = new QActionGroup(this);
  const std::pair<QAction*, int> versions[] = {{acttov12, 11}, {actv12, 12},         {actv13, 13},
                                               {acttov20, 19}, {actfromv20to24, 23}, {actv24, 24},
                                               {actv25, 25}};
  for (const auto& [action, version] : versions) {
    action->setCheckable(true);
    (version < 19 ? group2 : group20)->addAction(action);
    connect(action, &QAction::triggered, this, [this, v = version] { SelectOfflineVersion(v); });
  }

  connect(actOpenDirect, &QAction::triggered, this, [this] { actOpenDirectExecute(); });
  connect(actClose, &QAction::triggered, this, [this] { Zarno->Disconnect(); });
  cancelConnect_ = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  cancelConnect_->setEnabled(false);
  connect(cancelConnect_, &QShortcut::activated, actClose, &QAction::trigger);
  connect(actExit, &QAction::triggered, this, &QWidget::close);
  connect(actOpenParamFile, &QAction::triggered, this, [this] { actOpenParamFileExecute(); });
  connect(actSaveAs, &QAction::triggered, this, [this] { actSaveAsExecute(); });
  connect(actTwoSensorsMode, &QAction::triggered, this, [this] { actTwoSensorsModeExecute(); });
  connect(actResetPeakValue, &QAction::triggered, this, [this] { actResetPeakValueExecute(); });
  CreatePasswordCommands();
  connect(actAbout, &QAction::triggered, this, [this] {
    try {
      TfmAboutTesvaro about(env_.VersionResource, env_.Paths.ProgramFolder, this);
      about.ProductNameText = ProgramTitle;
      if (!about.PictureError().isEmpty()) {
        Notice(QMessageBox::Critical, "Error", about.PictureError());
      }
      env_.Runner->Exec(about);
    } catch (const TKalvistError& error) {
      Notice(QMessageBox::Critical, "Error", FromCp1252(error.what()));
    }
  });
  for (QAction* action : findChildren<QAction*>()) {
    connect(action, &QAction::triggered, this, [this] { ScheduleUpdateActions(); });
  }
}

void TmSetUp::CreateMenus() {
  QMenu* connection = menuBar()->addMenu("&Connection");
  connection->addActions({actOpenDirect, actClose});
  connection->addSeparator();
  connection->addActions({actOpenParamFile, actSaveAs});
  connection->addSeparator();
  connection->addSeparator();
  connection->addAction(actExit);

  QMenu* controller = menuBar()->addMenu("C&ontroller");
  controller->addActions({actCnEnterPassword, actCnDeactivatePassword, actCnChangePassword,
                          actCnGetEncryptedPassword});
  controller->addSeparator();
  controller->addAction(actTwoSensorsMode);
  controller->addSeparator();
  controller->addActions({acttov12, actv12, actv13, acttov20, actfromv20to24, actv24, actv25});
  controller->addSeparator();
  controller->addAction(actResetPeakValue);
  controller->addAction(actLogLiveValues);

  QMenu* help = menuBar()->addMenu("&Help");
  help->addAction(actAbout);
  help->addSeparator();
  help->addAction(actHelp);
}

void TmSetUp::CreateToolBar() {
  QToolBar* bar = addToolBar("Tools");
  bar->setObjectName("ToolBar");
  bar->setMovable(false);
  bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  bar->setIconSize(QSize(24, 24));
  bar->addActions({actOpenDirect, actClose});
  bar->addSeparator();
  bar->addActions({actOpenParamFile, actSaveAs});
  bar->addSeparator();
  bar->addActions({actCnEnterPassword, actCnDeactivatePassword});
}

void TmSetUp::ScheduleUpdateActions() {
  updateActionsTimer_->start();
}

void TmSetUp::UpdateActions() {
  const bool connected = Zarno->IsConnected();
  // Neither connected nor on the way: a second connect or a change of the hardware type
  // while the controller is being identified would cross the running connect.
  const bool idle = Zarno->ConnectionState == TConnectionState::Offline;
  const bool passwordOK = Zarno->PasswordOK();
  actTwoSensorsMode->setEnabled(idle);
  const bool twoSensors = actTwoSensorsMode->isChecked();
  for (QAction* action : {acttov12, actv12, actv13}) {
    action->setVisible(twoSensors);
    action->setEnabled(idle);
  }
  for (QAction* action : {acttov20, actfromv20to24, actv24, actv25}) {
    action->setVisible(!twoSensors);
    action->setEnabled(idle);
  }
  // Also while connecting: a wrong port need not hold the user until its time-outs.
  actClose->setEnabled(!idle);
  cancelConnect_->setEnabled(Zarno->IsConnecting());
  actOpenDirect->setEnabled(idle);
  actCnEnterPassword->setEnabled(connected && !passwordOK);
  UpdatePasswordIcon();
  actCnChangePassword->setEnabled(passwordOK);
  actCnDeactivatePassword->setEnabled(passwordOK);
  actCnGetEncryptedPassword->setEnabled(connected);
  actOpenParamFile->setEnabled(!connected || passwordOK);
  const uint8_t level = Zarno->AccessLevel();
  actSaveAs->setEnabled(!((level == alOperator || level == alMonitor) && Zarno->ThreeLevel()));
  if (!connected) sbMain->SetPanelText(spSwVersion, SwVersionText());
}

void TmSetUp::UpdatePasswordIcon() {
  const uint8_t level = Zarno->AccessLevel();
  QChar badge;
  if (level == alOperator) {
    badge = 'O';
  } else if (level == alAdministrator && Zarno->ThreeLevel()) {
    badge = 'A';
  }
  // The status bar tells the level in words beside the same badge.
  const QString key =
      AccessLevelText(Zarno->IsConnected(), level) + (badge.isNull() ? QString() : badge);
  if (actCnDeactivatePassword->property("badge").toString() == key) return;
  actCnDeactivatePassword->setProperty("badge", key);
  actCnDeactivatePassword->setIcon(PasswordIcon(badge));
  sbMain->update();
}

}  // namespace kalvist
