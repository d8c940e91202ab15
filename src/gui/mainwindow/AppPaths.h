// Where the program keeps its settings file and work folders: beside the executable when
// its folder is writable (a portable copy), else in the user's settings folder
// (%APPDATA% on Windows, ~/.config on Linux) and documents folder.
#pragma once

#include <QString>

namespace kalvist {

struct TAppPaths {
  QString ProgramFolder;     // the executable's folder (pictures, icon)
  QString ProgramTitle;      // the executable's file name without extension
  QString SettingsFile;      // the ".ini"
  QString ParametersFolder;  // "Parameters"
  QString SoundFolder;       // "Sound files"
};

TAppPaths AppPathsFor(const QString& executablePath);

// Makes the work folders and the settings file's folder. Throws TKalvistError "Cannot
// create directory "<path>"" for a folder that is missing and cannot be made.
void CreateWorkFolders(const TAppPaths& paths);

}  // namespace kalvist
