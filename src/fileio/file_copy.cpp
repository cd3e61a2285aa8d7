#include "fileio/file_copy.h"

#include <QFile>
#include <QFileInfo>

#include "fileio/atomic_write.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace orvane {

#ifdef Q_OS_UNIX

namespace {

QString reason(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

// Copies the rest of `in` to `out`: in the kernel when it can, else through a
// buffer. False with errno set on failure.
bool copy_contents(int in, AtomicOutput& out) {
  bool kernel_copy = true;
  for (;;) {
    if (kernel_copy) {
      const ssize_t done = ::copy_file_range(in, nullptr, out.fd(), nullptr, size_t{1} << 30, 0);
      if (done > 0) continue;
      if (done == 0) return true;
      if (errno == EINTR) continue;
      if (errno != ENOSYS && errno != EXDEV && errno != EINVAL && errno != EOPNOTSUPP) {
        return false;
      }
      kernel_copy = false;
    }
    char buffer[65536];
    const ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!out.write_all(QByteArrayView(buffer, got))) return false;
  }
}

}  // namespace

CopyStatus copy_file_with_metadata(const QString& source, const QString& target, QString& error) {
  const QByteArray source_name = QFile::encodeName(source);
  int in;
  do {
    in = ::open(source_name.constData(), O_RDONLY | O_CLOEXEC);
  } while (in < 0 && errno == EINTR);
  if (in < 0) {
    const int code = errno;
    error = reason(code);
    return code == ENOENT ? CopyStatus::SourceMissing : CopyStatus::Failed;
  }
  struct stat info;
  const bool listed = ::fstat(in, &info) == 0;
  if (!listed || S_ISDIR(info.st_mode)) {
    error = reason(listed ? EISDIR : errno);
    ::close(in);
    return CopyStatus::Failed;
  }
  AtomicOutput out;
  if (!out.open(target, 0600)) {
    error = reason(errno);
    ::close(in);
    return CopyStatus::Failed;
  }
  const timespec times[2] = {info.st_atim, info.st_mtim};
  const bool copied = copy_contents(in, out) && ::fchmod(out.fd(), info.st_mode & 07777) == 0 &&
                      ::futimens(out.fd(), times) == 0;
  const int code = errno;
  ::close(in);
  if (!copied) {
    error = reason(code);
    return CopyStatus::Failed;
  }
  return out.commit(error) ? CopyStatus::Ok : CopyStatus::Failed;
}

#else

CopyStatus copy_file_with_metadata(const QString& source, const QString& target, QString& error) {
  if (!QFileInfo::exists(source)) {
    error = QStringLiteral("No such file or directory");
    return CopyStatus::SourceMissing;
  }
  QFile in(source);
  if (!in.open(QIODevice::ReadOnly)) {
    error = in.errorString();
    return CopyStatus::Failed;
  }
  error = write_file_atomically(target, in.readAll());
  if (!error.isEmpty()) return CopyStatus::Failed;
  QFile out(target);
  const QFileInfo info(source);
  if (!out.setPermissions(in.permissions()) || !out.open(QIODevice::ReadWrite) ||
      !out.setFileTime(info.lastRead(), QFileDevice::FileAccessTime) ||
      !out.setFileTime(info.lastModified(), QFileDevice::FileModificationTime)) {
    error = out.errorString();
    return CopyStatus::Failed;
  }
  return CopyStatus::Ok;
}

#endif

}  // namespace orvane
