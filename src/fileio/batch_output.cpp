#include "fileio/batch_output.h"

#include "fileio/atomic_write.h"

namespace orvane {

QString BatchOutput::write(const QString& path, QByteArrayView bytes, ExistingFile existing) {
  QString error = write_file_atomically(path, bytes, existing, Sync::kLater);
  if (error.isEmpty()) ++written_;
  return error;
}

CopyStatus BatchOutput::copy(const QString& source, const QString& target, QString& error) {
  const CopyStatus status = copy_file_with_metadata(source, target, error, Sync::kLater);
  if (status == CopyStatus::Ok) ++written_;
  return status;
}

QString BatchOutput::finish() {
  if (written_.load() == 0) return {};
  return sync_file_system(folder_);
}

}  // namespace orvane
