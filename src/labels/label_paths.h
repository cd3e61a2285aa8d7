// Where an image's label file lives, and the name parts that rule uses.
#pragma once

#include <QString>
#include <QStringView>

namespace orvane {

// Index of the dot that starts the extension of `file_name` (a name without
// folder), or -1. Leading dots do not start an extension (".jpg" has none).
qsizetype extension_dot(QStringView file_name);

// The image path with its last extension replaced by ".txt".
QString label_path_for_image(const QString& image_path);

// Whether `label_path` names a folder's class list, classes.txt: the label
// path of an image named "classes.*", which therefore has no label file of
// its own (a shape written there would replace the class list).
bool is_class_list_path(const QString& label_path);
// Why such an image has no label file, for its status.
QString class_list_image_reason(const QString& image_path);

// A file name (without folder) without its last extension: "img10.jpg" ->
// "img10"; names without an extension stay whole.
QString name_without_extension(const QString& file_name);

// The file that writing `path` replaces, as an editor sees it: `path` itself,
// or the final target of the symbolic link(s) at `path` (which need not exist
// yet). Empty, with `error` set, for a chain of links that does not end.
QString write_target(const QString& path, QString* error = nullptr);

}  // namespace orvane
