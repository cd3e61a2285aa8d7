#include "dataset_tools/dataset_files.h"

#include <QFile>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>
#include <algorithm>
#include <vector>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace dataset_io {

ReadStatus read_whole_file(const QString& path, std::string& bytes, QString* error) {
  bytes.clear();
#ifdef Q_OS_UNIX
  // Plain system calls: QFile costs several times more per file, and these
  // tools read label files by the hundred thousand.
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
      bytes.append(buffer, static_cast<size_t>(got));
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
  bytes.assign(all.constData(), static_cast<size_t>(all.size()));
  return ReadStatus::Ok;
#endif
}

void parallel_ranges(int count, const std::function<void(int, int)>& body) {
  if (count <= 0) return;
  const int threads = std::max(1, QThreadPool::globalInstance()->maxThreadCount());
  // A few ranges per thread even out files of uneven size.
  const int pieces = std::min(count, threads * 8);
  if (pieces <= 1 || count < 64) {
    body(0, count);
    return;
  }
  std::vector<int> starts(static_cast<size_t>(pieces));
  for (int i = 0; i < pieces; ++i) starts[static_cast<size_t>(i)] = i;
  QtConcurrent::blockingMap(starts, [&](int piece) {
    const int first = static_cast<int>(static_cast<long long>(count) * piece / pieces);
    const int last = static_cast<int>(static_cast<long long>(count) * (piece + 1) / pieces);
    body(first, last);
  });
}

}  // namespace dataset_io
