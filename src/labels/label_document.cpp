#include "labels/label_document.h"

#include <QDir>
#include <QFileInfo>

#include "labels/label_paths.h"

namespace orvane {

QString LabelDocument::classes_path(const QString& folder) {
  return QDir(folder).filePath(QStringLiteral("classes.txt"));
}

ClassListFile LabelDocument::read_classes(const QString& folder) {
  const QString path = classes_path(folder);
  ClassListFile file = read_class_list_file(path);
  classes_read_error_.clear();
  if (!file.error.isEmpty()) {
    classes_read_error_ =
        QStringLiteral("Cannot read %1: %2").arg(QFileInfo(path).fileName(), file.error);
  }
  return file;
}

QString LabelDocument::write_classes(const QString& folder, const QStringList& classes) const {
  if (folder.isEmpty()) return {};
  if (!classes_read_error_.isEmpty()) return classes_read_error_;
  return write_class_list_file(classes_path(folder), classes);
}

void LabelDocument::show(const QString& image_path) {
  image_path_ = image_path;
  width_ = height_ = 0;
  forget_label_file();
}

void LabelDocument::close() {
  image_path_.clear();
  width_ = height_ = 0;
  forget_label_file();
}

void LabelDocument::forget_label_file() {
  kept_lines_.clear();
  label_read_error_.clear();
  on_disk_.reset();
  changed_ = false;
}

LabelLoad LabelDocument::load(const QString& image_path, int width, int height, int class_count) {
  forget_label_file();
  width_ = width;
  height_ = height;
  LabelLoad result;
  if (width <= 0 || height <= 0) return result;
  const QString path = label_path_for_image(image_path);
  LabelFileContent content = read_label_file(path, class_count, width, height);
  if (content.unreadable) {
    // What the file holds is unknown: it is neither replaced nor deleted.
    label_read_error_ =
        QStringLiteral("Cannot read %1: %2").arg(QFileInfo(path).fileName(), content.error);
    result.error = content.error;
    return result;
  }
  result.shapes = std::move(content.shapes);
  result.error = std::move(content.error);
  kept_lines_ = std::move(content.kept_lines);
  if (content.exists) on_disk_ = std::move(content.file_bytes);
  return result;
}

QString LabelDocument::label_path() const {
  return image_path_.isEmpty() ? QString() : label_path_for_image(image_path_);
}

const QString& LabelDocument::read_only_reason() const {
  return !classes_read_error_.isEmpty() ? classes_read_error_ : label_read_error_;
}

bool LabelDocument::needs_write(bool shapes_moved) const {
  return has_image() && width_ > 0 && height_ > 0 && read_only_reason().isEmpty() &&
         (changed_ || shapes_moved);
}

LabelWrite LabelDocument::write(const std::vector<LabelShape>& shapes) {
  using Status = LabelWrite::Status;
  if (!has_image() || width_ <= 0 || height_ <= 0) {
    return {Status::kRefused, QStringLiteral("No image is shown.")};
  }
  if (!read_only_reason().isEmpty()) return {Status::kRefused, read_only_reason()};

  const QByteArray content = format_label_file(shapes, width_, height_, kept_lines_);
  const bool same = on_disk_ ? content == *on_disk_ : content.trimmed().isEmpty();
  if (!same) {
    const QString error = replace_label_file(content);
    if (!error.isEmpty()) return {Status::kFailed, error};
  }
  changed_ = false;
  return {same ? Status::kUnchanged : Status::kWritten, {}};
}

QString LabelDocument::replace_label_file(const QByteArray& content) {
  const QString error = write_label_file(label_path(), content);
  if (!error.isEmpty()) return error;
  // An empty content deleted the file.
  if (content.trimmed().isEmpty()) {
    on_disk_.reset();
  } else {
    on_disk_ = content;
  }
  return {};
}

}  // namespace orvane
