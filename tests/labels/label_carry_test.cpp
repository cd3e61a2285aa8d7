// Carried labels checked as a property of the pixels: each shape is painted in
// a colour of its own, the image is cut or warped, and the carried shapes must
// cover exactly the pixels of their colour in the result.
#include "labels/label_carry.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <functional>
#include <map>
#include <numbers>
#include <opencv2/imgproc.hpp>

#include "common/background_job.h"
#include "enricher/augment.h"
#include "imaging/source_image.h"
#include "labels/label_file.h"
#include "labels/label_paths.h"
#include "resizer/batch_writer.h"
#include "splitter/tile_grid.h"
#include "support/test_files.h"

using namespace orvane;

namespace {

constexpr int kW = 480, kH = 360;

// Shape i is painted with grey level 40 * (i + 1) and has class id i.
std::vector<CarriedShape> sample_shapes() {
  return {
      {0, QPolygonF({{30, 40}, {200, 60}, {90, 170}}), false},  // triangle
      {1,
       QPolygonF({{220, 30},
                  {330, 30},
                  {330, 150},
                  {300, 150},
                  {300, 60},  // a U: cut
                  {250, 60},
                  {250, 150},
                  {220, 150}}),  // in two
       false},
      {2, QPolygonF({{60, 210}, {420, 210}, {420, 330}, {60, 330}}), true},  // a box line
      {3, QPolygonF({{400, 0}, {480, 0}, {480, 90}}), false},                // on the edge
  };
}

void paint(cv::Mat& image, const QPolygonF& polygon, int value) {
  constexpr int kShift = 8;
  std::vector<cv::Point> points;
  // Label coordinates run along pixel edges; OpenCV's along pixel centres.
  for (const QPointF& p : polygon)
    points.emplace_back(cvRound((p.x() - 0.5) * (1 << kShift)),
                        cvRound((p.y() - 0.5) * (1 << kShift)));
  cv::fillPoly(image, std::vector<std::vector<cv::Point>>{points}, cv::Scalar(value), cv::LINE_8,
               kShift);
}

cv::Mat painted(const std::vector<CarriedShape>& shapes) {
  cv::Mat image(kH, kW, CV_8UC1, cv::Scalar(0));
  for (const CarriedShape& shape : shapes) paint(image, shape.points, 40 * (shape.class_id + 1));
  return image;
}

// For every colour with enough pixels in `image`: the intersection over union
// of its pixels and the carried shapes of its class, painted.
void expect_shapes_cover_their_pixels(const cv::Mat& image,
                                      const std::vector<CarriedShape>& carried,
                                      const std::string& where) {
  std::map<int, cv::Mat> drawn;
  for (const CarriedShape& shape : carried) {
    for (const QPointF& p : shape.points) {
      ASSERT_TRUE(p.x() >= -1e-9 && p.y() >= -1e-9 && p.x() <= image.cols + 1e-9 &&
                  p.y() <= image.rows + 1e-9)
          << where << ": shape " << shape.class_id << " leaves the frame";
    }
    cv::Mat& mask = drawn[shape.class_id];
    if (mask.empty()) mask = cv::Mat(image.size(), CV_8UC1, cv::Scalar(0));
    paint(mask, shape.points, 255);
  }
  for (int id = 0; id < 4; ++id) {
    const cv::Mat truth = image == 40 * (id + 1);
    const int pixels = cv::countNonZero(truth);
    if (pixels < 150) continue;  // a sliver: its border pixels decide
    ASSERT_TRUE(drawn.count(id)) << where << ": shape " << id << " with " << pixels
                                 << " pixels was not carried";
    const double both = cv::countNonZero(truth & drawn[id]);
    const double either = cv::countNonZero(truth | drawn[id]);
    EXPECT_GE(both / either, 0.9) << where << ": shape " << id;
  }
}

cv::Matx33d rotation(double degrees, cv::Point2f centre) {
  const cv::Mat m = cv::getRotationMatrix2D(centre, degrees, 1.0);
  return {m.at<double>(0, 0),
          m.at<double>(0, 1),
          m.at<double>(0, 2),
          m.at<double>(1, 0),
          m.at<double>(1, 1),
          m.at<double>(1, 2),
          0,
          0,
          1};
}

// A band 4 px wide along a spiral that turns twice about (0, 50), outer side
// out and inner side back, `points` in all. Cut by the line x = 0 it falls
// into three pieces joined outside by nested runs along the line; their area
// is 4 * integral of the spiral's radius over the angles with x > 0: 160 pi.
QPolygonF spiral_band(int points) {
  QPolygonF out;
  const int half = points / 2;
  for (int side : {1, -1}) {
    for (int i = 0; i < half; ++i) {
      const double a = 4 * std::numbers::pi * (side > 0 ? i : half - 1 - i) / (half - 1);
      const double r = 8 + 6 / std::numbers::pi * a + 2 * side;
      out.append(QPointF(r * std::cos(a), 50 + r * std::sin(a)));
    }
  }
  return out;
}

std::vector<cv::Point2f> cv_points(const QPolygonF& polygon) {
  std::vector<cv::Point2f> out;
  for (const QPointF& p : polygon) out.emplace_back(p.x(), p.y());
  return out;
}

double signed_area(const QPolygonF& p) { return cv::contourArea(cv_points(p), true); }

// The area of a convex polygon inside `frame`, as OpenCV finds it.
double convex_area_inside(const QPolygonF& polygon, const QRectF& frame) {
  std::vector<cv::Point2f> both;
  const QPolygonF corners{frame.topLeft(), frame.topRight(), frame.bottomRight(),
                          frame.bottomLeft()};
  return cv::intersectConvexConvex(cv_points(polygon), cv_points(corners), both);
}

}  // namespace

TEST(LabelCarry, TilesWithAndWithoutOverlapKeepEveryPiece) {
  const std::vector<CarriedShape> shapes = sample_shapes();
  const cv::Mat image = painted(shapes);
  struct Grid {
    int rows, cols, overlap;
  } grids[] = {{1, 1, 0}, {2, 2, 0}, {3, 4, 0}, {2, 3, 40}, {4, 4, 25}};
  for (const Grid& g : grids) {
    const int th = kH / g.rows, tw = kW / g.cols;
    for (int r = 0; r < g.rows; ++r) {
      for (int c = 0; c < g.cols; ++c) {
        const cv::Rect tile = cv::Rect(c * tw - g.overlap, r * th - g.overlap, tw + 2 * g.overlap,
                                       th + 2 * g.overlap) &
                              cv::Rect(0, 0, kW, kH);
        const auto carried =
            clip_shapes(shapes, QRectF(tile.x, tile.y, tile.width, tile.height), 0.0, 0.0);
        expect_shapes_cover_their_pixels(image(tile).clone(), carried,
                                         "tile " + std::to_string(r) + "," + std::to_string(c));
        for (const CarriedShape& shape : carried) {
          EXPECT_EQ(shape.box, shape.class_id == 2);  // boxes stay boxes
        }
      }
    }
  }
  // The U cut below its bridge becomes two shapes.
  const auto legs = clip_shapes(shapes, QRectF(200, 100, 160, 100), 0.0);
  EXPECT_EQ(std::count_if(legs.begin(), legs.end(), [](auto& s) { return s.class_id == 1; }), 2);
}

TEST(LabelCarry, WarpsTurnsAndRotationsMoveShapesWithThePixels) {
  const std::vector<CarriedShape> shapes = sample_shapes();
  const cv::Mat image = painted(shapes);
  const cv::Point2f centre(kW / 2.0f, kH / 2.0f);
  const cv::Matx33d skew = cv::getPerspectiveTransform(
      std::vector<cv::Point2f>{{0, 0}, {kW, 0}, {kW, kH}, {0, kH}},
      std::vector<cv::Point2f>{{12, 5}, {kW - 20, 14}, {kW - 4, kH - 18}, {9, kH - 3}});
  const cv::Matx33d turn_cw(0, -1, kH, 1, 0, 0, 0, 0, 1);  // 90° clockwise: H x W
  struct Case {
    const char* name;
    cv::Matx33d transform;
    cv::Size out;
  } cases[] = {
      {"skew", skew, {kW, kH}},
      {"rotate 13", rotation(13, centre), {kW, kH}},
      {"rotate -40", rotation(-40, centre), {kW, kH}},
      {"skew then rotate", rotation(8, centre) * skew, {kW, kH}},
      {"turn", turn_cw, {kH, kW}},
      {"crop", cv::Matx33d(1, 0, -100, 0, 1, -50, 0, 0, 1), {300, 250}},
  };
  for (const Case& c : cases) {
    cv::Mat warped;
    cv::warpPerspective(image, warped, cv::Mat(c.transform), c.out, cv::INTER_NEAREST,
                        cv::BORDER_CONSTANT, cv::Scalar(0));
    const auto moved = clip_shapes(transform_shapes(shapes, c.transform),
                                   QRectF(0, 0, c.out.width, c.out.height), 0.0, 0.0);
    expect_shapes_cover_their_pixels(warped, moved, c.name);
    const bool axis_kept = std::string(c.name) == "turn" || std::string(c.name) == "crop";
    for (const CarriedShape& shape : moved) {
      if (shape.class_id == 2) {
        EXPECT_EQ(shape.box, axis_kept) << c.name;
      }
    }
  }
}

// Polygons cut by the frame (0, 0, 100, 100), moved and wound both ways: each
// piece a shape of its own inside the frame, wound as the polygon was, and the
// pieces' areas adding up to the area inside.
TEST(LabelCarry, CutPolygonsFallIntoTheirPiecesWithTheAreaInside) {
  QPolygonF comb{{0, 150}};  // 10 teeth 4 wide, up from a back below the frame
  for (int x = 0; x < 100; x += 10)
    comb << QPointF(x, 120) << QPointF(x, 60) << QPointF(x + 4, 60) << QPointF(x + 4, 120);
  comb << QPointF(150, 120) << QPointF(150, 150);
  QPolygonF circle;  // 20,000 points about the frame's corner
  for (int i = 0; i < 20000; ++i) {
    const double a = 2 * std::numbers::pi * i / 20000;
    circle.append(QPointF(90 + 45 * std::cos(a), 80 + 60 * std::sin(a)));
  }
  const QRectF frame(0, 0, 100, 100);
  struct Case {
    const char* name;
    QPolygonF polygon;
    size_t pieces;
    double area;
  } cases[] = {
      {"inside", {{10, 10}, {60, 10}, {60, 60}, {10, 60}}, 1, 2500},
      {"outside", {{110, 10}, {160, 10}, {160, 60}}, 0, 0},
      {"around the frame", {{-10, -10}, {110, -10}, {110, 110}, {-10, 110}}, 1, 10000},
      {"U cut across its arms",
       {{10, 80}, {10, 150}, {90, 150}, {90, 80}, {70, 80}, {70, 130}, {30, 130}, {30, 80}},
       2,
       800},
      {"comb cut across its teeth", comb, 10, 10 * 4 * 40},
      {"spiral cut through its middle", spiral_band(20000), 3, 160 * std::numbers::pi},
      {"20,000-point ellipse", circle, 1, convex_area_inside(circle, frame)},
      // Along the frame's edge.
      {"side on the left edge", {{0, 10}, {150, 10}, {150, 60}, {0, 60}}, 1, 5000},
      {"outside, side on the left edge", {{-50, 10}, {0, 10}, {0, 60}, {-50, 60}}, 0, 0},
      {"notch floor on the top edge",
       {{10, 50}, {10, -20}, {30, -20}, {30, 0}, {50, 0}, {50, -20}, {70, -20}, {70, 50}},
       1,
       3000},
      // A vertex on the frame's edge.
      {"diamond touching the right edge", {{60, 50}, {80, 30}, {100, 50}, {80, 70}}, 1, 800},
      {"diamond touching it from outside", {{100, 50}, {120, 30}, {140, 50}, {120, 70}}, 0, 0},
      {"square with vertices on the edge",
       {{50, 10}, {100, 10}, {150, 10}, {150, 60}, {100, 60}, {50, 60}},
       1,
       2500},
      {"out and back through vertices on it",
       {{40, 90}, {60, 50}, {100, 50}, {130, 20}, {100, 90}},
       1,
       2000},
      {"two peaks from a valley on the bottom edge",
       {{20, 150}, {20, 60}, {50, 100}, {80, 60}, {80, 150}},
       2,
       1200},
  };
  const QPointF shift(37.5, -12);
  for (const Case& c : cases) {
    for (bool reversed : {false, true}) {
      QPolygonF polygon = c.polygon.translated(shift);
      if (reversed) std::reverse(polygon.begin(), polygon.end());
      const auto carried = clip_shapes({{3, polygon, false}}, frame.translated(shift), 0.0, 0.0);
      const std::string where = std::string(c.name) + (reversed ? ", reversed" : "");
      EXPECT_EQ(carried.size(), c.pieces) << where;
      double area = 0;
      for (const CarriedShape& piece : carried) {
        EXPECT_TRUE(
            QRectF(-1e-9, -1e-9, 100 + 2e-9, 100 + 2e-9).contains(piece.points.boundingRect()))
            << where;
        EXPECT_GT(signed_area(piece.points) * signed_area(polygon), 0) << where;
        area += std::abs(signed_area(piece.points));
      }
      EXPECT_NEAR(area, c.area, 1e-3 * c.area + 1e-6) << where;
    }
  }
}

TEST(LabelCarry, SmallRemaindersAreDropped) {
  const std::vector<CarriedShape> square = {
      {5, QPolygonF({{0, 0}, {100, 0}, {100, 100}, {0, 100}}), false},
      {6, QPolygonF({{0, 0}, {100, 0}, {100, 100}, {0, 100}}), true}};
  struct Case {
    QRectF frame;
    double keep;
    size_t shapes;
  } cases[] = {
      {{70, 0, 100, 100}, 0.25, 2},                               // 30 % inside
      {{80, 0, 100, 100}, 0.25, 0},                               // 20 % inside
      {{80, 0, 100, 100}, 0.0, 2},  {{99, 0, 100, 100}, 0.0, 0},  // 1 px wide
      {{200, 0, 100, 100}, 0.0, 0},                               // outside
  };
  for (const Case& c : cases) {
    EXPECT_EQ(clip_shapes(square, c.frame, c.keep).size(), c.shapes) << c.frame.x();
  }
}

TEST(LabelCarry, ReadAndWrittenAsTheAnnotatorReadsThem) {
  QTemporaryDir dir;
  write_file(dir.filePath("a.txt"),
             "0 0.1 0.1 0.5 0.1 0.3 0.5\n1 0.5 0.5 0.2 0.4\n7 0.1 0.1 0.2 0.2 0.3 0.3\n"
             "0 320 240 50 50\nnonsense\n");
  write_file(dir.filePath("classes.txt"), "cat\ndog\n");
  const SourceClasses classes = read_source_classes(dir.path());
  EXPECT_EQ(classes.names, (QStringList{"cat", "dog"}));
  const SourceLabels labels = read_source_labels(dir.filePath("a.jpg"), {200, 100}, classes);
  EXPECT_TRUE(labels.found);
  ASSERT_EQ(labels.shapes.size(), 2u);
  EXPECT_EQ(labels.lines_not_taken, 3);  // unknown id, pixel units, nonsense
  EXPECT_EQ(format_carried_shapes(labels.shapes, {200, 100}),
            "0 0.100000 0.100000 0.500000 0.100000 0.300000 0.500000\n"
            "1 0.500000 0.500000 0.200000 0.400000\n");
  // Without classes.txt every id is taken; without a label file nothing is found.
  EXPECT_EQ(read_source_labels(dir.filePath("a.jpg"), {200, 100}, {}).shapes.size(), 3u);
  EXPECT_FALSE(read_source_labels(dir.filePath("b.jpg"), {200, 100}, classes).found);

  // classes.txt of an output folder: written once, never changed.
  const QString out = dir.filePath("out");
  QDir().mkpath(out);
  EXPECT_EQ(ensure_class_list(out, {"cat", "dog"}), QString());
  EXPECT_EQ(ensure_class_list(out, {"cat", "dog"}), QString());
  EXPECT_TRUE(ensure_class_list(out, {"dog", "cat"}).contains("lists other classes"));
  EXPECT_EQ(read_file(out + "/classes.txt"), "cat\ndog\n");
}

// Two jobs writing into one folder: the classes.txt the other one made
// between this one's look and its write stays, and decides as if it had been
// there.
TEST(LabelCarry, AClassListMadeMeanwhileIsKeptAndDecides) {
  const struct {
    const char* theirs;
    const char* result;  // what the reason contains
  } cases[] = {{"cat\ndog\n", ""}, {"cat\n", "lists other classes (cat)"}};
  for (const auto& c : cases) {
    QTemporaryDir dir;
    const QString reason = ensure_class_list(
        dir.path(), {"cat", "dog"}, [&] { write_file(dir.filePath("classes.txt"), c.theirs); });
    EXPECT_EQ(reason.isEmpty(), !*c.result) << reason.toStdString();
    EXPECT_TRUE(reason.contains(c.result)) << reason.toStdString();
    EXPECT_EQ(read_file(dir.filePath("classes.txt")), c.theirs);
  }
}

namespace {

// The three jobs that carry labels, run on one source a.png into a folder
// prepared beforehand: what each wrote and refused.
struct JobRun {
  int written;
  QStringList failures;
  int labels, removed;
};
struct LabelJob {
  const char* name;
  QString output;  // the output image's name for a.png
  std::function<JobRun(const QString& source, const QString& out, JobControl*)> run;
};

std::vector<LabelJob> label_jobs() {
  const auto resize = [](const QString& source, const QString& out, JobControl* control) {
    BatchSettings fields;
    fields.size.enabled = false;
    const BatchReport r =
        run_resize_batch({source}, *parse_batch_settings(fields).settings, out, {}, 1, control);
    return JobRun{r.written, r.failures, r.labels_written, r.labels_removed};
  };
  const auto split = [](const QString& source, const QString& out, JobControl* control) {
    const SplitOutcome o = split_images({source}, {out, {1, 1}, false, 0, 25}, control);
    return JobRun{o.tiles, o.failures, o.label_files, o.labels_removed};
  };
  const auto enrich = [](const QString& source, const QString& out, JobControl* control) {
    const cv::Mat base = read_source_file(source).image;
    const SourceClasses classes = read_source_classes(QFileInfo(source).path());
    const SourceLabels labels = read_source_labels(source, {base.cols, base.rows}, classes);
    const VariantLabels carried{labels.shapes, classes.names};
    const EnrichOutcome o = enrich_batch(base, std::vector<AugDraws>(1), out, 1700, control,
                                         labels.found ? &carried : nullptr);
    return JobRun{o.saved, o.failures, o.label_files, 0};
  };
  return {{"resizer", "a_scaled.png", resize},
          {"splitter", "a_part_1.png", split},
          {"enricher", variant_file_name(1700, 1), enrich}};
}

// Each file of a folder with its bytes.
QList<QByteArray> folder_contents(const QString& folder) {
  QList<QByteArray> all;
  for (const QString& name : folder_entries(folder))
    all << name.toUtf8() + read_file(folder + "/" + name);
  return all;
}

}  // namespace

// An output image and the label file beside it always describe each other;
// a file of the user's is never replaced or removed (its output is refused
// and named instead), one of an earlier run goes with its image. Called off
// before its first item, a job leaves nothing on disk, classes.txt included.
TEST(LabelOutput, ImagesAndTheirLabelFilesStayTogether) {
  const struct {
    const char* what;
    bool into_sources, labelled, image_there, label_there, cancelled;
    bool refused;      // the output is refused, and what was there stays as it was
    bool label_after;  // a label file is beside the output afterwards
  } cases[] = {
      {"the user's image in the sources' folder", true, false, true, false, false, true, false},
      {"the user's label file beside a new output", false, false, false, true, false, true, false},
      {"an earlier run's label, image unlabelled", false, false, true, true, false, false, false},
      {"an earlier run's label, image labelled", false, true, true, true, false, false, true},
      {"called off at once", false, true, false, false, true, false, false},
  };
  for (const LabelJob& job : label_jobs()) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(job.name) + ": " + c.what);
      // The enricher's tab picks names no image holds.
      if (job.name == std::string("enricher") && c.image_there) continue;
      QTemporaryDir dir;
      const QString in = dir.filePath("in"), source = in + "/a.png";
      const QString out = c.into_sources ? in : dir.filePath("out");
      write_image(source, 8, 8);
      if (c.labelled) {
        write_file(in + "/a.txt", "0 0.5 0.5 0.5 0.5\n");
        write_file(in + "/classes.txt", "thing\n");
      }
      QDir().mkpath(out);
      const QString image = out + "/" + job.output, label = label_path_for_image(image);
      if (c.image_there) write_file(image, "there before");
      if (c.label_there) write_file(label, "0 0.1 0.1 0.1 0.1\n");
      const QList<QByteArray> before = folder_contents(out);
      JobControl control;
      if (c.cancelled) control.call_off();
      const JobRun ran = job.run(source, out, &control);
      EXPECT_EQ(ran.failures.size(), c.refused ? 1 : 0) << ran.failures.join('\n').toStdString();
      if (c.refused || c.cancelled) {
        EXPECT_TRUE(!c.refused || ran.failures.value(0).contains(" is already in the folder"));
        EXPECT_EQ(folder_contents(out), before);
        continue;
      }
      EXPECT_EQ(ran.written, 1);
      EXPECT_EQ(QFile::exists(label), c.label_after);
      EXPECT_EQ(ran.labels, c.label_after ? 1 : 0);
      EXPECT_EQ(ran.removed, c.label_there && !c.label_after ? 1 : 0);
      if (c.label_after) {
        EXPECT_EQ(read_file(label), "0 0.500000 0.500000 0.500000 0.500000\n");
      }
    }
  }
}
