#include "fileio/atomic_write.h"

#include <QFile>
#include <QFileInfo>

#include "fileio/file_read.h"

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
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

int open_retrying(const char* path, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::open(path, flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// A short name for the file being written beside its target: the target's
// own name may already be near the 255-byte limit of a name. Unique within
// the process (two images sharing one label file, a.jpg and a.png, may write
// the same target from two threads at once) and across processes.
constexpr char kTemporaryPrefix[] = ".orvane-";
constexpr char kTemporarySuffix[] = ".tmp";

QByteArray temporary_name(const QByteArray& target) {
  static std::atomic<unsigned> counter{0};
  const qsizetype slash = target.lastIndexOf('/');
  return target.left(slash + 1) + kTemporaryPrefix +
         QByteArray::number(static_cast<qint64>(::getpid())) + '-' +
         QByteArray::number(counter.fetch_add(1)) + kTemporarySuffix;
}

// The writer's process id in a name made by temporary_name(), or -1.
qint64 temporary_owner(const QByteArray& name) {
  if (!name.startsWith(kTemporaryPrefix) || !name.endsWith(kTemporarySuffix)) return -1;
  const QByteArray middle = name.mid(qsizetype(sizeof kTemporaryPrefix) - 1)
                                .chopped(qsizetype(sizeof kTemporarySuffix) - 1);
  const qsizetype dash = middle.indexOf('-');
  if (dash <= 0) return -1;
  bool pid_ok = false, counter_ok = false;
  const qint64 pid = middle.left(dash).toLongLong(&pid_ok);
  middle.mid(dash + 1).toUInt(&counter_ok);
  return pid_ok && counter_ok && pid > 0 ? pid : -1;
}

// Moves `from` to `to` unless an entry of that name exists. False, with errno
// set (EEXIST when one does), on failure.
bool rename_without_replacing(const char* from, const char* to) {
#ifdef Q_OS_LINUX
  if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
#endif
  // A file system without the flag: a link is never made over an entry.
  if (::link(from, to) != 0) return false;
  ::unlink(from);
  return true;
}

// Taken when the library is loaded: this process's own temporary files from
// before then belong to an earlier process that had the same id.
const std::chrono::system_clock::time_point kProcessStart = std::chrono::system_clock::now();

bool abandoned(const QByteArray& path, qint64 pid) {
  struct stat info;
  if (::lstat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  if (pid == ::getpid()) {
    return std::chrono::system_clock::from_time_t(info.st_mtime) + std::chrono::seconds(1) <
           kProcessStart;
  }
  return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
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
  // A replaced file keeps its permission bits.
  struct stat existing;
  const bool replacing = ::stat(target_.constData(), &existing) == 0 && S_ISREG(existing.st_mode);
  if (replacing) mode = existing.st_mode & 07777;
  // Always a new file beside the target: the target's name only ever holds a
  // complete file, even when the process is killed while writing.
  do {
    path_ = temporary_name(target_);
    fd_ = open_retrying(path_.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  } while (fd_ < 0 && errno == EEXIST);
  if (fd_ >= 0 && replacing) ::fchmod(fd_, mode);
  written_ = 0;
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
    written_ += done;
  }
  return true;
}

bool AtomicOutput::copy_from(int in) {
#ifdef Q_OS_LINUX
  // In the kernel while it can; through a buffer where it cannot (another
  // file system, or a kernel without the call).
  for (;;) {
    const ssize_t done = ::copy_file_range(in, nullptr, fd_, nullptr, size_t{1} << 30, 0);
    if (done > 0) {
      written_ += done;
      continue;
    }
    if (done == 0) return true;
    if (errno == EINTR) continue;
    if (errno != ENOSYS && errno != EXDEV && errno != EINVAL && errno != EOPNOTSUPP) return false;
    break;
  }
#endif
  for (;;) {
    char buffer[65536];
    const ssize_t got = ::read(in, buffer, sizeof buffer);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (!write_all(QByteArrayView(buffer, got))) return false;
  }
}

bool AtomicOutput::commit(QString& error, Sync sync, ExistingFile existing) {
  // Some file systems report a full disk only when the data is flushed, and
  // some not even then: the size that reached the disk is checked too.
  struct stat info;
  if (sync == Sync::kEachFile && ::fsync(fd_) != 0) {
    error = system_reason(errno);
  } else if (::fstat(fd_, &info) != 0) {
    error = system_reason(errno);
  } else if (info.st_size != written_) {
    error = QStringLiteral("only %1 of %2 bytes reached the disk").arg(info.st_size).arg(written_);
  }
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0 && error.isEmpty()) error = system_reason(errno);
  if (error.isEmpty()) {
    const bool moved = existing == ExistingFile::kKeep
                           ? rename_without_replacing(path_.constData(), target_.constData())
                           : ::rename(path_.constData(), target_.constData()) == 0;
    if (!moved) error = system_reason(errno);
  }
  if (!error.isEmpty()) {
    ::unlink(path_.constData());
    return false;
  }
  return true;
}

QString write_file_atomically(const QString& path, QByteArrayView bytes, ExistingFile existing,
                              Sync sync) {
  if (existing == ExistingFile::kKeepIfUnreadable && unreadable_file(path)) {
    return QStringLiteral("the existing file cannot be read, so it was not replaced");
  }
  AtomicOutput out;
  if (!out.open(path, 0666) || !out.write_all(bytes)) return system_reason(errno);
  QString error;
  out.commit(error, sync, existing);
  return error;
}

int remove_abandoned_temporaries(const QString& folder) {
  const QByteArray base = QFile::encodeName(folder) + '/';
  DIR* dir = ::opendir(base.constData());
  if (dir == nullptr) return 0;
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const QByteArray name(entry->d_name);
    const qint64 pid = temporary_owner(name);
    if (pid < 0) continue;
    const QByteArray path = base + name;
    if (abandoned(path, pid) && ::unlink(path.constData()) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

QString sync_file_system(const QString& path) {
#ifdef Q_OS_LINUX
  const int fd = open_retrying(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) return system_reason(errno);
  const bool synced = ::syncfs(fd) == 0;
  const int code = errno;
  ::close(fd);
  return synced ? QString() : system_reason(code);
#else
  // No call flushes one file system and reports its failure: flush them all.
  if (!QFileInfo::exists(path)) return system_reason(ENOENT);
  ::sync();
  return {};
#endif
}

#else

QString write_file_atomically(const QString& path, QByteArrayView bytes, ExistingFile existing,
                              Sync) {
  if (existing == ExistingFile::kKeepIfUnreadable && unreadable_file(path)) {
    return QStringLiteral("the existing file cannot be read, so it was not replaced");
  }
  if (existing == ExistingFile::kKeep && QFileInfo::exists(path)) {
    return QStringLiteral("File exists");
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

QString sync_file_system(const QString&) { return {}; }

int remove_abandoned_temporaries(const QString&) { return 0; }  // QSaveFile cleans up itself

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
