// The splitter tab driven through its widgets, with scripted dialogs and real
// files in a temporary folder.
#include "splitter/splitter_tab.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "imaging/source_image.h"
#include "labels/label_file.h"
#include "support/fifo_trap.h"
#include "support/job_wait.h"
#include "support/scripted_dialogs.h"
#include "support/shape_pixels.h"
#include "support/test_files.h"

namespace orvane {
namespace {

class SplitterTabTest : public ::testing::Test {
 protected:
  void SetUp() override {
    in = dir.filePath("in");
    out = dir.filePath("out");
    QDir().mkpath(in);
    tab.entry_split_in->setText(in);
    tab.entry_split_out->setText(out);
  }

  void split(int parts, int mode_index) {
    tab.spin_split_parts->setValue(parts);
    tab.combo_grid_mode->setCurrentIndex(mode_index);
    tab.btn_split->click();
    EXPECT_TRUE(wait_for_job(tab));
  }

  DialogCall last_message() const { return dialogs.messages().back(); }

  QTemporaryDir dir;
  QString in, out;
  ScriptedDialogs dialogs;
  SplitterTab tab{dialogs};
};

TEST_F(SplitterTabTest, PartsOfferTheirGridModesFirstSelected) {
  EXPECT_EQ(tab.combo_grid_mode->count(), 3);  // 4 parts at start
  tab.spin_split_parts->setValue(6);
  QStringList modes;
  for (int i = 0; i < tab.combo_grid_mode->count(); ++i) modes << tab.combo_grid_mode->itemText(i);
  EXPECT_EQ(modes, QStringList({"1 Rows x 6 Cols", "2 Rows x 3 Cols", "3 Rows x 2 Cols",
                                "6 Rows x 1 Cols"}));
  EXPECT_EQ(tab.combo_grid_mode->currentIndex(), 0);
}

TEST_F(SplitterTabTest, RefusedInputWritesNothing) {
  const struct {
    QString in, out, title, text;
  } cases[] = {
      {"", out, "Error", "Specify valid Input and Output directories."},
      {dir.filePath("missing"), out, "Error", "Specify valid Input and Output directories."},
      {in, "  ", "Error", "Specify valid Input and Output directories."},
      {in, out, "No Images", "No images found in input folder."},
  };
  write_file(in + "/notes.txt", "not an image");
  for (const auto& c : cases) {
    tab.entry_split_in->setText(c.in);
    tab.entry_split_out->setText(c.out);
    tab.btn_split->click();
    EXPECT_EQ(last_message().kind, "warning");
    EXPECT_EQ(last_message().title, c.title);
    EXPECT_EQ(last_message().text, c.text);
  }
  EXPECT_FALSE(QFileInfo::exists(out));
}

// A labelled folder: every tile's label file covers the pixels of each
// shape's colour in that tile, with and without overlap, cut by two and by
// four tiles, on the image's edge; a folder whose classes.txt lists other
// names gets no labels, and says why.
TEST_F(SplitterTabTest, LabelsAreClippedToEveryTile) {
  cv::Mat picture(300, 400, CV_8UC3, cv::Scalar(0, 0, 0));
  const std::vector<std::vector<cv::Point>> shapes = {
      {{150, 40}, {260, 40}, {260, 260}, {230, 260}, {230, 80}, {180, 80}, {180, 260}, {150, 260}},
      {{20, 100}, {120, 100}, {120, 200}, {20, 200}},  // cut by two tiles
      {{330, 0}, {400, 0}, {400, 70}},                 // on the edge
  };
  const cv::Scalar colours[] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}};
  QByteArray label_text;
  for (size_t k = 0; k < shapes.size(); ++k) {
    cv::fillPoly(picture, std::vector<std::vector<cv::Point>>{shapes[k]}, colours[k]);
    label_text += QByteArray::number(qsizetype(k));
    for (const cv::Point& p : shapes[k]) {
      label_text += " " + QByteArray::number(p.x / 400.0, 'f', 6) + " " +
                    QByteArray::number(p.y / 300.0, 'f', 6);
    }
    label_text += "\n";
  }
  ASSERT_TRUE(cv::imwrite((in + "/field.png").toStdString(), picture));
  write_file(in + "/field.txt", label_text);
  write_file(in + "/classes.txt", "red\ngreen\nblue\n");
  // Typed key by key, the folder is listed once typing pauses, off the GUI
  // thread: no keystroke waits for a listing.
  QSignalSpy checked(&tab, &SplitterTab::label_fields_updated);
  tab.entry_split_in->clear();
  QTest::keyClicks(tab.entry_split_in, in + "/");
  EXPECT_TRUE(tab.spin_split_keep->isHidden());
  ASSERT_TRUE(checked.wait());
  EXPECT_EQ(checked.count(), 1);
  EXPECT_FALSE(tab.spin_split_keep->isHidden());
  tab.spin_split_keep->setValue(0);  // every piece, however small, is checked below
  for (const int overlap : {0, 20}) {
    SCOPED_TRACE(overlap);
    QDir(out).removeRecursively();
    tab.spin_split_overlap->setValue(overlap);
    split(4, 1);  // 2 x 2, one folder per part
    EXPECT_TRUE(
        last_message().text.endsWith("Labels carried: 4 label files written beside the tiles."))
        << last_message().text.toStdString();
    for (int part = 1; part <= 4; ++part) {
      const QString folder = QString("%1/part_%2/").arg(out).arg(part);
      EXPECT_EQ(read_file(folder + "classes.txt"), "red\ngreen\nblue\n");
      const cv::Mat tile =
          cv::imread((folder + QString("field_part_%1.png").arg(part)).toStdString());
      const LabelFileContent labels = parse_label_file(
          read_file(folder + QString("field_part_%1.txt").arg(part)), 3, tile.cols, tile.rows);
      for (int k = 0; k < 3; ++k) {
        const cv::Mat truth = colour_mask(tile, colours[k]);
        if (cv::countNonZero(truth) < 150) continue;
        std::vector<QPolygonF> carried;
        for (const LabelShape& shape : labels.shapes) {
          if (shape.class_id == k) carried.push_back(shape.points);
        }
        EXPECT_GE(painted_iou(truth, carried), 0.9) << "part " << part << " class " << k;
      }
    }
  }
  // An output folder that already lists other classes keeps its list and gets no labels.
  QDir(out).removeRecursively();
  tab.chk_subfolders->setChecked(false);
  write_file(out + "/classes.txt", "cat\n");
  split(4, 1);
  EXPECT_EQ(read_file(out + "/classes.txt"), "cat\n");
  EXPECT_TRUE(last_message().text.contains("lists other classes"))
      << last_message().text.toStdString();
  EXPECT_FALSE(QFile::exists(out + "/field_part_1.txt"));
}

TEST_F(SplitterTabTest, TilesHaveTheGridGeometryAndPaddedNames) {
  write_image(in + "/photo.png", 1000, 750);
  tab.entry_split_in->setText("  " + in + " ");  // trimmed
  split(6, 1);                                   // 2 Rows x 3 Cols, subfolders on
  EXPECT_EQ(last_message().title, "Splitting Success");
  EXPECT_EQ(last_message().text, "Split 1 images into 6 tile parts.");
  const int widths[] = {333, 333, 334, 333, 333, 334};
  for (int i = 1; i <= 6; ++i) {
    const cv::Mat tile =
        cv::imread(QString("%1/part_%2/photo_part_%2.png").arg(out).arg(i).toStdString());
    ASSERT_FALSE(tile.empty()) << i;
    EXPECT_EQ(tile.cols, widths[i - 1]);
    EXPECT_EQ(tile.rows, 375);
  }

  QDir(out).removeRecursively();
  split(12, 0);
  EXPECT_EQ(folder_entries(out).first(), "part_01");
  EXPECT_EQ(folder_entries(out + "/part_12"), QStringList({"photo_part_12.png"}));

  QDir(out).removeRecursively();
  tab.chk_subfolders->setChecked(false);
  split(4, 1);
  EXPECT_EQ(folder_entries(out), QStringList({"photo_part_1.png", "photo_part_2.png",
                                              "photo_part_3.png", "photo_part_4.png"}));
}

TEST_F(SplitterTabTest, BadImagesGiveHonestCounts) {
  write_file(in + "/zero.jpg", "");
  write_file(in + "/broken.JPG", "not a jpeg at all");
  split(4, 0);
  EXPECT_EQ(last_message().kind, "critical");
  EXPECT_EQ(last_message().text,
            "Split 0 images into 0 tile parts.\n\n2 of 2 images could not be split:\n"
            "broken.JPG: not a readable image, or the file is damaged\n"
            "zero.jpg: the file is empty");

  // Transparent, grey and 16-bit images all give 8-bit colour tiles; an
  // image narrower than the grid gives only its non-empty tiles.
  cv::Mat alpha(40, 40, CV_8UC4, cv::Scalar(10, 20, 30, 0));
  cv::imwrite((in + "/alpha.png").toStdString(), alpha);
  cv::imwrite((in + "/grey.png").toStdString(), cv::Mat(40, 40, CV_8UC1, cv::Scalar(99)));
  cv::imwrite((in + "/deep.png").toStdString(), cv::Mat(40, 40, CV_16UC3, cv::Scalar(60000)));
  cv::imwrite((in + "/thin.png").toStdString(), cv::Mat(10, 3, CV_8UC3, cv::Scalar(1)));
  QDir(in).remove("zero.jpg");
  QDir(in).remove("broken.JPG");
  tab.chk_subfolders->setChecked(false);
  split(4, 0);  // 1 Rows x 4 Cols: the 3-pixel-wide image has one non-empty tile
  EXPECT_EQ(last_message().text, "Split 4 images into 13 tile parts.");
  for (const char* name : {"alpha_part_1.png", "grey_part_2.png", "deep_part_3.png"}) {
    const cv::Mat tile = cv::imread((out + "/" + name).toStdString(), cv::IMREAD_UNCHANGED);
    EXPECT_EQ(tile.type(), CV_8UC3) << name;
  }
  EXPECT_EQ(folder_entries(out).filter("thin"), QStringList({"thin_part_4.png"}));
}

// Images that cannot be read are named with their reasons and not counted;
// what is not a regular file is not gathered at all (a FIFO would block).
TEST_F(SplitterTabTest, UnreadableImagesAreNamedNotCounted) {
  for (int i = 1; i <= 13; ++i)
    write_image(in + QStringLiteral("/g%1.png").arg(i, 2, 10, QChar('0')), 8, 6);
  const QByteArray png = read_file(in + "/g01.png");
  write_file(in + "/b1.jpg", "");
  write_file(in + "/b2.jpg", "words");
  write_file(in + "/b3.jpg", png.left(30));
  write_file(in + "/b4.jpg", QByteArray(1000, '\0'));
  write_file(in + "/b5.jpg", "\xFF\xD8\xFF");
  write_file(in + "/b6.jpg", "BM" + QByteArray(10, 'x'));
  const FifoTrap fifo(in + "/x.png");
  split(2, 0);  // 1 Rows x 2 Cols
  EXPECT_FALSE(fifo.fired());
  EXPECT_EQ(last_message().kind, "critical");
  EXPECT_EQ(last_message().title, "Error");
  const QStringList lines = last_message().text.split('\n');
  ASSERT_EQ(lines.size(), 9) << last_message().text.toStdString();
  EXPECT_EQ(lines[0], "Split 13 images into 26 tile parts.");
  EXPECT_EQ(lines[1], "");
  EXPECT_EQ(lines[2], "6 of 19 images could not be split:");
  for (int i = 1; i <= 6; ++i) {
    EXPECT_TRUE(lines[2 + i].startsWith(QStringLiteral("b%1.jpg: ").arg(i))) << i;
    EXPECT_GT(lines[2 + i].size(), 8) << "no reason for b" << i;
  }
  EXPECT_EQ(folder_entries(out + "/part_1").size(), 13);

  // Beyond ten failures the rest are counted.
  for (int i = 7; i <= 12; ++i) write_file(in + QStringLiteral("/b%1.jpg").arg(i), "");
  split(2, 0);
  EXPECT_TRUE(last_message().text.contains("\n12 of 25 images could not be split:\n"));
  EXPECT_TRUE(last_message().text.endsWith("\n... and 2 more."))
      << last_message().text.toStdString();
}

// The output folder is created with its parents, and a tile that cannot be
// written is reported and not counted.
TEST_F(SplitterTabTest, CreatesTheOutputFolderAndReportsFailedWrites) {
  write_image(in + "/photo.png", 20, 20);
  out = dir.filePath("new/deeper/out");
  tab.entry_split_out->setText(out);
  tab.chk_subfolders->setChecked(false);
  split(4, 1);
  EXPECT_EQ(last_message().text, "Split 1 images into 4 tile parts.");
  EXPECT_EQ(folder_entries(out).size(), 4);

  ASSERT_TRUE(QFile::remove(out + "/photo_part_2.png"));
  ASSERT_TRUE(QDir(out).mkpath("photo_part_2.png"));  // a folder where a tile should go
  split(4, 1);
  EXPECT_EQ(last_message().kind, "critical");
  EXPECT_TRUE(
      last_message().text.startsWith("Split 1 images into 3 tile parts.\n\n"
                                     "1 tile(s) could not be written:\n"));
  EXPECT_TRUE(last_message().text.contains("photo_part_2.png: "));

  write_file(dir.filePath("blocked"), "a file, not a folder");
  tab.entry_split_out->setText(dir.filePath("blocked/out"));
  split(4, 1);
  EXPECT_EQ(last_message().kind, "critical");
  EXPECT_TRUE(last_message().text.contains("could not be created"));
}

// Cancelled after its first image, the splitting says how many images it
// split and tiles it wrote, and exactly those tiles are in the folder, each
// whole; the images it was cutting are dropped.
TEST_F(SplitterTabTest, CancelKeepsWholeTilesAndCountsThem) {
  const QByteArray picture = smooth_picture(3000, 2000, ".jpg");
  for (int i = 0; i < 60; ++i)
    write_file(in + QStringLiteral("/p%1.jpg").arg(i, 2, 10, QChar('0')), picture);
  tab.chk_subfolders->setChecked(false);
  tab.spin_split_parts->setValue(4);
  tab.combo_grid_mode->setCurrentIndex(1);  // 2 Rows x 2 Cols
  EXPECT_TRUE(tab.progress_split->isHidden());
  tab.btn_split->click();
  EXPECT_EQ(tab.btn_split->text(), "Cancel");
  EXPECT_FALSE(tab.progress_split->isHidden());
  ASSERT_TRUE(cancel_after_first_item(tab, tab.progress_split, tab.btn_split));
  EXPECT_EQ(tab.btn_split->text(), "✂ SPLIT IMAGES");
  EXPECT_TRUE(tab.progress_split->isHidden());
  EXPECT_EQ(last_message().title, "Splitting Cancelled");
  const QRegularExpressionMatch said =
      QRegularExpression("^Cancelled: (\\d+) of 60 images split, (\\d+) tiles written\\.$")
          .match(last_message().text);
  ASSERT_TRUE(said.hasMatch()) << last_message().text.toStdString();
  const int images = said.captured(1).toInt();
  EXPECT_GE(images, 1);
  EXPECT_LT(images, 60);
  EXPECT_EQ(said.captured(2).toInt(), 4 * images);
  ASSERT_TRUE(tab.work().stop(QDeadlineTimer(QDeadlineTimer::Forever)));  // the dropped ones end
  const QStringList tiles = folder_entries(out);
  EXPECT_EQ(tiles.size(), 4 * images) << tiles.join(' ').toStdString();
  for (const QString& name : tiles) {
    EXPECT_EQ(read_source_file(out + "/" + name).image.size(), cv::Size(1500, 1000))
        << name.toStdString();
  }
}

}  // namespace
}  // namespace orvane
