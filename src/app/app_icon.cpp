#include "app/app_icon.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace orvane {

QString app_icon_path() {
  if (!QCoreApplication::instance()) return {};
  const QString path = QDir(QCoreApplication::applicationDirPath())
                           .filePath(QStringLiteral("Orvane-Studio-icon.png"));
  return QFileInfo::exists(path) ? path : QString();
}

}  // namespace orvane
