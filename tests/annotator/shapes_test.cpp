// Shapes through the real window: naming, class list, colours, the object
// table in step with the canvas, delete, copy of the previous frame, and the
// label-file format.
#include <QFile>
#include <tuple>

#include "annotator/annotator_fixture.h"
#include "labels/label_file.h"

using namespace orvane;

namespace {

using ShapesTest = AnnotatorTest;

// The rectangle line of a 400 x 200 image; a box line (class cx cy w h) read
// from the file stays the rectangle it describes.
TEST_F(ShapesTest, RectangleLinesOfA400By200Image) {
  images({"img.png"}, 400, 200);
  put("classes.txt", "car\n");
  put("img.txt", "0 0.5 0.5 0.2 0.2\n");
  load(dir.path());
  ASSERT_EQ(shapes(), QStringList{"car|Rectangle"});
  EXPECT_EQ(tab->annotations[0].item->polygon(),
            QPolygonF({{160, 80}, {240, 80}, {240, 120}, {160, 120}}));
  const QPolygonF rectangle({{100, 50}, {300, 50}, {300, 150}, {100, 150}});
  draw(rectangle, "car", "Rectangle");
  EXPECT_EQ(read_file(path("img.txt")),
            "0 0.400000 0.400000 0.600000 0.400000 0.600000 0.600000 0.400000 0.600000\n"
            "0 0.250000 0.250000 0.750000 0.250000 0.750000 0.750000 0.250000 0.750000\n");
  tab->load_current_image();  // read back both are rectangles again
  EXPECT_EQ(shapes(), (QStringList{"car|Rectangle", "car|Rectangle"}));
  EXPECT_EQ(tab->annotations[1].item->polygon(), rectangle);
}

TEST_F(ShapesTest, LabelTypedWithBlanksBecomesANewClassWrittenFirst) {
  images({"a.png"});
  put("classes.txt", "dog\n");
  load(dir.path());
  answer_label("cat", false);  // cancelled, or nothing but blanks: no shape
  tab->handle_new_poly(kTriangle);
  answer_label("   ");
  tab->handle_new_poly(kTriangle);
  EXPECT_EQ(shapes(), QStringList());
  EXPECT_EQ(tab->last_label, "");
  EXPECT_EQ(folder_entries(dir.path()), (QStringList{"a.png", "classes.txt"}));

  draw(kTriangle, "  cat ");
  EXPECT_EQ(tab->classes, (QStringList{"dog", "cat"}));
  EXPECT_EQ(tab->last_label, "cat");
  EXPECT_EQ(shapes(), QStringList{"cat|Polygon"});
  EXPECT_EQ(read_file(path("classes.txt")), "dog\ncat\n");
  EXPECT_TRUE(read_file(path("a.txt")).startsWith("1 "));

  // An existing name is not added twice, and the dialog offers the last label.
  dialogs->exec_answers.push_back([](QDialog& d) {
    auto& dialog = static_cast<LabelDialog&>(d);
    EXPECT_EQ(dialog.combo->currentText(), "cat");
    EXPECT_EQ(dialog.combo->count(), 2);
    return QDialog::Accepted;
  });
  tab->handle_new_poly(kTriangle);
  EXPECT_EQ(tab->classes, (QStringList{"dog", "cat"}));
  EXPECT_EQ(read_file(path("a.txt")).count('\n'), 2);
  EXPECT_EQ(dialogs->last("exec")->title, "Assign Target Class");
  EXPECT_EQ(dialogs->last("exec")->text, "LabelDialog");
}

TEST_F(ShapesTest, KindIsTheModeAtDrawingTimeAndColourFollowsTheClassId) {
  images({"a.png"});
  put("classes.txt", "c0\nc1\nc2\nc3\nc4\nc5\nc6\nc7\nc8\nc9\n");
  load(dir.path());
  draw(kTriangle, "c0", "Polygon");
  draw(kTriangle, "c1", "Rectangle");
  draw(kTriangle, "eleventh", "Circle");
  draw(kTriangle, "c0", "Pentagon");
  EXPECT_EQ(shapes(),
            (QStringList{"c0|Polygon", "c1|Rectangle", "eleventh|Circle", "c0|Pentagon"}));
  EXPECT_EQ(tab->canvas->draw_mode, "Pentagon");  // the combo drives the canvas
  EXPECT_EQ(tab->canvas_view->viewport()->cursor().shape(), Qt::CrossCursor);
  tab->combo_mode->setCurrentText("Select/Move");
  EXPECT_EQ(tab->canvas_view->viewport()->cursor().shape(), Qt::OpenHandCursor);

  EXPECT_EQ(tab->classes.indexOf("eleventh"), 10);
  auto pen = [&](int i) { return tab->annotations[i].item->pen().color(); };
  EXPECT_EQ(pen(0), QColor("#00FF00"));
  EXPECT_EQ(pen(1), QColor("#FF0000"));
  EXPECT_EQ(pen(2), pen(0));  // the eleventh class shares the first colour
  EXPECT_EQ(tab->annotations[1].item->brush().color(), QColor(255, 0, 0, 60));
  EXPECT_DOUBLE_EQ(tab->annotations[1].item->pen().widthF(), 2.0);
  // A label no longer in the class list takes the first colour.
  tab->classes = QStringList{"x", "y", "c1"};
  tab->update_annotation_colors();
  EXPECT_EQ(pen(0), QColor("#00FF00"));
  EXPECT_EQ(pen(1), QColor("#0000FF"));
}

TEST_F(ShapesTest, SelectionInStepBothWays) {
  images({"a.png"});
  load(dir.path());
  for (const char* label : {"a", "b", "c"}) draw(kTriangle, label);
  // Pen width, fill alpha and stacking of a shape.
  auto look = [&](int i) {
    const QGraphicsPolygonItem* item = tab->annotations[i].item;
    return std::tuple(item->pen().widthF(), item->brush().color().alpha(), item->zValue());
  };
  const auto chosen = std::tuple(4.0, 120, 1.0), plain = std::tuple(2.0, 60, 0.0);
  auto selected_items = [&] { return tab->canvas->selectedItems(); };

  tab->table_objects->selectRow(1);  // the row selects the shape and puts it on top
  EXPECT_EQ(selected_items(), QList<QGraphicsItem*>{tab->annotations[1].item});
  EXPECT_EQ((std::array{look(0), look(1), look(2)}), (std::array{plain, chosen, plain}));
  tab->table_objects->selectRow(2);
  EXPECT_EQ(selected_items(), QList<QGraphicsItem*>{tab->annotations[2].item});
  EXPECT_EQ(look(1), plain);

  tab->canvas->clearSelection();
  tab->annotations[0].item->setSelected(true);  // the shape selects the row
  EXPECT_EQ(selected_table_rows(), QStringList{"0"});
  EXPECT_EQ(tab->table_objects->currentRow(), 0);
  EXPECT_EQ(look(0), chosen);
  // Two shapes selected: only the row of the first selected item.
  tab->annotations[2].item->setSelected(true);
  ASSERT_EQ(selected_items().size(), 2);
  const int first_row = selected_items().first() == tab->annotations[0].item ? 0 : 2;
  EXPECT_EQ(selected_table_rows(), QStringList{QString::number(first_row)});
  // Nothing selected on the canvas: no row, so Delete has nothing to act on.
  tab->canvas->clearSelection();
  EXPECT_TRUE(selected_table_rows().isEmpty());
  tab->ann_delete_selected();
  EXPECT_EQ(tab->annotations.size(), 3u);
}

TEST_F(ShapesTest, DeleteByButtonAndByBothKeys) {
  images({"a.png"});
  put("classes.txt", "a\nb\nc\nd\n");
  load(dir.path());
  for (const char* label : {"a", "b", "c", "d"}) draw(kTriangle, label);
  show_annotator();
  window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));

  tab->table_objects->selectRow(1);
  tab->btn_delete_shape->click();
  EXPECT_EQ(shapes(), (QStringList{"a|Polygon", "c|Polygon", "d|Polygon"}));
  EXPECT_EQ(read_file(path("a.txt")).count('\n'), 3);
  EXPECT_TRUE(tab->canvas->selectedItems().isEmpty());
  tab->table_objects->selectRow(0);
  QTest::keyClick(window.get(), Qt::Key_Delete);
  EXPECT_EQ(shapes(), (QStringList{"c|Polygon", "d|Polygon"}));
  tab->annotations[1].item->setSelected(true);  // picked on the canvas
  QTest::keyClick(window.get(), Qt::Key_Backspace);
  EXPECT_EQ(shapes(), QStringList{"c|Polygon"});
  EXPECT_EQ(read_file(path("a.txt")), "2 0.100000 0.100000 0.600000 0.100000 0.600000 0.600000\n");
  QTest::keyClick(window.get(), Qt::Key_Delete);  // with no current row nothing happens
  EXPECT_EQ(tab->annotations.size(), 1u);
}

TEST_F(ShapesTest, CopyOfThePreviousFrameReplacesTheCurrentShapes) {
  const QString warning =
      "warning|Unavailable|No previous image available to copy annotations from.";
  tab->copy_previous_frame_shapes();  // no images at all
  EXPECT_EQ(messages(), QStringList{warning});

  images({"1.png"});
  images({"2.png"}, 200, 100);
  put("classes.txt", "cat\ndog\n");
  put("1.txt", "1 0.1 0.1 0.5 0.1 0.5 0.5\n0 0.5 0.5 0.2 0.2\n7 0.1 0.1 0.2 0.2 0.3 0.3\n");
  put("2.txt", "0 0.9 0.9 0.8 0.9 0.8 0.8\n0 0.2 0.6 0.3 0.6 0.3 0.9\n5 0.5 0.5 0.6 0.6 0.7 0.7\n");
  load(dir.path());
  tab->btn_copy_prev->click();  // on the first image
  EXPECT_EQ(messages(), (QStringList{warning, warning}));
  EXPECT_EQ(tab->annotations.size(), 2u);

  tab->next_image();
  ASSERT_EQ(shapes(), (QStringList{"cat|Polygon", "cat|Polygon"}));
  tab->btn_copy_prev->click();
  // Only the copied shapes are shown, listed and saved: the image's own are
  // gone from the canvas too (the picture and two shapes are left).
  EXPECT_EQ(shapes(), (QStringList{"dog|Polygon", "cat|Rectangle"}));
  EXPECT_EQ(tab->canvas->items().size(), 3);
  // Proportional to the current image: x doubles.
  EXPECT_EQ(tab->annotations[0].item->polygon().at(1), QPointF(100, 10));
  // The image's own line of an unknown class stays; the previous image's
  // stays in its own file only, which was not changed and is not rewritten.
  EXPECT_EQ(read_file(path("2.txt")),
            "1 0.100000 0.100000 0.500000 0.100000 0.500000 0.500000\n"
            "0 0.400000 0.400000 0.600000 0.400000 0.600000 0.600000 0.400000 0.600000\n"
            "5 0.5 0.5 0.6 0.6 0.7 0.7\n");
  EXPECT_EQ(read_file(path("1.txt")),
            "1 0.1 0.1 0.5 0.1 0.5 0.5\n0 0.5 0.5 0.2 0.2\n7 0.1 0.1 0.2 0.2 0.3 0.3\n");
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

TEST_F(ShapesTest, DrawnWithTheMouseThenDraggedAndSaved) {
  images({"a.png"}, 400, 300);
  load(dir.path());
  show_annotator();
  tab->combo_mode->setCurrentText("Rectangle");
  answer_label("box");
  drag(QPointF(40, 30), QPointF(200, 150));
  ASSERT_EQ(shapes(), QStringList{"box|Rectangle"});
  const QPolygonF drawn = tab->annotations[0].item->polygon();
  ASSERT_EQ(drawn.size(), 4);
  EXPECT_NEAR(drawn[0].x(), 40, 2);
  EXPECT_NEAR(drawn[2].y(), 150, 2);
  EXPECT_EQ(tab->canvas->temp_poly_item, nullptr);
  // A press on the new shape selects it instead of starting another one.
  mouse(QEvent::MouseButtonPress, QPointF(120, 90), Qt::LeftButton, Qt::LeftButton);
  mouse(QEvent::MouseButtonRelease, QPointF(120, 90), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(selected_table_rows(), QStringList{"0"});
  EXPECT_EQ(tab->annotations.size(), 1u);

  // Dragged in "Select/Move", the shape follows and is saved where the drag ends.
  tab->combo_mode->setCurrentText("Select/Move");
  drag(QPointF(120, 90), QPointF(220, 190));
  ASSERT_NEAR(tab->annotations[0].item->pos().x(), 100, 2);
  const LabelFileContent saved = parse_label_file(read_file(path("a.txt")), 1, 400, 300);
  ASSERT_EQ(saved.shapes.size(), 1u);
  EXPECT_NEAR(saved.shapes[0].points[0].x(), 140, 2);
  EXPECT_NEAR(saved.shapes[0].points[2].y(), 250, 2);
}

}  // namespace
