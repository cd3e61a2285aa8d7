// The image folder of the annotator: which entries are images, their order,
// and which of them have a label file, found with one listing of the folder.
#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace orvane {

// Whether `file_name` ends in .jpg, .jpeg, .png, .bmp or .webp (any case).
bool is_annotator_image_name(QStringView file_name);

// Ascending order of text by Unicode code point (UTF-16 order differs for
// characters beyond U+FFFF).
bool code_point_less(QStringView a, QStringView b);

struct ImageFolderListing {
  QStringList image_paths;   // full paths of the image files, in code point order
  QSet<QString> txt_names;   // names of the entries ending in ".txt"
  int unreadable_names = 0;  // entries left out: names not valid UTF-8
  QString error;             // why the folder could not be listed
};

// Lists the direct entries of `folder` (sub-folders are not searched).
ImageFolderListing list_image_folder(const QString& folder);

// Whether an image of the listing has a label file beside it.
bool has_label_files(const ImageFolderListing& listing);

// The names of the entries of `folder` that end in ".txt".
QSet<QString> txt_names_in(const QString& folder);

// "[✓] name" when the image has a label file, "[  ] name" otherwise.
QString image_list_entry(const QString& image_path, bool has_label);

}  // namespace orvane
