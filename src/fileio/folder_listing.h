// Listing the direct entries of a folder, with the kind of each entry.
#pragma once

#include <QString>
#include <vector>

namespace orvane {

struct FolderEntry {
  QString name;
  bool is_dir = false;   // a folder, or a link to one
  bool is_file = false;  // a regular file, or a link to one
};

// The last part of `path` (after its last '/').
QString file_name_of(const QString& path);

// Lists `folder` (sub-folders are not searched), in the file system's order.
// False, with the system's reason in `error`, when it cannot be listed.
// Names that cannot be told to the file system again (bytes that are not
// valid in the file-name encoding, UTF-8) are left out and counted in
// `unreadable_names` when given: no file could be opened by them.
bool list_folder(const QString& folder, std::vector<FolderEntry>& entries, QString& error,
                 int* unreadable_names = nullptr);

}  // namespace orvane
