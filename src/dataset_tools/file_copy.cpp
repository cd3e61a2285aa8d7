#include "dataset_tools/file_copy.h"

#include <QFile>
#include <QFileInfo>
#include <atomic>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#else
#include <QSaveFile>
#endif

namespace {

#ifdef Q_OS_UNIX

QString reason(int code) { return QString::fromLocal8Bit(std::strerror(code)); }

int open_retrying(const char* path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool write_all(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t done = ::write(fd, data, size);
    if (done < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += done;
    size -= static_cast<size_t>(done);
  }
  return true;
}

// Copies the rest of `in` to `out`: in the kernel when it can, else through a
// buffer. False with errno set on failure.
bool copy_contents(int in, int out) {
  bool kernel_copy = true;
  for (;;) {
    if (kernel_copy) {
      const ssize_t done = ::copy_file_range(in, nullptr, out, nullptr, size_t{1} << 30, 0);
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
    if (!write_all(out, buffer, static_cast<size_t>(got))) return false;
  }
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

// The file being written to become `target`: the target itself when nothing
// is there yet (one directory update instead of two), else a temporary file
// beside it that replaces the target only once complete.
struct Output {
  int fd = -1;
  QByteArray path;
};

Output open_output(const QByteArray& target, mode_t mode) {
  Output out{open_retrying(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode),
             target};
  if (out.fd < 0 && errno == EEXIST) {
    out.path = temporary_name(target);
    out.fd = open_retrying(out.path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
  }
  return out;
}

void discard(const Output& out) {
  ::close(out.fd);
  ::unlink(out.path.constData());
}

// Closes the output and moves it to `target`; removes it on failure.
bool finish(const Output& out, const QByteArray& target, QString& error) {
  if (::close(out.fd) != 0) {
    error = reason(errno);
    ::unlink(out.path.constData());
    return false;
  }
  if (out.path != target && ::rename(out.path.constData(), target.constData()) != 0) {
    error = reason(errno);
    ::unlink(out.path.constData());
    return false;
  }
  return true;
}

#endif

}  // namespace

CopyStatus copy_file_with_metadata(const QString& source, const QString& target, QString& error) {
#ifdef Q_OS_UNIX
  const QByteArray source_name = QFile::encodeName(source);
  const QByteArray target_name = QFile::encodeName(target);
  const int in = open_retrying(source_name.constData(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    const int code = errno;
    error = reason(code);
    return code == ENOENT ? CopyStatus::SourceMissing : CopyStatus::Failed;
  }
  struct stat info;
  if (::fstat(in, &info) != 0) {
    error = reason(errno);
    ::close(in);
    return CopyStatus::Failed;
  }
  if (S_ISDIR(info.st_mode)) {
    error = reason(EISDIR);
    ::close(in);
    return CopyStatus::Failed;
  }
  const Output out = open_output(target_name, 0600);
  if (out.fd < 0) {
    error = reason(errno);
    ::close(in);
    return CopyStatus::Failed;
  }
  const timespec times[2] = {info.st_atim, info.st_mtim};
  const bool copied = copy_contents(in, out.fd) && ::fchmod(out.fd, info.st_mode & 07777) == 0 &&
                      ::futimens(out.fd, times) == 0;
  const int code = errno;
  ::close(in);
  if (!copied) {
    error = reason(code);
    discard(out);
    return CopyStatus::Failed;
  }
  return finish(out, target_name, error) ? CopyStatus::Ok : CopyStatus::Failed;
#else
  if (!QFileInfo::exists(source)) {
    error = QStringLiteral("No such file or directory");
    return CopyStatus::SourceMissing;
  }
  QFile in(source);
  if (!in.open(QIODevice::ReadOnly)) {
    error = in.errorString();
    return CopyStatus::Failed;
  }
  const QByteArray bytes = in.readAll();
  if (!write_file_replacing(target, std::string_view(bytes.constData(), bytes.size()), error)) {
    return CopyStatus::Failed;
  }
  QFile out(target);
  const QFileInfo info(source);
  if (!out.setPermissions(in.permissions()) || !out.open(QIODevice::ReadWrite) ||
      !out.setFileTime(info.lastRead(), QFileDevice::FileAccessTime) ||
      !out.setFileTime(info.lastModified(), QFileDevice::FileModificationTime)) {
    error = out.errorString();
    return CopyStatus::Failed;
  }
  return CopyStatus::Ok;
#endif
}

bool write_file_replacing(const QString& target, std::string_view bytes, QString& error) {
#ifdef Q_OS_UNIX
  const QByteArray target_name = QFile::encodeName(target);
  const Output out = open_output(target_name, 0666);
  if (out.fd < 0) {
    error = reason(errno);
    return false;
  }
  if (!write_all(out.fd, bytes.data(), bytes.size())) {
    error = reason(errno);
    discard(out);
    return false;
  }
  return finish(out, target_name, error);
#else
  QSaveFile file(target);
  if (!file.open(QIODevice::WriteOnly) ||
      file.write(bytes.data(), static_cast<qint64>(bytes.size())) !=
          static_cast<qint64>(bytes.size()) ||
      !file.commit()) {
    error = file.errorString();
    return false;
  }
  return true;
#endif
}
