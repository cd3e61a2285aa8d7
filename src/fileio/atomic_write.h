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
  // Whatever is there stays: the write fails with "File exists" (also when
  // the file appears while it is being written).
  kKeep,
};

enum class Sync {
  kEachFile,  // each file is flushed to the disk before it replaces its target
  // Batches of many new files (an export): the caller flushes the whole file
  // system once at the end with sync_file_system().
  kLater,
};

// Writes `bytes` to `path` atomically. Returns the reason of a failure, or an
// empty text.
QString write_file_atomically(const QString& path, QByteArrayView bytes,
                              ExistingFile existing = ExistingFile::kReplace,
                              Sync sync = Sync::kEachFile);

// Flushes the file system that holds `path` to the disk. Returns the reason of
// a failure (a full disk found only now, for one), or an empty text.
QString sync_file_system(const QString& path);

// Removes the files being written that a run of this program left in
// `folder` when it was killed before renaming them into place: those of a
// process that no longer runs, and this process's own from before it started.
// Another running writer's files stay. Returns how many were removed.
int remove_abandoned_temporaries(const QString& folder);

// Deletes `path` if it exists. Returns the reason of a failure, or an empty
// text.
QString remove_file_if_present(const QString& path, ExistingFile existing = ExistingFile::kReplace);

#ifdef Q_OS_UNIX
// The file being written to become `target`: a temporary file beside it that
// is renamed over the target once it is complete and on the disk. A replaced
// file's permission bits are kept.
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
  // Copies the rest of the file open as `in`: in the kernel when it can, else
  // through a buffer. False, with errno set, on failure.
  bool copy_from(int in);
  // Flushes the file to the disk, checks that all of it got there, and moves
  // it to the target; on failure removes it and puts the reason into
  // `error`, leaving the target as it was.
  // With ExistingFile::kKeep an entry that holds the target's name stays and
  // the commit fails.
  bool commit(QString& error, Sync sync = Sync::kEachFile,
              ExistingFile existing = ExistingFile::kReplace);

 private:
  int fd_ = -1;
  QByteArray target_;
  QByteArray path_;
  qint64 written_ = 0;
};
#endif

}  // namespace orvane
