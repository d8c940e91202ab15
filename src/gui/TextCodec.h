// Texts of the controller, of parameter and settings files are Windows-1252; Qt works in
// Unicode. Conversion happens here, at the GUI's edge, and nowhere else.
#pragma once

#include <QString>
#include <string>

namespace kalvist {

QString FromCp1252(const std::string& text);
// Characters that Windows-1252 cannot hold become "?".
std::string ToCp1252(const QString& text);

}  // namespace kalvist
