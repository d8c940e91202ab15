// The main window: owns the device object, the 100 ms poll timer, the settings, the
// actions with their menus and tool bar, the status bar, the visibility list and the
// two page controls. Everything runs on the GUI thread; the device object raises its
// events there.
#pragma once

#include <QAction>
#include <QActionGroup>
#include <QMainWindow>
#include <QMessageBox>
#include <QShortcut>
#include <QStringList>
#include <QTabWidget>
#include <QTimer>
#include <memory>

#include "AppPaths.h"
#include "ModalRunner.h"
#include "Reconnector.h"
#include "SelectComPortFrame.h"
#include "Settings.h"
#include "VltStatusBar.h"
#include "vltVerInfo.h"
#include "vltVisibilityList.h"
#include "vltZarno.h"

namespace kalvist {

// What the window is started with.
struct TMainEnvironment {
  IMainThread* MainThread = nullptr;
  IModalRunner* Runner = nullptr;
  TAppPaths Paths;
  TPortSources PortSources;
  const TVersionResource* VersionResource = nullptr;  // the program's own
  QStringList Arguments;                              // the command line without its options
};

// The status-bar panels.
enum TStatusPanel : int { spHint = 0, spConnection, spSwVersion, spUnitName, spAccessLevel };

class TmSetUp : public QMainWindow {
 public:
  static constexpr int kWidth = 652;
  static constexpr int kHeight = 614;
  static constexpr int kMinWidth = 652;
  static constexpr int kMinHeight = 611;
  static constexpr int kPollMs = 100;

  explicit TmSetUp(TMainEnvironment environment);
  ~TmSetUp() override;

  std::unique_ptr<TZarno> Zarno;
  std::unique_ptr<TReconnector> Reconnector;  // opt-in: settings key "AutoReconnect"
  QTimer* ZarnoTimer;
  TVisibilityList VisibilityList;

  QTabWidget* PCtrlCharts;
  QWidget* tsAnalyzer;
  QWidget* tsHistory;
  QTabWidget* PCTRL;
  QWidget* tsMode;
  QWidget* tsParams;
  QWidget* tsGains;
  QWidget* tsFirings;
  QWidget* tsOptions;
  QWidget* tsCAN;
  TVltStatusBar* sbMain;

  QAction* actOpenDirect;
  QAction* actClose;
  QAction* actOpenParamFile;
  QAction* actSaveAs;
  QAction* actExit;
  QAction* actCnEnterPassword;
  QAction* actCnDeactivatePassword;
  QAction* actCnChangePassword;
  QAction* actCnGetEncryptedPassword;
  QAction* actTwoSensorsMode;
  QAction* acttov12;
  QAction* actv12;
  QAction* actv13;
  QAction* acttov20;
  QAction* actfromv20to24;
  QAction* actv24;
  QAction* actv25;
  QAction* actResetPeakValue;
  QAction* actAbout;
  QAction* actHelp;

  bool InstantConnect = false;
  int ActivatePage = 0;
  int OfflineVersion2 = 0;
  int OfflineVersion20 = 0;
  QString VersionLabel2;
  QString VersionLabel20;
  QString ProgramTitle;
  QString ProgramVersion;
  bool Initialised = false;

  // The unit-names dialog was closed without OK: the program ends after start-up.
  bool TerminateRequested() const { return terminateRequested_; }
  const TMainSettings& Settings() const { return settings_; }
  const TAppPaths& Paths() const { return env_.Paths; }

  void SelectOfflineVersion(int version);
  QString SwVersionText() const;
  QString WindowCaption() const;
  void UpdateActions();
  void RefreshForDevice();
  // Whether the window may take this size (a smaller one is refused whole).
  static bool FormCanResize(int width, int height);
  // Connects without the Setup dialog, to a port the program chose itself (demo mode);
  // the remembered port stays as it is.
  void ConnectTo(const std::string& path, int number);
  // Loads a parameter file of any kind, with the window's dialogs and refreshes.
  void LoadParamFile(const QString& fileName);

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;

 private:
  // Start and end (Main.cpp).
  void FormCreate();
  void CreateSteps();
  void FormShow();
  void FormClose();
  void ReadSettings();
  void CheckUnitNames();
  void LoadCustomIcon();
  int Notice(QMessageBox::Icon icon, const QString& caption, const QString& text);

  // Pages and visibility (MainPages.cpp).
  void CreatePages();
  void RegisterBaseVisibility();
  void RegisterVersionVisibility();
  void ApplyAccessMasks(uint8_t accessLevel);
  void BringPageToFront(int activatePage);

  // Actions, menus and tool bar (MainActions.cpp).
  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void ScheduleUpdateActions();
  void UpdatePasswordIcon();

  // Password commands (MainPasswords.cpp).
  void CreatePasswordCommands();
  void actCnEnterPasswordExecute();
  void actCnChangePasswordExecute();

  // The parameter file named on the command line (MainParamFile.cpp).
  void OpenCommandLineFile();
  // Once a connect under way has ended: the file waits for its outcome.
  void OpenPendingParamFile();
  // Connected, the user first agrees to overwrite the controller's parameters.
  void OpenParamFileAsked(const QString& fileName);

  // Connection, poll and versions (MainConnection.cpp).
  void actOpenDirectExecute();
  void actTwoSensorsModeExecute();
  void ZarnoConnect();
  void ZarnoDisconnect();
  void ZarnoObjectChanged(uint16_t id);
  void ZarnoTimerTimer();
  void RefuseDevice(const QString& text);
  // The menu item and status-bar label of an offline version choice of one family.
  void RecordOfflineVersion(bool twoSensors, int version);
  void UpdateHardwareTypeParts();

  // Status bar and caption (MainStatus.cpp).
  void CreateStatusBar();
  void sbMainDrawPanel(int panel, QPainter& painter, const QRect& rect);
  void DrawAccessLevelPanel(QPainter& painter, const QRect& rect);

  TMainEnvironment env_;
  TMainSettings settings_;
  QTimer* updateActionsTimer_;  // coalesces action updates into one per idle moment
  QShortcut* cancelConnect_;    // Esc while connecting: as Disconnect
  bool terminateRequested_ = false;
  bool shown_ = false;
  QString pendingParamFile_;  // named on the command line while a connect was under way
};

}  // namespace kalvist
