// The files a batch job writes, under one durability rule: each file is
// written atomically (complete or not at all under its name) but not flushed
// on its own, which would cost more than the rest of the job; finish() then
// flushes the file system once, and its failure is reported like any other.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <atomic>

#include "fileio/atomic_write.h"
#include "fileio/file_copy.h"

namespace orvane {

class BatchOutput {
 public:
  // `folder`: the folder the job writes below (any folder on the same file
  // system serves to flush it).
  explicit BatchOutput(QString folder) : folder_(std::move(folder)) {}

  // Writes `bytes` to `path` atomically. Returns the reason of a failure, or
  // an empty text. Any thread.
  QString write(const QString& path, QByteArrayView bytes,
                ExistingFile existing = ExistingFile::kReplace);
  // Copies `source` to `target` with its timestamps and permission bits. Any
  // thread.
  CopyStatus copy(const QString& source, const QString& target, QString& error);

  // Flushes what was written to the disk, once per batch. Returns the reason
  // of a failure (a full disk found only now, for one), or an empty text;
  // empty too when nothing was written.
  QString finish();

  int files_written() const { return written_.load(); }

 private:
  QString folder_;
  std::atomic<int> written_{0};
};

}  // namespace orvane
