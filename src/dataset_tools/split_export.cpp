#include "dataset_tools/split_export.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <random>
#include <system_error>
#include <utility>

#include "common/background_job.h"
#include "common/job_runner.h"
#include "fileio/atomic_write.h"
#include "fileio/batch_output.h"
#include "fileio/file_copy.h"
#include "fileio/file_read.h"
#include "fileio/folder_listing.h"
#include "labels/label_paths.h"
#include "labels/label_text.h"

namespace orvane {

using namespace label_text;

// --- the split ---

SplitSizes split_sizes(int n, double train_ratio, double val_ratio) {
  if (n <= 0) return {};
  const int train = std::clamp(static_cast<int>(n * train_ratio), 0, n);
  const int val = std::clamp(static_cast<int>(n * val_ratio), 0, n - train);
  return {train, val, n - train - val};
}

std::vector<LabelledImage> collect_annotated_pairs(const QStringList& image_paths) {
  std::vector<LabelledImage> pairs;
  for (const QString& image : image_paths) {
    QString label = label_path_for_image(image);
    // An image named classes.* has no label file: that file is the class list.
    if (!is_class_list_path(label) && QFileInfo::exists(label))
      pairs.push_back({image, std::move(label)});
  }
  return pairs;
}

void shuffle_with_process_generator(std::vector<LabelledImage>& pairs) {
  static std::mt19937 generator{std::random_device{}()};
  std::shuffle(pairs.begin(), pairs.end(), generator);
}

SplitAssignment assign_split(std::vector<LabelledImage> pairs, double train_ratio, double val_ratio,
                             const PairShuffle& shuffle) {
  if (shuffle) shuffle(pairs);
  const SplitSizes sizes = split_sizes(static_cast<int>(pairs.size()), train_ratio, val_ratio);
  SplitAssignment assignment;
  const auto train_end = pairs.begin() + sizes.train;
  const auto val_end = train_end + sizes.val;
  assignment.parts[0].assign(std::make_move_iterator(pairs.begin()),
                             std::make_move_iterator(train_end));
  assignment.parts[1].assign(std::make_move_iterator(train_end), std::make_move_iterator(val_end));
  assignment.parts[2].assign(std::make_move_iterator(val_end),
                             std::make_move_iterator(pairs.end()));
  return assignment;
}

// --- label conversion ---

bool append_box_line(std::string_view line, std::string& out) {
  static thread_local std::vector<std::string_view> fields;
  split_fields(line, fields);
  if (fields.size() < 3) return false;
  double box[4];
  if (fields.size() == 5) {
    for (size_t i = 0; i < 4; ++i) {
      if (!parse_number(fields[i + 1], box[i]) || !std::isfinite(box[i])) return false;
    }
  } else {
    double x_min = HUGE_VAL, y_min = HUGE_VAL, x_max = -HUGE_VAL, y_max = -HUGE_VAL;
    for (size_t i = 1; i < fields.size(); ++i) {
      double value;
      if (!parse_number(fields[i], value) || !std::isfinite(value)) return false;
      if (i % 2 == 1) {
        x_min = std::min(x_min, value);
        x_max = std::max(x_max, value);
      } else {
        y_min = std::min(y_min, value);
        y_max = std::max(y_max, value);
      }
    }
    box[0] = (x_min + x_max) / 2;
    box[1] = (y_min + y_max) / 2;
    box[2] = x_max - x_min;
    box[3] = y_max - y_min;
  }
  out.append(fields[0]);
  for (double value : box) {
    out.push_back(' ');
    append_fixed6(out, value);
  }
  out.push_back('\n');
  return true;
}

BoxConversion convert_label_to_boxes(std::string_view label_text) {
  BoxConversion result;
  result.text.reserve(label_text.size());
  for_each_line(label_text, [&](std::string_view line) {
    if (line.find_first_not_of(" \t\v\f") == std::string_view::npos) return;
    if (!append_box_line(line, result.text)) ++result.left_out;
  });
  return result;
}

// --- data.yaml ---

namespace {

// Whole texts that a YAML 1.1 or 1.2 reader resolves to something other than a
// string: booleans, nulls, numbers in any notation, dates, the value and merge
// keys.
bool resolves_to_non_string(const QString& value) {
  static const QRegularExpression special(
      QStringLiteral("^(?:"
                     "y|n|yes|no|on|off|true|false|null|~|=|<<"
                     "|[-+]?[0-9][0-9_]*"
                     "|[-+]?0b[01_]+"
                     "|[-+]?0o[0-7_]+"
                     "|[-+]?0x[0-9a-f_]+"
                     "|[-+]?[0-9][0-9_]*(?::[0-5]?[0-9])+(?:\\.[0-9_]*)?"
                     "|[-+]?(?:[0-9][0-9_]*(?:\\.[0-9_]*)?|\\.[0-9_]+)(?:e[-+]?[0-9]+)?"
                     "|[-+]?\\.inf|\\.nan"
                     "|[0-9]{4}-[0-9]{1,2}-[0-9]{1,2}(?:[t \\t].*)?"
                     ")$"),
      QRegularExpression::CaseInsensitiveOption);
  return special.match(value).hasMatch();
}

bool is_blank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

// Characters that a plain scalar cannot hold as they are.
bool needs_escape(char32_t c) {
  return c < 0x20 || (c >= 0x7f && c < 0xa0) || c == 0x2028 || c == 0x2029 || c == 0xfeff ||
         c == 0xfffe || c == 0xffff || (c >= 0xd800 && c < 0xe000);
}

bool needs_quotes(const QString& value) {
  if (value.isEmpty()) return true;
  static const QString kIndicators = QStringLiteral("-?:,[]{}#&*!|>'\"%@`");
  if (kIndicators.contains(value.front())) return true;
  if (is_blank(value.front()) || is_blank(value.back())) return true;
  if (value.endsWith(QLatin1Char(':'))) return true;
  if (value.contains(QLatin1String(": ")) || value.contains(QLatin1String(":\t")) ||
      value.contains(QLatin1String(" #")) || value.contains(QLatin1String("\t#"))) {
    return true;
  }
  for (const char32_t c : value.toUcs4()) {
    if (needs_escape(c)) return true;
  }
  return resolves_to_non_string(value);
}

}  // namespace

QString yaml_scalar(const QString& value) {
  if (!needs_quotes(value)) return value;
  QString out = QStringLiteral("\"");
  for (const char32_t c : value.toUcs4()) {
    switch (c) {
      case U'\\':
        out += QStringLiteral("\\\\");
        break;
      case U'"':
        out += QStringLiteral("\\\"");
        break;
      case U'\t':
        out += QStringLiteral("\\t");
        break;
      case U'\n':
        out += QStringLiteral("\\n");
        break;
      case U'\r':
        out += QStringLiteral("\\r");
        break;
      default:
        if (c < 0x100 && needs_escape(c)) {
          out += QStringLiteral("\\x%1").arg(static_cast<uint>(c), 2, 16, QLatin1Char('0'));
        } else if (needs_escape(c)) {
          out += QStringLiteral("\\u%1").arg(static_cast<uint>(c), 4, 16, QLatin1Char('0'));
        } else {
          out += QString::fromUcs4(&c, 1);
        }
    }
  }
  out += QLatin1Char('"');
  return out;
}

QString data_yaml_text(const QString& absolute_output_folder, const QStringList& classes) {
  QString path = absolute_output_folder;
  path.replace(QLatin1Char('\\'), QLatin1Char('/'));
  QString text = QStringLiteral("path: ") + yaml_scalar(path) + QLatin1Char('\n');
  text += QStringLiteral("train: train/images\nval: val/images\ntest: test/images\n\nnames:\n");
  for (qsizetype i = 0; i < classes.size(); ++i) {
    text += QStringLiteral("  %1: ").arg(i) + yaml_scalar(classes[i]) + QLatin1Char('\n');
  }
  return text;
}

QByteArray manifest_for(const QString& output_folder, const QStringList& classes) {
  return data_yaml_text(QDir::cleanPath(QFileInfo(output_folder).absoluteFilePath()), classes)
      .toUtf8();
}

// --- the export ---

namespace {

std::filesystem::path native_path(const QString& path) {
  return std::filesystem::path(QFile::encodeName(path).toStdString());
}

// Names of the entries of `folder` (nothing when it cannot be listed).
QSet<QString> folder_names(const QString& folder) {
  std::vector<FolderEntry> entries;
  QString error;
  list_folder(folder, entries, error);
  QSet<QString> names;
  for (const FolderEntry& entry : entries) names.insert(entry.name);
  return names;
}

class Exporter {
 public:
  Exporter(const QString& output_folder, LabelFormat format, JobControl* control, AlsoWrite also)
      : root_(QDir::cleanPath(output_folder)),
        format_(format),
        output_(root_),
        control_(control),
        also_(also) {}

  ExportOutcome run(const SplitAssignment& assignment, const QStringList& classes) {
    make_folders() && remove_abandoned_files() && list_earlier_files(assignment) &&
        copy_parts(assignment) && write_annotations(assignment, classes) && sync_tree() &&
        remove_stale_copies(assignment) && write_manifest(classes);
    return outcome_;
  }

 private:
  QString folder(size_t part, const char* kind) const {
    return root_ + QLatin1Char('/') + QLatin1String(kSplitParts[part]) + QLatin1Char('/') +
           QLatin1String(kind);
  }

  bool fail(const QString& what, const QString& path, const QString& reason) {
    outcome_.ok = false;
    outcome_.error = failure_text(what, path, reason);
    return false;
  }

  bool make_folders() {
    for (size_t part = 0; part < kSplitParts.size(); ++part) {
      for (const char* kind : {"images", "labels"}) {
        const QString path = folder(part, kind);
        std::error_code ec;
        std::filesystem::create_directories(native_path(path), ec);
        if (ec) {
          return fail(QStringLiteral("create the folder"), path,
                      QString::fromStdString(ec.message()));
        }
        if (!QFileInfo(path).isDir()) {
          return fail(QStringLiteral("create the folder"), path, QStringLiteral("File exists"));
        }
      }
    }
    return true;
  }

  // Files half-written by an export that was killed are hidden, but they
  // fill the disk and a later training run's folder scan may trip on them.
  bool remove_abandoned_files() {
    remove_abandoned_temporaries(root_);
    for (size_t part = 0; part < kSplitParts.size(); ++part) {
      for (const char* kind : {"images", "labels"})
        remove_abandoned_temporaries(folder(part, kind));
    }
    return true;
  }

  // What the part folders held before this export, listed while they are
  // small. A part folder that holds the sources themselves (a dataset loaded
  // from an earlier export's train/images) is left out: those are no copies.
  bool list_earlier_files(const SplitAssignment& assignment) {
    QSet<QString> source_folders;
    QSet<QString> seen_parents;
    for (const auto& part : assignment.parts) {
      for (const LabelledImage& pair : part) {
        for (const QString* path : {&pair.image_path, &pair.label_path}) {
          const QString parent = path->left(path->lastIndexOf(QLatin1Char('/')));
          if (!seen_parents.contains(parent)) {
            seen_parents.insert(parent);
            source_folders.insert(QFileInfo(parent).canonicalFilePath());
          }
        }
      }
    }
    for (size_t part = 0; part < 3; ++part) {
      for (size_t kind = 0; kind < 2; ++kind) {
        const QString here = folder(part, kind == 0 ? "images" : "labels");
        if (!source_folders.contains(QFileInfo(here).canonicalFilePath()))
          earlier_[part][kind] = folder_names(here);
      }
    }
    return true;
  }

  // An earlier export may have put an image of this one into another part.
  // Its copies there go only once the new ones are written and flushed, each
  // under a pass: a cancel or a failure before leaves the earlier tree whole.
  bool remove_stale_copies(const SplitAssignment& assignment) {
    for (const char* kind : {"images", "labels"}) {
      const bool images = kind[0] == 'i';
      // The names this export puts into each part, and those of them written.
      std::array<QSet<QString>, 3> exported, written;
      size_t item = 0;
      for (size_t part = 0; part < 3; ++part) {
        for (const LabelledImage& pair : assignment.parts[part]) {
          const QString name = file_name_of(images ? pair.image_path : pair.label_path);
          exported[part].insert(name);
          if (written_[item++]) written[part].insert(name);
        }
      }
      for (size_t part = 0; part < 3; ++part) {
        const QString here = folder(part, kind);
        for (const QString& name : std::as_const(earlier_[part][images ? 0 : 1])) {
          bool elsewhere = false;
          for (size_t other = 0; other < 3; ++other) {
            elsewhere = elsewhere || (other != part && written[other].contains(name));
          }
          if (!elsewhere || exported[part].contains(name)) continue;
          const JobPass pass(control_);
          if (!pass) {
            outcome_.cancelled = true;
            return false;
          }
          const QString path = here + QLatin1Char('/') + name;
          std::error_code ec;
          std::filesystem::remove(native_path(path), ec);
          if (ec) {
            return fail(QStringLiteral("remove the earlier copy"), path,
                        QString::fromStdString(ec.message()));
          }
        }
      }
    }
    return true;
  }

  static QString failure_text(const QString& what, const QString& path, const QString& reason) {
    return QStringLiteral("Export stopped: cannot %1\n%2\n\n%3").arg(what, path, reason);
  }

  struct Item {
    size_t part;
    const LabelledImage* pair;
  };

  struct Exported {
    QString error;    // the message that stops the export; empty when the pair was exported
    QString failure;  // why this pair alone was left out ("<image>: <reason>")
    int left_out = 0;
    bool skipped = false;  // the export was called off before this pair
  };

  // Copies one image and writes its label, under a pass of the control. Any
  // thread: it touches only its own files.
  Exported export_pair(const Item& item) {
    Exported done;
    JobPass pass(control_);
    if (!pass) {
      done.skipped = true;
      return done;
    }
    done = copy_pair(item);
    if (done.error.isEmpty() && done.failure.isEmpty()) pass.count(1);
    return done;
  }

  Exported copy_pair(const Item& item) {
    const LabelledImage& pair = *item.pair;
    Exported done;
    QString reason;
    // The label is read (or checked) first: an image goes out only with its
    // labels.
    thread_local std::string bytes;
    ReadStatus label = ReadStatus::Ok;
    if (format_ == LabelFormat::Detection) {
      label = read_whole_file(pair.label_path, bytes, &reason);
      if (label == ReadStatus::Failed) {
        if (!no_label_file(pair, done)) {
          done.error = failure_text(QStringLiteral("read"), pair.label_path, reason);
        }
        return done;
      }
    } else if (no_label_file(pair, done)) {
      return done;
    }
    const QString image_target =
        folder(item.part, "images") + QLatin1Char('/') + file_name_of(pair.image_path);
    if (output_.copy(pair.image_path, image_target, reason) != CopyStatus::Ok) {
      done.error = failure_text(QStringLiteral("copy"),
                                pair.image_path + QStringLiteral("\nto ") + image_target, reason);
      return done;
    }
    const QString label_target =
        folder(item.part, "labels") + QLatin1Char('/') + file_name_of(pair.label_path);
    if (format_ == LabelFormat::Segmentation) {
      if (output_.copy(pair.label_path, label_target, reason) == CopyStatus::Failed) {
        done.error = failure_text(QStringLiteral("copy"),
                                  pair.label_path + QStringLiteral("\nto ") + label_target, reason);
      }
      return done;
    }
    if (label == ReadStatus::Missing) return done;  // vanished since it was found
    const BoxConversion boxes = convert_label_to_boxes(bytes);
    reason = output_.write(label_target, boxes.text);
    if (!reason.isEmpty()) {
      done.error = failure_text(QStringLiteral("write"), label_target, reason);
      return done;
    }
    done.left_out = boxes.left_out;
    return done;
  }

  // A label path that is a folder (or a FIFO, a device) holds no labels: its
  // image is left out and named, and the export goes on with the others.
  static bool no_label_file(const LabelledImage& pair, Exported& done) {
    std::error_code ec;
    const std::filesystem::file_status status =
        std::filesystem::status(native_path(pair.label_path), ec);
    if (ec || !std::filesystem::exists(status) || std::filesystem::is_regular_file(status)) {
      return false;
    }
    done.failure =
        file_name_of(pair.image_path) + QStringLiteral(": cannot read ") +
        file_name_of(pair.label_path) + QStringLiteral(": ") +
        (std::filesystem::is_directory(status) ? system_reason(EISDIR) : not_regular_file_reason());
    return true;
  }

  // The pairs are exported in parallel (creating files is most of the time),
  // but the outcome is that of a pass in order: the failure reported is the
  // first in train, val, test order, and every pair before it is complete.
  bool copy_parts(const SplitAssignment& assignment) {
    std::vector<Item> items;
    for (size_t part = 0; part < 3; ++part) {
      for (const LabelledImage& pair : assignment.parts[part]) items.push_back({part, &pair});
    }
    written_.assign(items.size(), 0);
    outcome_.images_total = static_cast<int>(items.size());
    std::atomic<bool> failed{false};
    JobOptions options;
    options.stop = &failed;
    // With a control its flag is the one that stops: a failure raises it too.
    attach_control(options, control_);
    const auto halt = [&] {
      failed = true;
      if (control_ != nullptr) control_->request_stop();
    };
    const JobEnd end = run_job(
        static_cast<int>(items.size()),
        [&](int i) { return export_pair(items[static_cast<size_t>(i)]); },  // worker thread
        [&](int i, const Exported& done) {
          if (done.skipped) return;
          if (!done.error.isEmpty()) {
            fail_with(done.error);
            halt();
            return;
          }
          if (!done.failure.isEmpty()) {
            outcome_.failures.append(done.failure);
            return;
          }
          written_[static_cast<size_t>(i)] = 1;
          ++outcome_.images_written;
          outcome_.lines_left_out += done.left_out;
        },
        [&](int i, const QString& reason) {
          fail_with(failure_text(QStringLiteral("export"),
                                 items[static_cast<size_t>(i)].pair->image_path, reason));
          halt();
        },
        options);
    if (end.stopped && outcome_.ok) outcome_.cancelled = true;
    return outcome_.ok && !outcome_.cancelled;
  }

  // The COCO and VOC files of each part, for the pairs written.
  bool write_annotations(const SplitAssignment& assignment, const QStringList& classes) {
    size_t item = 0;
    for (size_t part = 0; part < 3 && (also_.coco || also_.voc); ++part) {
      std::vector<AnnotationSource> sources;
      for (const LabelledImage& pair : assignment.parts[part]) {
        if (written_[item++]) sources.push_back({pair.image_path, pair.label_path});
      }
      AnnotationTargets targets;
      if (also_.coco) {
        targets.coco_file = root_ + QStringLiteral("/annotations/instances_") +
                            QLatin1String(kSplitParts[part]) + QStringLiteral(".json");
      }
      if (also_.voc) targets.voc_folder = folder(part, "Annotations");
      const AnnotationOutcome done = write_annotation_files(sources, targets, classes, control_);
      outcome_.annotations.add(done.tally);
      outcome_.annotation_failures += done.failures;
      if (!done.ok) {
        fail_with(QStringLiteral("Export stopped: ") + done.error);
        return false;
      }
      if (done.cancelled) {
        outcome_.cancelled = true;
        return false;
      }
    }
    return true;
  }

  void fail_with(const QString& error) {
    outcome_.ok = false;
    outcome_.error = error;
  }

  // The pairs were written without a flush each (thousands of flushes take
  // many times the copying): one flush of the file system finds a full disk
  // that the writes did not report, before the export is called complete.
  bool sync_tree() {
    const QString error = output_.finish();
    if (!error.isEmpty()) return fail(QStringLiteral("write"), root_, error);
    return true;
  }

  bool write_manifest(const QStringList& classes) {
    // A cancelled export leaves no manifest that would call it complete.
    const JobPass pass(control_);
    if (!pass) {
      outcome_.cancelled = true;
      return false;
    }
    const QString path = root_ + QStringLiteral("/data.yaml");
    const QString error = write_file_atomically(path, manifest_for(root_, classes));
    if (!error.isEmpty()) return fail(QStringLiteral("write"), path, error);
    return true;
  }

  QString root_;
  LabelFormat format_;
  BatchOutput output_;
  JobControl* control_;
  AlsoWrite also_;
  ExportOutcome outcome_;
  std::array<std::array<QSet<QString>, 2>, 3> earlier_;  // per part: images, labels
  std::vector<char> written_;  // per pair, in train, val, test order: its files are written
};

}  // namespace

ExportOutcome export_split_dataset(const QString& output_folder, const SplitAssignment& assignment,
                                   LabelFormat format, const QStringList& classes,
                                   JobControl* control, AlsoWrite also) {
  return Exporter(output_folder, format, control, also).run(assignment, classes);
}

QString export_failures_text(const ExportOutcome& outcome) {
  if (outcome.failures.isEmpty()) return {};
  constexpr int kListedFailures = 10;
  return QStringLiteral("\n\n%1 of %2 images could not be exported:")
             .arg(outcome.failures.size())
             .arg(outcome.images_total) +
         failure_listing(outcome.failures, kListedFailures);
}

}  // namespace orvane
