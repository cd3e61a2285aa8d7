// The resizer tab through its real widgets, with scripted dialogs and real
// files in a temporary folder.
#include "resizer/resizer_tab.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGraphicsScene>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "imaging/image_encode.h"
#include "imaging/lanczos.h"
#include "imaging/png_writer.h"
#include "imaging/source_image.h"
#include "labels/label_file.h"
#include "support/fifo_trap.h"
#include "support/job_wait.h"
#include "support/scripted_dialogs.h"
#include "support/shape_pixels.h"
#include "support/test_files.h"

namespace orvane {
namespace {

QByteArray encoded(const cv::Mat& image, const char* ext) {
  std::vector<uchar> out;
  EXPECT_TRUE(cv::imencode(ext, image, out));
  return QByteArray(reinterpret_cast<const char*>(out.data()), qsizetype(out.size()));
}

// A picture with detail, so JPEG sizes depend on the quality.
cv::Mat photo(int w, int h) {
  cv::Mat image(h, w, CV_8UC3);
  cv::randu(image, 0, 255);
  cv::GaussianBlur(image, image, {0, 0}, 2.0);
  return image;
}

// Grey with alpha, left half transparent.
QByteArray grey_alpha_png(int w, int h) {
  return make_png(w, h, 8, 4, [w](int) {
    QByteArray row;
    for (int x = 0; x < w; ++x) row.append(char(x * 7)).append(x < w / 2 ? '\0' : '\xFF');
    return row;
  });
}

// A 30000 x 30000 PNG header of one colour: refused before decoding, so the
// memory it would take is never asked for.
QByteArray vast_png() {
  return QByteArray("\x89PNG\r\n\x1A\n", 8) +
         png_chunk("IHDR", QByteArray("\0\0\x75\x30\0\0\x75\x30\x08\x02\0\0\0", 13)) +
         png_chunk("IDAT", QByteArray("\x78\x01", 2)) + png_chunk("IEND", {});
}

class ResizerTabTest : public ::testing::Test {
 protected:
  void SetUp() override {
    in = dir.path() + QStringLiteral("/in ü");
    out = dir.path() + QStringLiteral("/out");
    QDir().mkpath(in);
    QDir().mkpath(out);
  }

  QString add(const QString& name, const QByteArray& bytes) {
    const QString path = in + QLatin1Char('/') + name;
    write_file(path, bytes);
    dialogs.open_file_lists.push_back({path});
    tab.btn_add_files->click();
    return path;
  }

  // Selects `row` anew, so the prediction is recomputed.
  QString predict(int row) {
    tab.list_resizer_queue->setCurrentRow(-1);
    tab.list_resizer_queue->setCurrentRow(row);
    return tab.lbl_resizer_details->text();
  }

  // Runs the batch into `folder`; returns what it printed.
  std::string run(const QString& folder) {
    dialogs.directories.push_back(folder);
    testing::internal::CaptureStdout();
    tab.btn_run_resizer->click();
    EXPECT_TRUE(wait_for_job(tab));
    return testing::internal::GetCapturedStdout();
  }

  // Queues `n` pictures that take the batch seconds (each resampled at its
  // full size), so it is still running when a test acts on it.
  void queue_long_batch(int n) {
    const QByteArray picture = smooth_picture(3000, 2000, ".jpg");
    QStringList paths;
    for (int i = 0; i < n; ++i) {
      paths << in + QStringLiteral("/p%1.jpg").arg(i, 2, 10, QLatin1Char('0'));
      write_file(paths.back(), picture);
    }
    dialogs.open_file_lists.push_back(paths);
    tab.btn_add_files->click();
    tab.entry_resize_w->setText("2999");
    dialogs.directories.push_back(out);
  }

  QString message() const {
    const DialogCall* call = dialogs.last(QStringLiteral("information"));
    return call ? call->title + QStringLiteral(": ") + call->text : QString();
  }

  QTemporaryDir dir;
  QString in, out;
  ScriptedDialogs dialogs;
  ResizerTab tab{dialogs};
};

TEST_F(ResizerTabTest, QueueTakesEachPathOnce) {
  const QStringList files = {in + "/a.jpg", in + "/b.png", in + "/a.jpg", in + "/c d.webp"};
  dialogs.open_file_lists.push_back(files);
  tab.btn_add_files->click();
  EXPECT_EQ(tab.lbl_queue_count->text(), "3 files in queue");
  EXPECT_EQ(tab.list_resizer_queue->item(2)->text(), "c d.webp");

  // Clearing takes the shown preview and its prediction with it.
  write_file(files[0], encoded(photo(40, 30), ".jpg"));
  tab.list_resizer_queue->setCurrentRow(0);
  ASSERT_TRUE(tab.lbl_resizer_details->text().contains("40"));
  tab.btn_clear_queue->click();
  EXPECT_EQ(tab.lbl_queue_count->text(), "0 files in queue");
  EXPECT_EQ(tab.list_resizer_queue->count(), 0);
  EXPECT_EQ(tab.lbl_resizer_details->text(),
            "Select an image from queue to preview expected output.");
  EXPECT_TRUE(tab.preview_resizer_view->scene()->sceneRect().isEmpty());
  tab.entry_resize_w->setText("20");  // nothing to predict for
  EXPECT_EQ(tab.lbl_resizer_details->text(),
            "Select an image from queue to preview expected output.");

  const QString folder = dir.path() + "/folder";
  write_file(folder + "/A.JPG", "x");
  write_file(folder + "/b.txt", "x");
  write_file(folder + "/sub/c.png", "x");
  dialogs.directories.push_back(folder);
  tab.btn_add_folder->click();
  EXPECT_EQ(tab.lbl_queue_count->text(), "1 files in queue");
  EXPECT_EQ(tab.resizer_queue, QStringList{folder + "/A.JPG"});

  tab.chk_recursive->setChecked(true);
  dialogs.directories.push_back(folder);
  tab.btn_add_folder->click();
  EXPECT_EQ(tab.resizer_queue, (QStringList{folder + "/A.JPG", folder + "/sub/c.png"}));

  tab.btn_add_folder->click();  // cancelled
  EXPECT_EQ(tab.resizer_queue.size(), 2);
}

// "Include Subfolders" follows links to folders but walks each real folder
// once, queues each file once, and passes over what is not a regular file
// (a FIFO would block the reading).
TEST_F(ResizerTabTest, AddFolderWalksEachRealFolderOnce) {
  const QString folder = dir.path() + "/folder";
  write_file(folder + "/b.png", "x");
  write_file(folder + "/a.jpg", "x");
  write_file(folder + "/sub/c.jpg", "x");
  write_file(dir.path() + "/beside.jpg", "x");
  const FifoTrap fifo(folder + "/x.jpg");
  ASSERT_TRUE(QFile::link(".", folder + "/loop"));
  const QStringList own = {folder + "/a.jpg", folder + "/b.png", folder + "/sub/c.jpg"};
  const struct {
    const char* link;  // made in the folder before the walk, to ".."
    QStringList queue;
  } cases[] = {
      {nullptr, own},
      {"up", own + QStringList{folder + "/up/beside.jpg"}},
  };
  tab.chk_recursive->setChecked(true);
  for (const auto& c : cases) {
    if (c.link != nullptr) {
      ASSERT_TRUE(QFile::link("..", folder + "/" + c.link));
    }
    tab.btn_clear_queue->click();
    dialogs.directories.push_back(folder);
    tab.btn_add_folder->click();
    EXPECT_EQ(tab.resizer_queue, c.queue) << (c.link ? c.link : "loop only");
  }
  tab.list_resizer_queue->setCurrentRow(0);  // a preview reads the file
  EXPECT_FALSE(fifo.fired());
}

// The shown prediction follows each field as it changes, with the selection
// left as it is.
TEST_F(ResizerTabTest, PredictionFollowsEveryFieldWithoutReselecting) {
  add("wide.png", encoded(cv::Mat(1000, 2000, CV_8UC3, cv::Scalar(9)), ".png"));
  tab.entry_resize_w->setText("1000");
  tab.entry_resize_h->clear();
  tab.list_resizer_queue->setCurrentRow(0);
  const auto shown = [&] { return tab.lbl_resizer_details->text().section(" | ", 0, 1); };
  EXPECT_EQ(shown(), "Predicted Output: 1000x500 px | 300.0 DPI");
  struct Step {
    std::function<void()> change;
    QString expected;
  } steps[] = {
      {[&] { tab.entry_resize_w->setText("10"); }, "Predicted Output: 10x5 px | 300.0 DPI"},
      {[&] { tab.combo_unit->setCurrentText("cm"); }, "Predicted Output: 1181x590 px | 300.0 DPI"},
      {[&] { tab.entry_dpi->setText("150"); }, "Predicted Output: 591x296 px | 150.0 DPI"},
      {[&] { tab.combo_resizer_rotate->setCurrentText("90°"); },
       "Predicted Output: 296x591 px | 150.0 DPI"},
      {[&] { tab.chk_enable_dim->setChecked(false); },
       "Predicted Output: 1000x2000 px | 150.0 DPI"},
  };
  for (const Step& step : steps) {
    step.change();
    EXPECT_EQ(shown().toStdString(), step.expected.toStdString());
  }
}

TEST_F(ResizerTabTest, PredictionFollowsUnitsRotationAndOrientation) {
  const QString path =
      add("wide.png", encoded(cv::Mat(1000, 2000, CV_8UC3, cv::Scalar(9)), ".png"));
  const QString kb = QString::number(QFileInfo(path).size() / 1024.0, 'f', 1);
  tab.entry_resize_w->setText("10");
  tab.combo_unit->setCurrentText("cm");
  EXPECT_EQ(predict(0), "Predicted Output: 1181x590 px | 300.0 DPI | Orig: " + kb + " KB");
  EXPECT_EQ(tab.preview_resizer_view->scene()->items().size(), 1);

  tab.combo_unit->setCurrentText("px");
  tab.entry_resize_w->setText("800");
  tab.entry_resize_h->setText("600");
  tab.combo_resizer_rotate->setCurrentText("90°");
  tab.entry_dpi->setText("");
  EXPECT_TRUE(predict(0).startsWith("Predicted Output: 600x800 px | 300.0 DPI"));

  tab.chk_enable_dim->setChecked(false);
  tab.combo_resizer_rotate->setCurrentText("0°");
  EXPECT_TRUE(predict(0).startsWith("Predicted Output: 2000x1000 px"));

  tab.chk_enable_dim->setChecked(true);
  tab.entry_resize_w->setText("abc");
  EXPECT_EQ(predict(0), "Preview Error: could not convert string to float: 'abc'");
  EXPECT_EQ(tab.preview_resizer_view->scene()->items().size(), 1);  // picture kept

  // A phone picture stored sideways: the prediction uses the upright size.
  cv::Mat sideways(20, 40, CV_8UC3, cv::Scalar(50, 60, 70));
  QByteArray jpeg = encoded(sideways, ".jpg");
  const QByteArray exif(
      "\xFF\xE1\x00\x22"
      "Exif\0\0MM\0*\0\0\0\x08\0\x01\x01\x12\0\x03\0\0\0\x01\0\x06\0\0\0\0\0\0",
      36);
  add("sideways.jpg", jpeg.left(2) + exif + jpeg.mid(2));
  tab.chk_enable_dim->setChecked(false);
  EXPECT_TRUE(predict(1).startsWith("Predicted Output: 20x40 px")) << predict(1).toStdString();

  add("notes.jpg", "not a picture");
  EXPECT_TRUE(predict(2).startsWith("Preview Error: "));
  add("vast.png", vast_png());
  EXPECT_TRUE(predict(3).startsWith("Preview Error: ")) << predict(3).toStdString();
}

// Mended: Qt's reader refuses images above its allocation limit; a WEBP
// cannot be decoded at a reduced size, so it needs the raised limit.
TEST_F(ResizerTabTest, PreviewShowsPhotosOfMoreThanAHundredMegapixels) {
  std::vector<uchar> webp;
  ASSERT_TRUE(cv::imencode(".webp", cv::Mat(10240, 10240, CV_8UC3, cv::Scalar(40, 50, 60)), webp,
                           {cv::IMWRITE_WEBP_QUALITY, 101}));  // lossless: a few KB
  add("huge.webp", QByteArray(reinterpret_cast<const char*>(webp.data()), qsizetype(webp.size())));
  const QString text = predict(0);
  EXPECT_TRUE(text.startsWith("Predicted Output: 10240x10240 px")) << text.toStdString();
  EXPECT_EQ(tab.preview_resizer_view->scene()->items().size(), 1);
}

TEST_F(ResizerTabTest, PhotoShrinksWithItsNameAndDpi) {
  add("photo.JPG", encoded(photo(4000, 3000), ".jpg"));
  tab.entry_resize_w->setText("1000");
  run(out);
  const QString written = out + "/photo_scaled.JPG";
  const QByteArray bytes = read_file(written);
  ASSERT_EQ(sniff_format(bytes), ImageFormat::Jpeg);
  const QImage image = QImage::fromData(bytes);
  EXPECT_EQ(image.size(), QSize(1000, 750));
  EXPECT_EQ(image.dotsPerMeterX(), 11811);  // 300 DPI
  EXPECT_EQ(tab.progress_resizer->value(), 1);
  EXPECT_EQ(message(), "Export Complete: Batch process finished. Exported 1 images.");
}

// Mended: "Match Original" keeps the source's format when the picture
// changes, and alpha is dropped for JPEG only (grey with alpha included).
TEST_F(ResizerTabTest, FormatsAndAlpha) {
  cv::Mat logo(40, 60, CV_8UC4, cv::Scalar(0, 0, 255, 0));
  add("logo.png", encoded(logo, ".png"));
  add("grey alpha.png", grey_alpha_png(30, 20));
  tab.entry_resize_w->setText("30");
  tab.combo_resizer_rotate->setCurrentText("90°");
  run(out);
  const SourceImage kept = read_source_file(out + "/logo_scaled.png");
  EXPECT_EQ(kept.format, ImageFormat::Png);
  EXPECT_EQ(kept.image.channels(), 4);
  EXPECT_EQ(kept.image.size(), cv::Size(20, 30));  // 30 x 20, turned

  for (const char* choice : {"JPEG", "WEBP"}) {
    tab.combo_resizer_format->setCurrentText(choice);
    const std::string printed = run(out);
    EXPECT_EQ(printed, "") << choice;
    EXPECT_TRUE(message().contains("Exported 2 images.")) << choice;
  }
  const SourceImage logo_jpeg = read_source_file(out + "/logo_scaled.jpeg");
  EXPECT_EQ(logo_jpeg.format, ImageFormat::Jpeg);
  EXPECT_EQ(logo_jpeg.image.channels(), 3);
  EXPECT_EQ(read_source_file(out + "/grey alpha_scaled.jpeg").image.channels(), 3);
  EXPECT_EQ(read_source_file(out + "/grey alpha_scaled.webp").image.channels(), 4);
}

TEST_F(ResizerTabTest, LaterOfTwoSameNamedEntriesWins) {
  const QString second = dir.path() + "/other/x.png";
  add("x.png", encoded(cv::Mat(10, 10, CV_8UC3, cv::Scalar(0, 0, 255)), ".png"));
  write_file(second, encoded(cv::Mat(10, 10, CV_8UC3, cv::Scalar(255, 0, 0)), ".png"));
  dialogs.open_file_lists.push_back({second});
  tab.btn_add_files->click();
  run(out);
  const cv::Mat result = read_source_file(out + "/x_scaled.png").image;
  ASSERT_FALSE(result.empty());
  EXPECT_EQ(result.at<cv::Vec3b>(5, 5), cv::Vec3b(255, 0, 0));
}

// A labelled source: its shapes follow the picture through the resize and
// every turn, checked against the pixels of each shape's own colour.
TEST_F(ResizerTabTest, LabelsTravelWithTheResizedAndTurnedImage) {
  cv::Mat picture(120, 200, CV_8UC3, cv::Scalar(0, 0, 0));
  const std::vector<cv::Point> triangle = {{20, 10}, {110, 30}, {40, 100}};
  cv::fillPoly(picture, std::vector<std::vector<cv::Point>>{triangle}, cv::Scalar(0, 0, 255));
  cv::rectangle(picture, cv::Rect(120, 50, 60, 50), cv::Scalar(255, 0, 0), cv::FILLED);
  add("shapes.png", encoded(picture, ".png"));
  write_file(in + "/shapes.txt",
             "0 0.1 0.083333 0.55 0.25 0.2 0.833333\n1 0.75 0.625 0.3 0.416667\n5 0.1\n");
  write_file(in + "/classes.txt", "red\nblue\n");
  add("plain.png", encoded(picture, ".png"));  // no label file: no label output
  tab.entry_resize_w->setText("160");
  for (const char* turn : {"0°", "90°", "180°", "270°"}) {
    SCOPED_TRACE(turn);
    tab.combo_resizer_rotate->setCurrentText(turn);
    run(out);
    EXPECT_TRUE(message().contains("Labels carried: 1 label files written"))
        << message().toStdString();
    EXPECT_TRUE(message().contains("shapes.txt: 1 lines that are not shapes were not carried"));
    const cv::Mat result = read_source_file(out + "/shapes_scaled.png").image;
    const LabelFileContent labels =
        parse_label_file(read_file(out + "/shapes_scaled.txt"), 2, result.cols, result.rows);
    ASSERT_EQ(labels.shapes.size(), 2u);
    EXPECT_TRUE(labels.shapes[1].box_line);
    for (const LabelShape& shape : labels.shapes) {
      const cv::Scalar colour = shape.class_id == 0 ? cv::Scalar(0, 0, 255) : cv::Scalar(255, 0, 0);
      EXPECT_GE(painted_iou(colour_mask(result, colour), {shape.points}), 0.9)
          << "class " << shape.class_id;
    }
  }
  EXPECT_FALSE(QFile::exists(out + "/plain_scaled.txt"));
  EXPECT_EQ(read_file(out + "/classes.txt"), "red\nblue\n");
}

// Mended: into the folder of the sources, no file the run did not write is
// replaced, and two entries with one output name count as one file written.
TEST_F(ResizerTabTest, WritingBesideTheSourcesReplacesNothingOfTheUsers) {
  const cv::Mat red(10, 10, CV_8UC3, cv::Scalar(0, 0, 255));
  add("a.jpg", encoded(red, ".jpg"));
  add("a.png", encoded(red, ".png"));
  add("b.jpg", encoded(red, ".jpg"));
  add("c.png", encoded(red, ".png"));
  write_file(in + "/b_scaled.jpeg", "the user's own");
  tab.combo_resizer_format->setCurrentText("JPEG");
  struct Case {
    QString folder;
    QString count;
    QStringList failed;  // in queue order
  } cases[] = {
      {in,
       "Exported 2 images.",
       {"a.jpg: its output a_scaled.jpeg was replaced by that of a.png",
        "b.jpg: b_scaled.jpeg is already in the folder"}},
      // Its own earlier outputs are now files this run did not write either.
      {in,
       "Exported 0 images.",
       {"a.jpg: a_scaled.jpeg is already", "a.png: a_scaled.jpeg is", "b.jpg: b_scaled.jpeg is",
        "c.png: c_scaled.jpeg is"}},
      // A folder apart from the sources: replaced as asked, twice.
      {out, "Exported 3 images.", {"a.jpg: its output a_scaled.jpeg was replaced"}},
      {out, "Exported 3 images.", {"a.jpg: its output a_scaled.jpeg was replaced"}},
  };
  for (const Case& c : cases) {
    run(c.folder);
    const QString text = message();
    EXPECT_TRUE(text.startsWith("Export Complete: Batch process finished. " + c.count))
        << text.toStdString();
    const QStringList lines = text.split('\n').filter(": ").mid(1);
    ASSERT_EQ(lines.size(), c.failed.size()) << text.toStdString();
    for (qsizetype i = 0; i < lines.size(); ++i) {
      EXPECT_TRUE(lines[i].startsWith(c.failed[i])) << text.toStdString();
    }
  }
  EXPECT_EQ(read_file(in + "/b_scaled.jpeg"), "the user's own");
  EXPECT_EQ(QDir(in).entryList(QDir::Files),
            (QStringList{"a.jpg", "a.png", "a_scaled.jpeg", "b.jpg", "b_scaled.jpeg", "c.png",
                         "c_scaled.jpeg"}));
}

// Mended: the message counts what was written and names what failed.
TEST_F(ResizerTabTest, FailuresAreCountedAndNamed) {
  const QByteArray good = encoded(photo(64, 48), ".jpg");
  add("good.jpg", good);
  const QString gone = add("gone.png", good);
  QFile::remove(gone);
  add("notes.jpg", "just words");
  add("cut.jpg", good.left(good.size() - 30));
  add("empty.png", "");
  add("vast.png", vast_png());
  add("words.webp", "more words");
  const std::string printed = run(out);
  EXPECT_EQ(QDir(out).entryList(QDir::Files), QStringList{"good_scaled.jpg"});
  const QString text = message();
  EXPECT_TRUE(text.contains("Exported 1 images.")) << text.toStdString();
  for (const char* name : {"gone.png: ", "notes.jpg: ", "cut.jpg: ", "empty.png: "}) {
    EXPECT_TRUE(text.contains(name)) << name;
  }
  // One line per failure, in queue order.
  EXPECT_TRUE(text.contains("... and 1 more.")) << text.toStdString();  // five named at most
  EXPECT_TRUE(text.contains("6 of 7 files failed:")) << text.toStdString();
  EXPECT_FALSE(text.contains("words.webp")) << text.toStdString();
  EXPECT_EQ(QString::fromStdString(printed).count("Resizer Error: "), 6);
  EXPECT_LT(printed.find("gone.png"), printed.find("notes.jpg"));
  EXPECT_LT(printed.find("cut.jpg"), printed.find("empty.png"));
  EXPECT_EQ(tab.progress_resizer->value(), 7);

  // A folder nothing can be written into.
  run(QStringLiteral("/proc"));
  EXPECT_TRUE(message().contains("Exported 0 images.")) << message().toStdString();
  EXPECT_TRUE(message().contains("good.jpg: ")) << message().toStdString();
}

// A DPI, size or ceiling that is not a number is said once, before anything
// is asked or written; every file would have failed on it.
TEST_F(ResizerTabTest, BadNumbersStopBeforeAnythingIsWritten) {
  add("a.png", encoded(cv::Mat(10, 10, CV_8UC3, cv::Scalar(1)), ".png"));
  add("b.png", encoded(cv::Mat(10, 10, CV_8UC3, cv::Scalar(1)), ".png"));
  const struct {
    const char *dpi, *width, *kb;
    const char* said;
  } cases[] = {
      {"abc", "", "500", "\"abc\""},
      {"300", "abc", "500", "could not convert string to float: 'abc'"},
      {"300", "", "12 KB", "could not convert string to float: '12 KB'"},
  };
  tab.chk_enable_comp->setChecked(true);
  for (const auto& c : cases) {
    tab.entry_dpi->setText(c.dpi);
    tab.entry_resize_w->setText(c.width);
    tab.entry_target_kb->setText(c.kb);
    dialogs.calls.clear();
    testing::internal::CaptureStdout();
    tab.btn_run_resizer->click();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(dialogs.calls.size(), 1u) << c.said;  // the warning alone: no folder asked
    const DialogCall* warning = dialogs.last("warning");
    ASSERT_NE(warning, nullptr) << c.said;
    EXPECT_EQ(warning->title, "Error");
    EXPECT_TRUE(warning->text.contains(c.said)) << warning->text.toStdString();
    EXPECT_TRUE(warning->text.contains("Nothing was exported.")) << warning->text.toStdString();
    EXPECT_FALSE(tab.work().running());
  }
  EXPECT_TRUE(QDir(out).isEmpty());
}

// The chosen file is the highest quality that fits, byte for byte what a
// direct encode at that quality gives; what cannot fit is said.
TEST_F(ResizerTabTest, SizeCeiling) {
  const cv::Mat picture = photo(400, 300);
  add("p.jpg", encoded(picture, ".jpg"));
  tab.chk_enable_comp->setChecked(true);
  tab.entry_target_kb->setText("12.5");
  tab.combo_resizer_format->setCurrentText("JPEG");
  run(out);
  const QByteArray written = read_file(out + "/p_scaled.jpeg");
  ASSERT_FALSE(written.isEmpty());
  EXPECT_LE(written.size(), 12.5 * 1024);
  const cv::Mat source = read_source_file(in + "/p.jpg").image;
  int best = 5;
  for (int q = 5; q <= 95; ++q) {
    if (encode_image(source, ImageFormat::Jpeg, q, 300).bytes.size() <= 12.5 * 1024) best = q;
  }
  EXPECT_EQ(written, encode_image(source, ImageFormat::Jpeg, best, 300).bytes);
  EXPECT_FALSE(message().contains("quality 5"));

  // Above the ceiling even at quality 5: the first ten are named, in queue order.
  for (int i = 0; i < 11; ++i)
    add(QStringLiteral("q%1.jpg").arg(i, 2, 10, QLatin1Char('0')), encoded(picture, ".jpg"));
  tab.entry_target_kb->setText("0");
  run(out);
  EXPECT_EQ(read_file(out + "/p_scaled.jpeg"),
            encode_image(source, ImageFormat::Jpeg, 5, 300).bytes);
  EXPECT_TRUE(message().endsWith(
      "Exported 12 images.\n\n12 images are larger than 0 KB even at quality 5.\np.jpg\nq00.jpg\n"
      "q01.jpg\nq02.jpg\nq03.jpg\nq04.jpg\nq05.jpg\nq06.jpg\nq07.jpg\nq08.jpg\n... and 2 more."))
      << message().toStdString();
}

// The batch runs off the GUI thread: the event loop goes on, and a second
// start does nothing. Cancelled after its first image (its button is its
// Cancel), it says how many images it wrote: exactly those are in the folder,
// each whole; the images in flight are dropped.
TEST_F(ResizerTabTest, CancelKeepsWholeFilesAndCountsThem) {
  queue_long_batch(30);
  tab.btn_run_resizer->click();
  bool ran_meanwhile = false;
  QTimer::singleShot(0, &tab, [&] { ran_meanwhile = tab.work().running(); });
  ASSERT_TRUE(QTest::qWaitFor([&] { return ran_meanwhile; }, 60000));
  dialogs.directories.push_back(out);
  tab.resizer_process_batch();
  EXPECT_EQ(dialogs.count("directory"), 1);  // not asked again
  EXPECT_EQ(tab.btn_run_resizer->text(), "Cancel");

  ASSERT_TRUE(cancel_after_first_item(tab, tab.progress_resizer, tab.btn_run_resizer));
  EXPECT_EQ(tab.btn_run_resizer->text(), "⚡ RUN BATCH EXPORT");
  EXPECT_EQ(tab.progress_resizer->value(), tab.progress_resizer->minimum() - 1);  // empty again
  const QRegularExpressionMatch said =
      QRegularExpression("^Export Cancelled: Cancelled: (\\d+) of 30 images written\\.$")
          .match(message());
  ASSERT_TRUE(said.hasMatch()) << message().toStdString();
  const int written = said.captured(1).toInt();
  EXPECT_GE(written, 1);
  EXPECT_LT(written, 30);
  ASSERT_TRUE(tab.work().stop(QDeadlineTimer(QDeadlineTimer::Forever)));  // the dropped ones end
  const QStringList files = folder_entries(out);
  EXPECT_EQ(files.size(), written) << files.join(' ').toStdString();
  for (const QString& name : files) {
    EXPECT_EQ(read_source_file(out + "/" + name).image.cols, 2999) << name.toStdString();
  }
}

TEST_F(ResizerTabTest, EmptyQueueAsksNothing) {
  tab.btn_run_resizer->click();
  EXPECT_TRUE(dialogs.calls.empty());
}

}  // namespace
}  // namespace orvane
