// Writing files of the export: copies that keep timestamps and permission bits,
// and whole-file writes. An existing target is replaced only by a complete
// file (written beside it, then renamed into place); a new target that cannot
// be completed is removed again. So a failed write never leaves a partial file
// under the target's name.
#pragma once

#include <QString>
#include <string_view>

enum class CopyStatus {
  Ok,
  SourceMissing,  // the source file does not exist (any more)
  Failed,         // reading or writing failed; `error` says why
};

// Copies `source` to `target` (replacing a file there) with its access and
// modification times and its permission bits.
CopyStatus copy_file_with_metadata(const QString& source, const QString& target, QString& error);

// Replaces `target` with `bytes`. False, with the reason in `error`, on failure.
bool write_file_replacing(const QString& target, std::string_view bytes, QString& error);
