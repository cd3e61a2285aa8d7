#include "fileio/folder_listing.h"

#include <QFile>
#include <filesystem>
#include <system_error>

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

}  // namespace orvane
