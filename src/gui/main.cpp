// Program entry of the desktop program. Besides the ordinary start:
//   FILE  a parameter file opened once the window is shown (exactly one, or none is);
//   --demo [--kind 20|2|3] [--firmware N]  connect at once to the built-in simulator;
//   --grab FILE [--grab-dialog setup|about|record] [--grab-delay MS] [--grab-page
//     analyzer|history] [--grab-cylinder N]  (hidden) save a picture of the window or the
//     open dialog after a while and end, for the screenshots script; "record" records the
//     first sensor into the suggested file, "--grab-cylinder" makes the knocking meter
//     follow that cylinder, "--grab-knocking" waits for the engine to knock.
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
  QCommandLineOption grabPage("grab-page", "Chart page in front: analyzer or history.", "page");
  QCommandLineOption grabCylinder("grab-cylinder", "Knocking meter on this cylinder.", "n", "0");
  QCommandLineOption grabKnocking("grab-knocking", "The picture once the engine knocks.");
  for (QCommandLineOption* hidden :
       {&grab, &grabDialog, &grabDelay, &grabPage, &grabCylinder, &grabKnocking}) {
    hidden->setFlags(QCommandLineOption::HiddenFromHelp);
  }
  parser.addOptions(
      {demo, kind, firmware, grab, grabDialog, grabDelay, grabPage, grabCylinder, grabKnocking});
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

// Saves a picture of the open dialog, or else of `window`, and ends the program.
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

void ScheduleGrab(const TOptions& options, TmSetUp* const& window) {
  if (options.GrabFile.isEmpty()) return;
  QTimer::singleShot(options.GrabDelayMs, [&options, &window] {
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

}  // namespace

int main(int argc, char* argv[]) {
  TApplication app(argc, argv);
  QCoreApplication::setApplicationName("Kalvist");
  QApplication::setWindowIcon(ApplicationIcon());
  // The window is laid out for Tahoma; where it is missing, a narrow face keeps the
  // status-bar texts inside their panels.
  QFont::insertSubstitution("Tahoma", "DejaVu Sans Condensed");
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
      } else if (options.GrabDialog == "record") {
        mainWindow.SoundRecorder->OnChooseFile = nullptr;  // the suggested file, no dialog
        QTimer::singleShot(options.GrabDelayMs / 2, mainWindow.bStartSound, &QPushButton::click);
      }
      if (options.GrabPage == "history")
        mainWindow.PCtrlCharts->setCurrentWidget(mainWindow.tsHistory);
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
