#include "labels/class_edit.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <map>
#include <optional>

#include "support/test_files.h"

using namespace orvane;

namespace {

using Bytes = std::optional<QByteArray>;  // nullopt: no file
using Folder = std::map<QString, Bytes>;  // file name -> bytes

const QByteArray kTri = " 0.1 0.1 0.2 0.2 0.3 0.3";
// a.txt: CRLF, a box line, an unknown id, an unreadable line, blanks around
// an id and no final line feed; a.jpg and a.png share it.
const Folder kBefore = {
    {"classes.txt", "cat\ndog\nbird\nfish\n"},
    {"a.txt", "0" + kTri + "\r\n2 0.5 0.5 0.2 0.2\n9" + kTri + "\nx junk\n  3  0.1 0.2 0.3 0.4"},
    {"b.txt", "1" + kTri + "\n"},
    {"c.txt", "2" + kTri + "\n"},
};
const QStringList kImages = {"a.jpg", "a.png", "b.jpg", "c.png", "d.png"};

void place(const QString& dir, const Folder& files) {
  for (const auto& [name, bytes] : files) {
    QFile::remove(dir + "/" + name);
    if (bytes) write_file(dir + "/" + name, *bytes);
  }
}

Folder on_disk(const QString& dir) {
  Folder files;
  for (const auto& [name, bytes] : kBefore) {
    const QString path = dir + "/" + name;
    files[name] = QFileInfo::exists(path) ? Bytes(read_file(path)) : std::nullopt;
  }
  return files;
}

ClassEdit rename(int from, const QString& name) {
  return {ClassEditKind::kRename, from, -1, name, {}};
}
ClassEdit merge(int from, int into) { return {ClassEditKind::kMerge, from, into, {}, {}}; }
ClassEdit remove(int from) { return {ClassEditKind::kDelete, from, -1, {}, {}}; }
ClassEdit reorder(std::vector<int> order) {
  return {ClassEditKind::kReorder, -1, -1, {}, std::move(order)};
}

ClassEditPlan plan(const QString& dir, const ClassEdit& edit) {
  QStringList images;
  for (const QString& name : kImages) images << dir + "/" + name;
  return plan_class_edit(dir, label_files_of(images), {"cat", "dog", "bird", "fish"}, edit);
}

// Each change planned, applied and undone; then planned again and refused
// because another program wrote one file after the plan.
TEST(ClassEdit, ChangesIdsKeepsUnreadLinesRefusesChangedFilesAndUndoes) {
  const struct {
    const char* what;
    ClassEdit edit;
    int shapes, shape_files, renumbered;
    Folder after;
    QString touched;  // the file changed between plan and apply
  } cases[] = {
      {"rename bird",
       rename(2, " owl "),
       2,
       2,
       0,
       {{"classes.txt", "cat\ndog\nowl\nfish\n"}},
       "classes.txt"},
      {"merge cat into bird",
       merge(0, 2),
       1,
       1,
       4,
       {{"classes.txt", "dog\nbird\nfish\n"},
        {"a.txt",
         "1" + kTri + "\r\n1 0.5 0.5 0.2 0.2\n9" + kTri + "\nx junk\n  2  0.1 0.2 0.3 0.4"},
        {"b.txt", "0" + kTri + "\n"},
        {"c.txt", "1" + kTri + "\n"}},
       "b.txt"},
      {"delete bird with its shapes",
       remove(2),
       2,
       2,
       1,
       {{"classes.txt", "cat\ndog\nfish\n"},
        {"a.txt", "0" + kTri + "\r\n9" + kTri + "\nx junk\n  2  0.1 0.2 0.3 0.4"},
        {"c.txt", std::nullopt}},
       "b.txt"},  // left as it is by the plan, checked all the same
      {"reverse the order",
       reorder({3, 2, 1, 0}),
       5,
       3,
       0,
       {{"classes.txt", "fish\nbird\ndog\ncat\n"},
        {"a.txt",
         "3" + kTri + "\r\n1 0.5 0.5 0.2 0.2\n9" + kTri + "\nx junk\n  0  0.1 0.2 0.3 0.4"},
        {"b.txt", "2" + kTri + "\n"},
        {"c.txt", "1" + kTri + "\n"}},
       "c.txt"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    QTemporaryDir dir;
    place(dir.path(), kBefore);
    const ClassEditPlan planned = plan(dir.path(), c.edit);
    ASSERT_EQ(planned.error, "");
    EXPECT_EQ(planned.shapes, c.shapes);
    EXPECT_EQ(planned.shape_files, c.shape_files);
    EXPECT_EQ(planned.renumbered, c.renumbered);
    EXPECT_EQ(planned.kept_lines, 2);
    EXPECT_EQ(on_disk(dir.path()), kBefore) << "planning wrote";

    const ClassEditResult applied = apply_class_edit(planned);
    ASSERT_EQ(applied.error, "");
    Folder expected = kBefore;
    for (const auto& [name, bytes] : c.after) expected[name] = bytes;
    EXPECT_EQ(on_disk(dir.path()), expected);
    EXPECT_EQ(applied.files_written, static_cast<int>(c.after.size()));

    const ClassEditPlan undo = planned.reversed();
    ASSERT_EQ(apply_class_edit(undo).error, "");
    EXPECT_EQ(on_disk(dir.path()), kBefore);
    // Undoing twice finds the files no longer as the change left them.
    EXPECT_NE(apply_class_edit(undo).error, "");
    EXPECT_EQ(on_disk(dir.path()), kBefore);

    const ClassEditPlan again = plan(dir.path(), c.edit);
    const QString touched = dir.filePath(c.touched);
    write_file(touched, read_file(touched) + "1" + kTri + "\n");
    Folder now = on_disk(dir.path());
    const ClassEditResult refused = apply_class_edit(again);
    EXPECT_TRUE(refused.error.contains(c.touched)) << refused.error.toStdString();
    EXPECT_EQ(on_disk(dir.path()), now);
  }
}

TEST(ClassEdit, RefusesEditsThatCannotBeMade) {
  QTemporaryDir dir;
  place(dir.path(), kBefore);
  const struct {
    const char* what;
    ClassEdit edit;
  } cases[] = {
      {"a name already taken", rename(0, "dog")},
      {"an empty name", rename(0, "  ")},
      {"a merge into itself", merge(1, 1)},
      {"an id beyond the list", remove(4)},
      {"a negative id", merge(-1, 0)},
      {"an order with a repeat", reorder({0, 0, 1, 2})},
      {"an order too short", reorder({1, 0})},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const ClassEditPlan planned = plan(dir.path(), c.edit);
    EXPECT_NE(planned.error, "");
    EXPECT_NE(apply_class_edit(planned).error, "");
    EXPECT_EQ(on_disk(dir.path()), kBefore);
  }

  // classes.txt no longer the list the ids refer to; a label file that cannot
  // be read, whose ids would then name the wrong classes.
  write_file(dir.filePath("classes.txt"), "cat\ndog\n");
  EXPECT_NE(plan(dir.path(), rename(0, "lion")).error, "");
  place(dir.path(), kBefore);
  ASSERT_TRUE(QDir().mkpath(dir.filePath("d.txt")));
  EXPECT_TRUE(plan(dir.path(), remove(0)).error.contains("d.txt"));
  EXPECT_EQ(plan(dir.path(), rename(0, "lion")).error, "");
}

TEST(ClassEdit, WritesThroughALinkedLabelFileAndKeepsTheLink) {
  QTemporaryDir dir;
  place(dir.path(), kBefore);
  write_file(dir.filePath("store/b.txt"), "1" + kTri + "\n");
  QFile::remove(dir.filePath("b.txt"));
  ASSERT_TRUE(QFile::link(dir.filePath("store/b.txt"), dir.filePath("b.txt")));
  ASSERT_EQ(apply_class_edit(plan(dir.path(), remove(0))).error, "");
  EXPECT_TRUE(QFileInfo(dir.filePath("b.txt")).isSymLink());
  EXPECT_EQ(read_file(dir.filePath("store/b.txt")), "0" + kTri + "\n");
}

}  // namespace
