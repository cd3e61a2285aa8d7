// Labels are never lost: lines the reader cannot use survive every save, box
// lines stay boxes, failed writes are reported, dragged shapes are saved,
// an unreadable image never receives another image's shapes, and a copy of
// the previous frame replaces the current shapes on the canvas as well.
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QGraphicsSceneMouseEvent>

#include "annotator/annotator_fixture.h"
#include "annotator/label_file.h"

namespace {

using LabelSafetyTest = AnnotatorTest;

const QPolygonF kTriangle({{10, 10}, {60, 10}, {60, 60}});

// A mouse release on the scene, as at the end of a drag.
void release_on_scene(QGraphicsScene* scene) {
  QGraphicsSceneMouseEvent release(QEvent::GraphicsSceneMouseRelease);
  release.setButton(Qt::LeftButton);
  release.setButtons(Qt::NoButton);
  QApplication::sendEvent(scene, &release);
}

TEST_F(LabelSafetyTest, UnusableLinesSurviveEverySave) {
  write_image(path("a.png"), 100, 100);
  write_image(path("b.png"), 100, 100);
  write_file(path("classes.txt"), "cat\ndog\n");
  const QByteArray original =
      "0 0.1 0.1 0.5 0.1 0.5 0.5\r\n"
      "cat 0.1 0.1 0.2 0.2 0.3 0.3\r\n"
      "\r\n"
      "7 0.1 0.1 0.2 0.2 0.3 0.3\r\n"
      "-1 0.4 0.4 0.5 0.5 0.6 0.6\r\n"
      "1 0.1 0.2 0.3\r\n"
      "1 nan 0.2 0.3 0.3 0.4 0.4\r\n"
      "1 1e308 0.2 0.3 0.3 0.4 0.4\r\n"
      "   \r\n"
      "0 0.5\r\n"
      "1 0.6 0.6 0.9 0.6 0.9 0.9\r\n";
  write_file(path("a.txt"), original);
  testing::internal::CaptureStdout();
  load(dir.path());
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out.rfind("Error loading annotations: ", 0), 0u) << out;
  EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1);

  // Reading stops at the first unreadable line; that line and all after it
  // are kept.
  EXPECT_EQ(record_rows(), QStringList{"cat|Polygon"});
  window->next_image();  // saves a.txt
  EXPECT_EQ(read_file(path("a.txt")),
            "0 0.100000 0.100000 0.500000 0.100000 0.500000 0.500000\n"
            "cat 0.1 0.1 0.2 0.2 0.3 0.3\n"
            "7 0.1 0.1 0.2 0.2 0.3 0.3\n"
            "-1 0.4 0.4 0.5 0.5 0.6 0.6\n"
            "1 0.1 0.2 0.3\n"
            "1 nan 0.2 0.3 0.3 0.4 0.4\n"
            "1 1e308 0.2 0.3 0.3 0.4 0.4\n"
            "0 0.5\n"
            "1 0.6 0.6 0.9 0.6 0.9 0.9\n");

  // Deleting every shape keeps the file for the lines that are left.
  window->prev_image();
  window->table_objects->selectRow(0);
  window->ann_delete_selected();
  EXPECT_TRUE(QFile::exists(path("a.txt")));
  EXPECT_TRUE(read_file(path("a.txt")).startsWith("cat 0.1"));
  EXPECT_EQ(list_texts().first(), QString::fromUtf8("[✓] a.png"));
}

TEST_F(LabelSafetyTest, FolderWithoutClassListKeepsItsLabelFiles) {
  write_image(path("a.png"), 100, 100);
  write_image(path("b.png"), 100, 100);
  const QByteArray labels = "3 0.1 0.1 0.5 0.1 0.5 0.5\n0 0.5 0.5 0.2 0.2\n";
  write_file(path("a.txt"), labels);
  load(dir.path());
  EXPECT_TRUE(window->annotations.empty());
  window->next_image();
  window->prev_image();
  close_window();
  EXPECT_EQ(read_file(path("a.txt")), labels);
}

TEST_F(LabelSafetyTest, ShapesOfAnImageAddToItsKeptLines) {
  write_image(path("a.png"), 100, 100);
  write_file(path("a.txt"), "5 0.1 0.1 0.5 0.1 0.5 0.5\n");
  load(dir.path());
  draw(kTriangle, "cat");
  EXPECT_EQ(read_file(path("a.txt")),
            "0 0.100000 0.100000 0.600000 0.100000 0.600000 0.600000\n"
            "5 0.1 0.1 0.5 0.1 0.5 0.5\n");
}

TEST_F(LabelSafetyTest, BoxLinesStayBoxes) {
  write_image(path("a.png"), 400, 200);
  write_image(path("b.png"), 400, 200);
  write_file(path("classes.txt"), "car\n");
  write_file(path("a.txt"), "0 0.5 0.5 0.2 0.2\n");
  load(dir.path());
  ASSERT_EQ(record_rows(), QStringList{"car|Rectangle"});
  EXPECT_EQ(window->annotations[0].item->polygon(),
            QPolygonF({{160, 80}, {240, 80}, {240, 120}, {160, 120}}));
  window->next_image();
  EXPECT_EQ(read_file(path("a.txt")),
            "0 0.400000 0.400000 0.600000 0.400000 0.600000 0.600000 0.400000 0.600000\n");
}

TEST_F(LabelSafetyTest, FailedWriteIsReportedAndTheMarkFollowsTheDisk) {
  write_image(path("set/a.png"), 100, 100);
  load(path("set"));
  // The folder disappears behind the window's back.
  ASSERT_TRUE(QDir().rename(path("set"), path("moved")));
  draw(kTriangle, "cat");
  const std::vector<DialogCall> messages = dialogs->messages();
  ASSERT_EQ(messages.size(), 2u);  // classes.txt, then the label file
  for (const DialogCall& call : messages) EXPECT_EQ(call.kind, "critical");
  EXPECT_EQ(messages[1].title, "Error");
  EXPECT_TRUE(messages[1].text.contains(path("set/a.txt"))) << messages[1].text.toStdString();
  EXPECT_TRUE(messages[1].text.contains("No such file")) << messages[1].text.toStdString();
  EXPECT_EQ(list_texts(), QStringList{"[  ] a.png"});
  EXPECT_EQ(folder_entries(path("moved")), QStringList{"a.png"});
}

TEST_F(LabelSafetyTest, ReadOnlyFolder) {
  write_image(path("ro/a.png"), 100, 100);
  write_file(path("ro/classes.txt"), "cat\n");
  write_file(path("ro/a.txt"), "0 0.1 0.1 0.5 0.1 0.5 0.5\n");
  load(path("ro"));
  ASSERT_TRUE(QFile::setPermissions(path("ro"), QFile::ReadOwner | QFile::ExeOwner));
  const bool enforced = access(QFile::encodeName(path("ro")).constData(), W_OK) != 0;
  if (enforced) {
    draw(kTriangle, "cat");
    ASSERT_EQ(dialogs->count("critical"), 1);
    EXPECT_TRUE(dialogs->last("critical")->text.contains(path("ro/a.txt")));
    EXPECT_EQ(read_file(path("ro/a.txt")), "0 0.1 0.1 0.5 0.1 0.5 0.5\n");
    EXPECT_EQ(list_texts(), QStringList{QString::fromUtf8("[✓] a.png")});
  }
  QFile::setPermissions(path("ro"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  if (!enforced) GTEST_SKIP() << "running with rights that ignore folder permissions";
}

TEST_F(LabelSafetyTest, DraggedShapeIsSavedWhenTheDragEnds) {
  write_image(path("a.png"), 100, 100);
  load(dir.path());
  draw(kTriangle, "cat");
  window->annotations[0].item->setPos(20, 10);
  release_on_scene(window->canvas);
  EXPECT_EQ(read_file(path("a.txt")), "0 0.300000 0.200000 0.800000 0.200000 0.800000 0.700000\n");
}

TEST_F(LabelSafetyTest, DragWithTheMouseIsSaved) {
  write_image(path("a.png"), 400, 400);
  write_file(path("classes.txt"), "cat\n");
  write_file(path("a.txt"), "0 0.1 0.1 0.5 0.1 0.5 0.5\n");
  load(dir.path());
  show_annotator();
  drag(QPointF(150, 60), QPointF(250, 160));  // "Select/Move": the shape follows
  ASSERT_NEAR(window->annotations[0].item->pos().x(), 100, 2);
  const LabelFileContent saved = parse_label_file(read_file(path("a.txt")), 1, 400, 400);
  ASSERT_EQ(saved.shapes.size(), 1u);
  EXPECT_NEAR(saved.shapes[0].points[0].x(), 140, 2);
  EXPECT_NEAR(saved.shapes[0].points[0].y(), 140, 2);
}

TEST_F(LabelSafetyTest, MovedShapeIsSavedOnClosingAndOnLoadingAnotherFolder) {
  write_image(path("one/a.png"), 100, 100);
  write_image(path("two/b.png"), 100, 100);
  load(path("one"));
  draw(kTriangle, "cat");
  window->annotations[0].item->setPos(10, 0);
  load(path("two"));
  EXPECT_EQ(read_file(path("one/a.txt")),
            "0 0.200000 0.100000 0.700000 0.100000 0.700000 0.600000\n");

  draw(kTriangle, "cat");
  window->annotations[0].item->setPos(0, 30);
  close_window();
  EXPECT_EQ(read_file(path("two/b.txt")),
            "0 0.100000 0.400000 0.600000 0.400000 0.600000 0.900000\n");
}

TEST_F(LabelSafetyTest, UndecodableImageKeepsThePositionOnTheShownImage) {
  write_image(path("a.png"), 100, 100);
  write_file(path("b.png"), "");
  write_image(path("c.png"), 100, 100);
  load(dir.path());
  draw(kTriangle, "cat");

  window->next_image();  // b cannot be read
  EXPECT_EQ(window->current_idx, 0);
  EXPECT_EQ(window->list_images->currentRow(), 0);
  EXPECT_EQ(window->lbl_img_status->text(), "Cannot read b.png: the file is empty");
  EXPECT_EQ(record_rows(), QStringList{"cat|Polygon"});

  // Later saves go to the shown image, never to b.txt.
  draw(kTriangle, "cat");
  window->btn_save_annotations->click();
  EXPECT_FALSE(QFile::exists(path("b.txt")));
  EXPECT_EQ(read_file(path("a.txt")).count('\n'), 2);
  EXPECT_EQ(list_texts(),
            (QStringList{QString::fromUtf8("[✓] a.png"), "[  ] b.png", "[  ] c.png"}));

  window->list_images->setCurrentRow(2);  // the next readable image can be reached
  EXPECT_EQ(window->current_idx, 2);
  EXPECT_EQ(window->lbl_img_status->text(), "STATUS: PENDING");
}

TEST_F(LabelSafetyTest, UnreadableFirstImageOfANewFolderGetsNoShapes) {
  write_image(path("one/a.png"), 100, 100);
  write_file(path("two/a.png"), "not an image");
  load(path("one"));
  draw(kTriangle, "cat");
  load(path("two"));
  EXPECT_TRUE(window->lbl_img_status->text().contains("a.png"));
  window->btn_save_annotations->click();
  EXPECT_FALSE(QFile::exists(path("two/a.txt")));
  EXPECT_TRUE(QFile::exists(path("one/a.txt")));
}

TEST_F(LabelSafetyTest, AnotherFolderNeverRewritesTheShownImagesFileWithItsClasses) {
  write_image(path("one/a.png"), 100, 100);
  write_file(path("one/classes.txt"), "cat\ndog\n");
  const QByteArray dog_line = "1 0.100000 0.100000 0.500000 0.100000 0.500000 0.500000\n";
  write_file(path("one/a.txt"), dog_line);
  write_file(path("two/classes.txt"), "bird\n");
  write_file(path("three/a.png"), "not an image");
  load(path("one"));
  ASSERT_EQ(window->annotations.size(), 1u);

  for (const char* folder : {"two", "three"}) {  // no images; only an unreadable one
    SCOPED_TRACE(folder);
    load(path(folder));
    // The picture stays, its shapes do not; nothing is saved against the
    // new class list, and nothing can be drawn onto the old image.
    EXPECT_EQ(window->display_cv_img.cols, 100);
    EXPECT_TRUE(window->annotations.empty());
    EXPECT_EQ(window->table_objects->rowCount(), 0);
    window->btn_save_annotations->click();
    window->handle_new_poly(kTriangle);
    EXPECT_EQ(dialogs->count("exec"), 0);
    EXPECT_EQ(read_file(path("one/a.txt")), dog_line);
  }
  close_window();
  EXPECT_EQ(read_file(path("one/a.txt")), dog_line);
  EXPECT_FALSE(QFile::exists(path("three/a.txt")));
}

TEST_F(LabelSafetyTest, NextAndPrevStepPastAnUnreadableImage) {
  write_image(path("a.png"), 30, 30);
  write_file(path("b.jpg"), "");
  write_image(path("c.png"), 40, 40);
  load(dir.path());
  window->btn_next_img->click();
  EXPECT_EQ(window->current_idx, 0);
  EXPECT_TRUE(window->lbl_img_status->text().contains("b.jpg"));
  window->btn_next_img->click();
  EXPECT_EQ(window->current_idx, 2);
  EXPECT_EQ(window->display_cv_img.cols, 40);
  window->btn_next_img->click();  // the last image: nothing happens
  EXPECT_EQ(window->current_idx, 2);
  window->btn_prev_img->click();
  EXPECT_EQ(window->current_idx, 2);
  EXPECT_TRUE(window->lbl_img_status->text().contains("b.jpg"));
  window->btn_prev_img->click();
  EXPECT_EQ(window->current_idx, 0);
  EXPECT_EQ(window->display_cv_img.cols, 30);
}

TEST_F(LabelSafetyTest, CopyRemovesTheCurrentShapesFromTheCanvas) {
  write_image(path("1.png"), 100, 100);
  write_image(path("2.png"), 100, 100);
  write_file(path("classes.txt"), "cat\n");
  write_file(path("1.txt"), "0 0.1 0.1 0.5 0.1 0.5 0.5\n");
  write_file(path("2.txt"), "0 0.6 0.6 0.9 0.6 0.9 0.9\n0 0.2 0.6 0.3 0.6 0.3 0.9\n");
  load(dir.path());
  window->next_image();
  ASSERT_EQ(shapes_on_canvas(), 2);
  window->copy_previous_frame_shapes();
  EXPECT_EQ(shapes_on_canvas(), 1);
  EXPECT_EQ(window->canvas->items().size(), 2);  // the picture and the copied shape
  EXPECT_EQ(window->annotations.size(), 1u);
  // Selecting on the canvas can only reach shapes that are listed.
  for (QGraphicsItem* item : window->canvas->items()) item->setSelected(true);
  EXPECT_EQ(selected_table_rows(), QStringList{"0"});
}

TEST_F(LabelSafetyTest, CopyKeepsTheCurrentFilesUnreadLines) {
  write_image(path("1.png"), 100, 100);
  write_image(path("2.png"), 100, 100);
  write_file(path("classes.txt"), "cat\n");
  write_file(path("1.txt"), "0 0.1 0.1 0.5 0.1 0.5 0.5\n7 0.1 0.1 0.2 0.2 0.3 0.3\n");
  write_file(path("2.txt"), "0 0.6 0.6 0.9 0.6 0.9 0.9\n5 0.5 0.5 0.6 0.6 0.7 0.7\n");
  load(dir.path());
  window->next_image();
  window->copy_previous_frame_shapes();
  // The copied shape, then this image's own line of an unknown class; the
  // previous image's unknown line stays in its own file only.
  EXPECT_EQ(read_file(path("2.txt")),
            "0 0.100000 0.100000 0.500000 0.100000 0.500000 0.500000\n"
            "5 0.5 0.5 0.6 0.6 0.7 0.7\n");
  EXPECT_EQ(read_file(path("1.txt")),
            "0 0.100000 0.100000 0.500000 0.100000 0.500000 0.500000\n"
            "7 0.1 0.1 0.2 0.2 0.3 0.3\n");
}

}  // namespace
