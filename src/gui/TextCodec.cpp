#include "TextCodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace kalvist {

QString FromCp1252(const std::string& text) {
  QStringDecoder decoder("windows-1252");
  return decoder(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
}

std::string ToCp1252(const QString& text) {
  QStringEncoder encoder("windows-1252");
  const QByteArray bytes = encoder(text);
  return bytes.toStdString();
}

}  // namespace kalvist
