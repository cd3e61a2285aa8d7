#include "labels/label_document.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <ctime>
#include <functional>
#include <optional>

#include "labels/label_carry.h"
#include "support/test_files.h"

using namespace orvane;

namespace {

using Bytes = std::optional<QByteArray>;  // nullopt: no file
const QByteArray kFolder = "<dir>";       // a folder in the file's place

void place(const QString& path, const Bytes& bytes) {
  QDir(path).removeRecursively();
  QFile::remove(path);
  if (bytes == kFolder) {
    ASSERT_TRUE(QDir().mkpath(path));
  } else if (bytes) {
    write_file(path, *bytes);
  }
}

Bytes file_bytes(const QString& path) {
  return QFileInfo::exists(path) ? Bytes(read_file(path)) : std::nullopt;
}

// On a 100 x 100 image "0.1 0.1 0.6 0.1 0.6 0.6"; on 200 x 100 "0.05 0.1 0.3 0.1 0.3 0.6".
const LabelShape kTriangle{1, QPolygonF({QPointF(10, 10), QPointF(60, 10), QPointF(60, 60)}),
                           "Polygon"};

// One document for every case, as one editor shows image after image: each
// load forgets what the previous one read.
TEST(LabelDocument, LoadReadsShapesKeptLinesAndErrors) {
  QTemporaryDir dir;
  const QString image = dir.filePath("a b.png"), label = dir.filePath("a b.txt");
  const struct {
    Bytes bytes;
    int width;
    size_t shapes;
    QByteArrayList kept;
    bool error;
    QString read_error;
  } cases[] = {
      {"0 0.1 0.1 0.6 0.1 0.6 0.6\n\n7 0.1 0.1 0.2 0.2 0.3 0.3\n0 0.5 0.5 0.2 0.2\n",
       100,
       2,
       {"7 0.1 0.1 0.2 0.2 0.3 0.3"},
       false,
       ""},
      {std::nullopt, 100, 0, {}, false, ""},
      {"0 0.1 0.1 0.6 0.1 0.6 0.6\r\ncat 1 2 3 4 5 6\r\n0 0.5 0.5 0.2 0.2\r\n",
       100,
       2,
       {"cat 1 2 3 4 5 6"},
       true,
       ""},
      {kFolder, 100, 0, {}, true, "Cannot read a b.txt: Is a directory"},
      {"0 0.1 0.1 0.6 0.1 0.6 0.6\n7 1 1\n", 0, 0, {}, false, ""},  // no image: nothing read
  };
  LabelDocument document;
  for (const auto& c : cases) {
    const std::string name = c.bytes.value_or("missing").toStdString();
    place(label, c.bytes);
    document.show(image);
    const LabelLoad loaded = document.load(image, c.width, 100, 1);
    EXPECT_EQ(loaded.shapes.size(), c.shapes) << name;
    EXPECT_EQ(document.kept_lines(), c.kept) << name;
    EXPECT_EQ(!loaded.error.isEmpty(), c.error) << name;
    EXPECT_EQ(document.label_read_error(), c.read_error) << name;
    const bool read = c.bytes != kFolder && c.width > 0;
    EXPECT_EQ(document.bytes_on_disk(), read ? c.bytes : std::nullopt) << name;
  }
}

// An image named classes.* would have the class list as its label file: it
// gets none, whatever its extension, and a write never reaches the list.
TEST(LabelDocument, AnImageNamedClassesHasNoLabelFile) {
  QTemporaryDir dir;
  const QByteArray names = "cat\ndog\n";
  place(dir.filePath("classes.txt"), names);
  for (const char* image_name : {"classes.jpg", "classes.PNG"}) {
    const QString image = dir.filePath(image_name);
    LabelDocument document;
    document.show(image);
    EXPECT_TRUE(document.load(image, 100, 100, 2).shapes.empty()) << image_name;
    EXPECT_EQ(
        document.read_only_reason(),
        QString(image_name) + " cannot have a label file: it would be the folder's classes.txt.");
    document.mark_changed();
    const LabelWrite written =
        document.write({LabelShape{0, QPolygonF({{1, 1}, {50, 1}, {50, 50}}), "Polygon"}}, 2);
    EXPECT_EQ(written.status, LabelWrite::Status::kRefused) << image_name;
    EXPECT_EQ(read_file(dir.filePath("classes.txt")), names) << image_name;
    // The batch jobs carry nothing from it either.
    EXPECT_FALSE(read_source_labels(image, QSize(100, 100), read_source_classes(dir.path())).found);
  }
}

ino_t inode_of(const QString& path) {
  struct stat info {};
  ::stat(QFile::encodeName(path).constData(), &info);
  return info.st_ino;
}

// Saving as the editor does. A file that is not written keeps its inode.
TEST(LabelDocument, WritesShapeLinesThenKeptLinesOnlyWhenTheFileChanges) {
  QTemporaryDir dir;
  const QString image = dir.filePath("a.png"), label = dir.filePath("a.txt");
  const QByteArray kExact = "0 0.100000 0.200000 0.300000 0.400000 0.500000 0.600000\n";
  enum class Edit { kNone, kMoved, kMarked, kAdded, kAllRemoved };
  using enum LabelWrite::Status;
  const struct {
    Bytes before;
    Edit edit;
    std::optional<LabelWrite::Status> status;  // nullopt: nothing to write
    Bytes after;
  } cases[] = {
      {"1 0.5 0.5 0.2 0.2\n", Edit::kNone, std::nullopt, "1 0.5 0.5 0.2 0.2\n"},
      // The box line becomes its corners; the unknown id goes last.
      {"7 0.1 0.1 0.2 0.2 0.3 0.3\n1 0.5 0.5 0.2 0.2\n", Edit::kMoved, kWritten,
       "1 0.400000 0.400000 0.600000 0.400000 0.600000 0.600000 0.400000 0.600000\n"
       "7 0.1 0.1 0.2 0.2 0.3 0.3\n"},
      {kExact, Edit::kMarked, kUnchanged, kExact},
      {"0 0.100000 0.200000 0.300000 0.400000 0.500000 0.600000\r\n", Edit::kMarked, kWritten,
       kExact},
      {std::nullopt, Edit::kAdded, kWritten,
       "1 0.050000 0.100000 0.300000 0.100000 0.300000 0.600000\n"},
      {kExact, Edit::kAllRemoved, kWritten, std::nullopt},
      {"7 1 1\n" + kExact, Edit::kAllRemoved, kWritten, "7 1 1\n"},
      {std::nullopt, Edit::kAllRemoved, kUnchanged, std::nullopt},
  };
  for (const auto& c : cases) {
    const std::string name = c.before.value_or("missing").toStdString();
    place(label, c.before);
    const ino_t before = inode_of(label);
    LabelDocument document;
    document.show(image);
    std::vector<LabelShape> shapes = document.load(image, 200, 100, 2).shapes;
    if (c.edit == Edit::kAdded) shapes.push_back(kTriangle);
    if (c.edit == Edit::kAllRemoved) shapes.clear();
    if (c.edit != Edit::kNone && c.edit != Edit::kMoved) document.mark_changed();

    ASSERT_EQ(document.needs_write(c.edit == Edit::kMoved), c.status.has_value()) << name;
    if (c.status) {
      const LabelWrite written = document.write(shapes, 2);
      EXPECT_EQ(written.status, *c.status) << name;
      EXPECT_FALSE(document.needs_write(false)) << name;
      EXPECT_EQ(document.bytes_on_disk(), c.after) << name;
    }
    EXPECT_EQ(file_bytes(label), c.after) << name;
    if (c.status != kWritten && c.before) {
      EXPECT_EQ(inode_of(label), before) << name;
    }
  }
}

// Another program changes the file between the load and the save: its bytes
// stay, only shapes added since are appended, and the editor is told.
TEST(LabelDocument, AFileChangedElsewhereIsReloadedWithTheNewShapesAppended) {
  QTemporaryDir dir;
  const QString image = dir.filePath("a.png"), label = dir.filePath("a.txt");
  const QByteArray kRead = "0 0.1 0.1 0.2 0.1 0.2 0.2\n";
  const QByteArray kAdded = "1 0.050000 0.100000 0.300000 0.100000 0.300000 0.600000\n";
  enum class Edit { kAdd, kDelete, kMoveAndAdd };
  const struct {
    const char* name;
    Bytes other;  // the other program's file
    Edit edit;
    Bytes after;
    size_t shapes;  // shown after the reload
    QString notice;
  } cases[] = {
      {"line added", kRead + "7 9 9\r\n", Edit::kAdd, kRead + "7 9 9\r\n" + kAdded, 2,
       "Another program changed a.txt: it was read again, and your 1 new shape(s) were added to "
       "it."},
      {"no line end", "1 0.5 0.5 0.2 0.2", Edit::kAdd, "1 0.5 0.5 0.2 0.2\n" + kAdded, 2,
       "Another program changed a.txt: it was read again, and your 1 new shape(s) were added to "
       "it."},
      {"deleted", std::nullopt, Edit::kAdd, kAdded, 1,
       "Another program changed a.txt: it was read again, and your 1 new shape(s) were added to "
       "it."},
      {"rewritten", "1 0.5 0.5 0.2 0.2\n", Edit::kDelete, "1 0.5 0.5 0.2 0.2\n", 1,
       "Another program changed a.txt: it was read again; your other changes (moved or deleted "
       "shapes) were not saved."},
      {"a value changed", "0 0.1 0.1 0.2 0.1 0.2 0.3\n", Edit::kMoveAndAdd,
       "0 0.1 0.1 0.2 0.1 0.2 0.3\n" + kAdded, 2,
       "Another program changed a.txt: it was read again, and your 1 new shape(s) were added to "
       "it; your other changes (moved or deleted shapes) were not saved."},
  };
  for (const auto& c : cases) {
    place(label, kRead);
    LabelDocument document;
    document.show(image);
    std::vector<LabelShape> shapes = document.load(image, 200, 100, 2).shapes;
    ASSERT_EQ(shapes.size(), 1u) << c.name;
    place(label, c.other);
    if (c.edit == Edit::kDelete) shapes.clear();
    if (c.edit == Edit::kMoveAndAdd) shapes[0].points.translate(1, 0);
    if (c.edit != Edit::kDelete) shapes.push_back(kTriangle);
    document.mark_changed();
    const LabelWrite written = document.write(shapes, 2);
    EXPECT_EQ(written.status, LabelWrite::Status::kReloaded) << c.name;
    ASSERT_TRUE(written.reloaded) << c.name;
    EXPECT_EQ(written.reloaded->size(), c.shapes) << c.name;
    EXPECT_EQ(file_bytes(label), c.after) << c.name;
    EXPECT_EQ(document.bytes_on_disk(), c.after) << c.name;
    EXPECT_EQ(document.notice(), c.notice) << c.name;
    EXPECT_FALSE(document.needs_write(false)) << c.name;
    // What was read again is what the next save is checked against.
    std::vector<LabelShape> again = *written.reloaded;
    again.push_back(kTriangle);
    document.mark_changed();
    EXPECT_EQ(document.write(again, 2).status, LabelWrite::Status::kWritten) << c.name;
  }
}

// classes.txt only ever grows by names it lacks, whatever was read before.
TEST(LabelDocument, ClassListIsOnlyExtendedByNamesTheFileLacks) {
  QTemporaryDir dir;
  const QString path = LabelDocument::classes_path(dir.path());
  const struct {
    const char* name;
    Bytes read, other;  // what was read; what another program left there
    QStringList wanted;
    Bytes after;
    QStringList classes;
    bool reloaded;
  } cases[] = {
      {"unchanged",
       "cat\ndog\ncat\n",
       "cat\ndog\ncat\n",
       {"cat", "dog", "cat", "eel"},
       "cat\ndog\ncat\neel\n",
       {"cat", "dog", "cat", "eel"},
       false},
      {"a name lost here",
       "cat\ndog\n",
       "cat\ndog\n",
       {"cat", "eel"},
       "cat\ndog\neel\n",
       {"cat", "dog", "eel"},
       false},
      {"extended elsewhere",
       "cat\n",
       "\xEF\xBB\xBF"
       "cat\r\nbird",
       {"cat", "eel"},
       "\xEF\xBB\xBF"
       "cat\r\nbird\neel\n",
       {"cat", "bird", "eel"},
       true},
      {"the name added elsewhere too",
       "cat\n",
       "cat\neel\n",
       {"cat", "eel"},
       "cat\neel\n",
       {"cat", "eel"},
       true},
      {"carried over, then created elsewhere",
       std::nullopt,
       "dog\n",
       {"cat", "eel"},
       "dog\ncat\neel\n",
       {"dog", "cat", "eel"},
       true},
      {"carried over",
       std::nullopt,
       std::nullopt,
       {"cat", "eel"},
       "cat\neel\n",
       {"cat", "eel"},
       false},
  };
  for (const auto& c : cases) {
    place(path, c.read);
    LabelDocument document;
    document.read_classes(dir.path());
    place(path, c.other);
    const ClassWrite written = document.write_classes(dir.path(), c.wanted);
    EXPECT_EQ(written.error, "") << c.name;
    EXPECT_EQ(file_bytes(path), c.after) << c.name;
    EXPECT_EQ(written.classes, c.classes) << c.name;
    EXPECT_EQ(written.reloaded, c.reloaded) << c.name;
  }
}

// What stops every write of the label file; the class list is written unless
// it is the file that could not be read.
TEST(LabelDocument, RefusesWritesWithoutAnImageOrWithAnUnreadableFile) {
  QTemporaryDir dir;
  const QString image = dir.filePath("a.png"), label = dir.filePath("a.txt");
  const QString classes = LabelDocument::classes_path(dir.path());
  const auto shown = [&](int width) {
    return [&, width](LabelDocument& d) {
      d.show(image);
      d.load(image, width, 100, 1);
    };
  };
  const struct {
    const char* name;
    Bytes label_bytes, class_bytes;
    std::function<void(LabelDocument&)> steps;
    bool shown;      // an image is shown
    QString reason;  // why its shapes are read-only
  } cases[] = {
      {"never shown", std::nullopt, "cat\n", [](LabelDocument&) {}, false, ""},
      {"closed", std::nullopt, "cat\n",
       [&](LabelDocument& d) {
         shown(100)(d);
         d.close();
       },
       false, ""},
      {"empty image", std::nullopt, "cat\n", shown(0), true, ""},
      {"label file", kFolder, "cat\n", shown(100), true, "Cannot read a.txt: Is a directory"},
      {"classes.txt", std::nullopt, kFolder, shown(100), true,
       "Cannot read classes.txt: Is a directory"},
  };
  for (const auto& c : cases) {
    place(label, c.label_bytes);
    place(classes, c.class_bytes);
    LabelDocument document;
    document.read_classes(dir.path());
    c.steps(document);
    document.mark_changed();
    EXPECT_EQ(document.label_path(), c.shown ? label : QString()) << c.name;
    EXPECT_EQ(document.read_only_reason(), c.reason) << c.name;
    EXPECT_FALSE(document.needs_write(true)) << c.name;
    const LabelWrite written = document.write({kTriangle}, 2);
    EXPECT_EQ(written.status, LabelWrite::Status::kRefused) << c.name;
    EXPECT_FALSE(written.error.isEmpty()) << c.name;
    EXPECT_EQ(file_bytes(label), c.label_bytes == kFolder ? Bytes("") : std::nullopt) << c.name;
    EXPECT_EQ(document.write_classes(dir.path(), {"dog"}).error, document.classes_read_error())
        << c.name;
    // Extended, never replaced.
    EXPECT_EQ(file_bytes(classes), c.class_bytes == kFolder ? Bytes("") : Bytes("cat\ndog\n"))
        << c.name;
  }
}

// A failed write is no save: the change is still there to be written.
TEST(LabelDocument, FailedWriteStaysChanged) {
  QTemporaryDir dir;
  const QString image = dir.filePath("a.png"), label = dir.filePath("a.txt");
  LabelDocument document;
  document.show(image);
  document.load(image, 100, 100, 2);
  place(label, kFolder);  // squats on the name after the load
  document.mark_changed();
  const LabelWrite failed = document.write({kTriangle}, 2);
  EXPECT_EQ(failed.status, LabelWrite::Status::kFailed);
  EXPECT_FALSE(failed.error.isEmpty());
  EXPECT_TRUE(document.needs_write(false));
  EXPECT_EQ(document.bytes_on_disk(), std::nullopt);
  ASSERT_TRUE(QDir().rmdir(label));
  EXPECT_EQ(document.write({kTriangle}, 2).status, LabelWrite::Status::kWritten);
  EXPECT_EQ(read_file(label), "1 0.100000 0.100000 0.600000 0.100000 0.600000 0.600000\n");
}

}  // namespace
