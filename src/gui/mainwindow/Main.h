// The main window: owns the device object, the 100 ms poll timer, the settings, the
// actions with their menus and tool bar, the status bar, the visibility list and the
// two page controls. Everything runs on the GUI thread; the device object raises its
// events there.
#pragma once

#include <qcustomplot.h>
#include <QAction>
#include <QActionGroup>
#include <QBoxLayout>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSpinBox>
#include <QStringList>
#include <QTabWidget>
#include <QTimer>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include <optional>
#include "AppPaths.h"
#include "BoundSpinEdit.h"
#include "LiveLog.h"
#include "ModalRunner.h"
#include "ParamFiles.h"
#include "ParamFilesSafety.h"
#include "Reconnector.h"
#include "SelectComPortFrame.h"
#include "Settings.h"
#include "SoundRecorder.h"
#include "VltStatusBar.h"
#include "VrLeds.h"
#include "VrMeter.h"
#include "VrSpectrum.h"
#include "vltASCheckBox.h"
#include "vltRadioGroup.h"
#include "vltVerInfo.h"
#include "vltVisibilityList.h"
#include "vltZarno.h"
#include "vrLineMeter.h"

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

// Marks a list (or any control) yellow, or gives it its plain colours back.
void SetMarked(QWidget* control, bool marked);

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

  // Live view (MainLiveView.cpp, MainSound.cpp, MainLiveLog.cpp)
  TVrMeter* vrmZarnoRegOutput;
  TVrMeter* vrmKnockingIntensity;
  QLabel* stRegulationOutput;
  QLabel* stKnockingIntensity;
  QLabel* stKnockingMax;
  QLabel* lKnockMax;
  TLedPanel* panelDiodes;
  TVrLamp* ledKnocking;
  TVrLamp* ledTRIP;
  TVrLamp* ledREDUCTION;
  TVrLamp* ledLowRPM;
  TVrLamp* ledNoISUPulses;
  TVrLamp* ledSpuriousPulse;
  TVrLamp* ledEEPROMFault;
  TVrLamp* ledBadSensor;
  TvrLineMeter* vrLineMeter;
  TVrSpectrum* vrSpectrum;
  std::array<QLabel*, kChannelCount> lblCh{};  // lblCh01 .. lblCh20
  QCustomPlot* iPlot;
  QGroupBox* gbDisplay = nullptr;
  QRadioButton* rbChannel = nullptr;
  QRadioButton* rbMax = nullptr;
  QRadioButton* rbMin = nullptr;
  QSpinBox* seAnalysedCylinder = nullptr;
  QGroupBox* gbSound = nullptr;
  QComboBox* cbSoundSensor = nullptr;
  QSpinBox* seRecordLength = nullptr;
  QPushButton* bStartSound = nullptr;
  QAction* actLogLiveValues;
  QAction* actPlotPause;
  QAction* actSavePicture;
  QAction* actExportHistory;
  std::unique_ptr<TSoundRecorder> SoundRecorder;
  std::unique_ptr<TLiveLog> LiveLog;
  int AnalysedCylinder = 1;

  void SelectionChanged();
  void ApplyOutputLimits();
  void BuildSensorList();
  // Handles 24471, 10329, 10328 and 10330; true when the ID was one of them.
  bool LiveObjectChanged(uint16_t id);
  QGroupBox* CreateDisplayModeGroup(QWidget* parent);
  QGroupBox* CreateSoundGroup(QWidget* parent);
  void RefreshChannels();
  void rbChannelChange();
  void iPlotClickChannel(int index);
  void actResetPeakValueExecute();
  // A channel was taken out of the analysis: its trace breaks at the current time.
  void ChannelDeselected(int channel);
  void bStartSoundClick();
  void LayoutDiodes();
  // The plot's time axis, in seconds since the epoch.
  static double PlotNow();
  // Live-value logging: "Log live values..." starts and stops it.
  void actLogLiveValuesExecute();
  bool StartLiveLog(const QString& fileName);
  void StopLiveLog();
  // "Logging" while a live-value log runs (shown in the unit-name panel), else empty.
  QString LiveLogNote() const;
  void SetPlotPaused(bool paused);
  bool SavePlotPicture(const QString& fileName);
  bool ExportPlotHistory(const QString& fileName);
  // What the configuration pages own and the live view reads.
  double IgnitionReductionLimitValue() const;
  double ImmediateStopLimitValue() const;
  int CylinderCountValue() const;
  void SetLimitWarningVisible(bool visible);
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateLiveView(QWidget* parent, QBoxLayout* layout);
  QWidget* CreateMeterPanels(QWidget* parent);
  void CreateLamps();
  void CreateAnalyzerPage();
  void CreateHistoryPage();
  void CreateLiveActions();
  void InitPlotChannels();
  void LayoutAnalyzer();
  void PrepareLiveView();
  void KnockValuesArrived();
  void RegulationOutputArrived();
  void StatusArrived();
  void BadSensorsArrived();
  void LiveConnectionStarted();
  void LiveConnectionEnded();
  void AppendPlotPoint(int channel, double time, double value);
  void ScrollTimeAxis(double now);
  // Points only: the axes and the legend stay, only the traces and marks are drawn anew.
  void QueuePlotReplot(bool pointsOnly = false);
  void ShowPlotCursor(const QPoint& position);
  void ShowPlotMenu(const QPoint& position);
  void BreakTrace(int channel, double time);
  void AddPlotGaps(double time);
  void CreateSoundRecorder();
  void BeforeRecording();
  void AfterRecording();
  void UpdateRecordLengthEnabled();
  std::optional<std::string> ChooseSoundFile(const std::string& suggested);
  void WriteLiveLogRow();
  // A save dialog run by the window's runner; empty when cancelled.
  QString AskSaveFile(const QString& caption, const QString& filter, const QString& suffix);
  void SaveThroughDialog(const QString& caption, const QString& filter, const QString& suffix,
                         const std::function<bool(const QString&)>& save);
  void ReportLiveLogFailure();

  QCPItemStraightLine* peakLine_ = nullptr;
  QCPItemRect* reductionBand_ = nullptr;
  QCPItemRect* stopBand_ = nullptr;
  QCPItemText* plotCursor_ = nullptr;
  QCPItemText* plotPausedNote_ = nullptr;
  QLabel* lblCylinder_ = nullptr;
  double timeAxisStart_ = 0;
  double recordingStart_ = 0;
  bool plotPaused_ = false;
  bool plotDirty_ = false;  // points arrived since the last replot
  bool plotFullReplot_ = true;
  bool plotReplotQueued_ = false;

 public:
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

  // Configuration pages (MainEdits.cpp, MainModePage.cpp, MainParamsPage.cpp,
  // MainFiringPage.cpp, MainOptionsPage.cpp, MainDispatch.cpp, MainRefresh.cpp,
  // MainParamFile.cpp)
  // -- the numeric edits: every one of them, and by name
  std::vector<TBoundSpinEdit*> BoundEdits;
  TBoundSpinEdit* seDiagOutput = nullptr;
  TBoundSpinEdit* seCylinderCount = nullptr;
  TBoundSpinEdit* seAngleV = nullptr;
  TBoundSpinEdit* seWindowDelay = nullptr;
  TBoundSpinEdit* seWindowWidth = nullptr;
  TBoundSpinEdit* seAttenuation = nullptr;
  TBoundSpinEdit* seIgnitionReductionLimit = nullptr;
  TBoundSpinEdit* seImmediateStopLimit = nullptr;
  TBoundSpinEdit* seDecreaseRamp = nullptr;
  TBoundSpinEdit* seTimingReductionGain = nullptr;
  TBoundSpinEdit* seMaximumOutputValue = nullptr;
  TBoundSpinEdit* seDelayAfterLoadReduction = nullptr;
  TBoundSpinEdit* seCanAddr = nullptr;
  std::array<TBoundSpinEdit*, kChannelCount> seAngle{};  // seAngle1 at 0
  std::array<TBoundSpinEdit*, kChannelCount> seGain{};
  std::array<QLabel*, kChannelCount> LabCyl{};  // "Channel N" above the angles
  std::array<QLabel*, kChannelCount> LblCyl{};  // and above the gains
  QPushButton* btnFiringDefault = nullptr;
  QPushButton* btnGainDefault = nullptr;
  // -- page "&Mode"
  QGroupBox* gbSensors = nullptr;
  std::array<TAsCheckBox*, kChannelCount> USensor{};  // channel analysed
  std::array<TAsCheckBox*, kChannelCount> SSensor{};  // detector input A/B
  QGroupBox* gbLEDLatch = nullptr;
  QCheckBox* chEnableKnockLEDLatch2 = nullptr;
  QGroupBox* gbDiagnose = nullptr;
  QCheckBox* chDiagMode = nullptr;
  TCheckGroup* chgDiagLEDs = nullptr;
  QLabel* lblDiagOutputUnit = nullptr;
  // -- page "&Knocking params"
  QGroupBox* gbEngineType = nullptr;
  TRadioGroup* rgEngineType = nullptr;
  TRadioGroup* rgEngineStroke = nullptr;
  QGroupBox* gbDetonWinPar = nullptr;
  QLabel* lWindowDelayUnits = nullptr;
  QLabel* lWindowWidthUnits = nullptr;
  QComboBox* cbKnockFrequency = nullptr;
  QComboBox* cbRefFrequency = nullptr;
  TRadioGroup* rgAttenuation = nullptr;
  // -- page "&Outputs options"
  QCheckBox* chReverseAnalogOutput = nullptr;
  QCheckBox* chEnableMaxOutputSetting = nullptr;
  QCheckBox* chEnableBadSensorDetect = nullptr;
  QCheckBox* chEnableKnockLEDLatch = nullptr;
  TRadioGroup* rgTripContactInactive = nullptr;
  QGroupBox* gbSetpointsIDName = nullptr;
  QLineEdit* edSetpointsIDName = nullptr;
  QLabel* lblErrLimits = nullptr;
  // -- page "&CAN params"
  QComboBox* cbBusSpeed = nullptr;
  QLabel* lblBusSpeed = nullptr;
  TRadioGroup* rgCanMode = nullptr;
  // The system's default beep, for an object nothing shows; tests count it.
  std::function<void()> Beep;

  // The editing protocol.
  void SpinEditEnter(TBoundSpinEdit& edit);
  void SpinEditExit(TBoundSpinEdit& edit);
  bool SpinEditKeyDown(TBoundSpinEdit& edit, int virtualKey);
  void SpinEditChange(TBoundSpinEdit& edit);
  void CommitEdit(TBoundSpinEdit& edit, bool selectAll);
  void RevertEdit(TBoundSpinEdit& edit, bool selectAll);
  void SetEditing(TBoundSpinEdit& edit, bool on);
  bool IsEditing(const TBoundSpinEdit& edit) const;
  // The object an edit shows (an angle edit's tag is not its object).
  static uint16_t ObjectOf(const TBoundSpinEdit& edit);
  TBoundSpinEdit* EditOfObject(uint16_t id) const;

  void ZarnoObjectChanged(uint16_t id);
  // The handlers of the dispatch table, one per kind of object.
  void ShowBoundObject(uint16_t id);
  void ShowFrequency(uint16_t id);
  void ShowChannelMask(uint16_t id);
  void ShowInputMask(uint16_t id);
  void ShowSwitches(uint16_t id);
  void ShowBusSpeed(uint16_t id);
  void ShowCanMode(uint16_t id);
  void ShowCylinderCount(uint16_t id);
  void ShowDiagnosticMode(uint16_t id);
  void ShowDiagnosticLeds(uint16_t id);
  void ShowControllerNameObject(uint16_t id);
  void RouteLiveObject(uint16_t id);
  void IgnoreObject(uint16_t id);
  void PasswordStateChanged(uint16_t id);
  void PushControlsToObjects();
  // Firing sequence, gains and the window unit.
  double MaxAngle();
  void EnforceFiringOrder();
  void RecolourAngles();
  void btnFiringDefaultClick();
  void btnGainDefaultClick();
  void SetWindowFormat();
  void SetWindowDefaults();
  void CheckWindowFormat();
  // Mode, knocking, outputs and CAN.
  uint32_t ChannelMask() const;
  uint32_t InputMask() const;
  // A count held within what the hardware has, and never below 2: one cylinder still
  // fills two columns and two channel boxes.
  int DisplayedChannels(int count) const;
  void ShowChannelBoxes(int count);
  void SetCylinderCountFromMax();
  void RebuildFrequencyLists();
  void RebuildEngineTypeList();
  void ShowControllerName();
  void RegisterBaseVisibility();
  void RegisterVersionVisibility();
  void ApplyAccessMasks(uint8_t accessLevel);
  void OnVisibilityEnable(QWidget* control, bool enabled);
  void actOpenParamFileExecute();
  void actSaveAsExecute();

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
  // A question with Yes and No.
  int Ask(QMessageBox::Icon icon, const QString& caption, const QString& text);

  // Pages and visibility (MainPages.cpp).
  void CreatePages();
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
  // The overwrite question with what the file will change; false also when the
  // controller went while the question waited.
  bool OverwriteAgreed(const std::optional<std::vector<TParamChange>>& changes);
  TParamFileHooks ParamFileHooks(IParamPageTarget& pages);
  std::string RestorePointsFolder() const;

  // Connection, poll and versions (MainConnection.cpp).
  void actOpenDirectExecute();
  void actTwoSensorsModeExecute();
  void ZarnoConnect();
  void ZarnoDisconnect();
  void ZarnoTimerTimer();
  void RefuseDevice(const QString& text);
  // The menu item and status-bar label of an offline version choice of one family.
  void RecordOfflineVersion(bool twoSensors, int version);
  void UpdateHardwareTypeParts();

  // Status bar and caption (MainStatus.cpp).
  void CreateStatusBar();
  void sbMainDrawPanel(int panel, QPainter& painter, const QRect& rect);
  void DrawAccessLevelPanel(QPainter& painter, const QRect& rect);

  // Configuration pages, built and handled in their own files.
  void CreateConfigPages();
  void CreateModePage();
  void CreateParamsPage();
  void CreateFiringPage();
  void CreateGainsPage();
  void CreateOptionsPage();
  void CreateCanPage();
  TBoundSpinEdit* AddBoundEdit(const TEditSpec& def, QWidget* parent);
  TBoundSpinEdit* AddNamedEdit(const char* name, QWidget* parent);
  void SetRule(QWidget* control, const char* code);  // "1110": VC, VO, EC, EO
  void Restrict(QWidget* control, const char* code);
  // An edit's editing-range top: the angles' follows the engine stroke.
  double EditingMaximum(const TBoundSpinEdit& edit);
  void WriteEdit(TBoundSpinEdit& edit);
  void ShowEditValue(TBoundSpinEdit& edit, int64_t raw);
  // The raw value of an object shown on the pages; nothing for one the catalogue lacks.
  std::optional<int64_t> RawOf(uint16_t id);
  void USensor1Changed(TAsCheckBox& box);
  void SSensor1Changed();
  void chDiagModeChange();
  void LedLatchClick(bool checked);
  void rgEngineStrokeClick();
  void rgEngineTypeClick();
  void edSetpointsIDNameExit();
  void rgCanModeClick();
  uint16_t SwitchWordFromControls() const;
  // The dispatch of a channel mask (10298 or 10915) to its boxes.
  void ShowBoxMask(uint16_t id, const std::array<TAsCheckBox*, kChannelCount>& boxes);
  QString AskSaveFileName();
  QString AskOpenFileName();
  std::optional<TWindowPair> ConvertWindowDialog(const TWindowConversionRequest& request);

  std::map<uint16_t, TBoundSpinEdit*> editsByObject_;
  bool lastWindowInDegrees_ = false;
  uint8_t lastFrequencyRange_ = 1;
  bool lastNewVersionSW_ = false;

  TMainEnvironment env_;
  TMainSettings settings_;
  QTimer* updateActionsTimer_;  // coalesces action updates into one per idle moment
  QShortcut* cancelConnect_;    // Esc while connecting: as Disconnect
  bool terminateRequested_ = false;
  bool shown_ = false;
  QString pendingParamFile_;  // named on the command line while a connect was under way
};

}  // namespace kalvist
