#include "labels/class_edit.h"

#include <QLocale>
#include <QSet>
#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <string_view>

#include "common/background_job.h"
#include "common/job_runner.h"
#include "fileio/atomic_write.h"
#include "fileio/file_read.h"
#include "labels/class_list.h"
#include "labels/label_paths.h"
#include "labels/label_text.h"

namespace orvane {

namespace {

// Files named in a message at most; the rest are counted.
constexpr int kListedFiles = 8;

std::size_t hash_of(std::string_view bytes) { return std::hash<std::string_view>{}(bytes); }

std::string_view view_of(const QByteArray& bytes) {
  return {bytes.constData(), static_cast<size_t>(bytes.size())};
}

QString class_list_path(const QString& folder) { return folder + QStringLiteral("/classes.txt"); }

QString counted(int n, const char* one, const char* many) {
  return QString::fromLatin1(n == 1 ? one : many).arg(QLocale::system().toString(n));
}

// A label file's bytes with each line's class id mapped by `new_id`: a line
// whose class is mapped to -1 goes with its line end, a line that cannot be
// read (not an id of the list followed by an even number of values) stays
// byte for byte, and so does everything but the id of the others.
struct Rewrite {
  std::string out;  // the new bytes; empty while nothing changed
  bool changed = false;
  int shapes = 0;      // lines of the class acted on (reorder: lines whose id changes)
  int renumbered = 0;  // other lines whose id changes
  int kept = 0;        // non-blank lines that could not be read
};

void rewrite_label_bytes(std::string_view text, const std::vector<int>& new_id, int subject,
                         Rewrite& r) {
  std::vector<std::string_view> fields;
  const size_t n = text.size();
  size_t copied = 0;  // bytes of `text` accounted for in r.out
  size_t start = 0;
  while (start < n) {
    size_t end = start;
    while (end < n && text[end] != '\n' && text[end] != '\r') ++end;
    size_t next = end;
    if (next < n) next += (text[next] == '\r' && next + 1 < n && text[next + 1] == '\n') ? 2 : 1;
    const std::string_view line = text.substr(start, end - start);
    label_text::split_fields(line, fields);
    long long id = -1;
    bool readable = fields.size() >= 3 && (fields.size() - 1) % 2 == 0 &&
                    label_text::parse_class_id(fields[0], id) == label_text::IdParse::kOk &&
                    id >= 0 && id < static_cast<long long>(new_id.size());
    for (size_t f = 1; readable && f < fields.size(); ++f) {
      double value = 0;
      readable = label_text::parse_number(fields[f], value);
    }
    if (!readable) {
      if (!fields.empty()) ++r.kept;
    } else {
      const int to = new_id[static_cast<size_t>(id)];
      const bool moves = to != id;
      if (id == subject || (subject < 0 && moves)) {
        ++r.shapes;
      } else if (moves) {
        ++r.renumbered;
      }
      if (moves) {
        r.changed = true;
        r.out.append(text.substr(copied, start - copied));
        copied = next;
        if (to >= 0) {
          const size_t at = static_cast<size_t>(fields[0].data() - line.data());
          r.out.append(line.substr(0, at));
          r.out.append(std::to_string(to));
          r.out.append(line.substr(at + fields[0].size()));
          r.out.append(text.substr(end, next - end));
        }
      }
    }
    start = next;
  }
  if (r.changed) r.out.append(text.substr(copied));
}

bool blank(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(),
                     [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; });
}

// One file as a plan reads it; work of run_job's threads.
struct PlannedFile {
  QString target;
  QString error;
  bool existed = false;
  bool link = false;
  std::string bytes;
  Rewrite rewrite;
};

PlannedFile read_planned(const QString& path, const std::vector<int>& new_id, int subject) {
  PlannedFile file;
  file.target = write_target(path, &file.error);
  if (file.target.isEmpty()) return file;
  file.link = file.target != path;
  const ReadStatus status = read_whole_file(file.target, file.bytes, &file.error);
  if (status == ReadStatus::Missing) {
    file.error.clear();
    return file;
  }
  if (status != ReadStatus::Ok) return file;
  file.existed = true;
  rewrite_label_bytes(file.bytes, new_id, subject, file.rewrite);
  return file;
}

QString listing(const QStringList& lines) { return failure_listing(lines, kListedFiles); }

}  // namespace

ClassMapping map_classes(const QStringList& classes, const ClassEdit& edit) {
  ClassMapping m;
  const int n = static_cast<int>(classes.size());
  const auto valid = [n](int id) { return id >= 0 && id < n; };
  m.new_id.resize(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) m.new_id[static_cast<size_t>(i)] = i;
  switch (edit.kind) {
    case ClassEditKind::kRename: {
      const QString name = clean_class_name(edit.name);
      if (!valid(edit.from)) {
        m.error = QStringLiteral("There is no class to rename.");
      } else if (name.isEmpty()) {
        m.error = QStringLiteral("A class needs a name.");
      } else if (classes.contains(name) && classes[edit.from] != name) {
        m.error = QStringLiteral("\"%1\" is already a class: merge the two instead.").arg(name);
      } else {
        m.classes = classes;
        m.classes[edit.from] = name;
      }
      break;
    }
    case ClassEditKind::kMerge:
    case ClassEditKind::kDelete: {
      const bool merge = edit.kind == ClassEditKind::kMerge;
      if (!valid(edit.from) || (merge && (!valid(edit.into) || edit.into == edit.from))) {
        m.error = merge ? QStringLiteral("Choose two different classes to merge.")
                        : QStringLiteral("There is no class to delete.");
        break;
      }
      const auto shifted = [&](int id) { return id > edit.from ? id - 1 : id; };
      for (int i = 0; i < n; ++i) m.new_id[static_cast<size_t>(i)] = shifted(i);
      m.new_id[static_cast<size_t>(edit.from)] = merge ? shifted(edit.into) : -1;
      m.classes = classes;
      m.classes.removeAt(edit.from);
      break;
    }
    case ClassEditKind::kReorder: {
      std::vector<int> sorted = edit.order;
      std::sort(sorted.begin(), sorted.end());
      bool permutation = static_cast<int>(sorted.size()) == n;
      for (int i = 0; permutation && i < n; ++i) permutation = sorted[static_cast<size_t>(i)] == i;
      if (!permutation) {
        m.error = QStringLiteral("The new order must hold every class once.");
        break;
      }
      for (int i = 0; i < n; ++i) {
        const int old = edit.order[static_cast<size_t>(i)];
        m.new_id[static_cast<size_t>(old)] = i;
        m.classes.push_back(classes[old]);
      }
      break;
    }
  }
  if (!m.error.isEmpty()) {
    m.classes.clear();
    m.new_id.clear();
  }
  return m;
}

int ClassEditPlan::label_files_written() const {
  int files = 0;
  const QString class_list = class_list_path(folder);
  for (const FileChange& change : changes) files += change.path != class_list ? 1 : 0;
  return files;
}

QString ClassEditPlan::summary() const {
  QString text = counted(shapes, "%1 shape", "%1 shapes") +
                 counted(shape_files, " in %1 file", " in %1 files") + QStringLiteral(". ");
  const int written = label_files_written();
  if (written == 0) {
    text += QStringLiteral("No label file is rewritten; only classes.txt changes.");
  } else {
    text += counted(written, "%1 label file and classes.txt are rewritten",
                    "%1 label files and classes.txt are rewritten");
    text += renumbered > 0 ? counted(renumbered, " (%1 other shape renumbered).",
                                     " (%1 other shapes renumbered).")
                           : QStringLiteral(".");
  }
  if (kept_lines > 0) {
    text += QStringLiteral(" ") + counted(kept_lines, "%1 line that is not a shape stays as it is.",
                                          "%1 lines that are not shapes stay as they are.");
  }
  return text;
}

ClassEditPlan ClassEditPlan::reversed() const {
  ClassEditPlan undo;
  undo.folder = folder;
  undo.classes_before = classes_after;
  undo.classes_after = classes_before;
  undo.shapes = shapes;
  undo.shape_files = shape_files;
  undo.renumbered = renumbered;
  for (const FileChange& change : changes) {
    undo.changes.push_back({change.path, change.keep, change.after, change.existed, change.before});
  }
  return undo;
}

QStringList label_files_of(const QStringList& image_paths) {
  QStringList files;
  QSet<QString> seen;
  for (const QString& image : image_paths) {
    const QString label = label_path_for_image(image);
    if (is_class_list_path(label) || seen.contains(label)) continue;
    seen.insert(label);
    files.push_back(label);
  }
  return files;
}

ClassEditPlan plan_class_edit(const QString& folder, const QStringList& label_files,
                              const QStringList& expected_classes, const ClassEdit& edit,
                              JobControl* control) {
  ClassEditPlan plan;
  plan.folder = folder;
  QString error;
  const QString class_list = write_target(class_list_path(folder), &error);
  QByteArray class_bytes;
  const ReadStatus class_status =
      class_list.isEmpty() ? ReadStatus::Failed : read_whole_file(class_list, class_bytes, &error);
  if (class_status == ReadStatus::Missing) {
    plan.error = QStringLiteral("The folder has no classes.txt.");
    return plan;
  }
  if (class_status != ReadStatus::Ok) {
    plan.error = QStringLiteral("Cannot read classes.txt: %1").arg(error);
    return plan;
  }
  plan.classes_before = parse_class_list(class_bytes);
  if (plan.classes_before != expected_classes) {
    plan.error = QStringLiteral(
        "classes.txt was changed by another program. Load the folder again, then try once "
        "more.");
    return plan;
  }
  ClassMapping mapping = map_classes(plan.classes_before, edit);
  if (!mapping.error.isEmpty()) {
    plan.error = mapping.error;
    return plan;
  }
  plan.classes_after = mapping.classes;
  const int subject = edit.kind == ClassEditKind::kReorder ? -1 : edit.from;
  const bool ids_change = edit.kind != ClassEditKind::kRename;

  QStringList unreadable;
  QSet<QString> seen;
  JobOptions options;
  attach_control(options, control);
  const JobEnd end = run_job(
      static_cast<int>(label_files.size()),
      [&](int i) {  // run_job's threads
        return read_planned(label_files[i], mapping.new_id, subject);
      },
      [&](int i, PlannedFile file) {
        if (file.target.isEmpty() || !file.error.isEmpty()) {
          unreadable.push_back(label_files[i] + QStringLiteral(": ") + file.error);
          return;
        }
        if (seen.contains(file.target)) return;  // two links to one file
        seen.insert(file.target);
        const Rewrite& r = file.rewrite;
        plan.shapes += r.shapes;
        plan.shape_files += r.shapes > 0 ? 1 : 0;
        plan.renumbered += r.renumbered;
        plan.kept_lines += r.kept;
        if (r.changed) {
          const bool keep = file.link || !blank(r.out);
          plan.changes.push_back({file.target, true, QByteArray::fromStdString(file.bytes), keep,
                                  keep ? QByteArray::fromStdString(r.out) : QByteArray()});
        } else {
          plan.checks.push_back({file.target, file.existed, static_cast<qint64>(file.bytes.size()),
                                 hash_of(file.bytes)});
        }
      },
      [&](int i, const QString& reason) {
        unreadable.push_back(label_files[i] + QStringLiteral(": ") + reason);
      },
      options);
  if (end.stopped) {
    plan.cancelled = true;
    return plan;
  }
  // A file that cannot be read holds ids nobody can map: changing the others
  // would leave it naming the wrong classes.
  if (ids_change && !unreadable.isEmpty()) {
    plan.error = QStringLiteral(
                     "These label files cannot be read, so their class ids cannot be "
                     "changed:\n") +
                 listing(unreadable);
    return plan;
  }
  if (!ids_change) plan.checks.clear();  // a new name leaves every label file right
  plan.changes.push_back(
      {class_list, true, class_bytes, true, format_class_list(plan.classes_after)});
  return plan;
}

ClassEditResult apply_class_edit(const ClassEditPlan& plan, JobControl* control) {
  ClassEditResult result;
  if (!plan.error.isEmpty() || plan.cancelled) {
    result.error = plan.error.isEmpty() ? QStringLiteral("Cancelled.") : plan.error;
    return result;
  }
  // Every file as the plan read it, first: one that changed refuses the folder.
  const int n_changes = static_cast<int>(plan.changes.size());
  const int n_checks = static_cast<int>(plan.checks.size());
  QStringList changed;
  JobOptions read_options;
  attach_control(read_options, control);
  const JobEnd checked = run_job(
      n_changes + n_checks,
      [&](int i) {  // run_job's threads
        const bool is_change = i < n_changes;
        const QString& path = is_change ? plan.changes[i].path : plan.checks[i - n_changes].path;
        std::string bytes;
        const ReadStatus status = read_whole_file(path, bytes);
        if (status == ReadStatus::Failed) return false;
        const bool exists = status == ReadStatus::Ok;
        if (is_change) {
          const FileChange& c = plan.changes[i];
          return exists == c.existed && std::string_view(bytes) == view_of(c.before);
        }
        const FileCheck& c = plan.checks[i - n_changes];
        return exists == c.existed && static_cast<qint64>(bytes.size()) == c.size &&
               hash_of(bytes) == c.hash;
      },
      [&](int i, bool same) {
        if (!same) {
          changed.push_back(i < n_changes ? plan.changes[i].path : plan.checks[i - n_changes].path);
        }
      },
      [&](int i, const QString&) {
        changed.push_back(i < n_changes ? plan.changes[i].path : plan.checks[i - n_changes].path);
      },
      read_options);
  if (checked.stopped) {
    result.error = QStringLiteral("Cancelled.");
    return result;
  }
  if (!changed.isEmpty()) {
    result.error = QStringLiteral(
                       "Nothing was changed: these files were changed by another program since "
                       "the change was planned:\n") +
                   listing(changed);
    return result;
  }

  // One pass for all the writes: a Cancel now waits for them rather than
  // leaving the folder half changed.
  JobPass pass(control);
  if (!pass) {
    result.error = QStringLiteral("Cancelled.");
    return result;
  }
  const QString class_list = write_target(class_list_path(plan.folder));
  const auto write = [](const QString& path, bool keep, const QByteArray& bytes, Sync sync) {
    return keep ? write_file_atomically(path, bytes, ExistingFile::kReplace, sync)
                : remove_file_if_present(path);
  };
  std::vector<char> written(static_cast<size_t>(n_changes), 0);
  std::atomic<bool> failed{false};
  QStringList failures;
  JobOptions write_options;
  write_options.stop = &failed;
  // The writes wait on the file system (a rename holds the folder's lock),
  // not on the cores: more of them in flight than cores.
  write_options.threads = 8;
  if (control) {
    write_options.progress = [control](int done, int total) { control->progress(done, total); };
  }
  // Label files in parallel, then the class list: a folder is never left with
  // the new names over the old ids.
  const auto write_range = [&](int first, int count) {
    run_job(
        count,
        [&, first](int k) {  // run_job's threads
          const FileChange& c = plan.changes[first + k];
          QString error = write(c.path, c.keep, c.after, Sync::kLater);
          if (error.isEmpty()) written[static_cast<size_t>(first + k)] = 1;
          return error;
        },
        [&, first](int k, const QString& error) {
          if (error.isEmpty()) return;
          failures.push_back(plan.changes[first + k].path + QStringLiteral(": ") + error);
          failed = true;
        },
        [&, first](int k, const QString& reason) {
          failures.push_back(plan.changes[first + k].path + QStringLiteral(": ") + reason);
          failed = true;
        },
        write_options);
  };
  const bool last_is_list = n_changes > 0 && plan.changes.back().path == class_list;
  write_range(0, last_is_list ? n_changes - 1 : n_changes);
  if (!failed && last_is_list) write_range(n_changes - 1, 1);
  const QString flushed = sync_file_system(plan.folder);

  if (failed) {
    // Put back what was written, each file flushed.
    for (int i = 0; i < n_changes; ++i) {
      if (!written[static_cast<size_t>(i)]) continue;
      const FileChange& c = plan.changes[i];
      if (!write(c.path, c.existed, c.before, Sync::kEachFile).isEmpty()) {
        result.not_restored.push_back(c.path);
      }
    }
    result.error =
        QStringLiteral("Nothing was changed: a file could not be written.\n") + listing(failures);
    if (!result.not_restored.isEmpty()) {
      result.error = QStringLiteral(
                         "A file could not be written, and these files could not be "
                         "put back as they were:\n") +
                     listing(result.not_restored) + QStringLiteral("\n\n") + listing(failures);
    }
    return result;
  }
  result.flush_error = flushed;
  result.files_written = n_changes;
  pass.count(n_changes, n_changes);
  return result;
}

}  // namespace orvane
