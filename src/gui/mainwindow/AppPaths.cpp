#include "AppPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "KalvistError.h"

namespace kalvist {

namespace {

// The user's own place for settings: %APPDATA%\Kalvist on Windows, ~/.config elsewhere.
QString UserSettingsFolder() {
#ifdef Q_OS_WIN
  return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
#else
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
#endif
}

}  // namespace

TAppPaths AppPathsFor(const QString& executablePath) {
  const QFileInfo exe(executablePath);
  TAppPaths paths;
  paths.ProgramFolder = exe.absolutePath();
  paths.ProgramTitle = exe.completeBaseName();
  const QString iniName = paths.ProgramTitle + ".ini";
  if (QFileInfo(paths.ProgramFolder).isWritable()) {
    const QDir beside(paths.ProgramFolder);
    paths.SettingsFile = beside.filePath(iniName);
    paths.ParametersFolder = beside.filePath("Parameters");
    paths.SoundFolder = beside.filePath("Sound files");
  } else {
    const QDir config(UserSettingsFolder());
    const QDir documents(QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                             .filePath("Kalvist"));
    paths.SettingsFile = config.filePath(iniName);
    paths.ParametersFolder = documents.filePath("Parameters");
    paths.SoundFolder = documents.filePath("Sound files");
  }
  return paths;
}

void CreateWorkFolders(const TAppPaths& paths) {
  // The settings folder too: a fresh account may have no ~/.config or %APPDATA%\Kalvist.
  const QString settingsFolder = QFileInfo(paths.SettingsFile).absolutePath();
  for (const QString& folder : {paths.SoundFolder, paths.ParametersFolder, settingsFolder}) {
    if (!QDir().mkpath(folder)) {
      throw TKalvistError("Cannot create directory \"" + folder.toStdString() + "\"");
    }
  }
}

}  // namespace kalvist
