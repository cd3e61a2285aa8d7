// Copying files with their timestamps and permission bits. An existing target
// is replaced only by a complete copy, so a failed copy never leaves a partial
// file under the target's name.
#pragma once

#include <QString>

#include "fileio/atomic_write.h"

namespace orvane {

enum class CopyStatus {
  Ok,
  SourceMissing,  // the source file does not exist (any more)
  Failed,         // reading or writing failed; `error` says why
};

// Copies `source` to `target` (replacing a file there) with its access and
// modification times and its permission bits.
CopyStatus copy_file_with_metadata(const QString& source, const QString& target, QString& error,
                                   Sync sync = Sync::kEachFile);

}  // namespace orvane
