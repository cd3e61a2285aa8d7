#include "fileio/folder_listing.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <filesystem>
#include <system_error>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace orvane {

QString file_name_of(const QString& path) {
  return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

bool list_folder(const QString& folder, std::vector<FolderEntry>& entries, QString& error,
                 int* unreadable_names) {
  namespace fs = std::filesystem;
  entries.clear();
  if (unreadable_names) *unreadable_names = 0;
  std::error_code ec;
  fs::directory_iterator it(fs::path(QFile::encodeName(folder).toStdString()), ec);
  for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
    std::error_code type_ec;
    FolderEntry entry;
    const QByteArray native = QByteArray::fromStdString(it->path().filename().native());
    entry.name = QFile::decodeName(native);
    if (QFile::encodeName(entry.name) != native) {
      if (unreadable_names) ++*unreadable_names;
      continue;
    }
    entry.is_dir = it->is_directory(type_ec);
    entry.is_file = !entry.is_dir && it->is_regular_file(type_ec);
    entries.push_back(std::move(entry));
  }
  if (ec) {
    error = QString::fromStdString(ec.message());
    entries.clear();
    return false;
  }
  return true;
}

namespace {

// The names of a folder's regular files and subfolders, each in name order.
void sorted_entries(const QString& folder, QStringList& files, QStringList& folders) {
  std::vector<FolderEntry> entries;
  QString error;
  list_folder(folder, entries, error);
  for (FolderEntry& entry : entries) {
    if (entry.is_file) files.append(std::move(entry.name));
    if (entry.is_dir) folders.append(std::move(entry.name));
  }
  files.sort();
  folders.sort();
}

QString child_path(const QString& folder, const QString& name) {
  return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// What tells one real folder from another, whatever the path to it.
QString folder_identity(const QString& folder) {
#ifdef Q_OS_UNIX
  struct stat info;
  if (::stat(QFile::encodeName(folder).constData(), &info) != 0) return {};
  return QStringLiteral("%1:%2")
      .arg(static_cast<qulonglong>(info.st_dev))
      .arg(static_cast<qulonglong>(info.st_ino));
#else
  return QFileInfo(folder).canonicalFilePath();
#endif
}

void walk(const QString& folder, bool recursive, QSet<QString>& visited, QStringList& found) {
  const QString identity = folder_identity(folder);
  if (identity.isEmpty() || visited.contains(identity)) return;
  visited.insert(identity);
  QStringList files, folders;
  sorted_entries(folder, files, folders);
  for (const QString& name : files) found.append(child_path(folder, name));
  if (!recursive) return;
  for (const QString& name : folders) walk(child_path(folder, name), true, visited, found);
}

}  // namespace

QStringList regular_files(const QString& folder) { return regular_files_below(folder, false); }

QStringList regular_files_below(const QString& folder, bool recursive) {
  QSet<QString> visited;
  QStringList found;
  walk(folder, recursive, visited, found);
  return found;
}

}  // namespace orvane
