// The annotator tab through the real window: layout, loading a folder, the
// image list and its marks, the status line, moving between images.
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>

#include "annotator/annotator_fixture.h"

namespace {

using WorkspaceTest = AnnotatorTest;

QPushButton* button_with_text(QWidget* root, const QString& text) {
  for (QPushButton* button : root->findChildren<QPushButton*>()) {
    if (button->text() == text) return button;
  }
  return nullptr;
}

TEST_F(WorkspaceTest, TabLayoutAndTexts) {
  OrvaneStudio& w = *window;
  ASSERT_EQ(w.tabs->tabText(3), "Image Annotator");
  const struct {
    QPushButton* button;
    const char* text;
  } buttons[] = {
      {w.btn_load_dir, "📂 Load Directory"},
      {w.btn_set_output, "🎯 Set Output Folder"},
      {w.btn_prev_img, "◄ Prev"},
      {w.btn_next_img, "Next ►"},
      {w.btn_health_check, "🩺 Dataset Health Inspector"},
      {w.btn_analytics, "📊 Dataset Analytics"},
      {w.btn_split_export, "📤 Export && Split Dataset"},
      {w.btn_fit_screen, "FIT"},
      {w.btn_copy_prev, "📋 Copy Previous Frame Shapes"},
      {w.btn_load_ai, "🧠 Load AI Model (.pt)"},
      {w.btn_run_ai, "🤖 Auto-Label Frame"},
      {w.btn_delete_shape, "🗑️ Delete Selected Shape"},
      {w.btn_save_annotations, "💾 Save Annotations && Workspace"},
  };
  for (const auto& b : buttons) {
    ASSERT_NE(b.button, nullptr) << b.text;
    EXPECT_EQ(b.button->text(), QString::fromUtf8(b.text));
    EXPECT_TRUE(w.tab_workspace->isAncestorOf(b.button)) << b.text;
  }
  EXPECT_EQ(w.btn_split_export->objectName(), "primaryBtn");
  EXPECT_FALSE(w.btn_run_ai->isEnabled());
  EXPECT_EQ(w.btn_fit_screen->size(), QSize(48, 32));
  EXPECT_EQ(w.lbl_output_folder->text(), "Output: Not Set");
  EXPECT_EQ(w.lbl_output_folder->styleSheet(), "color: #8E8E93;");
  EXPECT_EQ(w.lbl_img_status->text(), "Status: Pending");
  EXPECT_TRUE(w.lbl_img_status->alignment() & Qt::AlignHCenter);

  QStringList modes;
  for (int i = 0; i < w.combo_mode->count(); ++i) modes << w.combo_mode->itemText(i);
  EXPECT_EQ(modes, (QStringList{"Select/Move", "Polygon", "Rectangle", "Circle", "Pentagon"}));
  EXPECT_EQ(w.combo_mode->currentText(), "Select/Move");
  EXPECT_DOUBLE_EQ(w.spin_ai_conf->minimum(), 0.01);
  EXPECT_DOUBLE_EQ(w.spin_ai_conf->maximum(), 1.0);
  EXPECT_DOUBLE_EQ(w.spin_ai_conf->singleStep(), 0.05);
  EXPECT_DOUBLE_EQ(w.spin_ai_conf->value(), 0.25);
  EXPECT_EQ(w.table_objects->columnCount(), 2);
  EXPECT_EQ(w.table_objects->rowCount(), 0);
  EXPECT_EQ(w.table_objects->horizontalHeaderItem(0)->text(), "Label");
  EXPECT_EQ(w.table_objects->horizontalHeaderItem(1)->text(), "Shape");
  EXPECT_EQ(w.table_objects->horizontalHeader()->sectionResizeMode(0), QHeaderView::Stretch);
  EXPECT_EQ(w.table_objects->selectionBehavior(), QAbstractItemView::SelectRows);
  EXPECT_EQ(w.canvas_view->scene(), w.canvas);

  QStringList groups;
  for (QGroupBox* box : w.tab_workspace->findChildren<QGroupBox*>()) {
    groups << box->title() + "@" + QString::number(box->maximumWidth());
  }
  groups.sort();
  // A group box title takes "&&" for one shown "&" (a single "&" is a mnemonic).
  EXPECT_EQ(groups,
            (QStringList{"AI Annotation Workstation@310", "AI Assist && Auto-Labeling@16777215",
                         "Directory && Image Queue@280"}));
  // The AI buttons are left for the model loader to wire up.
  EXPECT_EQ(button_with_text(w.tab_workspace, "🧠 Load AI Model (.pt)"), w.btn_load_ai);
}

TEST_F(WorkspaceTest, ListOrderMarksAndStatus) {
  write_image(path("B.PNG"), 40, 30);
  write_image(path("a.jpg"), 40, 30);
  write_file(path("a.txt"), "0 0.1 0.1 0.5 0.1 0.5 0.5\n");
  write_file(path("c.txt"), "x\n");
  write_image(path("sub/inner.jpg"), 10, 10);
  write_file(path("classes.txt"), "cat\n");
  load(dir.path());

  EXPECT_EQ(dialogs->last("directory")->title, "Select Image Directory");
  EXPECT_EQ(list_texts(), (QStringList{"[  ] B.PNG", QString::fromUtf8("[✓] a.jpg")}));
  EXPECT_EQ(window->image_folder, dir.path());
  EXPECT_EQ(window->image_paths, (QStringList{path("B.PNG"), path("a.jpg")}));
  EXPECT_EQ(window->classes, QStringList{"cat"});
  EXPECT_EQ(window->current_idx, 0);
  EXPECT_EQ(window->list_images->currentRow(), 0);
  EXPECT_EQ(window->lbl_img_status->text(), "STATUS: PENDING");
  EXPECT_EQ(window->lbl_img_status->styleSheet(), "color: #D3112E;");
  EXPECT_EQ(window->display_cv_img.cols, 40);
  EXPECT_EQ(window->canvas->sceneRect(), QRectF(0, 0, 40, 30));

  window->list_images->setCurrentRow(1);  // a click on the row
  EXPECT_EQ(window->current_idx, 1);
  EXPECT_EQ(window->lbl_img_status->text(), "STATUS: ANNOTATED");
  EXPECT_EQ(window->lbl_img_status->styleSheet(), "color: #10B981;");
  EXPECT_EQ(record_rows(), QStringList{"cat|Polygon"});
  EXPECT_EQ(table_rows(), QStringList{"cat|Polygon"});
  EXPECT_EQ(shapes_on_canvas(), 1);
}

TEST_F(WorkspaceTest, NoWrapAroundAtEitherEnd) {
  write_image(path("1.png"), 20, 20);
  write_image(path("2.png"), 20, 20);
  write_file(path("classes.txt"), "cat\n");
  write_file(path("1.txt"), "0 0.1 0.1 0.5 0.1 0.5 0.5\n");
  load(dir.path());

  // A shape moved without a release: only a move or a save would write it.
  window->annotations[0].item->setPos(5, 5);
  window->prev_image();
  EXPECT_EQ(window->current_idx, 0);
  EXPECT_EQ(read_file(path("1.txt")), "0 0.1 0.1 0.5 0.1 0.5 0.5\n");  // not saved

  window->next_image();
  EXPECT_EQ(window->current_idx, 1);
  EXPECT_EQ(read_file(path("1.txt")),
            "0 0.350000 0.350000 0.750000 0.350000 0.750000 0.750000\n");  // saved on the move
  window->next_image();
  EXPECT_EQ(window->current_idx, 1);
  window->btn_next_img->click();
  EXPECT_EQ(window->current_idx, 1);
  window->btn_prev_img->click();
  EXPECT_EQ(window->current_idx, 0);
  window->jump_to_image(7);
  window->jump_to_image(-1);
  EXPECT_EQ(window->current_idx, 0);
}

TEST_F(WorkspaceTest, MarkFollowsSavesWhileStatusKeepsTheLoadState) {
  write_image(path("a.png"), 400, 200);
  load(dir.path());
  draw(QPolygonF({{10, 10}, {100, 10}, {100, 100}}), "cat");
  EXPECT_EQ(list_texts(), QStringList{QString::fromUtf8("[✓] a.png")});
  EXPECT_EQ(window->lbl_img_status->text(), "STATUS: PENDING");
  EXPECT_TRUE(QFile::exists(path("a.txt")));

  // Deleting the last shape removes the label file and the mark.
  window->table_objects->selectRow(0);
  window->btn_delete_shape->click();
  EXPECT_FALSE(QFile::exists(path("a.txt")));
  EXPECT_EQ(list_texts(), QStringList{"[  ] a.png"});
  EXPECT_TRUE(window->annotations.empty());
  EXPECT_EQ(window->table_objects->rowCount(), 0);
  EXPECT_EQ(shapes_on_canvas(), 0);
}

TEST_F(WorkspaceTest, CancelledDialogsChangeNothing) {
  write_image(path("a.png"), 20, 20);
  load(dir.path());
  window->load_directory();  // no answer queued: cancelled
  EXPECT_EQ(window->image_folder, dir.path());
  EXPECT_EQ(window->list_images->count(), 1);
  window->set_output_folder();
  EXPECT_EQ(dialogs->last("directory")->title, "Select Output Directory");
  EXPECT_FALSE(window->output_folder.has_value());
  EXPECT_EQ(window->lbl_output_folder->text(), "Output: Not Set");
}

TEST_F(WorkspaceTest, OutputFolderShowsItsLastComponentOnly) {
  const QStringList before = folder_entries(dir.path());
  dialogs->directories.push_back(path("u/out"));
  window->btn_set_output->click();
  EXPECT_EQ(window->output_folder.value_or(""), path("u/out"));
  EXPECT_EQ(window->lbl_output_folder->text(), "Output: out");
  EXPECT_EQ(folder_entries(dir.path()), before);
}

TEST_F(WorkspaceTest, SecondFolderWithoutClassListKeepsTheClasses) {
  write_image(path("one/a.png"), 20, 20);
  write_file(path("one/classes.txt"), "cat\ndog\n");
  write_image(path("two/b.png"), 20, 20);
  write_image(path("three/c.png"), 20, 20);
  write_file(path("three/classes.txt"), "bird\n");
  load(path("one"));
  load(path("two"));
  EXPECT_EQ(window->classes, (QStringList{"cat", "dog"}));
  EXPECT_EQ(list_texts(), QStringList{"[  ] b.png"});
  load(path("three"));
  EXPECT_EQ(window->classes, QStringList{"bird"});
}

TEST_F(WorkspaceTest, FolderWithoutImagesEmptiesTheList) {
  write_image(path("one/a.png"), 20, 20);
  ASSERT_TRUE(QDir().mkpath(path("empty")));
  load(path("one"));
  load(path("empty"));
  EXPECT_EQ(window->list_images->count(), 0);
  EXPECT_TRUE(window->image_paths.isEmpty());
  EXPECT_FALSE(window->display_cv_img.empty());  // the old picture stays
}

TEST_F(WorkspaceTest, VanishedFolderIsReportedAndChangesNothing) {
  write_image(path("one/a.png"), 20, 20);
  load(path("one"));
  load(path("gone"));
  ASSERT_EQ(dialogs->count("critical"), 1);
  EXPECT_EQ(dialogs->last("critical")->title, "Error");
  EXPECT_TRUE(dialogs->last("critical")->text.contains(path("gone")));
  EXPECT_EQ(window->image_folder, path("one"));
  EXPECT_EQ(list_texts(), QStringList{"[  ] a.png"});
}

TEST_F(WorkspaceTest, FitRestoresTheWholeImage) {
  show_annotator();
  window->fit_canvas_to_screen();  // empty canvas: nothing happens
  EXPECT_TRUE(window->canvas_view->transform().isIdentity());

  write_image(path("a.png"), 1600, 800);
  load(dir.path());
  const QTransform fitted = window->canvas_view->transform();
  EXPECT_LT(fitted.m11(), 1.0);
  window->canvas_view->scale(3, 3);
  window->btn_fit_screen->click();
  EXPECT_NEAR(window->canvas_view->transform().m11(), fitted.m11(), 1e-9);
  const QRectF visible =
      window->canvas_view->mapToScene(window->canvas_view->viewport()->rect()).boundingRect();
  EXPECT_TRUE(visible.adjusted(-1, -1, 1, 1).contains(QRectF(0, 0, 1600, 800)));
}

TEST_F(WorkspaceTest, RenderKeepsZoomUnlessAskedToReset) {
  show_annotator();
  write_image(path("a.png"), 1600, 800);
  load(dir.path());
  window->canvas_view->scale(2, 2);
  const QTransform zoomed = window->canvas_view->transform();
  window->render_canvas_image();
  EXPECT_EQ(window->canvas_view->transform(), zoomed);
  window->render_canvas_image(true);
  EXPECT_NE(window->canvas_view->transform(), zoomed);
}

TEST_F(WorkspaceTest, NamesWithSpacesAndNonAsciiCharacters) {
  const QString folder = path(QString::fromUtf8("Daten mit Leerzeichen/猫 ü"));
  write_image(folder + QString::fromUtf8("/Bild eins ä.jpg"), 40, 20);
  write_file(folder + "/classes.txt",
             "\xEF\xBB\xBF"
             "Katze \xC3\xBC\r\n\r\n\xE7\x8A\xAC\r\n");
  write_file(folder + QString::fromUtf8("/Bild eins ä.txt"), "1 0.1 0.1 0.5 0.1 0.5 0.5\r\n");
  load(folder);
  EXPECT_EQ(window->classes, (QStringList{QString::fromUtf8("Katze ü"), QString::fromUtf8("犬")}));
  EXPECT_EQ(list_texts(), QStringList{QString::fromUtf8("[✓] Bild eins ä.jpg")});
  EXPECT_EQ(record_rows(), QStringList{QString::fromUtf8("犬|Polygon")});

  draw(QPolygonF({{0, 0}, {20, 0}, {20, 10}}), QString::fromUtf8(" 🐈 Kätzchen  "));
  EXPECT_EQ(read_file(folder + "/classes.txt"),
            QString::fromUtf8("Katze ü\n犬\n🐈 Kätzchen\n").toUtf8());
  EXPECT_EQ(read_file(folder + QString::fromUtf8("/Bild eins ä.txt")),
            "1 0.100000 0.100000 0.500000 0.100000 0.500000 0.500000\n"
            "2 0.000000 0.000000 0.500000 0.000000 0.500000 0.500000\n");
}

TEST_F(WorkspaceTest, TwoImagesShareOneLabelFile) {
  write_image(path("a.jpg"), 100, 100);
  write_image(path("a.png"), 200, 200);
  load(dir.path());
  draw(QPolygonF({{10, 10}, {50, 10}, {50, 50}}), "cat");
  // Both marks change with the one file.
  EXPECT_EQ(list_texts(),
            (QStringList{QString::fromUtf8("[✓] a.jpg"), QString::fromUtf8("[✓] a.png")}));
  window->next_image();
  EXPECT_EQ(list_texts(),
            (QStringList{QString::fromUtf8("[✓] a.jpg"), QString::fromUtf8("[✓] a.png")}));
  EXPECT_EQ(window->lbl_img_status->text(), "STATUS: ANNOTATED");
  ASSERT_EQ(window->annotations.size(), 1u);  // same normalised shape, twice the pixels
  EXPECT_EQ(window->annotations[0].item->polygon().at(2), QPointF(100, 100));
}

TEST_F(WorkspaceTest, EmptyAndTruncatedImagesAreListedButNotShown) {
  write_image(path("a.png"), 30, 30);
  write_file(path("b.jpg"), "");
  write_image(path("c.jpg"), 64, 64);
  const QByteArray jpeg = read_file(path("c.jpg"));
  write_file(path("c.jpg"), jpeg.left(jpeg.size() / 2));
  write_file(path("d.bmp"), "BM not really");
  load(dir.path());
  EXPECT_EQ(window->list_images->count(), 4);
  for (const char* bad : {"b.jpg", "c.jpg", "d.bmp"}) {
    window->jump_to_image(static_cast<int>(window->image_paths.indexOf(path(bad))));
    EXPECT_EQ(window->current_idx, 0) << bad;
    EXPECT_TRUE(window->lbl_img_status->text().contains(bad))
        << window->lbl_img_status->text().toStdString();
    EXPECT_EQ(window->display_cv_img.cols, 30);
  }
  EXPECT_EQ(folder_entries(dir.path()), (QStringList{"a.png", "b.jpg", "c.jpg", "d.bmp"}));
}

TEST_F(WorkspaceTest, ClosingWithShapesAndSelectionDoesNotCrash) {
  write_image(path("a.png"), 50, 50);
  load(dir.path());
  draw(QPolygonF({{1, 1}, {20, 1}, {20, 20}}), "cat");
  draw(QPolygonF({{30, 30}, {40, 30}, {40, 40}}), "dog");
  window->annotations[1].item->setSelected(true);
  show_annotator();
  close_window();
  EXPECT_FALSE(window);
  EXPECT_EQ(read_file(path("classes.txt")), "cat\ndog\n");
}

}  // namespace
