// The annotator tab through the real window: layout, loading a folder, the
// image list and its marks, the status line, moving between images.
#include <QDir>
#include <QDoubleSpinBox>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>

#include "annotator/annotator_fixture.h"

using namespace orvane;

namespace {

using WorkspaceTest = AnnotatorTest;

TEST_F(WorkspaceTest, TabLayoutAndTexts) {
  OrvaneStudio& w = *window;
  ASSERT_EQ(w.tabs->tabText(3), "Image Annotator");
  const std::pair<QPushButton*, const char*> buttons[] = {
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
      {w.btn_save_annotations, "💾 Save Annotations && Workspace"}};
  for (const auto& [button, text] : buttons) {
    ASSERT_NE(button, nullptr) << text;
    EXPECT_EQ(button->text(), text);
    EXPECT_TRUE(w.tab_workspace->isAncestorOf(button)) << text;
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
  const QDoubleSpinBox& conf = *w.spin_ai_conf;
  EXPECT_EQ((std::array{conf.minimum(), conf.maximum(), conf.singleStep(), conf.value()}),
            (std::array{0.01, 1.0, 0.05, 0.25}));
  EXPECT_EQ(w.table_objects->horizontalHeaderItem(0)->text(), "Label");
  EXPECT_EQ(w.table_objects->horizontalHeaderItem(1)->text(), "Shape");
  EXPECT_EQ(w.table_objects->horizontalHeader()->sectionResizeMode(0), QHeaderView::Stretch);
  EXPECT_EQ(w.table_objects->selectionBehavior(), QAbstractItemView::SelectRows);

  QStringList groups;
  for (QGroupBox* box : w.tab_workspace->findChildren<QGroupBox*>())
    groups << box->title() + "@" + QString::number(box->maximumWidth());
  groups.sort();
  // A group box title takes "&&" for one shown "&" (a single "&" is a mnemonic).
  EXPECT_EQ(groups,
            (QStringList{"AI Annotation Workstation@310", "AI Assist && Auto-Labeling@16777215",
                         "Directory && Image Queue@280"}));
}

TEST_F(WorkspaceTest, ListOrderMarksAndStatus) {
  images({"B.PNG"}, 40, 30);
  images({"a.jpg", "sub/inner.jpg"}, 40, 30);
  put("a.txt", "0 0.1 0.1 0.5 0.1 0.5 0.5\n");
  put("c.txt", "x\n");
  put("classes.txt", "cat\n");
  load(dir.path());

  EXPECT_EQ(dialogs->last("directory")->title, "Select Image Directory");
  EXPECT_EQ(list_texts(), (QStringList{"[  ] B.PNG", "[✓] a.jpg"}));
  EXPECT_EQ(window->image_folder, dir.path());
  EXPECT_EQ(window->image_paths, (QStringList{path("B.PNG"), path("a.jpg")}));
  EXPECT_EQ(window->classes, QStringList{"cat"});
  EXPECT_EQ(position(), "0: STATUS: PENDING");
  EXPECT_EQ(window->lbl_img_status->styleSheet(), "color: #D3112E;");
  EXPECT_EQ(window->display_cv_img.cols, 40);
  EXPECT_EQ(window->canvas->sceneRect(), QRectF(0, 0, 40, 30));

  window->list_images->setCurrentRow(1);  // a click on the row
  EXPECT_EQ(position(), "1: STATUS: ANNOTATED");
  EXPECT_EQ(window->lbl_img_status->styleSheet(), "color: #10B981;");
  EXPECT_EQ(shapes(), QStringList{"cat|Polygon"});
}

TEST_F(WorkspaceTest, NoWrapAroundAtEitherEnd) {
  images({"1.png", "2.png"}, 20, 20);
  put("classes.txt", "cat\n");
  put("1.txt", "0 0.1 0.1 0.5 0.1 0.5 0.5\n");
  load(dir.path());

  // A shape moved without a release: only a move or a save would write it.
  window->annotations[0].item->setPos(5, 5);
  EXPECT_EQ(step(window->btn_prev_img), "0: STATUS: ANNOTATED");
  EXPECT_EQ(read_file(path("1.txt")), "0 0.1 0.1 0.5 0.1 0.5 0.5\n");  // not saved
  EXPECT_EQ(step(window->btn_next_img), "1: STATUS: PENDING");
  EXPECT_EQ(read_file(path("1.txt")),
            "0 0.350000 0.350000 0.750000 0.350000 0.750000 0.750000\n");  // saved on the move
  EXPECT_EQ(step(window->btn_next_img), "1: STATUS: PENDING");
  EXPECT_EQ(step(window->btn_prev_img), "0: STATUS: ANNOTATED");
  window->jump_to_image(7);
  window->jump_to_image(-1);
  EXPECT_EQ(position(), "0: STATUS: ANNOTATED");
}

TEST_F(WorkspaceTest, MarkFollowsTheFileWhileStatusKeepsTheLoadState) {
  images({"a.png", "b.png"});
  put("b.txt", "0 0.1 0.1 0.5 0.1 0.5 0.5\n");
  put("classes.txt", "cat\n");
  load(dir.path());
  draw(kTriangle, "cat");
  EXPECT_EQ(list_texts(), (QStringList{"[✓] a.png", "[✓] b.png"}));
  EXPECT_EQ(window->lbl_img_status->text(), "STATUS: PENDING");
  EXPECT_EQ(read_file(path("a.txt")), kTriangleLine);

  // Deleting the last shape removes the label file and the mark, and a save
  // without shapes writes none.
  for (const char* name : {"a.txt", "b.txt"}) {
    window->table_objects->selectRow(0);
    window->btn_delete_shape->click();
    window->btn_save_annotations->click();
    EXPECT_FALSE(QFile::exists(path(name)));
    EXPECT_EQ(shapes(), QStringList());
    window->next_image();
  }
  EXPECT_EQ(list_texts(), (QStringList{"[  ] a.png", "[  ] b.png"}));
}

TEST_F(WorkspaceTest, CancelledDialogsChangeNothingAndTheOutputFolderShowsItsLastName) {
  images({"a.png"}, 20, 20);
  load(dir.path());
  window->load_directory();  // no answer queued: cancelled
  EXPECT_EQ(window->image_folder, dir.path());
  EXPECT_EQ(window->list_images->count(), 1);
  window->set_output_folder();
  EXPECT_EQ(dialogs->last("directory")->title, "Select Output Directory");
  EXPECT_FALSE(window->output_folder.has_value());
  EXPECT_EQ(window->lbl_output_folder->text(), "Output: Not Set");

  dialogs->directories.push_back(path("u/out"));
  window->btn_set_output->click();
  EXPECT_EQ(window->output_folder.value_or(""), path("u/out"));
  EXPECT_EQ(window->lbl_output_folder->text(), "Output: out");
  EXPECT_EQ(folder_entries(dir.path()), QStringList{"a.png"});  // nothing created
}

TEST_F(WorkspaceTest, FoldersWithoutClassListKeepTheClassesAndVanishedOnesAreReported) {
  images({"one/a.png", "two/b.png", "three/c.png"}, 20, 20);
  put("one/classes.txt", "cat\ndog\n");
  put("three/classes.txt", "bird\n");
  load(path("one"));
  load(path("two"));
  EXPECT_EQ(window->classes, (QStringList{"cat", "dog"}));
  EXPECT_EQ(list_texts(), QStringList{"[  ] b.png"});
  load(path("three"));
  EXPECT_EQ(window->classes, QStringList{"bird"});

  load(path("gone"));
  ASSERT_EQ(dialogs->count("critical"), 1);
  EXPECT_EQ(dialogs->last("critical")->title, "Error");
  EXPECT_TRUE(dialogs->last("critical")->text.contains(path("gone")));
  EXPECT_EQ(window->image_folder, path("three"));
  EXPECT_EQ(list_texts(), QStringList{"[  ] c.png"});
}

TEST_F(WorkspaceTest, FitShowsTheWholeImageAndRenderKeepsTheZoom) {
  show_annotator();
  window->fit_canvas_to_screen();  // empty canvas: nothing happens
  EXPECT_TRUE(window->canvas_view->transform().isIdentity());

  images({"a.png"}, 1600, 800);
  load(dir.path());
  const QTransform fitted = window->canvas_view->transform();
  EXPECT_LT(fitted.m11(), 1.0);
  window->canvas_view->scale(3, 3);
  const QTransform zoomed = window->canvas_view->transform();
  window->render_canvas_image();
  EXPECT_EQ(window->canvas_view->transform(), zoomed);
  window->btn_fit_screen->click();
  EXPECT_NEAR(window->canvas_view->transform().m11(), fitted.m11(), 1e-9);
  const QRectF visible =
      window->canvas_view->mapToScene(window->canvas_view->viewport()->rect()).boundingRect();
  EXPECT_TRUE(visible.adjusted(-1, -1, 1, 1).contains(QRectF(0, 0, 1600, 800)));
  window->canvas_view->scale(3, 3);
  window->render_canvas_image(true);
  EXPECT_NEAR(window->canvas_view->transform().m11(), fitted.m11(), 1e-9);
}

TEST_F(WorkspaceTest, NamesWithSpacesAndNonAsciiCharacters) {
  const QString folder = path("Daten mit Leerzeichen/猫 ü");
  write_image(folder + "/Bild eins ä.jpg", 40, 20);
  write_file(folder + "/classes.txt", "\357\273\277Katze \xC3\xBC\r\n\r\n\xE7\x8A\xAC\r\n");
  write_file(folder + "/Bild eins ä.txt", "1 0.1 0.1 0.5 0.1 0.5 0.5\r\n");
  load(folder);
  EXPECT_EQ(window->classes, (QStringList{"Katze ü", "犬"}));
  EXPECT_EQ(list_texts(), QStringList{"[✓] Bild eins ä.jpg"});
  EXPECT_EQ(shapes(), QStringList{"犬|Polygon"});

  draw(QPolygonF({{0, 0}, {20, 0}, {20, 10}}), " 🐈 Kätzchen  ");
  EXPECT_EQ(read_file(folder + "/classes.txt"), "Katze ü\n犬\n🐈 Kätzchen\n");
  EXPECT_EQ(read_file(folder + "/Bild eins ä.txt"),
            "1 0.100000 0.100000 0.500000 0.100000 0.500000 0.500000\n"
            "2 0.000000 0.000000 0.500000 0.000000 0.500000 0.500000\n");
}

TEST_F(WorkspaceTest, TwoImagesShareOneLabelFile) {
  images({"a.jpg"});
  images({"a.png"}, 200, 200);
  load(dir.path());
  draw(QPolygonF({{10, 10}, {50, 10}, {50, 50}}), "cat");
  // Both marks change with the one file.
  EXPECT_EQ(list_texts(), (QStringList{"[✓] a.jpg", "[✓] a.png"}));
  window->next_image();
  EXPECT_EQ(list_texts(), (QStringList{"[✓] a.jpg", "[✓] a.png"}));
  EXPECT_EQ(window->lbl_img_status->text(), "STATUS: ANNOTATED");
  ASSERT_EQ(window->annotations.size(), 1u);  // same normalised shape, twice the pixels
  EXPECT_EQ(window->annotations[0].item->polygon().at(2), QPointF(100, 100));
}

TEST_F(WorkspaceTest, EmptyAndTruncatedImagesAreListedButNotShown) {
  images({"a.png"}, 30, 30);
  put("b.jpg", "");
  images({"c.jpg"}, 64, 64);
  const QByteArray jpeg = read_file(path("c.jpg"));
  put("c.jpg", jpeg.left(jpeg.size() / 2));
  put("d.bmp", "BM not really");
  load(dir.path());
  EXPECT_EQ(window->list_images->count(), 4);
  for (const char* bad : {"b.jpg", "c.jpg", "d.bmp"}) {
    window->jump_to_image(static_cast<int>(window->image_paths.indexOf(path(bad))));
    EXPECT_TRUE(position().startsWith(QString("0: Cannot read %1: ").arg(bad))) << position();
    EXPECT_EQ(window->display_cv_img.cols, 30);
  }
  EXPECT_EQ(folder_entries(dir.path()), (QStringList{"a.png", "b.jpg", "c.jpg", "d.bmp"}));
}

}  // namespace
