// What the user did not ask to change stays as it is: another program's
// edits to a label file or classes.txt, the id a line was read with, lines
// the editor does not show, the meaning of a folder's ids, and links.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <functional>

#include "annotator/annotator_fixture.h"

using namespace orvane;

namespace {

using LabelKeepTest = AnnotatorTest;

const QByteArray kCatLine = "0 0.1 0.1 0.5 0.1 0.5 0.5\n";
const QByteArray kDogLine = "1 0.2 0.2 0.3 0.2 0.3 0.3\n";

// A second writer changes the files between the user's steps; each step
// checks the files and what is shown after it.
TEST_F(LabelKeepTest, AnotherProgramsEditsAreReloadedNeverOverwritten) {
  images({"a.png", "b.png"});
  put("classes.txt", "cat\ndog\n");
  put("a.txt", kCatLine);
  load(dir.path());
  const QString classes_note = "Another program changed classes.txt: its names were read again.";
  const QString reloaded = "Another program changed a.txt: it was read again";
  const QString not_saved = "; your other changes (moved or deleted shapes) were not saved.";
  const QByteArray triangle = "0.100000 0.100000 0.600000 0.100000 0.600000 0.600000\n";
  const struct {
    const char* name;
    std::function<void()> other;  // the second writer
    std::function<void()> user;
    QByteArray label_file;  // "": no file
    QByteArray class_file;
    QStringList shapes;
    QString status;
  } steps[] = {
      {"a line added elsewhere, a shape drawn here",
       [&] { put("a.txt", kCatLine + kDogLine); },
       [&] { draw(kTriangle, "cat"); },
       kCatLine + kDogLine + kTriangleLine,
       "cat\ndog\n",
       {"cat|Polygon", "dog|Polygon", "cat|Polygon"},
       "STATUS: ANNOTATED\n" + reloaded + ", and your 1 new shape(s) were added to it."},
      {"rewritten elsewhere, a shape deleted here",
       [&] { put("a.txt", "1 0.5 0.5 0.2 0.2\r\n"); },
       [&] {
         tab->table_objects->selectRow(0);
         tab->ann_delete_selected();
       },
       "1 0.5 0.5 0.2 0.2\r\n",
       "cat\ndog\n",
       {"dog|Rectangle"},
       "STATUS: ANNOTATED\n" + reloaded + not_saved},
      {"a class added elsewhere, another one here",
       [&] { put("classes.txt", "cat\r\ndog\r\nbird"); },
       [&] { draw(kTriangle, "fish"); },
       "1 0.400000 0.400000 0.600000 0.400000 0.600000 0.600000 0.400000 0.600000\n3 " + triangle,
       "cat\r\ndog\r\nbird\nfish\n",
       {"dog|Rectangle", "fish|Polygon"},
       "STATUS: ANNOTATED\n" + classes_note},
      // The shapes keep the names they are shown with.
      {"classes reordered elsewhere, a new name here",
       [&] { put("classes.txt", "fish\ncat\ndog\nbird\n"); },
       [&] { draw(kTriangle, "emu"); },
       "2 0.400000 0.400000 0.600000 0.400000 0.600000 0.600000 0.400000 0.600000\n0 " + triangle +
           "4 " + triangle,
       "fish\ncat\ndog\nbird\nemu\n",
       {"dog|Rectangle", "fish|Polygon", "emu|Polygon"},
       "STATUS: ANNOTATED\n" + classes_note},
      {"deleted elsewhere, a shape moved here",
       [&] { QFile::remove(path("a.txt")); },
       [&] {
         tab->annotations[0].item->setPos(5, 5);
         tab->btn_save_annotations->click();
       },
       "",
       "fish\ncat\ndog\nbird\nemu\n",
       {},
       "STATUS: PENDING\n" + classes_note + "\n" + reloaded + not_saved},
      {"nothing elsewhere",
       [] {},
       [&] { draw(kTriangle, "cat"); },
       "1 " + triangle,
       "fish\ncat\ndog\nbird\nemu\n",
       {"cat|Polygon"},
       "STATUS: ANNOTATED\n" + classes_note},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.name);
    s.other();
    s.user();
    EXPECT_EQ(QFile::exists(path("a.txt")) ? read_file(path("a.txt")) : QByteArray(), s.label_file);
    EXPECT_EQ(read_file(path("classes.txt")), s.class_file);
    EXPECT_EQ(shapes(), s.shapes);
    EXPECT_EQ(tab->lbl_img_status->text(), s.status);
  }
  // Moving on saves nothing more; the next image starts without a notice.
  EXPECT_EQ(step(tab->btn_next_img), "1: STATUS: PENDING");
  EXPECT_EQ(read_file(path("a.txt")), "1 " + triangle);
  EXPECT_EQ(messages(), QStringList());
}

// With "cat" listed twice, a line of either id keeps it through every save.
TEST_F(LabelKeepTest, AShapeKeepsTheIdItWasReadWith) {
  images({"a.png", "b.png"});
  put("classes.txt", "cat\ndog\ncat\n");
  put("a.txt", "2 0.1 0.1 0.5 0.1 0.5 0.5\n0 0.6 0.6 0.9 0.6 0.9 0.9\n");
  load(dir.path());
  EXPECT_EQ(shapes(), (QStringList{"cat|Polygon", "cat|Polygon"}));
  draw(kTriangle, "cat");  // a new shape takes the name's first id
  tab->annotations[0].item->setPos(10, 0);
  tab->next_image();
  EXPECT_EQ(read_file(path("a.txt")),
            "2 0.200000 0.100000 0.600000 0.100000 0.600000 0.500000\n"
            "0 0.600000 0.600000 0.900000 0.600000 0.900000 0.900000\n" +
                QByteArray(kTriangleLine));
  // The copy of the previous frame keeps the ids too.
  tab->copy_previous_frame_shapes();
  EXPECT_TRUE(read_file(path("b.txt")).startsWith("2 0.200000 0.100000"));
}

// Every line is read; those not shown stay byte for byte, and the status
// line counts them with their reasons.
TEST_F(LabelKeepTest, EveryLineIsReadAndUnshownLinesAreKeptAndCounted) {
  images({"a.png"});
  put("classes.txt", "cat\ndog\n");
  const struct {
    const char* name;
    QByteArray bytes;
    QStringList shapes;
    QString status;
    QByteArray after_draw;  // the file once a triangle is drawn
    QString status_after;
  } cases[] = {
      {"pixel units, NaN, inf, huge",
       "0 320 240 50 50\n0 nan 0.1 0.2 0.2 0.3 0.3\n0 0.1 inf 0.2 0.2 0.3 0.3\n"
       "1 1e300 0 0 1 1 1\n0 0 0 1 0 1 1\n1 -0.0001 0.5 0.5 0.5 0.5 1\n",
       {"cat|Polygon"},
       "STATUS: ANNOTATED\n5 of 6 lines not shown (kept as they are): 5 with values outside 0…1",
       "0 0.000000 0.000000 1.000000 0.000000 1.000000 1.000000\n" + QByteArray(kTriangleLine) +
           "0 320 240 50 50\n0 nan 0.1 0.2 0.2 0.3 0.3\n0 0.1 inf 0.2 0.2 0.3 0.3\n"
           "1 1e300 0 0 1 1 1\n1 -0.0001 0.5 0.5 0.5 0.5 1\n",
       "STATUS: ANNOTATED\n5 of 7 lines not shown (kept as they are): 5 with values outside 0…1"},
      {"a bad number in the middle",
       "0 0.1 0.1 0.5 0.1 0.5 0.5\n0 0.1 abc 0.2 0.2 0.3 0.3\n1 0.6 0.6 0.9 0.6 0.9 0.9\n"
       "7 0.1 0.1 0.2 0.2 0.3 0.3\n1 0.5 0.5 0.2 0.2\n",
       {"cat|Polygon", "dog|Polygon", "dog|Rectangle"},
       "STATUS: ANNOTATED\n2 of 5 lines not shown (kept as they are): 1 with a class id not in "
       "classes.txt, 1 with a value that is not a number",
       "0 0.100000 0.100000 0.500000 0.100000 0.500000 0.500000\n"
       "1 0.600000 0.600000 0.900000 0.600000 0.900000 0.900000\n"
       "1 0.400000 0.400000 0.600000 0.400000 0.600000 0.600000 0.400000 0.600000\n" +
           QByteArray(kTriangleLine) + "0 0.1 abc 0.2 0.2 0.3 0.3\n7 0.1 0.1 0.2 0.2 0.3 0.3\n",
       "STATUS: ANNOTATED\n2 of 6 lines not shown (kept as they are): 1 with a class id not in "
       "classes.txt, 1 with a value that is not a number"},
      {"all shown",
       kCatLine,
       {"cat|Polygon"},
       "STATUS: ANNOTATED",
       "0 0.100000 0.100000 0.500000 0.100000 0.500000 0.500000\n" + QByteArray(kTriangleLine),
       "STATUS: ANNOTATED"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    put("a.txt", c.bytes);
    testing::internal::CaptureStdout();
    load(dir.path());
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(shapes(), c.shapes);
    EXPECT_EQ(tab->lbl_img_status->text(), c.status);
    draw(kTriangle, "cat");
    EXPECT_EQ(read_file(path("a.txt")), c.after_draw);
    EXPECT_EQ(tab->lbl_img_status->text(), c.status_after);
  }
}

// A folder's own label files keep their meaning: another folder's names
// carry over only to a folder without label files.
TEST_F(LabelKeepTest, FolderWithLabelFilesAndNoClassListStartsWithNoNames) {
  images({"one/a.png", "two/b.png", "three/c.png"});
  put("one/classes.txt", "cat\ndog\nbird\neel\n");
  put("two/b.txt", "3 0.1 0.1 0.5 0.1 0.5 0.5\n");
  const struct {
    const char* folder;
    QStringList classes;
    QStringList shapes;
  } steps[] = {
      {"one", {"cat", "dog", "bird", "eel"}, {}},
      {"three", {"cat", "dog", "bird", "eel"}, {}},  // no label files: names carry over
      {"two", {}, {}},
  };
  for (const auto& s : steps) {
    SCOPED_TRACE(s.folder);
    load(path(s.folder));
    EXPECT_EQ(tab->classes, s.classes);
    EXPECT_EQ(shapes(), s.shapes);
  }
  EXPECT_EQ(tab->lbl_img_status->text(),
            "STATUS: ANNOTATED\n1 of 1 line not shown (kept as they are): 1 with a class id not "
            "in classes.txt");
  draw(kTriangle, "fox");
  EXPECT_EQ(read_file(path("two/classes.txt")), "fox\n");
  EXPECT_EQ(read_file(path("two/b.txt")),
            kTriangleLine + QByteArray("3 0.1 0.1 0.5 0.1 0.5 0.5\n"));
  EXPECT_FALSE(QFile::exists(path("three/classes.txt")));
}

// A linked label file or class list is written through to its target.
TEST_F(LabelKeepTest, LinkedFilesAreWrittenThroughToTheirTargets) {
  images({"set/a.png"});
  put("store/a.txt", kCatLine);
  put("store/names.txt", "cat\n");
  ASSERT_TRUE(QFile::link("../store/a.txt", path("set/a.txt")));
  ASSERT_TRUE(QFile::link(path("store/names.txt"), path("set/classes.txt")));
  load(path("set"));
  draw(kTriangle, "dog");
  EXPECT_TRUE(QFileInfo(path("set/a.txt")).isSymLink());
  EXPECT_TRUE(QFileInfo(path("set/classes.txt")).isSymLink());
  EXPECT_EQ(read_file(path("store/names.txt")), "cat\ndog\n");
  EXPECT_EQ(read_file(path("store/a.txt")),
            "0 0.100000 0.100000 0.500000 0.100000 0.500000 0.500000\n"
            "1 0.100000 0.100000 0.600000 0.100000 0.600000 0.600000\n");
  EXPECT_EQ(folder_entries(path("store")), (QStringList{"a.txt", "names.txt"}));
}

}  // namespace
