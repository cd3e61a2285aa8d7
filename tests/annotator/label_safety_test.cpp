// Labels are never lost: lines the reader cannot use survive every save,
// failed writes are reported, moved shapes are saved, and an unreadable image
// never receives another image's shapes.
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "annotator/annotator_fixture.h"
#include "labels/label_file.h"
#include "labels/label_paths.h"
#include "support/job_wait.h"

using namespace orvane;

namespace {

using LabelSafetyTest = AnnotatorTest;

TEST_F(LabelSafetyTest, UnusableLinesSurviveEverySave) {
  images({"a.png", "b.png"});
  put("classes.txt", "cat\ndog\n");
  // Between two shapes: letters, unknown and negative ids, an odd count,
  // NaN, a huge value, a short line.
  const QByteArrayList unused = {"cat 0.1 0.1 0.2 0.2 0.3 0.3",
                                 "7 0.1 0.1 0.2 0.2 0.3 0.3",
                                 "-1 0.4 0.4 0.5 0.5 0.6 0.6",
                                 "1 0.1 0.2 0.3",
                                 "1 nan 0.2 0.3 0.3 0.4 0.4",
                                 "1 1e308 0.2 0.3 0.3 0.4 0.4",
                                 "0 0.5"};
  put("a.txt", "0 0.1 0.1 0.5 0.1 0.5 0.5\r\n\r\n" + unused.join("\r\n   \r\n") +
                   "\r\n1 0.6 0.6 0.9 0.6 0.9 0.9\r\n");
  testing::internal::CaptureStdout();
  load(dir.path());
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind("Error loading annotations: ", 0), 0u) << out;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);

  // Every line is read; the unreadable ones are kept.
  EXPECT_EQ(shapes(), (QStringList{"cat|Polygon", "dog|Polygon"}));
  // Moving on and back without a change leaves the file as it was written.
  const QByteArray original = read_file(path("a.txt"));
  tab->next_image();
  tab->prev_image();
  EXPECT_EQ(read_file(path("a.txt")), original);
  tab->annotations[0].item->setPos(10, 0);
  tab->next_image();  // saves a.txt
  EXPECT_EQ(read_file(path("a.txt")),
            "0 0.200000 0.100000 0.600000 0.100000 0.600000 0.500000\n"
            "1 0.600000 0.600000 0.900000 0.600000 0.900000 0.900000\n" +
                unused.join('\n') + '\n');

  // Deleting every shape keeps the file for the lines that are left.
  tab->prev_image();
  for (int i = 0; i < 2; ++i) {
    tab->table_objects->selectRow(0);
    tab->ann_delete_selected();
  }
  EXPECT_TRUE(read_file(path("a.txt")).startsWith("cat 0.1"));
  EXPECT_EQ(list_texts().first(), "[✓] a.png");
}

TEST_F(LabelSafetyTest, FolderWithoutClassListKeepsItsLabelFiles) {
  images({"a.png", "b.png"});
  const QByteArray labels = "3 0.1 0.1 0.5 0.1 0.5 0.5\n0 0.5 0.5 0.2 0.2\n";
  put("a.txt", labels);
  load(dir.path());
  EXPECT_TRUE(tab->annotations.empty());
  tab->next_image();
  tab->prev_image();
  EXPECT_EQ(read_file(path("a.txt")), labels);
  // A new shape goes before the kept lines.
  draw(kTriangle, "cat");
  close_window();
  EXPECT_EQ(read_file(path("a.txt")), kTriangleLine + labels);
}

TEST_F(LabelSafetyTest, FailedWritesAreReportedInWriteOrderAndTheMarkFollowsTheDisk) {
  images({"set/a.png"});
  put("set/classes.txt", "cat\n");
  load(path("set"));
  // The folder disappears behind the window's back.
  ASSERT_TRUE(QDir().rename(path("set"), path("moved")));
  draw(kTriangle, "cat");
  // A new class the class list cannot hold: no shape with an id it lacks.
  draw(kTriangle, "dog");
  const QStringList boxes = messages();
  ASSERT_EQ(boxes.size(), 2);
  EXPECT_TRUE(boxes[0].startsWith("critical|Error|")) << boxes[0];
  EXPECT_TRUE(boxes[0].contains(path("set/a.txt")) && boxes[0].contains("No such file"))
      << boxes[0];
  EXPECT_TRUE(boxes[1].startsWith("critical|Error|") && boxes[1].contains("classes.txt") &&
              boxes[1].endsWith("The shape was not created."))
      << boxes[1];
  EXPECT_EQ(shapes(), QStringList{"cat|Polygon"});
  EXPECT_EQ(tab->classes, QStringList{"cat"});
  EXPECT_EQ(list_texts(), QStringList{"[  ] a.png"});
  EXPECT_EQ(folder_entries(path("moved")), (QStringList{"a.png", "classes.txt"}));
}

TEST_F(LabelSafetyTest, ReadOnlyFolder) {
  images({"ro/a.png"});
  put("ro/classes.txt", "cat\n");
  put("ro/a.txt", "0 0.1 0.1 0.5 0.1 0.5 0.5\n");
  load(path("ro"));
  ASSERT_TRUE(QFile::setPermissions(path("ro"), QFile::ReadOwner | QFile::ExeOwner));
  const bool enforced = access(QFile::encodeName(path("ro")).constData(), W_OK) != 0;
  if (enforced) {
    draw(kTriangle, "cat");
    ASSERT_EQ(dialogs->count("critical"), 1);
    EXPECT_TRUE(dialogs->last("critical")->text.contains(path("ro/a.txt")));
    EXPECT_EQ(read_file(path("ro/a.txt")), "0 0.1 0.1 0.5 0.1 0.5 0.5\n");
    EXPECT_EQ(list_texts(), QStringList{"[✓] a.png"});
  }
  QFile::setPermissions(path("ro"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  if (!enforced) GTEST_SKIP() << "running with rights that ignore folder permissions";
}

TEST_F(LabelSafetyTest, MovedShapeIsSavedOnClosingAndOnLoadingAnotherFolder) {
  images({"one/a.png", "two/b.png"});
  load(path("one"));
  draw(kTriangle, "cat");
  tab->annotations[0].item->setPos(10, 0);
  load(path("two"));
  EXPECT_EQ(read_file(path("one/a.txt")),
            "0 0.200000 0.100000 0.700000 0.100000 0.700000 0.600000\n");
  draw(kTriangle, "cat");
  tab->annotations[0].item->setPos(0, 30);
  tab->annotations[0].item->setSelected(true);  // closing a shown window with a selection
  show_annotator();
  close_window();
  EXPECT_EQ(read_file(path("two/b.txt")),
            "0 0.100000 0.400000 0.600000 0.400000 0.600000 0.900000\n");
}

// Next stays on the shown image once, then steps past the unreadable one.
TEST_F(LabelSafetyTest, UndecodableImageKeepsThePositionOnTheShownImage) {
  images({"a.png"});
  put("b.png", "");
  images({"c.png"}, 40, 40);
  load(dir.path());
  draw(kTriangle, "cat");
  const QString unreadable = "Cannot read b.png: the file is empty";
  EXPECT_EQ(step(tab->btn_next_img), "0: " + unreadable);
  EXPECT_EQ(shapes(), QStringList{"cat|Polygon"});

  // Later saves go to the shown image, never to b.txt.
  draw(kTriangle, "cat");
  tab->btn_save_annotations->click();
  EXPECT_FALSE(QFile::exists(path("b.txt")));
  EXPECT_EQ(read_file(path("a.txt")), QByteArray(kTriangleLine).repeated(2));
  EXPECT_EQ(list_texts(), (QStringList{"[✓] a.png", "[  ] b.png", "[  ] c.png"}));

  EXPECT_EQ(step(tab->btn_next_img), "2: STATUS: PENDING");
  EXPECT_EQ(tab->display_cv_img.cols, 40);
  EXPECT_EQ(step(tab->btn_next_img), "2: STATUS: PENDING");  // the last image
  EXPECT_EQ(step(tab->btn_prev_img), "2: " + unreadable);
  EXPECT_EQ(step(tab->btn_prev_img), "0: STATUS: ANNOTATED");
  EXPECT_EQ(shapes(), (QStringList{"cat|Polygon", "cat|Polygon"}));
}

TEST_F(LabelSafetyTest, AnotherFolderNeverRewritesTheShownImagesFileWithItsClasses) {
  images({"one/a.png"});
  put("one/classes.txt", "cat\ndog\n");
  const QByteArray dog_line = "1 0.100000 0.100000 0.500000 0.100000 0.500000 0.500000\n";
  put("one/a.txt", dog_line);
  put("two/classes.txt", "bird\n");
  put("three/a.png", "not an image");
  load(path("one"));
  ASSERT_EQ(tab->annotations.size(), 1u);

  for (const char* folder : {"three", "two"}) {  // only an unreadable image; no images
    SCOPED_TRACE(folder);
    const bool no_images = folder == std::string("two");
    load(path(folder));
    EXPECT_EQ(tab->list_images->count(), no_images ? 0 : 1);
    // Beside an unreadable image the picture stays, its shapes do not; a
    // folder without images clears the view and says so. Nothing is saved
    // against the new class list, and nothing can be drawn onto the old image.
    EXPECT_EQ(tab->display_cv_img.cols, no_images ? 0 : 100);
    EXPECT_EQ(tab->canvas->items().size(), no_images ? 0 : 1);
    EXPECT_TRUE(tab->lbl_img_status->text().contains(no_images ? "NO IMAGES" : "a.png"));
    EXPECT_EQ(shapes(), QStringList());
    tab->btn_save_annotations->click();
    tab->handle_new_poly(kTriangle);
    EXPECT_EQ(dialogs->count("exec"), 0);
    EXPECT_EQ(read_file(path("one/a.txt")), dog_line);
  }
  close_window();
  EXPECT_EQ(read_file(path("one/a.txt")), dog_line);
  EXPECT_FALSE(QFile::exists(path("three/a.txt")));
}

// A label file that exists but cannot be read (here a folder or a FIFO in its
// place) is never written or deleted, and the image's shapes are read-only.
TEST_F(LabelSafetyTest, UnreadableLabelFileMakesTheShapesReadOnly) {
  images({"a.png", "b.png", "c.png"});
  put("classes.txt", "cat\n");
  ASSERT_TRUE(QDir().mkpath(path("a.txt")));
  ASSERT_EQ(mkfifo(QFile::encodeName(path("b.txt")).constData(), 0600), 0);
  load(dir.path());
  EXPECT_EQ(position(), "0: Cannot read a.txt: Is a directory");
  draw(kTriangle, "cat");
  EXPECT_EQ(shapes(), QStringList());
  EXPECT_EQ(dialogs->count("exec"), 0);  // not even asked for a class
  EXPECT_EQ(messages(),
            QStringList{"warning|Read-Only|The shapes of this image cannot be changed.\n\n"
                        "Cannot read a.txt: Is a directory"});
  EXPECT_EQ(step(tab->btn_next_img), "1: Cannot read b.txt: Not a regular file");
  tab->btn_copy_prev->click();
  tab->btn_save_annotations->click();
  EXPECT_EQ(step(tab->btn_next_img), "2: STATUS: PENDING");
  EXPECT_EQ(messages().size(), 2);
  close_window();
  EXPECT_TRUE(QFileInfo(path("a.txt")).isDir());
  EXPECT_EQ(QFileInfo(path("b.txt")).isFile(), false);
  EXPECT_TRUE(QFileInfo::exists(path("b.txt")));
}

// A class list that cannot be read is reported once per load, and nothing of
// the folder is written until it is loaded again.
TEST_F(LabelSafetyTest, UnreadableClassListStopsEveryWriteOfTheFolder) {
  images({"a.png", "b.png"});
  ASSERT_TRUE(QDir().mkpath(path("classes.txt")));
  put("a.txt", "0 0.5 0.5 0.2 0.2\n");
  load(dir.path());
  ASSERT_EQ(messages().size(), 1);
  EXPECT_TRUE(messages()[0].startsWith("critical|Error|Cannot read " + path("classes.txt") +
                                       ":\nIs a directory\n\n"))
      << messages()[0];
  draw(kTriangle, "cat");
  tab->next_image();
  tab->prev_image();
  tab->btn_save_annotations->click();
  EXPECT_EQ(tab->classes, QStringList());
  EXPECT_EQ(messages().size(), 2);  // the read-only warning for the drawing
  EXPECT_EQ(read_file(path("a.txt")), "0 0.5 0.5 0.2 0.2\n");
  EXPECT_FALSE(QFileInfo::exists(path("b.txt")));
  // Once it can be read, loading the folder again lifts the stop.
  ASSERT_TRUE(QDir().rmdir(path("classes.txt")));
  put("classes.txt", "cat\n");
  load(dir.path());
  EXPECT_EQ(messages().size(), 2);
  EXPECT_EQ(shapes(), QStringList{"cat|Rectangle"});
  draw(kTriangle, "cat");
  EXPECT_EQ(read_file(path("a.txt")).count('\n'), 2);
}

// Moving away from an image whose shapes did not change leaves its file as it
// was written, box lines and CRLF included; a change that comes out byte for
// byte the same writes nothing either.
TEST_F(LabelSafetyTest, UnchangedLabelFilesAreNotRewritten) {
  images({"a.png", "b.png"});
  put("classes.txt", "cat\n");
  const QByteArray box = "0 0.5 0.5 0.2 0.2\r\n";
  put("a.txt", box);
  put("b.txt", kTriangleLine);
  load(dir.path());
  tab->next_image();
  tab->btn_save_annotations->click();
  tab->prev_image();
  close_window();
  EXPECT_EQ(read_file(path("a.txt")), box);

  put("a.txt", kTriangleLine);
  window = std::make_unique<OrvaneStudio>();
  tab = window->tab_workspace;
  auto scripted = std::make_unique<ScriptedDialogs>();
  dialogs = scripted.get();
  window->set_dialogs(std::move(scripted));
  window->tabs->setCurrentWidget(tab);
  load(dir.path());
  const auto inode = [&](const char* name) {
    struct stat info {};
    ::stat(QFile::encodeName(path(name)).constData(), &info);
    return info.st_ino;
  };
  const auto before = inode("b.txt");
  tab->next_image();
  tab->copy_previous_frame_shapes();  // the same triangle
  EXPECT_EQ(shapes(), QStringList{"cat|Polygon"});
  EXPECT_EQ(inode("b.txt"), before);
  EXPECT_EQ(messages(), QStringList());
}

// Names that are not UTF-8 cannot be opened: the user is told how many were
// left out, here and in the health report.
TEST_F(LabelSafetyTest, NamesThatAreNotUtf8AreCountedAndReported) {
  images({"a.png"});
  const QByteArray bad = QFile::encodeName(dir.path()) + "/\xff.png";
  QFile::copy(path("a.png"), path("copy.png"));
  ASSERT_EQ(::rename(QFile::encodeName(path("copy.png")).constData(), bad.constData()), 0);
  load(dir.path());
  EXPECT_EQ(list_texts(), QStringList{"[  ] a.png"});
  EXPECT_EQ(messages(), QStringList{"warning|Unreadable Names|1 file(s) of this folder have names "
                                    "that are not valid UTF-8. They cannot be opened and are "
                                    "left out."});
  tab->run_health_check();
  ASSERT_TRUE(wait_for_job(*tab));
  EXPECT_TRUE(messages().last().contains("File Names Not Valid UTF-8 (left out): 1\n"))
      << messages().last();
  draw(kTriangle, "cat");
  dialogs->exec_answers.push_back([](QDialog&) { return QDialog::Accepted; });
  dialogs->directories.push_back(path("out"));
  tab->export_and_split_dataset();
  ASSERT_TRUE(wait_for_job(*tab));
  // One image: train and val stay empty, which the box says too.
  EXPECT_TRUE(messages().last().startsWith("warning|Export Complete|"));
  EXPECT_TRUE(messages().last().endsWith(
      "\n\n1 file(s) of the folder with names that are not valid UTF-8 were left out."))
      << messages().last();
  ::unlink(bad.constData());  // beyond the reach of QTemporaryDir
}

}  // namespace
