#include "annotator/atomic_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

bool read_file_bytes(const QString& path, QByteArray& bytes, QString& error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    error = file.errorString();
    return false;
  }
  bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    error = file.errorString();
    return false;
  }
  return true;
}

QString write_file_atomically(const QString& path, const QByteArray& bytes) {
  const QFileInfo info(path);
  if (info.exists() && info.isFile() && !info.isReadable()) {
    return QStringLiteral("the existing file cannot be read, so it was not replaced");
  }
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return file.errorString();
  if (file.write(bytes) != bytes.size()) {
    const QString reason = file.errorString();
    file.cancelWriting();
    return reason;
  }
  if (!file.commit()) return file.errorString();
  return {};
}

QString remove_file_if_present(const QString& path) {
  QFile file(path);
  if (!file.exists()) return {};
  const QFileInfo info(path);
  if (info.isFile() && !info.isReadable()) {
    return QStringLiteral("the existing file cannot be read, so it was not deleted");
  }
  if (!file.remove()) return file.errorString();
  return {};
}
