#include "labels/label_paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

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

bool is_class_list_path(const QString& label_path) {
  return QStringView(label_path).mid(label_path.lastIndexOf(QLatin1Char('/')) + 1) ==
         QLatin1String("classes.txt");
}

QString class_list_image_reason(const QString& image_path) {
  return QStringLiteral("%1 cannot have a label file: it would be the folder's classes.txt.")
      .arg(image_path.mid(image_path.lastIndexOf(QLatin1Char('/')) + 1));
}

QString name_without_extension(const QString& file_name) {
  const qsizetype dot = extension_dot(file_name);
  return dot < 0 ? file_name : file_name.left(dot);
}

QString write_target(const QString& path, QString* error) {
  // As many links as the system follows when opening a path.
  constexpr int kMaxLinks = 40;
  QString target = path;
  for (int hops = 0; hops <= kMaxLinks; ++hops) {
    const QByteArray native = QFile::encodeName(target);
    struct stat info;
    if (::lstat(native.constData(), &info) != 0 || !S_ISLNK(info.st_mode)) return target;
    QByteArray link(static_cast<qsizetype>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
    const ssize_t size = ::readlink(native.constData(), link.data(), link.size());
    if (size < 0) return target;  // gone meanwhile: the write will tell
    link.truncate(size);
    const QString next = QFile::decodeName(link);
    // Not cleaned: ".." after a linked folder means what the system says.
    target = QDir::isAbsolutePath(next)
                 ? next
                 : QFileInfo(target).absolutePath() + QLatin1Char('/') + next;
  }
  if (error) *error = QStringLiteral("Too many levels of symbolic links");
  return {};
}

}  // namespace orvane
