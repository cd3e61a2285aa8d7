// Shapes through the real window: naming, class list, colours, the object
// table in step with the canvas, delete, copy of the previous frame, and the
// label-file format.
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QShortcut>

#include "annotator/annotator_fixture.h"
#include "annotator/label_file.h"

namespace {

using ShapesTest = AnnotatorTest;

const QPolygonF kTriangle({{10, 10}, {60, 10}, {60, 60}});

QColor pen_color(const AnnotationRecord& record) { return record.item->pen().color(); }

TEST_F(ShapesTest, RectangleLineOfA400By200Image) {
  write_image(path("img.png"), 400, 200);
  write_file(path("classes.txt"), "car\n");
  load(dir.path());
  draw(QPolygonF({{100, 50}, {300, 50}, {300, 150}, {100, 150}}), "car", "Rectangle");
  EXPECT_EQ(read_file(path("img.txt")),
            "0 0.250000 0.250000 0.750000 0.250000 0.750000 0.750000 0.250000 0.750000\n");
  // Read back it is a rectangle again.
  window->load_current_image();
  EXPECT_EQ(record_rows(), QStringList{"car|Rectangle"});
  EXPECT_EQ(window->annotations[0].item->polygon(),
            QPolygonF({{100, 50}, {300, 50}, {300, 150}, {100, 150}}));
}

TEST_F(ShapesTest, ShapeKindIsTheModeAtDrawingTime) {
  write_image(path("img.png"), 100, 100);
  load(dir.path());
  for (const char* mode : {"Polygon", "Rectangle", "Circle", "Pentagon"}) {
    draw(kTriangle, "cat", mode);
  }
  EXPECT_EQ(table_rows(),
            (QStringList{"cat|Polygon", "cat|Rectangle", "cat|Circle", "cat|Pentagon"}));
  EXPECT_EQ(record_rows(), table_rows());
  EXPECT_EQ(window->canvas->draw_mode, "Pentagon");  // the combo drives the canvas
  EXPECT_EQ(window->canvas_view->viewport()->cursor().shape(), Qt::CrossCursor);
  window->combo_mode->setCurrentText("Select/Move");
  EXPECT_EQ(window->canvas_view->viewport()->cursor().shape(), Qt::OpenHandCursor);
}

TEST_F(ShapesTest, LabelTypedWithBlanksBecomesANewClassWrittenFirst) {
  write_image(path("a.png"), 100, 100);
  write_file(path("classes.txt"), "dog\n");
  load(dir.path());
  draw(kTriangle, "  cat ");
  EXPECT_EQ(window->classes, (QStringList{"dog", "cat"}));
  EXPECT_EQ(window->last_label, "cat");
  EXPECT_EQ(record_rows(), QStringList{"cat|Polygon"});
  EXPECT_EQ(read_file(path("classes.txt")), "dog\ncat\n");
  EXPECT_TRUE(read_file(path("a.txt")).startsWith("1 "));

  // An existing name is not added twice, and the dialog offers the last label.
  dialogs->exec_answers.push_back([](QDialog& d) {
    auto& dialog = static_cast<LabelDialog&>(d);
    EXPECT_EQ(dialog.combo->currentText(), "cat");
    EXPECT_EQ(dialog.combo->count(), 2);
    return QDialog::Accepted;
  });
  window->handle_new_poly(kTriangle);
  EXPECT_EQ(window->classes, (QStringList{"dog", "cat"}));
  EXPECT_EQ(read_file(path("a.txt")).count('\n'), 2);
  EXPECT_EQ(dialogs->last("exec")->title, "Assign Target Class");
  EXPECT_EQ(dialogs->last("exec")->text, "LabelDialog");
}

TEST_F(ShapesTest, ClassListIsWrittenBeforeTheShape) {
  write_image(path("a.png"), 100, 100);
  load(dir.path());
  // Both writes fail; the order of the two reports is the order of the writes.
  ASSERT_TRUE(QDir().mkpath(path("classes.txt")));
  ASSERT_TRUE(QDir().mkpath(path("a.txt")));
  draw(kTriangle, "cat");
  const std::vector<DialogCall> messages = dialogs->messages();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_TRUE(messages[0].text.contains("classes.txt"));
  EXPECT_TRUE(messages[1].text.contains("a.txt"));
}

TEST_F(ShapesTest, CancelledOrBlankLabelMakesNothing) {
  write_image(path("a.png"), 100, 100);
  load(dir.path());
  answer_label("cat", false);
  window->handle_new_poly(kTriangle);
  answer_label("   ");
  window->handle_new_poly(kTriangle);
  EXPECT_TRUE(window->annotations.empty());
  EXPECT_EQ(window->table_objects->rowCount(), 0);
  EXPECT_EQ(shapes_on_canvas(), 0);
  EXPECT_TRUE(window->classes.isEmpty());
  EXPECT_EQ(window->last_label, "");
  EXPECT_EQ(folder_entries(dir.path()), QStringList{"a.png"});
}

TEST_F(ShapesTest, ColoursFollowTheClassId) {
  write_image(path("a.png"), 100, 100);
  write_file(path("classes.txt"), "c0\nc1\nc2\nc3\nc4\nc5\nc6\nc7\nc8\nc9\n");
  load(dir.path());
  draw(kTriangle, "c0");
  draw(kTriangle, "c1");
  draw(kTriangle, "eleventh");
  EXPECT_EQ(window->classes.indexOf("eleventh"), 10);
  EXPECT_EQ(pen_color(window->annotations[0]), QColor("#00FF00"));
  EXPECT_EQ(pen_color(window->annotations[1]), QColor("#FF0000"));
  EXPECT_EQ(pen_color(window->annotations[2]), pen_color(window->annotations[0]));
  EXPECT_EQ(window->annotations[1].item->brush().color(), QColor(255, 0, 0, 60));
  EXPECT_DOUBLE_EQ(window->annotations[1].item->pen().widthF(), 2.0);

  // A label no longer in the class list takes the first colour.
  window->classes = QStringList{"x", "y", "c1"};
  window->update_annotation_colors();
  EXPECT_EQ(pen_color(window->annotations[0]), QColor("#00FF00"));
  EXPECT_EQ(pen_color(window->annotations[1]), QColor("#0000FF"));
}

TEST_F(ShapesTest, TableSelectionSelectsTheShapeOnTop) {
  write_image(path("a.png"), 100, 100);
  load(dir.path());
  for (const char* label : {"a", "b", "c"}) draw(kTriangle, label);
  window->table_objects->selectRow(1);
  const QList<QGraphicsItem*> selected = window->canvas->selectedItems();
  ASSERT_EQ(selected.size(), 1);
  EXPECT_EQ(selected.first(), window->annotations[1].item);
  const QGraphicsPolygonItem* chosen = window->annotations[1].item;
  EXPECT_DOUBLE_EQ(chosen->pen().widthF(), 4.0);
  EXPECT_EQ(chosen->brush().color().alpha(), 120);
  EXPECT_DOUBLE_EQ(chosen->zValue(), 1.0);
  for (int i : {0, 2}) {
    EXPECT_DOUBLE_EQ(window->annotations[i].item->pen().widthF(), 2.0);
    EXPECT_EQ(window->annotations[i].item->brush().color().alpha(), 60);
    EXPECT_DOUBLE_EQ(window->annotations[i].item->zValue(), 0.0);
  }
  window->table_objects->selectRow(2);
  EXPECT_EQ(window->canvas->selectedItems(), QList<QGraphicsItem*>{window->annotations[2].item});
  EXPECT_DOUBLE_EQ(chosen->pen().widthF(), 2.0);
}

TEST_F(ShapesTest, CanvasSelectionSelectsTheRow) {
  write_image(path("a.png"), 100, 100);
  load(dir.path());
  for (const char* label : {"a", "b", "c"}) draw(kTriangle, label);
  window->annotations[2].item->setSelected(true);
  EXPECT_EQ(selected_table_rows(), QStringList{"2"});
  EXPECT_EQ(window->table_objects->currentRow(), 2);
  EXPECT_DOUBLE_EQ(window->annotations[2].item->pen().widthF(), 4.0);

  // Two shapes selected: only the row of the first selected item.
  window->annotations[0].item->setSelected(true);
  ASSERT_EQ(window->canvas->selectedItems().size(), 2);
  const QGraphicsItem* first = window->canvas->selectedItems().first();
  const int expected_row = first == window->annotations[0].item ? 0 : 2;
  EXPECT_EQ(selected_table_rows(), QStringList{QString::number(expected_row)});

  // Nothing selected on the canvas: no row, so Delete has nothing to act on.
  window->canvas->clearSelection();
  EXPECT_TRUE(selected_table_rows().isEmpty());
  window->ann_delete_selected();
  EXPECT_EQ(window->annotations.size(), 3u);
}

TEST_F(ShapesTest, DeleteByButtonAndByBothKeys) {
  write_image(path("a.png"), 100, 100);
  write_file(path("classes.txt"), "a\nb\nc\nd\n");
  load(dir.path());
  for (const char* label : {"a", "b", "c", "d"}) draw(kTriangle, label);
  show_annotator();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

  window->table_objects->selectRow(1);
  window->btn_delete_shape->click();
  EXPECT_EQ(record_rows(), (QStringList{"a|Polygon", "c|Polygon", "d|Polygon"}));
  EXPECT_EQ(table_rows(), record_rows());
  EXPECT_EQ(shapes_on_canvas(), 3);
  EXPECT_EQ(read_file(path("a.txt")).count('\n'), 3);
  EXPECT_TRUE(window->canvas->selectedItems().isEmpty());

  window->table_objects->selectRow(0);
  QTest::keyClick(window.get(), Qt::Key_Delete);
  EXPECT_EQ(record_rows(), (QStringList{"c|Polygon", "d|Polygon"}));
  window->annotations[1].item->setSelected(true);  // picked on the canvas
  QTest::keyClick(window.get(), Qt::Key_Backspace);
  EXPECT_EQ(record_rows(), QStringList{"c|Polygon"});
  EXPECT_EQ(table_rows(), record_rows());
  EXPECT_EQ(read_file(path("a.txt")), "2 0.100000 0.100000 0.600000 0.100000 0.600000 0.600000\n");

  // With no current row nothing happens.
  QTest::keyClick(window.get(), Qt::Key_Delete);
  EXPECT_EQ(window->annotations.size(), 1u);
}

TEST_F(ShapesTest, CopyOfThePreviousFrame) {
  write_image(path("1.png"), 100, 100);
  write_image(path("2.png"), 200, 100);
  write_file(path("classes.txt"), "cat\ndog\n");
  write_file(path("1.txt"), "1 0.1 0.1 0.5 0.1 0.5 0.5\n0 0.5 0.5 0.2 0.2\n");
  write_file(path("2.txt"), "0 0.9 0.9 0.8 0.9 0.8 0.8\n");
  load(dir.path());

  window->btn_copy_prev->click();  // on the first image
  ASSERT_EQ(dialogs->messages().size(), 1u);
  EXPECT_EQ(dialogs->last("warning")->title, "Unavailable");
  EXPECT_EQ(dialogs->last("warning")->text,
            "No previous image available to copy annotations from.");
  EXPECT_EQ(window->annotations.size(), 2u);

  window->next_image();
  ASSERT_EQ(record_rows(), QStringList{"cat|Polygon"});
  window->btn_copy_prev->click();
  EXPECT_EQ(record_rows(), (QStringList{"dog|Polygon", "cat|Rectangle"}));
  EXPECT_EQ(table_rows(), record_rows());
  // Proportional to the current image: x doubles.
  EXPECT_EQ(window->annotations[0].item->polygon().at(1), QPointF(100, 10));
  EXPECT_EQ(read_file(path("2.txt")),
            "1 0.100000 0.100000 0.500000 0.100000 0.500000 0.500000\n"
            "0 0.400000 0.400000 0.600000 0.400000 0.600000 0.600000 0.400000 0.600000\n");
  // The image's own shape is gone from the canvas too.
  EXPECT_EQ(shapes_on_canvas(), 2);
}

TEST_F(ShapesTest, CopyWithoutImagesWarns) {
  window->copy_previous_frame_shapes();
  ASSERT_EQ(dialogs->count("warning"), 1);
  EXPECT_EQ(dialogs->last("warning")->title, "Unavailable");
  EXPECT_EQ(dialogs->last("warning")->text,
            "No previous image available to copy annotations from.");
}

TEST(LabelDialogTest, LayoutOfferedLabelAndTrimmedAnswer) {
  LabelDialog dialog({"dog", "cat"}, "cat");
  EXPECT_EQ(dialog.windowTitle(), "Assign Target Class");
  EXPECT_EQ(dialog.minimumSize(), QSize(300, 120));
  EXPECT_EQ(dialog.maximumSize(), QSize(300, 120));
  ASSERT_NE(dialog.findChild<QLabel*>(), nullptr);
  EXPECT_EQ(dialog.findChild<QLabel*>()->text(), "Select existing label or type new:");
  EXPECT_TRUE(dialog.combo->isEditable());
  EXPECT_EQ(dialog.combo->currentText(), "cat");
  dialog.combo->setEditText("\t bird  ");
  EXPECT_EQ(dialog.get_label(), "bird");

  EXPECT_EQ(LabelDialog({"dog", "cat"}, "horse").combo->currentText(), "dog");
  EXPECT_EQ(LabelDialog({}, "horse").combo->currentText(), "");
}

TEST_F(ShapesTest, SavingWithoutShapesDeletesTheLabelFile) {
  write_image(path("a.png"), 100, 100);
  write_file(path("a.txt"), "0 0.1 0.1 0.5 0.1 0.5 0.5\n");
  write_file(path("classes.txt"), "cat\n");
  load(dir.path());
  EXPECT_EQ(list_texts(), QStringList{QString::fromUtf8("[✓] a.png")});
  window->table_objects->selectRow(0);
  window->ann_delete_selected();
  EXPECT_FALSE(QFile::exists(path("a.txt")));
  window->btn_save_annotations->click();
  EXPECT_FALSE(QFile::exists(path("a.txt")));
  EXPECT_EQ(list_texts(), QStringList{"[  ] a.png"});
}

TEST_F(ShapesTest, DrawingWithTheMouse) {
  write_image(path("a.png"), 400, 300);
  load(dir.path());
  show_annotator();
  window->combo_mode->setCurrentText("Rectangle");
  answer_label("box");
  drag(QPointF(40, 30), QPointF(200, 150));
  ASSERT_EQ(record_rows(), QStringList{"box|Rectangle"});
  const QPolygonF drawn = window->annotations[0].item->polygon();
  ASSERT_EQ(drawn.size(), 4);
  EXPECT_NEAR(drawn[0].x(), 40, 2);
  EXPECT_NEAR(drawn[2].y(), 150, 2);
  const LabelFileContent saved = parse_label_file(read_file(path("a.txt")), 1, 400, 300);
  ASSERT_EQ(saved.shapes.size(), 1u);
  EXPECT_NEAR(saved.shapes[0].points[2].x(), 200, 2);
  EXPECT_EQ(window->canvas->temp_poly_item, nullptr);
  // A press on the new shape selects it instead of starting another one.
  mouse(QEvent::MouseButtonPress, QPointF(120, 90), Qt::LeftButton, Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, QPointF(120, 90), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(selected_table_rows(), QStringList{"0"});
  EXPECT_EQ(window->annotations.size(), 1u);
}

}  // namespace
