#include "labels/label_paths.h"

namespace orvane {

qsizetype extension_dot(QStringView file_name) {
  qsizetype first = 0;
  while (first < file_name.size() && file_name[first] == QLatin1Char('.')) ++first;
  const qsizetype dot = file_name.lastIndexOf(QLatin1Char('.'));
  return dot >= first ? dot : -1;
}

QString label_path_for_image(const QString& image_path) {
  const qsizetype slash = image_path.lastIndexOf(QLatin1Char('/'));
  const qsizetype name_start = slash + 1;
  const qsizetype dot = extension_dot(QStringView(image_path).mid(name_start));
  const QString stem = dot < 0 ? image_path : image_path.left(name_start + dot);
  return stem + QStringLiteral(".txt");
}

QString name_without_extension(const QString& file_name) {
  const qsizetype dot = extension_dot(file_name);
  return dot < 0 ? file_name : file_name.left(dot);
}

}  // namespace orvane
