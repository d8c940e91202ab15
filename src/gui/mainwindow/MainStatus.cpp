#include <QPainter>

#include "ComInfoList.h"
#include "Main.h"
#include "StatusPanels.h"
#include "TextCodec.h"

namespace kalvist {

TPanelPaint ConnectionPanelPaint(TConnectionState connectionState, const std::string& portPath) {
  switch (connectionState) {
    case TConnectionState::Connecting:
      return {"Connecting...", QColor(Qt::yellow)};
    case TConnectionState::Connected:
      return {"Connected to: " + QString::fromStdString(PortLabel(portPath)), QColor(0, 255, 0)};
    case TConnectionState::Offline:
      break;
  }
  return {"Offline", QColor()};
}

QString ConnectedSwVersionText(int versionTimesTen) {
  // Integer arithmetic: a printf of the quotient would follow the locale's decimal comma.
  return QString("SW ver: %1.%2").arg(versionTimesTen / 10).arg(versionTimesTen % 10);
}

void TmSetUp::CreateStatusBar() {
  sbMain = new TVltStatusBar(this);
  sbMain->setObjectName("sbMain");
  QFont font("Tahoma");
  font.setPointSize(8);
  // The unit name takes what the others leave, so that at the window's first size it
  // ends inside the window instead of past its edge.
  for (const int width : {240, 130, 120, 60, 90}) {
    TVltStatusPanel panel;
    panel.Width = width;
    panel.Font = font;
    const int index = sbMain->PanelCount();
    panel.Stretch = index == spUnitName;
    if (index >= spConnection && index != spSwVersion) panel.Style = TPanelStyle::OwnerDraw;
    sbMain->AddPanel(panel);
  }
  sbMain->OnDrawPanel = [this](TVltStatusBar&, int panel, QPainter& painter, const QRect& rect) {
    sbMainDrawPanel(panel, painter, rect);
  };
  setStatusBar(sbMain);
}

void TmSetUp::sbMainDrawPanel(int panel, QPainter& painter, const QRect& rect) {
  QString text;
  if (panel == spConnection) {
    const TPanelPaint paint = ConnectionPanelPaint(Zarno->ConnectionState, Zarno->PortPath());
    if (paint.Fill.isValid()) painter.fillRect(rect, paint.Fill);
    text = paint.Text;
  } else if (panel == spUnitName) {
    text = FromCp1252(Zarno->ZarnoName());
    // The panel that stretches has room to say that live values are being logged.
    painter.setPen(Qt::darkRed);
    painter.drawText(rect.adjusted(0, 0, -4, 0), Qt::AlignRight | Qt::AlignTop, LiveLogNote());
  } else if (panel == spAccessLevel) {
    DrawAccessLevelPanel(painter, rect);
    return;
  }
  painter.setPen(Qt::black);
  painter.drawText(rect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignTop, text);
}

QString AccessLevelText(bool connected, uint8_t level) {
  if (!connected) return {};  // no controller, no access level to tell
  const QString name = QString::fromStdString(TZarno::AccessLevelName(level));
  return name.left(1).toUpper() + name.mid(1);
}

// The key badge of the password command, and the level it stands for in words.
void TmSetUp::DrawAccessLevelPanel(QPainter& painter, const QRect& rect) {
  const QString text = AccessLevelText(Zarno->IsConnected(), Zarno->AccessLevel());
  if (text.isEmpty()) return;
  constexpr int kIcon = 16;
  const QRect icon(rect.left() + 2, rect.center().y() - kIcon / 2 + 1, kIcon, kIcon);
  actCnDeactivatePassword->icon().paint(&painter, icon);
  painter.setPen(Qt::black);
  painter.drawText(rect.adjusted(kIcon + 6, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
}

QString TmSetUp::WindowCaption() const {
  QString caption = QString("%1 [%2]").arg(ProgramTitle, ProgramVersion);
  if (Zarno->HasParam(idSetpointsIdName)) {
    if (const std::optional<TValue> name = Zarno->GetValue(idSetpointsIdName)) {
      caption += " - " + FromCp1252(name->AsString());
    }
  }
  return caption;
}

}  // namespace kalvist
