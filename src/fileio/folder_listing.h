// Listing the direct entries of a folder, with the kind of each entry.
#pragma once

#include <QString>
#include <QStringList>
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

// The files the jobs may read from `folder`: regular files and links to them,
// never a FIFO, device or socket (opening one could wait forever) nor a broken
// link. Full paths ("folder/name"), in name order (QString's order, as
// QDir::Name sorts). Nothing when the folder cannot be listed.
QStringList regular_files(const QString& folder);

// As regular_files(), and with `recursive` the files of every subfolder
// below, top-down: a folder's files first, then each subfolder in name order.
// Links to folders are followed, but each real folder (device and inode) is
// walked once, so a link back up the tree neither repeats nor loops.
QStringList regular_files_below(const QString& folder, bool recursive);

}  // namespace orvane
