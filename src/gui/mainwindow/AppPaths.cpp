#include "AppPaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "KalvistError.h"

namespace kalvist {

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
    const QDir config(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
    const QDir documents(QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
                             .filePath("Kalvist"));
    paths.SettingsFile = config.filePath(iniName);
    paths.ParametersFolder = documents.filePath("Parameters");
    paths.SoundFolder = documents.filePath("Sound files");
  }
  return paths;
}

void CreateWorkFolders(const TAppPaths& paths) {
  for (const QString& folder : {paths.SoundFolder, paths.ParametersFolder}) {
    if (!QDir().mkpath(folder)) {
      throw TKalvistError("Cannot create directory \"" + folder.toStdString() + "\"");
    }
  }
}

}  // namespace kalvist
