// Program entry of the desktop program. Besides the ordinary start:
//   FILE  a parameter file opened once the window is shown (exactly one, or none is);
//   --demo [--kind 20|2|3] [--firmware N]  connect at once to the built-in simulator;
//   --grab FILE [--grab-dialog setup|about|convert|record] [--grab-delay MS]
//     [--grab-page NAME] [--grab-cylinder N] [--grab-knocking] [--password N]
//     [--sim-switches N]  (hidden) save a picture of the window (with the named page in
//     front) or the open dialog after a while and end, for the screenshots script;
//     "record" records the first sensor into the suggested file, "--grab-cylinder" makes
//     the knocking meter follow that cylinder, "--grab-knocking" waits for the engine to
//     knock; in demo mode enter a password and start the simulated controller with a
//     switch word of its own.
#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>
#include <iostream>

#include "Icons.h"
#include "Main.h"
#include "MessageThread.h"
#include "QtMainThread.h"
#include "QtMessageSink.h"
#include "SingleInstance.h"
#include "TextCodec.h"
#include "VersionResource.h"
#include "ZarnoSimulator.h"

namespace {

using namespace kalvist;

// Errors that escape an event handler end up in an error box instead of ending the
// program.
class TApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
      ShowMessageAsync(error.what(), 0, mkError);
      return true;
    }
  }
};

struct TOptions {
  bool Demo = false;
  sim::TSimOptions Simulator;
  QString GrabFile;
  QString GrabDialog;
  int GrabDelayMs = 1500;
  QString GrabPage;
  int Password = -1;
  int SimSwitches = -1;
  int GrabCylinder = 0;
  bool GrabKnocking = false;
  QStringList Arguments;
};

// Exits with a usage message on bad options.
TOptions ParseOptions(const QApplication& app) {
  QCommandLineParser parser;
  parser.addHelpOption();
  const QCommandLineOption demo("demo", "Connect to the built-in controller simulator.");
  const QCommandLineOption kind("kind", "Simulated hardware: 20, 2 or 3.", "kind", "20");
  const QCommandLineOption firmware("firmware", "Simulated firmware version times 10.", "N");
  QCommandLineOption grab("grab", "Save a picture and end.", "file");
  QCommandLineOption grabDialog("grab-dialog", "Picture of a dialog: setup or about.", "name");
  QCommandLineOption grabDelay("grab-delay", "Milliseconds before the picture.", "ms", "1500");
  QCommandLineOption grabPage("grab-page", "Page in front, by its object name.", "name");
  QCommandLineOption grabCylinder("grab-cylinder", "Knocking meter on this cylinder.", "n", "0");
  QCommandLineOption grabKnocking("grab-knocking", "The picture once the engine knocks.");
  QCommandLineOption password("password", "Password entered once connected.", "N");
  QCommandLineOption simSwitches("sim-switches", "Switch word of the simulator.", "N");
  for (QCommandLineOption* hidden : {&grab, &grabDialog, &grabDelay, &grabPage, &grabCylinder,
                                     &grabKnocking, &password, &simSwitches}) {
    hidden->setFlags(QCommandLineOption::HiddenFromHelp);
  }
  parser.addOptions({demo, kind, firmware, grab, grabDialog, grabDelay, grabPage, grabCylinder,
                     grabKnocking, password, simSwitches});
  parser.addPositionalArgument("file", "Parameter file to open.", "[file]");
  parser.process(app);

  TOptions options;
  options.Demo = parser.isSet(demo);
  options.Simulator.Kind = parser.value(kind).toInt();
  if (parser.isSet(firmware)) options.Simulator.Firmware = parser.value(firmware).toInt();
  options.GrabFile = parser.value(grab);
  options.GrabDialog = parser.value(grabDialog);
  options.GrabDelayMs = parser.value(grabDelay).toInt();
  options.GrabPage = parser.value(grabPage);
  if (parser.isSet(password)) options.Password = parser.value(password).toInt();
  if (parser.isSet(simSwitches)) options.SimSwitches = parser.value(simSwitches).toInt();
  options.GrabCylinder = parser.value(grabCylinder).toInt();
  options.GrabKnocking = parser.isSet(grabKnocking);
  options.Arguments = parser.positionalArguments();
  try {
    sim::ValidateOptions(options.Simulator);
  } catch (const TKalvistError& error) {
    std::cerr << "kalvist: " << error.what() << "\n";
    std::exit(2);
  }
  return options;
}

// A page of either page control, by its object name; one the user cannot reach is not
// brought to the front either.
void BringPageToFront(TmSetUp& window, const QString& name) {
  if (name.isEmpty()) return;
  for (QTabWidget* pages : {window.PCtrlCharts, window.PCTRL}) {
    const int tab = pages->indexOf(pages->findChild<QWidget*>(name));
    if (tab >= 0 && pages->isTabVisible(tab)) pages->setCurrentIndex(tab);
  }
}

// Saves the picture once the engine knocks (the lamp is lit), or after `waitMs` at most.
void GrabWhenKnocking(const TOptions& options, TmSetUp* const& window, int waitMs) {
  if (window != nullptr && !window->ledKnocking->Lit() && waitMs > 0) {
    constexpr int kLookMs = 50;
    QTimer::singleShot(kLookMs, [&options, &window, waitMs] {
      GrabWhenKnocking(options, window, waitMs - kLookMs);
    });
    return;
  }
  if (window == nullptr || !window->grab().save(options.GrabFile)) {
    std::cerr << "kalvist: no picture saved\n";
  }
  QCoreApplication::exit(0);
}

// Saves a picture of the open dialog, or else of `window`, and ends the program.
void ScheduleGrab(const TOptions& options, TmSetUp* const& window) {
  if (options.GrabFile.isEmpty()) return;
  QTimer::singleShot(options.GrabDelayMs, [&options, &window] {
    if (window != nullptr) BringPageToFront(*window, options.GrabPage);
    if (options.GrabKnocking) {
      GrabWhenKnocking(options, window, 30000);
      return;
    }
    QWidget* target = QApplication::activeModalWidget();
    if (target == nullptr) target = window;
    if (target == nullptr || !target->grab().save(options.GrabFile)) {
      std::cerr << "kalvist: no picture saved\n";
    }
    QCoreApplication::exit(0);
  });
}

// Waits for the demo connection, then enters the password as the user would.
void EnterPasswordOnceConnected(TmSetUp& window, int password) {
  auto* poll = new QTimer(&window);
  QObject::connect(poll, &QTimer::timeout, &window, [&window, poll, password] {
    if (!window.Zarno->IsConnected()) return;
    window.Zarno->EnterPassword(static_cast<uint16_t>(password));
    poll->deleteLater();
  });
  poll->start(100);
}

}  // namespace

int main(int argc, char* argv[]) {
  TApplication app(argc, argv);
  QCoreApplication::setApplicationName("Kalvist");
  QApplication::setWindowIcon(ApplicationIcon());
  const TOptions options = ParseOptions(app);

  TMainEnvironment environment;
  environment.Paths = AppPathsFor(QCoreApplication::applicationFilePath());
  environment.Arguments = options.Arguments;
  TSingleInstance instance(environment.Paths.SettingsFile);
  if (!instance.BecomePrimary()) return 0;

  TQtMainThread mainThread;
  TQtMessageSink messageSink;
  SetMessageSink(&messageSink);
  std::unique_ptr<sim::TZarnoSimulator> simulator;
  std::string simulatorPath;
  constexpr int kSimulatorPort = 100;
  if (options.Demo) {
    simulator = std::make_unique<sim::TZarnoSimulator>(options.Simulator);
    simulatorPath = simulator->Start();
    if (options.SimSwitches >= 0) {
      const auto word = static_cast<uint16_t>(options.SimSwitches);
      const uint8_t bytes[] = {static_cast<uint8_t>(word & 0xFF), static_cast<uint8_t>(word >> 8)};
      simulator->SetObject(idSwitches, bytes);
    }
    environment.PortSources.DeviceMap.push_back(
        {"ZarnoSimVCP", "COM" + std::to_string(kSimulatorPort), simulatorPath});
  }
  TExecRunner runner;
  environment.MainThread = &mainThread;
  environment.Runner = &runner;
  environment.VersionResource = &ProgramVersionResource();

  TmSetUp* window = nullptr;
  ScheduleGrab(options, window);
  int result = 0;
  {
    TmSetUp mainWindow(environment);
    window = &mainWindow;
    instance.OnActivate = [&mainWindow] {
      mainWindow.showNormal();
      mainWindow.raise();
      mainWindow.activateWindow();
    };
    if (!mainWindow.TerminateRequested()) {
      mainWindow.show();
      // A picture of the Setup dialog shows the simulator in the list, not connected.
      if (options.Demo && options.GrabDialog != "setup") {
        QTimer::singleShot(0, &mainWindow,
                           [&] { mainWindow.ConnectTo(simulatorPath, kSimulatorPort); });
      }
      if (options.GrabDialog == "setup") {
        QTimer::singleShot(options.GrabDelayMs / 2, mainWindow.actOpenDirect, &QAction::trigger);
      } else if (options.GrabDialog == "about") {
        QTimer::singleShot(options.GrabDelayMs / 2, mainWindow.actAbout, &QAction::trigger);
      } else if (options.GrabDialog == "convert") {
        // Offline from a firmware with the window in microseconds to one in degrees.
        QTimer::singleShot(options.GrabDelayMs / 2, mainWindow.actv25, &QAction::trigger);
      } else if (options.GrabDialog == "record") {
        mainWindow.SoundRecorder->OnChooseFile = nullptr;  // the suggested file, no dialog
        QTimer::singleShot(options.GrabDelayMs / 2, mainWindow.bStartSound, &QPushButton::click);
      }
      if (options.Password >= 0) EnterPasswordOnceConnected(mainWindow, options.Password);
      // The history plot draws only while its page is in front.
      BringPageToFront(mainWindow, options.GrabPage);
      if (options.GrabCylinder > 0)
        QTimer::singleShot(0, &mainWindow,
                           [&] { mainWindow.iPlotClickChannel(options.GrabCylinder); });
      result = app.exec();
    }
    instance.OnActivate = nullptr;
    window = nullptr;
  }
  SetMessageSink(nullptr);
  return result;
}
