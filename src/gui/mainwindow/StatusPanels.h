// What the owner-drawn connection panel of the status bar shows in each connection state.
#pragma once

#include <QColor>
#include <QString>
#include <cstdint>
#include <string>

namespace kalvist {

enum class TConnectionState : uint8_t;  // vltZarno.h

struct TPanelPaint {
  QString Text;
  QColor Fill;  // invalid: the bar's own background
};

// `portPath` is the connected port's device path.
TPanelPaint ConnectionPanelPaint(TConnectionState connectionState, const std::string& portPath);

// The access level in words while connected ("Administrator", "Operator", "Monitor");
// empty while offline.
QString AccessLevelText(bool connected, uint8_t level);

// "SW ver: 2.5": ten times the version printed with a point, whatever the locale.
QString ConnectedSwVersionText(int versionTimesTen);

}  // namespace kalvist
