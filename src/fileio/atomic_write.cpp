#include "fileio/atomic_write.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#else
#include <QSaveFile>
#endif

namespace orvane {

namespace {

bool unreadable_file(const QString& path) {
  const QFileInfo info(path);
  return info.exists() && info.isFile() && !info.isReadable();
}

#ifdef Q_OS_UNIX

QString reason(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

int open_retrying(const char* path, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::open(path, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// A name beside `target` for the file being written, unique within the
// process: two images sharing one label file (a.jpg, a.png) may write the same
// target from two threads at once.
QByteArray temporary_name(const QByteArray& target) {
  static std::atomic<unsigned> counter{0};
  const qsizetype slash = target.lastIndexOf('/');
  return target.left(slash + 1) + ".~" + target.mid(slash + 1) + '.' +
         QByteArray::number(static_cast<qint64>(::getpid())) + '.' +
         QByteArray::number(counter.fetch_add(1)) + ".part";
}

#endif

}  // namespace

#ifdef Q_OS_UNIX

AtomicOutput::~AtomicOutput() {
  if (fd_ >= 0) {
    ::close(fd_);
    ::unlink(path_.constData());
  }
}

bool AtomicOutput::open(const QString& target, unsigned mode) {
  target_ = QFile::encodeName(target);
  path_ = target_;
  fd_ = open_retrying(target_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd_ < 0 && errno == EEXIST) {
    struct stat existing;
    if (::stat(target_.constData(), &existing) == 0 && S_ISREG(existing.st_mode)) {
      mode = existing.st_mode & 07777;
    }
    path_ = temporary_name(target_);
    fd_ = open_retrying(path_.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd_ >= 0) ::fchmod(fd_, mode);
  }
  return fd_ >= 0;
}

bool AtomicOutput::write_all(QByteArrayView bytes) {
  const char* data = bytes.data();
  size_t size = static_cast<size_t>(bytes.size());
  while (size > 0) {
    const ssize_t done = ::write(fd_, data, size);
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += done;
    size -= static_cast<size_t>(done);
  }
  return true;
}

bool AtomicOutput::commit(QString& error) {
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) {
    error = reason(errno);
    ::unlink(path_.constData());
    return false;
  }
  if (path_ != target_ && ::rename(path_.constData(), target_.constData()) != 0) {
    error = reason(errno);
    ::unlink(path_.constData());
    return false;
  }
  return true;
}

QString write_file_atomically(const QString& path, QByteArrayView bytes, ExistingFile existing) {
  if (existing == ExistingFile::kKeepIfUnreadable && unreadable_file(path)) {
    return QStringLiteral("the existing file cannot be read, so it was not replaced");
  }
  AtomicOutput out;
  if (!out.open(path, 0666) || !out.write_all(bytes)) return reason(errno);
  QString error;
  out.commit(error);
  return error;
}

#else

QString write_file_atomically(const QString& path, QByteArrayView bytes, ExistingFile existing) {
  if (existing == ExistingFile::kKeepIfUnreadable && unreadable_file(path)) {
    return QStringLiteral("the existing file cannot be read, so it was not replaced");
  }
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return file.errorString();
  if (file.write(bytes.data(), bytes.size()) != bytes.size()) {
    const QString reason = file.errorString();
    file.cancelWriting();
    return reason;
  }
  if (!file.commit()) return file.errorString();
  return {};
}

#endif

QString remove_file_if_present(const QString& path, ExistingFile existing) {
  QFile file(path);
  if (!file.exists()) return {};
  if (existing == ExistingFile::kKeepIfUnreadable && unreadable_file(path)) {
    return QStringLiteral("the existing file cannot be read, so it was not deleted");
  }
  if (!file.remove()) return file.errorString();
  return {};
}

}  // namespace orvane
