#include "annotator/image_folder.h"

#include <QFileInfo>
#include <algorithm>
#include <vector>

#include "fileio/folder_listing.h"
#include "imaging/image_extensions.h"
#include "labels/label_paths.h"

namespace orvane {

namespace {

// Code units in surrogate order: moves U+D800..U+DFFF above U+E000..U+FFFF so
// that comparing code units gives code point order.
char16_t code_point_key(char16_t c) {
  if (c < 0xD800) return c;
  return c >= 0xE000 ? static_cast<char16_t>(c - 0x800) : static_cast<char16_t>(c + 0x2000);
}

void scan(const QString& folder, ImageFolderListing& listing, bool want_images) {
  std::vector<FolderEntry> entries;
  QString error;
  list_folder(folder, entries, error, &listing.unreadable_names);
  const QString prefix = folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
  for (const FolderEntry& entry : entries) {
    if (entry.name.endsWith(QLatin1String(".txt"))) {
      listing.txt_names.insert(entry.name);
    } else if (want_images && entry.is_file && is_annotator_image_name(entry.name)) {
      listing.image_paths.push_back(prefix + entry.name);
    }
  }
}

}  // namespace

bool is_annotator_image_name(QStringView file_name) {
  const qsizetype dot = extension_dot(file_name);
  if (dot < 0) return false;
  return is_image_extension(file_name.mid(dot), ImageJob::kAnnotator);
}

bool code_point_less(QStringView a, QStringView b) {
  const qsizetype n = std::min(a.size(), b.size());
  for (qsizetype i = 0; i < n; ++i) {
    const char16_t x = a[i].unicode(), y = b[i].unicode();
    if (x != y) return code_point_key(x) < code_point_key(y);
  }
  return a.size() < b.size();
}

ImageFolderListing list_image_folder(const QString& folder) {
  ImageFolderListing listing;
  const QFileInfo info(folder);
  if (!info.exists()) {
    listing.error = QStringLiteral("the folder does not exist");
    return listing;
  }
  if (!info.isDir()) {
    listing.error = QStringLiteral("it is not a folder");
    return listing;
  }
  if (!info.isReadable() || !info.isExecutable()) {
    listing.error = QStringLiteral("permission denied");
    return listing;
  }
  scan(folder, listing, true);
  std::sort(listing.image_paths.begin(), listing.image_paths.end(),
            [](const QString& a, const QString& b) { return code_point_less(a, b); });
  return listing;
}

bool has_label_files(const ImageFolderListing& listing) {
  return std::any_of(
      listing.image_paths.begin(), listing.image_paths.end(), [&](const QString& path) {
        const QString label = label_path_for_image(path);
        return !is_class_list_path(label) &&
               listing.txt_names.contains(label.mid(label.lastIndexOf(QLatin1Char('/')) + 1));
      });
}

QSet<QString> txt_names_in(const QString& folder) {
  ImageFolderListing listing;
  scan(folder, listing, false);
  return listing.txt_names;
}

QString image_list_entry(const QString& image_path, bool has_label) {
  const QString name = image_path.mid(image_path.lastIndexOf(QLatin1Char('/')) + 1);
  return (has_label ? QStringLiteral("[\u2713] ") : QStringLiteral("[  ] ")) + name;
}

}  // namespace orvane
