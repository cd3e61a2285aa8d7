#include "labels/label_document.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <optional>

#include "support/test_files.h"

using namespace orvane;

namespace {

using Bytes = std::optional<QByteArray>;  // nullopt: no file

Bytes file_bytes(const QString& path) {
  if (!QFileInfo::exists(path)) return std::nullopt;
  return read_file(path);
}

// In pixels: on a 100 x 100 image "0.1 0.1 0.6 0.1 0.6 0.6".
QPolygonF triangle() { return QPolygonF({QPointF(10, 10), QPointF(60, 10), QPointF(60, 60)}); }

// Each load forgets what the previous one read (one document for every case,
// as one editor shows image after image): shapes, kept lines, errors, bytes.
TEST(LabelDocument, LoadReadsShapesKeptLinesAndErrors) {
  QTemporaryDir dir;
  const QString image = dir.filePath("a b.png"), label = dir.filePath("a b.txt");
  const struct {
    const char* name;
    Bytes bytes;  // nullopt: missing; "<dir>": a folder in its place
    int width;
    size_t shapes;
    QByteArrayList kept;
    bool error;
    QString read_error;
  } cases[] = {
      {"shapes and unknown ids",
       "0 0.1 0.1 0.6 0.1 0.6 0.6\n\n7 0.1 0.1 0.2 0.2 0.3 0.3\n0 0.5 0.5 0.2 0.2\n",
       100,
       2,
       {"7 0.1 0.1 0.2 0.2 0.3 0.3"},
       false,
       ""},
      {"missing", std::nullopt, 100, 0, {}, false, ""},
      {"bad line",
       "0 0.1 0.1 0.6 0.1 0.6 0.6\r\ncat 1 2 3 4 5 6\r\n0 0.5 0.5 0.2 0.2\r\n",
       100,
       1,
       {"cat 1 2 3 4 5 6", "0 0.5 0.5 0.2 0.2"},
       true,
       ""},
      {"unreadable", "<dir>", 100, 0, {}, true, "Cannot read a b.txt: Is a directory"},
      {"no image", "0 0.1 0.1 0.6 0.1 0.6 0.6\n7 1 1\n", 0, 0, {}, false, ""},
  };
  LabelDocument document;
  for (const auto& c : cases) {
    QDir(label).removeRecursively();
    QFile::remove(label);
    if (c.bytes == "<dir>") {
      ASSERT_TRUE(QDir().mkpath(label));
    } else if (c.bytes) {
      write_file(label, *c.bytes);
    }
    document.show(image);
    const LabelLoad loaded = document.load(image, c.width, 100, 1);
    EXPECT_EQ(loaded.shapes.size(), c.shapes) << c.name;
    EXPECT_EQ(document.kept_lines(), c.kept) << c.name;
    EXPECT_EQ(!loaded.error.isEmpty(), c.error) << c.name;
    EXPECT_EQ(document.label_read_error(), c.read_error) << c.name;
    EXPECT_EQ(document.read_only_reason(), c.read_error) << c.name;
    const bool read = c.bytes && c.bytes != "<dir>" && c.width > 0;
    EXPECT_EQ(document.bytes_on_disk(), read ? c.bytes : std::nullopt) << c.name;
  }
}

// Saving as the editor does: what the label file holds afterwards. Another
// program's bytes put in the file after the load show whether it was touched.
TEST(LabelDocument, WritesShapeLinesThenKeptLinesOnlyWhenTheyChangeTheFile) {
  QTemporaryDir dir;
  const QString image = dir.filePath("a.png"), label = dir.filePath("a.txt");
  const QByteArray kOther = "1 0.9 0.9 0.8 0.8 0.7 0.7\n";
  const QByteArray kExact = "0 0.100000 0.200000 0.300000 0.400000 0.500000 0.600000\n";
  enum class Edit { kNone, kMoved, kMarked, kAddTriangle, kRemoveAll };
  const struct {
    const char* name;
    Bytes before;
    Edit edit;
    std::optional<LabelWrite::Status> status;  // nullopt: nothing to write
    Bytes after;
  } cases[] = {
      {"untouched", "1 0.5 0.5 0.2 0.2\n", Edit::kNone, std::nullopt, kOther},
      {"moved: the box line becomes corners, the unknown id stays last",
       "7 0.1 0.1 0.2 0.2 0.3 0.3\n1 0.5 0.5 0.2 0.2\n", Edit::kMoved, LabelWrite::Status::kWritten,
       "1 0.400000 0.400000 0.600000 0.400000 0.600000 0.600000 0.400000 0.600000\n"
       "7 0.1 0.1 0.2 0.2 0.3 0.3\n"},
      {"byte for byte the same", kExact, Edit::kMarked, LabelWrite::Status::kUnchanged, kOther},
      {"line ends", "0 0.100000 0.200000 0.300000 0.400000 0.500000 0.600000\r\n", Edit::kMarked,
       LabelWrite::Status::kWritten, kExact},
      {"added to a new file", std::nullopt, Edit::kAddTriangle, LabelWrite::Status::kWritten,
       "1 0.050000 0.100000 0.300000 0.100000 0.300000 0.600000\n"},
      {"all removed", kExact, Edit::kRemoveAll, LabelWrite::Status::kWritten, std::nullopt},
      {"removed, unknown id kept", "7 1 1\n" + kExact, Edit::kRemoveAll,
       LabelWrite::Status::kWritten, "7 1 1\n"},
      {"nothing to no file", std::nullopt, Edit::kRemoveAll, LabelWrite::Status::kUnchanged,
       kOther},
  };
  for (const auto& c : cases) {
    QFile::remove(label);
    if (c.before) write_file(label, *c.before);
    LabelDocument document;
    document.show(image);
    std::vector<LabelShape> shapes = document.load(image, 200, 100, 2).shapes;
    write_file(label, kOther);
    if (c.edit == Edit::kAddTriangle) shapes.push_back({1, triangle(), "Polygon"});
    if (c.edit == Edit::kRemoveAll) shapes.clear();
    if (c.edit != Edit::kNone && c.edit != Edit::kMoved) document.mark_changed();

    const bool moved = c.edit == Edit::kMoved;
    ASSERT_EQ(document.needs_write(moved), c.status.has_value()) << c.name;
    if (c.status) {
      const LabelWrite written = document.write(shapes);
      EXPECT_EQ(written.status, *c.status) << c.name;
      EXPECT_EQ(written.error, QString()) << c.name;
      EXPECT_FALSE(document.changed()) << c.name;
      EXPECT_FALSE(document.needs_write(false)) << c.name;
      if (written.status == LabelWrite::Status::kWritten) {
        EXPECT_EQ(document.bytes_on_disk(), c.after) << c.name;
      }
    }
    EXPECT_EQ(file_bytes(label), c.after) << c.name;
  }
}

// What stops every write of the label file, and of the class list.
TEST(LabelDocument, RefusesToWriteWithoutAnImageOrWhatItDependsOnUnreadable) {
  QTemporaryDir dir;
  const QString image = dir.filePath("a.png"), label = dir.filePath("a.txt");
  const QString classes = LabelDocument::classes_path(dir.path());
  enum class Setup {
    kNeverShown,
    kClosed,
    kNotLoaded,
    kEmptyImage,
    kLabelUnreadable,
    kClassesUnreadable
  };
  const struct {
    Setup setup;
    const char* name;
    QString reason;  // why the shapes are read-only
  } cases[] = {
      {Setup::kNeverShown, "never shown", ""},
      {Setup::kClosed, "closed", ""},
      {Setup::kNotLoaded, "shown, not loaded", ""},
      {Setup::kEmptyImage, "empty image", ""},
      {Setup::kLabelUnreadable, "label file", "Cannot read a.txt: Is a directory"},
      {Setup::kClassesUnreadable, "classes.txt", "Cannot read classes.txt: Is a directory"},
  };
  for (const auto& [setup, name, reason] : cases) {
    QDir(label).removeRecursively();
    QDir(classes).removeRecursively();
    write_file(classes, "cat\n");
    if (setup == Setup::kLabelUnreadable) {
      ASSERT_TRUE(QDir().mkpath(label));
    }
    if (setup == Setup::kClassesUnreadable) {
      QFile::remove(classes);
      ASSERT_TRUE(QDir().mkpath(classes));
    }
    LabelDocument document;
    const ClassListFile class_file = document.read_classes(dir.path());
    EXPECT_EQ(class_file.names,
              setup == Setup::kClassesUnreadable ? QStringList() : QStringList{"cat"});
    if (setup != Setup::kNeverShown) document.show(image);
    if (setup != Setup::kNeverShown && setup != Setup::kNotLoaded) {
      document.load(image, setup == Setup::kEmptyImage ? 0 : 100, 100, 1);
    }
    if (setup == Setup::kClosed) document.close();
    document.mark_changed();
    EXPECT_EQ(document.read_only_reason(), reason) << name;
    EXPECT_FALSE(document.needs_write(true)) << name;
    const LabelWrite written = document.write({{0, triangle(), "Polygon"}});
    EXPECT_EQ(written.status, LabelWrite::Status::kRefused) << name;
    EXPECT_FALSE(written.error.isEmpty()) << name;
    if (!reason.isEmpty()) {
      EXPECT_EQ(written.error, reason) << name;
    }
    EXPECT_EQ(QFileInfo(label).isDir(), setup == Setup::kLabelUnreadable) << name;
    EXPECT_FALSE(QFileInfo(label).isFile()) << name;
    // The class list is written unless it could not be read.
    EXPECT_EQ(document.write_classes(dir.path(), {"dog"}), document.classes_read_error()) << name;
    if (setup != Setup::kClassesUnreadable) {
      EXPECT_EQ(read_file(classes), "dog\n") << name;
    }
  }
  EXPECT_TRUE(QFileInfo(classes).isDir());
}

// A failed write is no save: the change is still there to be written, and the
// bytes on disk are still those read. Reading a class list again lifts a stop.
TEST(LabelDocument, FailedWriteStaysChangedAndReadableClassListLiftsTheStop) {
  QTemporaryDir dir;
  const QString image = dir.filePath("a.png"), label = dir.filePath("a.txt");
  const QString classes = LabelDocument::classes_path(dir.path());
  ASSERT_TRUE(QDir().mkpath(classes));
  LabelDocument document;
  EXPECT_FALSE(document.read_classes(dir.path()).error.isEmpty());
  document.show(image);
  document.load(image, 100, 100, 1);
  ASSERT_TRUE(QDir().rmdir(classes));
  document.read_classes(dir.path());
  EXPECT_EQ(document.write_classes("", {"cat"}), QString());  // no folder: nothing to do
  EXPECT_EQ(document.write_classes(dir.path(), {"cat"}), QString());
  EXPECT_EQ(read_file(classes), "cat\n");

  ASSERT_TRUE(QDir().mkpath(label));  // squats on the name after the load
  document.mark_changed();
  ASSERT_TRUE(document.needs_write(false));
  const std::vector<LabelShape> shapes = {{0, triangle(), "Polygon"}};
  const LabelWrite failed = document.write(shapes);
  EXPECT_EQ(failed.status, LabelWrite::Status::kFailed);
  EXPECT_FALSE(failed.error.isEmpty());
  EXPECT_TRUE(document.needs_write(false));
  EXPECT_EQ(document.bytes_on_disk(), std::nullopt);
  ASSERT_TRUE(QDir().rmdir(label));
  EXPECT_EQ(document.write(shapes).status, LabelWrite::Status::kWritten);
  EXPECT_EQ(read_file(label), "0 0.100000 0.100000 0.600000 0.100000 0.600000 0.600000\n");
  EXPECT_EQ(document.label_path(), label);
}

}  // namespace
