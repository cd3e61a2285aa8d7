// The import of a COCO or Pascal VOC dataset as YOLO label files.
#include "dataset_tools/dataset_import.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <limits>
#include <map>
#include <mutex>
#include <string>

#include "common/background_job.h"
#include "common/job_runner.h"
#include "dataset_tools/coco_import.h"
#include "dataset_tools/health.h"
#include "fileio/batch_output.h"
#include "fileio/file_read.h"
#include "fileio/folder_listing.h"
#include "imaging/image_extensions.h"
#include "imaging/source_image.h"
#include "labels/class_list.h"
#include "labels/label_paths.h"

namespace orvane {

namespace {

// One image of the source.
struct Item {
  QString name;           // relative to the images folder; empty when the source names none
  QString fallback_stem;  // VOC: the XML file's name without extension
  int width = 0;          // as the source says; 0 when it does not
  int height = 0;
};

// Most headers lie in a file's first kilobytes; the whole file is read only
// when they do not.
constexpr qint64 kHeaderBytes = 64 * 1024;

QSize image_size(const QString& path, QString& error) {
  if (!QFileInfo(path).isFile()) {
    error = not_regular_file_reason();
    return {};
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    error = file.errorString();
    return {};
  }
  QByteArray head = file.read(kHeaderBytes);
  QSize size = upright_image_size(head, &error);
  if (!size.isValid() && file.size() > head.size()) {
    if (read_whole_file(path, head, &error, std::numeric_limits<int>::max()) != ReadStatus::Ok) {
      return {};
    }
    size = upright_image_size(head, &error);
  }
  return size;
}

bool is_file(const QString& path) { return QFileInfo(path).isFile(); }

// The image's name relative to the images folder, or empty when it is not
// there. A COCO name with folders is also looked for by its last part; a VOC
// file that names no image (or one not there), by its own name with each
// image extension.
QString find_image(const QDir& images, const Item& item) {
  if (!item.name.isEmpty()) {
    if (is_file(images.filePath(item.name))) return item.name;
    const QString base = file_name_of(item.name);
    if (base != item.name && is_file(images.filePath(base))) return base;
  }
  if (!item.fallback_stem.isEmpty()) {
    for (const QString& ext : image_extensions(ImageJob::kAnnotator)) {
      for (const QString& e : {ext, ext.toUpper()}) {
        const QString name = item.fallback_stem + e;
        if (is_file(images.filePath(name))) return name;
      }
    }
  }
  return {};
}

// The class ids of one output folder: its classes.txt, extended by the
// source's names it lacks (written in the pass of the folder's first label
// file), or the source's list when it has none.
struct FolderClasses {
  bool ready = false;
  QString error;          // the folder's list cannot be read (set when made)
  QString write_error;    // it could not be written (the delivering thread's)
  std::vector<int> ids;   // source class → id in the folder's list
  QStringList names;      // the folder's list
  bool to_write = false;  // names differ from the file on disk
};

FolderClasses folder_classes(const QString& folder, const QStringList& source) {
  FolderClasses f;
  const ClassListFile file =
      read_class_list_file(QDir(folder).filePath(QStringLiteral("classes.txt")));
  if (!file.error.isEmpty()) {
    f.error = QStringLiteral("classes.txt cannot be read: %1").arg(file.error);
    return f;
  }
  f.names = file.names;
  const ClassIds ids(f.names);
  for (const QString& name : source) {
    int id = ids.id_of(name);
    if (id < 0) id = int(class_id_of(f.names, name));
    if (id < 0) {
      id = int(f.names.size());
      f.names << name;
      f.to_write = true;
    }
    f.ids.push_back(id);
  }
  f.to_write = f.to_write || !file.exists;
  return f;
}

bool read_source(const ImportSettings& settings, CocoDataset& coco, std::vector<VocAnnotation>& voc,
                 std::vector<Item>& items, QStringList& classes, QString& error) {
  if (settings.source == ImportSource::kCoco) {
    std::string text;
    QString why;
    if (read_whole_file(settings.source_path, text, &why, kMaxCocoJsonBytes) != ReadStatus::Ok) {
      error = QStringLiteral("%1: %2").arg(settings.source_path, why);
      return false;
    }
    if (!read_coco(text, coco, why)) {
      error = QStringLiteral("%1: %2").arg(settings.source_path, why);
      return false;
    }
    classes = coco.classes;
    for (const CocoImage& image : coco.images) {
      items.push_back({image.file_name, {}, image.width, image.height});
    }
    return true;
  }
  QStringList files;
  for (const QString& path : regular_files(settings.source_path)) {
    if (path.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive)) files << path;
  }
  if (files.isEmpty()) {
    error = QStringLiteral("%1: the folder holds no VOC .xml files.").arg(settings.source_path);
    return false;
  }
  for (const QString& path : files) {
    QByteArray bytes;
    QString why;
    VocAnnotation annotation;
    if (read_whole_file(path, bytes, &why, kMaxVocXmlBytes) != ReadStatus::Ok ||
        !read_voc(bytes, annotation, why)) {
      error = QStringLiteral("%1: %2").arg(path, why);
      return false;
    }
    for (const VocObject& object : annotation.objects) {
      if (!classes.contains(object.name)) classes << object.name;
    }
    items.push_back({annotation.filename, name_without_extension(file_name_of(path)),
                     annotation.width, annotation.height});
    voc.push_back(std::move(annotation));
  }
  return true;
}

QString size_text(int w, int h) { return QStringLiteral("%1 × %2").arg(w).arg(h); }

}  // namespace

ImportReport import_dataset(const ImportSettings& settings, JobControl* control) {
  ImportReport report;
  CocoDataset coco;
  std::vector<VocAnnotation> voc;
  std::vector<Item> items;
  if (!read_source(settings, coco, voc, items, report.classes, report.error)) return report;
  report.images = int(items.size());

  const QDir images(settings.images_folder);
  const QDir output(settings.output_folder);
  const bool copying = QFileInfo(settings.output_folder).canonicalFilePath() !=
                       QFileInfo(settings.images_folder).canonicalFilePath();
  // Output folders' class lists, made by the first worker that needs one;
  // their ids are read-only afterwards, the rest is the delivering thread's.
  std::mutex folders_mutex;
  std::map<QString, FolderClasses> folders;
  QHash<QString, int> source_class;
  for (int i = 0; i < report.classes.size(); ++i) source_class.insert(report.classes[i], i);

  // One image looked up, measured and converted: the workers' part.
  struct Prepared {
    QString name;          // relative to the images folder; empty: not there
    QString error;         // the image cannot be measured
    QString size_differs;  // the source's size is not the image's
    QString label;
    FolderClasses* classes = nullptr;
    ImageLines lines;
  };
  const auto prepare = [&](int i) {  // a worker thread
    Prepared p;
    const Item& item = items[size_t(i)];
    p.name = find_image(images, item);
    if (p.name.isEmpty()) return p;
    const QSize size = image_size(images.filePath(p.name), p.error);
    if (!size.isValid()) return p;
    if (item.width > 0 && item.height > 0 &&
        (item.width != size.width() || item.height != size.height())) {
      p.size_differs = QStringLiteral("%1: %2 in the source, %3 in the image")
                           .arg(p.name, size_text(item.width, item.height),
                                size_text(size.width(), size.height()));
      return p;
    }
    p.label = label_path_for_image(output.filePath(p.name));
    if (is_class_list_path(p.label)) {
      p.error = class_list_image_reason(p.name);
      return p;
    }
    const QString folder = QFileInfo(p.label).path();
    {
      const std::lock_guard lock(folders_mutex);
      auto [at, made] = folders.try_emplace(folder);
      if (made) at->second = folder_classes(folder, report.classes);
      p.classes = &at->second;
    }
    if (!p.classes->error.isEmpty()) return p;
    const std::vector<int>& ids = p.classes->ids;
    p.lines = settings.source == ImportSource::kCoco
                  ? coco_image_lines(coco.images[size_t(i)], size.width(), size.height(),
                                     settings.shapes, ids)
                  : voc_image_lines(voc[size_t(i)], size.width(), size.height(), settings.voc,
                                    [&](const QString& n) { return ids[source_class.value(n)]; });
    return p;
  };

  QHash<QString, QString> label_owner;  // label path → image that took it
  std::vector<int> class_lines(size_t(report.classes.size()), 0);
  BatchOutput out(settings.output_folder);
  const auto deliver = [&](int, Prepared p) {  // the calling thread
    if (p.name.isEmpty()) {
      ++report.unknown_images;
      return;
    }
    if (!p.size_differs.isEmpty()) {
      report.size_differs << p.size_differs;
      return;
    }
    if (p.classes && p.error.isEmpty()) {
      p.error = !p.classes->error.isEmpty() ? p.classes->error : p.classes->write_error;
    }
    if (!p.error.isEmpty()) {
      report.failures << QStringLiteral("%1: %2").arg(p.name, p.error);
      return;
    }
    if (const auto owner = label_owner.constFind(p.label); owner != label_owner.constEnd()) {
      report.failures << QStringLiteral("%1: shares its label file with %2").arg(p.name, *owner);
      return;
    }
    label_owner.insert(p.label, p.name);
    const ImageLines& lines = p.lines;
    report.zero_area += lines.zero_area;
    report.outside += lines.outside;
    report.excluded += lines.excluded;
    if (lines.shapes == 0) return;
    if (QFileInfo::exists(p.label) && !settings.replace_existing) {
      ++report.kept_existing;
      return;
    }
    JobPass pass(control);
    if (!pass) {
      report.cancelled = true;
      return;
    }
    QString error;
    const QString target_image = output.filePath(p.name);
    if (copying && !QFileInfo::exists(target_image)) {
      QDir().mkpath(QFileInfo(target_image).path());
      if (out.copy(images.filePath(p.name), target_image, error) != CopyStatus::Ok) {
        report.failures << QStringLiteral("%1: %2").arg(target_image, error);
        return;
      }
    }
    FolderClasses& classes = *p.classes;
    if (classes.to_write) {
      const QString list = QDir(QFileInfo(p.label).path()).filePath(QStringLiteral("classes.txt"));
      error = out.write(list, format_class_list(classes.names), ExistingFile::kKeepIfUnreadable);
      if (!error.isEmpty()) {
        classes.write_error = QStringLiteral("classes.txt cannot be written: %1").arg(error);
        report.failures << QStringLiteral("%1: %2").arg(p.name, classes.write_error);
        return;
      }
      classes.to_write = false;
    }
    error = out.write(
        p.label, QByteArray::fromStdString(lines.text),
        settings.replace_existing ? ExistingFile::kKeepIfUnreadable : ExistingFile::kKeep);
    if (!error.isEmpty()) {
      report.failures << QStringLiteral("%1: %2").arg(p.label, error);
      return;
    }
    pass.count(1, 1);
    ++report.labelled;
    report.shapes += lines.shapes;
    report.merged += lines.merged;
    // Lines per source class: the folder's ids map back through the source's order.
    for (size_t c = 0; c < classes.ids.size(); ++c) {
      const size_t id = size_t(classes.ids[c]);
      if (id < lines.class_shapes.size()) class_lines[c] += lines.class_shapes[id];
    }
  };
  const auto fail = [&](int i, const QString& reason) {
    report.failures << QStringLiteral("%1: %2").arg(items[size_t(i)].name, reason);
  };
  JobOptions options;
  attach_control(options, control);
  const int total = int(items.size());
  const JobEnd end = run_job(total, prepare, deliver, fail, options);
  report.cancelled = report.cancelled || end.stopped;
  const QString flushed = out.finish();
  if (!flushed.isEmpty()) report.failures << flushed;
  for (size_t c = 0; c < class_lines.size(); ++c) {
    if (class_lines[c] == 0) report.empty_classes << report.classes[qsizetype(c)];
  }
  return report;
}

QString import_report_text(const ImportReport& report) {
  if (!report.error.isEmpty()) {
    return QStringLiteral("Nothing was imported: the source was refused.\n\n%1").arg(report.error);
  }
  QString text = QStringLiteral("Images labelled: %1 of %2\nShapes written: %3\nShapes merged: %4")
                     .arg(report.labelled)
                     .arg(report.images)
                     .arg(report.shapes)
                     .arg(report.merged);
  QStringList skipped;
  const auto add = [&skipped](int n, const QString& why) {
    if (n > 0) skipped << QStringLiteral("%1 %2").arg(n).arg(why);
  };
  add(report.kept_existing, QStringLiteral("image(s) kept their existing label file"));
  add(report.unknown_images, QStringLiteral("unknown image(s): not in the images folder"));
  add(int(report.size_differs.size()),
      QStringLiteral("image(s) whose size differs from the source's"));
  add(report.zero_area, QStringLiteral("shape(s) of zero area"));
  add(report.outside, QStringLiteral("shape(s) outside the image"));
  add(report.excluded, QStringLiteral("object(s) marked difficult or truncated, as chosen"));
  add(int(report.failures.size()), QStringLiteral("failure(s)"));
  if (!skipped.isEmpty())
    text += QStringLiteral("\n\nSkipped:\n") + skipped.join(QLatin1Char('\n'));
  const auto listing = [](const QStringList& lines) {
    QStringList shown = lines.mid(0, 5);
    if (lines.size() > 5) shown << QStringLiteral("... and %1 more.").arg(lines.size() - 5);
    return shown.join(QLatin1Char('\n'));
  };
  if (!report.size_differs.isEmpty()) {
    text += QStringLiteral("\n\nSizes that differ:\n") + listing(report.size_differs);
  }
  if (!report.failures.isEmpty())
    text += QStringLiteral("\n\nFailures:\n") + listing(report.failures);
  if (!report.empty_classes.isEmpty()) {
    text += QStringLiteral("\n\nCategories without a shape: ") +
            report.empty_classes.join(QStringLiteral(", "));
  }
  return text;
}

}  // namespace orvane
