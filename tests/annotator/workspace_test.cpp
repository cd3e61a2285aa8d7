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
      {w.tab_workspace->btn_load_dir, "📂 Load Directory"},
      {w.tab_workspace->btn_set_output, "🎯 Set Output Folder"},
      {w.tab_workspace->btn_prev_img, "◄ Prev"},
      {w.tab_workspace->btn_next_img, "Next ►"},
      {w.tab_workspace->btn_health_check, "🩺 Dataset Health Inspector"},
      {w.tab_workspace->btn_analytics, "📊 Dataset Analytics"},
      {w.tab_workspace->btn_split_export, "📤 Export && Split Dataset"},
      {w.tab_workspace->btn_fit_screen, "FIT"},
      {w.tab_workspace->btn_copy_prev, "📋 Copy Previous Frame Shapes"},
      {w.tab_workspace->btn_load_ai, "🧠 Load AI Model (.pt)"},
      {w.tab_workspace->btn_run_ai, "🤖 Auto-Label Frame"},
      {w.tab_workspace->btn_delete_shape, "🗑️ Delete Selected Shape"},
      {w.tab_workspace->btn_save_annotations, "💾 Save Annotations && Workspace"}};
  for (const auto& [button, text] : buttons) {
    ASSERT_NE(button, nullptr) << text;
    EXPECT_EQ(button->text(), text);
    EXPECT_TRUE(w.tab_workspace->isAncestorOf(button)) << text;
  }
  EXPECT_EQ(w.tab_workspace->btn_split_export->objectName(), "primaryBtn");
  EXPECT_FALSE(w.tab_workspace->btn_run_ai->isEnabled());
  EXPECT_EQ(w.tab_workspace->btn_fit_screen->size(), QSize(48, 32));
  EXPECT_EQ(w.tab_workspace->lbl_output_folder->text(), "Output: Not Set");
  EXPECT_EQ(w.tab_workspace->lbl_output_folder->styleSheet(), "color: #8E8E93;");
  EXPECT_EQ(w.tab_workspace->lbl_img_status->text(), "Status: Pending");
  EXPECT_TRUE(w.tab_workspace->lbl_img_status->alignment() & Qt::AlignHCenter);

  QStringList modes;
  for (int i = 0; i < w.tab_workspace->combo_mode->count(); ++i)
    modes << w.tab_workspace->combo_mode->itemText(i);
  EXPECT_EQ(modes, (QStringList{"Select/Move", "Polygon", "Rectangle", "Circle", "Pentagon"}));
  EXPECT_EQ(w.tab_workspace->combo_mode->currentText(), "Select/Move");
  const QDoubleSpinBox& conf = *w.tab_workspace->spin_ai_conf;
  EXPECT_EQ((std::array{conf.minimum(), conf.maximum(), conf.singleStep(), conf.value()}),
            (std::array{0.01, 1.0, 0.05, 0.25}));
  EXPECT_EQ(w.tab_workspace->table_objects->horizontalHeaderItem(0)->text(), "Label");
  EXPECT_EQ(w.tab_workspace->table_objects->horizontalHeaderItem(1)->text(), "Shape");
  EXPECT_EQ(w.tab_workspace->table_objects->horizontalHeader()->sectionResizeMode(0),
            QHeaderView::Stretch);
  EXPECT_EQ(w.tab_workspace->table_objects->selectionBehavior(), QAbstractItemView::SelectRows);

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
  EXPECT_EQ(tab->image_folder, dir.path());
  EXPECT_EQ(tab->image_paths, (QStringList{path("B.PNG"), path("a.jpg")}));
  EXPECT_EQ(tab->classes, QStringList{"cat"});
  EXPECT_EQ(position(), "0: STATUS: PENDING");
  EXPECT_EQ(tab->lbl_img_status->styleSheet(), "color: #D3112E;");
  EXPECT_EQ(tab->display_cv_img.cols, 40);
  EXPECT_EQ(tab->canvas->sceneRect(), QRectF(0, 0, 40, 30));

  tab->list_images->setCurrentRow(1);  // a click on the row
  EXPECT_EQ(position(), "1: STATUS: ANNOTATED");
  EXPECT_EQ(tab->lbl_img_status->styleSheet(), "color: #10B981;");
  EXPECT_EQ(shapes(), QStringList{"cat|Polygon"});
}

TEST_F(WorkspaceTest, NoWrapAroundAtEitherEnd) {
  images({"1.png", "2.png"}, 20, 20);
  put("classes.txt", "cat\n");
  put("1.txt", "0 0.1 0.1 0.5 0.1 0.5 0.5\n");
  load(dir.path());

  // A shape moved without a release: only a move or a save would write it.
  tab->annotations[0].item->setPos(5, 5);
  EXPECT_EQ(step(tab->btn_prev_img), "0: STATUS: ANNOTATED");
  EXPECT_EQ(read_file(path("1.txt")), "0 0.1 0.1 0.5 0.1 0.5 0.5\n");  // not saved
  EXPECT_EQ(step(tab->btn_next_img), "1: STATUS: PENDING");
  EXPECT_EQ(read_file(path("1.txt")),
            "0 0.350000 0.350000 0.750000 0.350000 0.750000 0.750000\n");  // saved on the move
  EXPECT_EQ(step(tab->btn_next_img), "1: STATUS: PENDING");
  EXPECT_EQ(step(tab->btn_prev_img), "0: STATUS: ANNOTATED");
  tab->jump_to_image(7);
  tab->jump_to_image(-1);
  EXPECT_EQ(position(), "0: STATUS: ANNOTATED");
}

TEST_F(WorkspaceTest, MarkAndStatusLineFollowTheFile) {
  images({"a.png", "b.png"});
  put("b.txt", "0 0.1 0.1 0.5 0.1 0.5 0.5\n");
  put("classes.txt", "cat\n");
  load(dir.path());
  EXPECT_EQ(tab->lbl_img_status->text(), "STATUS: PENDING");
  draw(kTriangle, "cat");
  EXPECT_EQ(list_texts(), (QStringList{"[✓] a.png", "[✓] b.png"}));
  EXPECT_EQ(tab->lbl_img_status->text(), "STATUS: ANNOTATED");
  EXPECT_EQ(read_file(path("a.txt")), kTriangleLine);

  // Deleting the last shape removes the label file and the mark, and a save
  // without shapes writes none.
  for (const char* name : {"a.txt", "b.txt"}) {
    EXPECT_EQ(tab->lbl_img_status->text(), "STATUS: ANNOTATED");
    tab->table_objects->selectRow(0);
    tab->btn_delete_shape->click();
    EXPECT_EQ(tab->lbl_img_status->text(), "STATUS: PENDING");
    tab->btn_save_annotations->click();
    EXPECT_FALSE(QFile::exists(path(name)));
    EXPECT_EQ(shapes(), QStringList());
    tab->next_image();
  }
  EXPECT_EQ(list_texts(), (QStringList{"[  ] a.png", "[  ] b.png"}));
}

TEST_F(WorkspaceTest, CancelledDialogsChangeNothingAndTheOutputFolderShowsItsLastName) {
  images({"a.png"}, 20, 20);
  load(dir.path());
  tab->load_directory();  // no answer queued: cancelled
  EXPECT_EQ(tab->image_folder, dir.path());
  EXPECT_EQ(tab->list_images->count(), 1);
  tab->set_output_folder();
  EXPECT_EQ(dialogs->last("directory")->title, "Select Output Directory");
  EXPECT_FALSE(tab->output_folder.has_value());
  EXPECT_EQ(tab->lbl_output_folder->text(), "Output: Not Set");

  dialogs->directories.push_back(path("u/out"));
  tab->btn_set_output->click();
  EXPECT_EQ(tab->output_folder.value_or(""), path("u/out"));
  EXPECT_EQ(tab->lbl_output_folder->text(), "Output: out");
  EXPECT_EQ(folder_entries(dir.path()), QStringList{"a.png"});  // nothing created
}

TEST_F(WorkspaceTest, FoldersWithoutClassListKeepTheClassesAndVanishedOnesAreReported) {
  images({"one/a.png", "two/b.png", "three/c.png"}, 20, 20);
  put("one/classes.txt", "cat\ndog\n");
  put("three/classes.txt", "bird\n");
  load(path("one"));
  load(path("two"));
  EXPECT_EQ(tab->classes, (QStringList{"cat", "dog"}));
  EXPECT_EQ(list_texts(), QStringList{"[  ] b.png"});
  draw(kTriangle, "dog");  // the first label file brings the list its ids name
  EXPECT_EQ(read_file(path("two/classes.txt")), "cat\ndog\n");
  load(path("three"));
  EXPECT_EQ(tab->classes, QStringList{"bird"});
  load(path("two"));
  EXPECT_EQ(shapes(), QStringList{"dog|Polygon"});
  load(path("three"));

  load(path("gone"));
  ASSERT_EQ(dialogs->count("critical"), 1);
  EXPECT_EQ(dialogs->last("critical")->title, "Error");
  EXPECT_TRUE(dialogs->last("critical")->text.contains(path("gone")));
  EXPECT_EQ(tab->image_folder, path("three"));
  EXPECT_EQ(list_texts(), QStringList{"[  ] c.png"});
}

TEST_F(WorkspaceTest, FitShowsTheWholeImageAndRenderKeepsTheZoom) {
  show_annotator();
  tab->fit_canvas_to_screen();  // empty canvas: nothing happens
  EXPECT_TRUE(tab->canvas_view->transform().isIdentity());

  images({"a.png"}, 1600, 800);
  load(dir.path());
  const QTransform fitted = tab->canvas_view->transform();
  EXPECT_LT(fitted.m11(), 1.0);
  tab->canvas_view->scale(3, 3);
  const QTransform zoomed = tab->canvas_view->transform();
  tab->render_canvas_image();
  EXPECT_EQ(tab->canvas_view->transform(), zoomed);
  tab->btn_fit_screen->click();
  EXPECT_NEAR(tab->canvas_view->transform().m11(), fitted.m11(), 1e-9);
  const QRectF visible =
      tab->canvas_view->mapToScene(tab->canvas_view->viewport()->rect()).boundingRect();
  EXPECT_TRUE(visible.adjusted(-1, -1, 1, 1).contains(QRectF(0, 0, 1600, 800)));
  tab->canvas_view->scale(3, 3);
  tab->render_canvas_image(true);
  EXPECT_NEAR(tab->canvas_view->transform().m11(), fitted.m11(), 1e-9);
}

TEST_F(WorkspaceTest, NamesWithSpacesAndNonAsciiCharacters) {
  const QString folder = path("Daten mit Leerzeichen/猫 ü");
  write_image(folder + "/Bild eins ä.jpg", 40, 20);
  write_file(folder + "/classes.txt", "\357\273\277Katze \xC3\xBC\r\n\r\n\xE7\x8A\xAC\r\n");
  write_file(folder + "/Bild eins ä.txt", "1 0.1 0.1 0.5 0.1 0.5 0.5\r\n");
  load(folder);
  EXPECT_EQ(tab->classes, (QStringList{"Katze ü", "犬"}));
  EXPECT_EQ(list_texts(), QStringList{"[✓] Bild eins ä.jpg"});
  EXPECT_EQ(shapes(), QStringList{"犬|Polygon"});

  draw(QPolygonF({{0, 0}, {20, 0}, {20, 10}}), " 🐈 Kätzchen  ");
  // Extended after its own bytes.
  EXPECT_EQ(read_file(folder + "/classes.txt"),
            "\357\273\277Katze \xC3\xBC\r\n\r\n\xE7\x8A\xAC\r\n🐈 Kätzchen\n");
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
  tab->next_image();
  EXPECT_EQ(list_texts(), (QStringList{"[✓] a.jpg", "[✓] a.png"}));
  EXPECT_EQ(tab->lbl_img_status->text(), "STATUS: ANNOTATED");
  ASSERT_EQ(tab->annotations.size(), 1u);  // same normalised shape, twice the pixels
  EXPECT_EQ(tab->annotations[0].item->polygon().at(2), QPointF(100, 100));
}

TEST_F(WorkspaceTest, EmptyAndTruncatedImagesAreListedButNotShown) {
  images({"a.png"}, 30, 30);
  put("b.jpg", "");
  images({"c.jpg"}, 64, 64);
  const QByteArray jpeg = read_file(path("c.jpg"));
  put("c.jpg", jpeg.left(jpeg.size() / 2));
  put("d.bmp", "BM not really");
  load(dir.path());
  EXPECT_EQ(tab->list_images->count(), 4);
  for (const char* bad : {"b.jpg", "c.jpg", "d.bmp"}) {
    tab->jump_to_image(static_cast<int>(tab->image_paths.indexOf(path(bad))));
    EXPECT_TRUE(position().startsWith(QString("0: Cannot read %1: ").arg(bad))) << position();
    EXPECT_EQ(tab->display_cv_img.cols, 30);
  }
  EXPECT_EQ(folder_entries(dir.path()), (QStringList{"a.png", "b.jpg", "c.jpg", "d.bmp"}));
}

}  // namespace
