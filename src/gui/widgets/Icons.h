// The program's own small icons, drawn at start (no icon theme needed).
#pragma once

#include <QIcon>

namespace kalvist {

QIcon ApplicationIcon();
QIcon ConnectIcon();
QIcon DisconnectIcon();
// A key; with a badge letter for the access level it stands for ('\0': none).
QIcon PasswordIcon(QChar badge = QChar());

}  // namespace kalvist
