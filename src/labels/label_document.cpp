#include "labels/label_document.h"

#include <QDir>
#include <QFileInfo>

#include "fileio/file_read.h"
#include "labels/label_paths.h"

namespace orvane {

namespace {

bool same_shapes(const std::vector<LabelShape>& a, const std::vector<LabelShape>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const LabelShape& x, const LabelShape& y) {
                      return x.class_id == y.class_id && x.points == y.points;
                    });
}

// `tail` after `bytes`, on a line of its own.
QByteArray appended(QByteArray bytes, const QByteArray& tail) {
  if (!bytes.isEmpty() && !bytes.endsWith('\n') && !bytes.endsWith('\r')) bytes += '\n';
  return bytes + tail;
}

}  // namespace

LabelDocument::DiskFile LabelDocument::look_at(const QString& path) {
  DiskFile file;
  QByteArray bytes;
  switch (read_whole_file(path, bytes, &file.error)) {
    case ReadStatus::Missing:
      file.error.clear();
      break;
    case ReadStatus::Failed:
      break;
    case ReadStatus::Ok:
      file.bytes = std::move(bytes);
      break;
  }
  return file;
}

QString LabelDocument::classes_path(const QString& folder) {
  return QDir(folder).filePath(QStringLiteral("classes.txt"));
}

ClassListFile LabelDocument::read_classes(const QString& folder) {
  const QString path = classes_path(folder);
  ClassListFile file = read_class_list_file(path);
  classes_read_error_.clear();
  classes_notice_.clear();
  classes_on_disk_.reset();
  if (!file.error.isEmpty()) {
    classes_read_error_ =
        QStringLiteral("Cannot read %1: %2").arg(QFileInfo(path).fileName(), file.error);
  } else if (file.exists) {
    classes_on_disk_ = file.bytes;
  }
  return file;
}

ClassWrite LabelDocument::write_classes(const QString& folder, const QStringList& classes) {
  ClassWrite result;
  if (folder.isEmpty()) {
    result.classes = classes;
    return result;
  }
  if (!classes_read_error_.isEmpty()) {
    result.error = classes_read_error_;
    return result;
  }
  const QString path = classes_path(folder);
  const DiskFile now = look_at(path);
  if (!now.error.isEmpty()) {
    result.error = now.error;
    return result;
  }
  result.reloaded = now.bytes != classes_on_disk_;
  const QStringList on_disk = now.bytes ? parse_class_list(*now.bytes) : QStringList();
  QStringList added;
  for (const QString& name : classes) {
    if (!on_disk.contains(name) && !added.contains(name)) added.push_back(name);
  }
  classes_notice_ =
      result.reloaded
          ? QStringLiteral("Another program changed classes.txt: its names were read again.")
          : QString();
  if (!added.isEmpty()) {
    const QByteArray bytes = appended(now.bytes.value_or(QByteArray()), format_class_list(added));
    result.error = write_class_list_bytes(path, bytes);
    if (!result.error.isEmpty()) return result;
    classes_on_disk_ = bytes;
  } else {
    classes_on_disk_ = now.bytes;
  }
  result.classes = on_disk + added;
  return result;
}

void LabelDocument::show(const QString& image_path) {
  image_path_ = image_path;
  classes_notice_.clear();
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
  unshown_ = {};
  label_read_error_.clear();
  on_disk_.reset();
  saved_shapes_.clear();
  label_notice_.clear();
  changed_ = false;
}

LabelLoad LabelDocument::adopt_label_file(DiskFile file, int class_count) {
  LabelFileContent content =
      parse_label_file(file.bytes.value_or(QByteArray()), class_count, width_, height_);
  for (LabelShape& shape : content.shapes) shape.from_file = true;
  kept_lines_ = std::move(content.kept_lines);
  unshown_ = content.unshown;
  on_disk_ = std::move(file.bytes);
  saved_shapes_ = content.shapes;
  return {std::move(content.shapes), std::move(content.error)};
}

LabelLoad LabelDocument::load(const QString& image_path, int width, int height, int class_count) {
  forget_label_file();
  width_ = width;
  height_ = height;
  LabelLoad result;
  if (width <= 0 || height <= 0) return result;
  const QString path = label_path_for_image(image_path);
  if (is_class_list_path(path)) {
    // Its shapes can be looked at, never written: they would replace the class list.
    label_read_error_ = class_list_image_reason(image_path);
    result.error = label_read_error_;
    return result;
  }
  DiskFile file = look_at(path);
  if (!file.error.isEmpty()) {
    // What the file holds is unknown: it is neither replaced nor deleted.
    label_read_error_ =
        QStringLiteral("Cannot read %1: %2").arg(QFileInfo(path).fileName(), file.error);
    result.error = file.error;
    return result;
  }
  return adopt_label_file(std::move(file), class_count);
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

LabelWrite LabelDocument::write(const std::vector<LabelShape>& shapes, int class_count) {
  using Status = LabelWrite::Status;
  if (!has_image() || width_ <= 0 || height_ <= 0) {
    return {Status::kRefused, QStringLiteral("No image is shown."), {}};
  }
  if (!read_only_reason().isEmpty()) return {Status::kRefused, read_only_reason(), {}};
  label_notice_.clear();

  const QByteArray content = format_label_file(shapes, width_, height_, kept_lines_);
  const bool same = on_disk_ ? content == *on_disk_ : content.trimmed().isEmpty();
  if (!same) {
    DiskFile now = look_at(label_path());
    if (!now.error.isEmpty()) return {Status::kFailed, now.error, {}};
    // Bytes decide: a file only touched, or changed and changed back, holds
    // nothing that writing could lose.
    if (now.bytes != on_disk_) {
      return reload(shapes, std::move(now), class_count);
    }
    const QString error = replace_label_file(content);
    if (!error.isEmpty()) return {Status::kFailed, error, {}};
  }
  saved_shapes_ = shapes;
  for (LabelShape& shape : saved_shapes_) shape.from_file = true;
  changed_ = false;
  return {same ? Status::kUnchanged : Status::kWritten, {}, {}};
}

LabelWrite LabelDocument::reload(const std::vector<LabelShape>& shapes, DiskFile now,
                                 int class_count) {
  std::vector<LabelShape> added, from_file;
  for (const LabelShape& shape : shapes) (shape.from_file ? from_file : added).push_back(shape);
  const bool dropped = !same_shapes(from_file, saved_shapes_);
  const QString name = QFileInfo(label_path()).fileName();

  LabelWrite result{LabelWrite::Status::kReloaded, {}, {}};
  if (!added.empty()) {
    // The other program's lines stay byte for byte; the new shapes follow.
    result.error = replace_label_file(
        appended(now.bytes.value_or(QByteArray()), format_label_file(added, width_, height_)));
    if (result.error.isEmpty()) now = {on_disk_, {}};
  }
  result.reloaded = adopt_label_file(std::move(now), class_count).shapes;
  if (result.error.isEmpty()) {
    changed_ = false;
  } else {
    // Still to be written, onto the file as it is now.
    result.status = LabelWrite::Status::kFailed;
    result.reloaded->insert(result.reloaded->end(), added.begin(), added.end());
    changed_ = true;
  }

  label_notice_ = QStringLiteral("Another program changed %1: it was read again").arg(name);
  if (!added.empty() && result.error.isEmpty()) {
    label_notice_ +=
        QStringLiteral(", and your %1 new shape(s) were added to it").arg(added.size());
  }
  if (dropped) {
    label_notice_ +=
        QStringLiteral("; your other changes (moved or deleted shapes) were not saved");
  }
  label_notice_ += QLatin1Char('.');
  return result;
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

QString LabelDocument::unshown_lines() const {
  return describe_unshown_lines(unshown_, static_cast<int>(saved_shapes_.size()));
}

QString LabelDocument::notice() const {
  if (label_notice_.isEmpty()) return classes_notice_;
  if (classes_notice_.isEmpty()) return label_notice_;
  return classes_notice_ + QLatin1Char('\n') + label_notice_;
}

}  // namespace orvane
