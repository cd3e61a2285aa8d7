// Changing a folder's classes as a whole: renaming one, merging one into
// another, deleting one with its shapes, putting them in another order. Label
// lines name classes by position, so every label file of the folder and its
// classes.txt change together.
//
// A change is planned first (every file read, the new bytes made, nothing
// written), shown to the user, then applied: the files are checked against
// what the plan read and the folder is refused when any of them changed
// since; every file is then written atomically. An applied plan turned
// around (reversed()) is its undo: it puts back the old bytes of every file
// it wrote, once the files still hold what the change wrote.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <vector>

namespace orvane {

class JobControl;

enum class ClassEditKind { kRename, kMerge, kDelete, kReorder };

struct ClassEdit {
  ClassEditKind kind = ClassEditKind::kRename;
  int from = -1;           // rename, merge (the class merged away), delete
  int into = -1;           // merge: the class that takes over its shapes
  QString name;            // rename: the new name
  std::vector<int> order;  // reorder: order[new id] = old id, a permutation
};

// What an edit does to the class list: the new list and each old id's new
// id (-1: its shapes are deleted). `error` says why the edit cannot be made
// (an id outside the list, a name already taken, not a permutation).
struct ClassMapping {
  QStringList classes;
  std::vector<int> new_id;
  QString error;
};
ClassMapping map_classes(const QStringList& classes, const ClassEdit& edit);

// One file a plan writes: its bytes as read and as they become.
struct FileChange {
  QString path;  // the file written (a symbolic link's target)
  bool existed = false;
  QByteArray before;
  bool keep = true;  // false: the file is deleted (a label file left with no line)
  QByteArray after;
};

// One file a plan read but leaves as it is: checked again before writing.
struct FileCheck {
  QString path;
  bool existed = false;
  qint64 size = 0;
  std::size_t hash = 0;
};

struct ClassEditPlan {
  QString folder;
  QStringList classes_before, classes_after;
  std::vector<FileChange> changes;  // label files first, classes.txt last
  std::vector<FileCheck> checks;
  // The shapes of the class renamed, merged or deleted (reorder: the shapes
  // whose id changes) and the label files holding them.
  int shapes = 0;
  int shape_files = 0;
  int renumbered = 0;  // other shapes whose id shifts
  int kept_lines = 0;  // lines that could not be read, kept as they are
  // Why the change cannot be made (nothing is written); empty when it can.
  QString error;
  bool cancelled = false;

  int label_files_written() const;
  // The plan in words: "412 shapes in 37 files. 1,203 label files and
  // classes.txt are rewritten (9,876 other shapes renumbered)."
  QString summary() const;
  // The plan that undoes this one once it is applied.
  ClassEditPlan reversed() const;
};

// The label files of the images in `image_paths`, each once (a.jpg and a.png
// share a.txt), without classes.txt.
QStringList label_files_of(const QStringList& image_paths);

// Plans `edit` on the folder whose classes.txt is `folder`/classes.txt and
// whose label files are `label_files`. `expected_classes` is the class list
// the edit's ids refer to: a classes.txt that says otherwise is refused. Reads
// the files in parallel; off the GUI thread. `control` (may be null) stops it.
ClassEditPlan plan_class_edit(const QString& folder, const QStringList& label_files,
                              const QStringList& expected_classes, const ClassEdit& edit,
                              JobControl* control = nullptr);

struct ClassEditResult {
  // Why nothing was changed (a file changed since the plan, a write failed
  // and what was written was put back), or empty when every file was written.
  QString error;
  int files_written = 0;
  // Why the final flush of the written files failed (they were written).
  QString flush_error;
  // Files whose old bytes could not be put back after a failed write.
  QStringList not_restored;
};

// Applies `plan`: refuses it when a file differs from what the plan read,
// else writes every change atomically (in parallel, one flush at the end).
// A write that fails puts back the files already written. Off the GUI thread.
ClassEditResult apply_class_edit(const ClassEditPlan& plan, JobControl* control = nullptr);

}  // namespace orvane
