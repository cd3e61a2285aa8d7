// Replacing files safely: the new content is written beside the target and
// renamed over it only once complete, so a crash or a full disk never leaves
// a half-written file where a good one was.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace orvane {

enum class ExistingFile {
  kReplace,
  // A file that exists but cannot be read is left alone: what it holds is
  // unknown, so replacing or deleting it could destroy data.
  kKeepIfUnreadable,
};

// Writes `bytes` to `path` atomically. Returns the reason of a failure, or an
// empty text.
QString write_file_atomically(const QString& path, QByteArrayView bytes,
                              ExistingFile existing = ExistingFile::kReplace);

// Deletes `path` if it exists. Returns the reason of a failure, or an empty
// text.
QString remove_file_if_present(const QString& path, ExistingFile existing = ExistingFile::kReplace);

#ifdef Q_OS_UNIX
// The file being written to become `target`: the target itself when nothing
// is there yet (one directory update instead of two), else a temporary file
// beside it. A replaced file's permission bits are kept.
class AtomicOutput {
 public:
  AtomicOutput() = default;
  AtomicOutput(const AtomicOutput&) = delete;
  AtomicOutput& operator=(const AtomicOutput&) = delete;
  // Discards what was written unless commit() succeeded.
  ~AtomicOutput();

  // False, with errno set, when the file cannot be created.
  bool open(const QString& target, unsigned mode);
  int fd() const { return fd_; }
  // False, with errno set, when a write fails.
  bool write_all(QByteArrayView bytes);
  // Completes the file and moves it to the target; on failure removes it and
  // puts the reason into `error`.
  bool commit(QString& error);

 private:
  int fd_ = -1;
  QByteArray target_;
  QByteArray path_;
};
#endif

}  // namespace orvane
