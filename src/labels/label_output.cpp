#include "labels/label_output.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "fileio/batch_output.h"
#include "fileio/folder_listing.h"
#include "labels/label_paths.h"

namespace orvane {
namespace {

bool entry_exists(const QString& path) {
  const QFileInfo info(path);
  return info.exists() || info.isSymLink();
}

QString already_there(const QString& path) {
  return QStringLiteral(
             "%1 is already in the folder and was not written by this batch, so it was not "
             "replaced")
      .arg(file_name_of(path));
}

QString problem(const QString& file, const QString& reason) {
  return QDir::toNativeSeparators(file) + QStringLiteral(": ") + reason;
}

}  // namespace

BatchLabelOutput::BatchLabelOutput(BatchOutput& output, const QStringList& sources)
    : output_(output) {
  for (const QString& source : sources) {
    const QString folder = QFileInfo(source).path();
    if (source_classes_.contains(folder)) continue;
    source_classes_.insert(folder, read_source_classes(folder));
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    if (!canonical.isEmpty()) source_folders_.insert(canonical);
  }
}

SourceClasses BatchLabelOutput::source_classes(const QString& source) const {
  return source_classes_.value(QFileInfo(source).path());
}

void BatchLabelOutput::note_source(const QString& source, const QString& error,
                                   int lines_not_carried) {
  const QString label_file = file_name_of(label_path_for_image(source));
  if (!error.isEmpty()) problems_.append(problem(label_file, error));
  if (lines_not_carried > 0) {
    problems_.append(problem(
        label_file,
        QStringLiteral("%1 lines that are not shapes were not carried").arg(lines_not_carried)));
  }
}

bool BatchLabelOutput::among_sources(const QString& folder) {
  auto known = among_sources_.constFind(folder);
  if (known == among_sources_.constEnd()) {
    known = among_sources_.insert(folder,
                                  source_folders_.contains(QFileInfo(folder).canonicalFilePath()));
  }
  return *known;
}

QString BatchLabelOutput::class_list_for(const QString& folder, const QStringList& classes) {
  QHash<QStringList, QString>& lists = class_lists_[folder];
  auto checked = lists.constFind(classes);
  if (checked == lists.constEnd()) {
    checked = lists.insert(classes, ensure_class_list(folder, classes));
    if (!checked->isEmpty()) problems_.append(problem(folder, *checked));
  }
  return *checked;
}

OutputWrite BatchLabelOutput::write(const QString& image_path, QByteArrayView image,
                                    const OutputLabels* labels) {
  OutputWrite result;
  const QString label_path = label_path_for_image(image_path);
  const bool image_ours = images_.contains(image_path);
  const bool image_there = !image_ours && entry_exists(image_path);
  if (image_there && among_sources(QFileInfo(image_path).path())) {
    result.refused = already_there(image_path);
    return result;
  }
  // The label file beside the image goes with it, so it has to be one this
  // run may replace or remove: its own, beside this image, or one of the
  // earlier run whose image is being replaced.
  bool replaceable = false;
  const auto beside = labels_.constFind(label_path);
  if (beside != labels_.constEnd()) {
    if (*beside != image_path) {
      result.refused =
          QStringLiteral("%1 was written beside %2 by this batch, so it was not replaced")
              .arg(file_name_of(label_path), file_name_of(*beside));
      return result;
    }
    replaceable = true;
  } else if (entry_exists(label_path)) {
    if (!image_there) {
      result.refused = already_there(label_path);
      return result;
    }
    replaceable = true;
  }
  result.error = output_.write(
      image_path, image, image_ours || image_there ? ExistingFile::kReplace : ExistingFile::kKeep);
  if (!result.error.isEmpty()) return result;
  images_.insert(image_path);
  carry(image_path, label_path, replaceable, labels);
  return result;
}

void BatchLabelOutput::carry(const QString& image_path, const QString& label_path, bool replaceable,
                             const OutputLabels* labels) {
  const bool ours = labels_.contains(label_path);
  if (labels != nullptr &&
      class_list_for(QFileInfo(image_path).path(), labels->classes).isEmpty()) {
    const QString error = output_.write(label_path, labels->bytes,
                                        replaceable ? ExistingFile::kReplace : ExistingFile::kKeep);
    if (error.isEmpty()) {
      if (!ours) {
        ++files_;
        labels_.insert(label_path, image_path);
      }
      return;
    }
    problems_.append(problem(label_path, error));
  }
  // The image has no label file now: the one beside it described another.
  if (!replaceable || !entry_exists(label_path)) return;
  QFile file(label_path);
  if (!file.remove()) {
    problems_.append(problem(label_path, QStringLiteral("describes an image no longer there, "
                                                        "and could not be removed: %1")
                                             .arg(file.errorString())));
    return;
  }
  if (ours) {
    --files_;
    labels_.remove(label_path);
  } else {
    ++removed_;
  }
}

}  // namespace orvane
