#include "fileio/file_copy.h"

#include <QFile>
#include <QFileInfo>

#include "fileio/atomic_write.h"
#include "fileio/file_read.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace orvane {

#ifdef Q_OS_UNIX

CopyStatus copy_file_with_metadata(const QString& source, const QString& target, QString& error,
                                   Sync sync) {
  error.clear();
  const QByteArray source_name = QFile::encodeName(source);
  int in;
  do {
    // Not blocking: a FIFO without a writer must not hang the open.
    in = ::open(source_name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  } while (in < 0 && errno == EINTR);
  if (in < 0) {
    const int code = errno;
    error = system_reason(code);
    return code == ENOENT ? CopyStatus::SourceMissing : CopyStatus::Failed;
  }
  struct stat info;
  if (::fstat(in, &info) != 0) {
    error = system_reason(errno);
  } else if (S_ISDIR(info.st_mode)) {
    error = system_reason(EISDIR);
  } else if (!S_ISREG(info.st_mode)) {
    error = not_regular_file_reason();
  }
  if (!error.isEmpty()) {
    ::close(in);
    return CopyStatus::Failed;
  }
  AtomicOutput out;
  if (!out.open(target, 0600)) {
    error = system_reason(errno);
    ::close(in);
    return CopyStatus::Failed;
  }
  const timespec times[2] = {info.st_atim, info.st_mtim};
  const bool copied = out.copy_from(in) && ::fchmod(out.fd(), info.st_mode & 07777) == 0 &&
                      ::futimens(out.fd(), times) == 0;
  const int code = errno;
  ::close(in);
  if (!copied) {
    error = system_reason(code);
    return CopyStatus::Failed;
  }
  return out.commit(error, sync) ? CopyStatus::Ok : CopyStatus::Failed;
}

#else

CopyStatus copy_file_with_metadata(const QString& source, const QString& target, QString& error,
                                   Sync) {
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
