#include "fileio/file_read.h"

#include <QFile>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace orvane {

namespace {

template <class Bytes>
ReadStatus read_into(const QString& path, Bytes& bytes, QString* error) {
  bytes.clear();
#ifdef Q_OS_UNIX
  // Plain system calls: QFile costs several times more per file.
  const QByteArray native = QFile::encodeName(path);
  int fd;
  do {
    fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const int code = errno;
    if (error) *error = QString::fromLocal8Bit(std::strerror(code));
    return code == ENOENT || code == ENOTDIR ? ReadStatus::Missing : ReadStatus::Failed;
  }
  char buffer[16384];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got > 0) {
      bytes.append(buffer, static_cast<decltype(bytes.size())>(got));
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      const int code = errno;
      ::close(fd);
      bytes.clear();
      if (error) *error = QString::fromLocal8Bit(std::strerror(code));
      return ReadStatus::Failed;
    }
  }
  ::close(fd);
  return ReadStatus::Ok;
#else
  QFile file(path);
  if (!file.exists()) {
    if (error) *error = QStringLiteral("No such file or directory");
    return ReadStatus::Missing;
  }
  if (!file.open(QIODevice::ReadOnly)) {
    if (error) *error = file.errorString();
    return ReadStatus::Failed;
  }
  const QByteArray all = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    if (error) *error = file.errorString();
    return ReadStatus::Failed;
  }
  bytes.append(all.constData(), static_cast<decltype(bytes.size())>(all.size()));
  return ReadStatus::Ok;
#endif
}

}  // namespace

ReadStatus read_whole_file(const QString& path, std::string& bytes, QString* error) {
  return read_into(path, bytes, error);
}

ReadStatus read_whole_file(const QString& path, QByteArray& bytes, QString* error) {
  return read_into(path, bytes, error);
}

}  // namespace orvane
