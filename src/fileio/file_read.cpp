#include "fileio/file_read.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cstring>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace orvane {

namespace {

template <class Bytes>
ReadStatus fail(Bytes& bytes, QString* error, const QString& reason) {
  bytes.clear();
  if (error) *error = reason;
  return ReadStatus::Failed;
}

template <class Bytes>
ReadStatus read_into(const QString& path, Bytes& bytes, QString* error, qint64 max_bytes) {
  bytes.resize(0);  // keeps the buffer of a reused array
#ifdef Q_OS_UNIX
  // Plain system calls: QFile costs several times more per file. Opening
  // without blocking, so a FIFO without a writer does not hang the open.
  const QByteArray native = QFile::encodeName(path);
  int fd;
  do {
    fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const int code = errno;
    if (error) *error = system_reason(code);
    return code == ENOENT || code == ENOTDIR ? ReadStatus::Missing : ReadStatus::Failed;
  }
  struct stat info;
  QString refused;
  if (::fstat(fd, &info) != 0) {
    refused = system_reason(errno);
  } else if (S_ISDIR(info.st_mode)) {
    refused = system_reason(EISDIR);
  } else if (!S_ISREG(info.st_mode)) {
    refused = not_regular_file_reason();
  } else if (info.st_size > max_bytes) {
    refused = too_large_reason(max_bytes);
  }
  if (!refused.isEmpty()) {
    ::close(fd);
    return fail(bytes, error, refused);
  }
  // Straight into the buffer, in as few reads as the size allows; a file
  // that grows while being read is followed up to the limit.
  using Size = decltype(bytes.size());
  // One byte more than the size, so the end of the file is seen without growing.
  qint64 capacity = std::min<qint64>(std::max<qint64>(info.st_size + 1, 4096), max_bytes + 1);
  qint64 filled = 0;
  bytes.resize(static_cast<Size>(capacity));
  for (;;) {
    if (filled == capacity) {
      if (capacity >= max_bytes + 1) {  // grew while being read
        ::close(fd);
        return fail(bytes, error, too_large_reason(max_bytes));
      }
      capacity = std::min(capacity * 2, max_bytes + 1);
      bytes.resize(static_cast<Size>(capacity));
    }
    const ssize_t got = ::read(fd, bytes.data() + filled, static_cast<size_t>(capacity - filled));
    if (got > 0) {
      filled += got;
    } else if (got == 0) {
      break;
    } else if (errno != EINTR) {
      const int code = errno;
      ::close(fd);
      bytes.clear();
      if (error) *error = system_reason(code);
      return ReadStatus::Failed;
    }
  }
  if (filled > max_bytes) {
    ::close(fd);
    return fail(bytes, error, too_large_reason(max_bytes));
  }
  bytes.resize(static_cast<Size>(filled));
  ::close(fd);
  return ReadStatus::Ok;
#else
  QFile file(path);
  if (!file.exists()) {
    if (error) *error = QStringLiteral("No such file or directory");
    return ReadStatus::Missing;
  }
  const QFileInfo info(path);
  if (!info.isFile()) return fail(bytes, error, not_regular_file_reason());
  if (info.size() > max_bytes) return fail(bytes, error, too_large_reason(max_bytes));
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

QString system_reason(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

QString not_regular_file_reason() { return QStringLiteral("Not a regular file"); }

QString too_large_reason(qint64 max_bytes) {
  return QStringLiteral("File larger than %1 MB").arg(max_bytes >> 20);
}

ReadStatus read_whole_file(const QString& path, std::string& bytes, QString* error,
                           qint64 max_bytes) {
  return read_into(path, bytes, error, max_bytes);
}

ReadStatus read_whole_file(const QString& path, QByteArray& bytes, QString* error,
                           qint64 max_bytes) {
  return read_into(path, bytes, error, max_bytes);
}

}  // namespace orvane
