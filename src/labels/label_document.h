// LabelDocument: the label file of the image shown for editing, and the rules
// of when it is read, written or left alone. It keeps what the editor's shapes
// do not: the lines that did not become shapes, why the file or the folder's
// classes.txt could not be read, and the file's bytes as last read or written.
// It knows nothing of widgets: the editor hands it the shapes as plain data.
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "labels/class_list.h"
#include "labels/label_file.h"

namespace orvane {

// What reading an image's label file gives the editor.
struct LabelLoad {
  // The lines that became shapes, ids naming entries of the class list.
  std::vector<LabelShape> shapes;
  // The first line that could not be read (the other lines were read all the
  // same), or why the file could not be read at all; empty when all went well.
  QString error;
};

// The outcome of writing the label file.
struct LabelWrite {
  enum class Status {
    kRefused,    // no image is shown, or a file it depends on could not be read
    kUnchanged,  // the file already holds these bytes: left as it is
    kWritten,    // replaced, or deleted because it would hold nothing
    // Another program changed the file since it was read: it was not
    // replaced but read again, with the shapes added since appended to it.
    kReloaded,
    kFailed,
  };
  Status status = Status::kRefused;
  QString error;  // kRefused, kFailed: why
  // kReloaded, and kFailed after a reload: the shapes to show now, those of
  // the file as read again first. Shapes that could not be appended to it
  // follow, not from the file, to be written by the next save.
  std::optional<std::vector<LabelShape>> reloaded;
};

// The outcome of adding names to classes.txt.
struct ClassWrite {
  QString error;  // why nothing was written
  // Without an error: the class list as the file now holds it.
  QStringList classes;
  // Another program had changed the file since it was read: its names were
  // taken in, and the new ones were added after them.
  bool reloaded = false;
};

class LabelDocument {
 public:
  // --- the folder's class list ---

  // The class list file of `folder`.
  static QString classes_path(const QString& folder);
  // Reads the class list of `folder`. When it exists but cannot be read, no
  // label file and no class list is written until a class list is read again:
  // writing would give the ids of every label file of the folder new meanings.
  ClassListFile read_classes(const QString& folder);
  // Adds to the class list file of `folder` the names of `classes` that it
  // does not hold, after the lines it holds, which stay byte for byte: the
  // file is only ever extended, even when another program changed it since
  // it was read. Nothing happens without a folder.
  ClassWrite write_classes(const QString& folder, const QStringList& classes);
  // Whether the folder held a class list when it was last read or written.
  bool has_class_list() const { return classes_on_disk_.has_value(); }
  // "Cannot read classes.txt: ..." after a failed read_classes, else empty.
  const QString& classes_read_error() const { return classes_read_error_; }

  // --- the shown image ---

  // `image_path` is now the shown image; nothing of the previous image's
  // label file is kept.
  void show(const QString& image_path);
  // No image is shown: nothing can be written.
  void close();
  // Reads the label file of `image_path` for an image of `width` x `height`
  // pixels (nothing is read for an empty image) and a class list of
  // `class_count` names. The shapes written later are normalised to this size.
  // A file that exists but cannot be read makes the shapes read-only. The
  // shapes come back marked as from the file.
  LabelLoad load(const QString& image_path, int width, int height, int class_count);

  bool has_image() const { return !image_path_.isEmpty(); }
  const QString& image_path() const { return image_path_; }
  QString label_path() const;
  // "Cannot read NAME.txt: ..." when the shown image's label file could not be
  // read, else empty.
  const QString& label_read_error() const { return label_read_error_; }
  // Why the shapes of the shown image may not change (the class list's reason
  // first), or an empty text.
  const QString& read_only_reason() const;

  // --- changes and writing ---

  // The shapes were added, removed or replaced.
  void mark_changed() { changed_ = true; }
  // Whether saving now writes: an image is shown, nothing makes its shapes
  // read-only, and they changed since the file was read or written (or were
  // dragged: `shapes_moved`). Shapes untouched since then leave the file as
  // it is, since rewriting would change how its lines are written (box
  // lines, rounding, line ends).
  bool needs_write(bool shapes_moved) const;
  // Writes `shapes` (image pixels; ids naming entries of a class list of
  // `class_count` names) as the label file: their lines, then the lines kept
  // from reading, each ending with a line feed. A file that would come out
  // byte for byte the same is not rewritten; one that would hold nothing is
  // deleted. Once written (or found the same) the shapes count as unchanged.
  //
  // The file is first checked against what was last read or written, byte
  // for byte. When another program changed it, nothing of it is
  // replaced: it is read again, the shapes not from the file (added since)
  // are appended to it as it now is, and every other change (moved or
  // deleted shapes) gives way to the other program's; notice() says so.
  LabelWrite write(const std::vector<LabelShape>& shapes, int class_count);

  // The lines of the label file that did not become shapes, in file order.
  const QByteArrayList& kept_lines() const { return kept_lines_; }
  // The label file's bytes as last read or written; nullopt when there is
  // no file.
  const std::optional<QByteArray>& bytes_on_disk() const { return on_disk_; }

  // For the status line: the lines of the shown file that are not shown and
  // why ("" when all are); what happened when a file had been changed by
  // another program ("" when none was).
  QString unshown_lines() const;
  QString notice() const;

 private:
  // A file as it is on disk now.
  struct DiskFile {
    std::optional<QByteArray> bytes;  // nullopt: no file
    QString error;                    // it exists but cannot be read
  };
  static DiskFile look_at(const QString& path);
  // Takes `file` as the label file last read, with `class_count` classes.
  LabelLoad adopt_label_file(DiskFile file, int class_count);
  // The label file changed behind our back: see write().
  LabelWrite reload(const std::vector<LabelShape>& shapes, DiskFile now, int class_count);

  // Forgets what was known of the label file.
  void forget_label_file();
  // Every replacement or deletion of the shown image's label file goes
  // through here, so that what is on disk stays known.
  QString replace_label_file(const QByteArray& content);

  QString classes_read_error_;
  std::optional<QByteArray> classes_on_disk_;
  QString classes_notice_;

  QString image_path_;  // "" when no image is shown
  int width_ = 0;
  int height_ = 0;
  QByteArrayList kept_lines_;
  UnshownCounts unshown_{};
  QString label_read_error_;
  std::optional<QByteArray> on_disk_;
  // The shapes of the file as last read or written: what the shapes marked
  // as from the file were before the user changed them.
  std::vector<LabelShape> saved_shapes_;
  QString label_notice_;
  bool changed_ = false;
};

}  // namespace orvane
