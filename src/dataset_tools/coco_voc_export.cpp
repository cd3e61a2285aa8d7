#include "dataset_tools/coco_voc_export.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QXmlStreamWriter>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <nlohmann/json.hpp>
#include <utility>

#include "common/background_job.h"
#include "common/job_runner.h"
#include "fileio/batch_output.h"
#include "fileio/file_read.h"
#include "fileio/folder_listing.h"
#include "imaging/source_image.h"

namespace orvane {

void ConversionTally::add(const ConversionTally& other) {
  images += other.images;
  shapes += other.shapes;
  polygons_as_boxes += other.polygons_as_boxes;
  lines_left_out += other.lines_left_out;
  notes += other.notes;
}

namespace {

struct Bounds {
  double x_min = HUGE_VAL, y_min = HUGE_VAL, x_max = -HUGE_VAL, y_max = -HUGE_VAL;
  double width() const { return x_max - x_min; }
  double height() const { return y_max - y_min; }
};

Bounds bounds_of(const QPolygonF& points) {
  Bounds b;
  for (const QPointF& p : points) {
    b.x_min = std::min(b.x_min, p.x());
    b.x_max = std::max(b.x_max, p.x());
    b.y_min = std::min(b.y_min, p.y());
    b.y_max = std::max(b.y_max, p.y());
  }
  return b;
}

// A pixel value as written: label values have six decimals, so their pixels
// (and a box's corners, half a width from its centre) have at most seven for
// a whole image size; eight keep them exact while dropping the float noise
// of the products (79.01184, not 79.01184000000001).
double px(double value) { return std::round(value * 1e8) / 1e8; }

// The area a polygon encloses (shoelace), whatever its direction.
double polygon_area(const QPolygonF& points) {
  double twice = 0;
  for (qsizetype i = 0, n = points.size(); i < n; ++i) {
    const QPointF& a = points[i];
    const QPointF& b = points[(i + 1) % n];
    twice += a.x() * b.y() - b.x() * a.y();
  }
  return std::abs(twice) / 2;
}

// Whether the polygon is its own bounding box (a rectangle drawn as one).
bool is_its_box(const QPolygonF& points, const Bounds& b) {
  if (points.size() != 4) return false;
  for (const QPointF& p : points) {
    if ((p.x() != b.x_min && p.x() != b.x_max) || (p.y() != b.y_min && p.y() != b.y_max))
      return false;
  }
  return polygon_area(points) == b.width() * b.height();
}

}  // namespace

ImageShapes shapes_for_export(ImageShapes image, QByteArrayView label_bytes, int class_count,
                              const QString& label_name, ConversionTally& tally) {
  LabelFileContent content =
      parse_label_file(label_bytes, class_count, image.size.width(), image.size.height());
  std::array<int, kUnshownReasons + 1> left_out{};
  std::copy(content.unshown.begin(), content.unshown.end(), left_out.begin());
  std::vector<LabelShape>& shapes = content.shapes;
  const auto flat = std::remove_if(shapes.begin(), shapes.end(), [](const LabelShape& shape) {
    const Bounds b = bounds_of(shape.points);
    return shape.points.size() < 3 || !(b.width() > 0) || !(b.height() > 0);
  });
  left_out[kUnshownReasons] = static_cast<int>(shapes.end() - flat);
  shapes.erase(flat, shapes.end());
  image.shapes = std::move(shapes);

  int total = 0;
  QStringList parts;
  for (size_t i = 0; i < left_out.size(); ++i) {
    if (left_out[i] == 0) continue;
    total += left_out[i];
    parts << QStringLiteral("%1 %2")
                 .arg(left_out[i])
                 .arg(QString::fromUtf8(i < kUnshownReasons ? unshown_reason_text(i)
                                                            : "without an area"));
  }
  if (total > 0) {
    const int lines = total + static_cast<int>(image.shapes.size());
    tally.lines_left_out += total;
    tally.notes << QStringLiteral("%1: %2 of %3 %4 left out: %5")
                       .arg(label_name)
                       .arg(total)
                       .arg(lines)
                       .arg(lines == 1 ? QStringLiteral("line") : QStringLiteral("lines"),
                            parts.join(u", "));
  }
  return image;
}

// --- COCO ---

struct CocoWriter::Data {
  nlohmann::ordered_json images = nlohmann::ordered_json::array();
  nlohmann::ordered_json annotations = nlohmann::ordered_json::array();
  nlohmann::ordered_json categories = nlohmann::ordered_json::array();
  int class_count = 0;
};

CocoWriter::CocoWriter(const QStringList& classes) : data_(std::make_unique<Data>()) {
  data_->class_count = static_cast<int>(classes.size());
  for (qsizetype i = 0; i < classes.size(); ++i) {
    data_->categories.push_back(
        {{"id", i + 1}, {"name", classes[i].toStdString()}, {"supercategory", ""}});
  }
}

CocoWriter::~CocoWriter() = default;

int CocoWriter::images() const { return static_cast<int>(data_->images.size()); }
int CocoWriter::annotations() const { return static_cast<int>(data_->annotations.size()); }

void CocoWriter::add(const ImageShapes& image) {
  const int image_id = images() + 1;
  data_->images.push_back({{"id", image_id},
                           {"file_name", image.file_name.toStdString()},
                           {"width", image.size.width()},
                           {"height", image.size.height()}});
  for (const LabelShape& shape : image.shapes) {
    const Bounds b = bounds_of(shape.points);
    nlohmann::ordered_json segmentation = nlohmann::ordered_json::array();
    double area = b.width() * b.height();
    // A box line gets no polygon: CVAT and the COCO tools then import a
    // rectangle (its four corners would come back as a polygon), and the
    // engine's converter, given an empty list, writes the box line again.
    if (!shape.box_line) {
      std::vector<double> ring;
      ring.reserve(static_cast<size_t>(shape.points.size()) * 2);
      for (const QPointF& p : shape.points) {
        ring.push_back(px(p.x()));
        ring.push_back(px(p.y()));
      }
      segmentation.push_back(std::move(ring));
      area = polygon_area(shape.points);
    }
    data_->annotations.push_back(
        {{"id", annotations() + 1},
         {"image_id", image_id},
         {"category_id", shape.class_id + 1},
         {"bbox", {px(b.x_min), px(b.y_min), px(b.width()), px(b.height())}},
         {"area", px(area)},
         {"segmentation", std::move(segmentation)},
         {"iscrowd", 0}});
  }
}

QByteArray CocoWriter::json() const {
  nlohmann::ordered_json file = {
      {"info", {{"description", "Exported by Orvane Studio"}, {"version", "1.0"}}},
      {"licenses", nlohmann::ordered_json::array()},
      {"images", data_->images},
      {"annotations", data_->annotations},
      {"categories", data_->categories},
  };
  // Names that are not valid UTF-8 never get here (the folder listing leaves
  // them out); replace rather than throw all the same.
  const std::string text =
      file.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

// --- VOC ---

QByteArray voc_xml(const ImageShapes& image, const QStringList& classes, const QString& folder_name,
                   int& polygons_as_boxes) {
  const auto number = [](double v) {
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
  };
  QByteArray bytes;
  QXmlStreamWriter xml(&bytes);
  xml.setAutoFormatting(true);
  xml.writeStartDocument();
  xml.writeStartElement(QStringLiteral("annotation"));
  xml.writeTextElement(QStringLiteral("folder"), folder_name);
  xml.writeTextElement(QStringLiteral("filename"), image.file_name);
  xml.writeStartElement(QStringLiteral("size"));
  xml.writeTextElement(QStringLiteral("width"), QString::number(image.size.width()));
  xml.writeTextElement(QStringLiteral("height"), QString::number(image.size.height()));
  xml.writeTextElement(QStringLiteral("depth"), QString::number(image.depth));
  xml.writeEndElement();
  xml.writeTextElement(QStringLiteral("segmented"), QStringLiteral("0"));
  for (const LabelShape& shape : image.shapes) {
    const Bounds b = bounds_of(shape.points);
    if (!shape.box_line && !is_its_box(shape.points, b)) ++polygons_as_boxes;
    xml.writeStartElement(QStringLiteral("object"));
    xml.writeTextElement(QStringLiteral("name"), classes.value(shape.class_id));
    xml.writeTextElement(QStringLiteral("pose"), QStringLiteral("Unspecified"));
    xml.writeTextElement(QStringLiteral("truncated"), QStringLiteral("0"));
    xml.writeTextElement(QStringLiteral("difficult"), QStringLiteral("0"));
    xml.writeStartElement(QStringLiteral("bndbox"));
    // VOC counts pixels from 1, as the original sets do and as the engine's converter and our
    // import read it (xmin - 1 ... xmax - 1): the box's edges shifted by one.
    xml.writeTextElement(QStringLiteral("xmin"), number(px(b.x_min + 1)));
    xml.writeTextElement(QStringLiteral("ymin"), number(px(b.y_min + 1)));
    xml.writeTextElement(QStringLiteral("xmax"), number(px(b.x_max + 1)));
    xml.writeTextElement(QStringLiteral("ymax"), number(px(b.y_max + 1)));
    xml.writeEndElement();
    xml.writeEndElement();
  }
  xml.writeEndElement();
  xml.writeEndDocument();
  return bytes;
}

// --- writing a set of images' annotation files ---

namespace {

QString file_stem(const QString& name) {
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  return dot > 0 ? name.left(dot) : name;
}

struct ReadImage {
  ImageShapes image;
  ConversionTally tally;
  QString failure;  // "<image>: <reason>"
  QByteArray voc;
  bool skipped = false;
};

}  // namespace

AnnotationOutcome write_annotation_files(const std::vector<AnnotationSource>& sources,
                                         const AnnotationTargets& targets,
                                         const QStringList& classes, JobControl* control,
                                         bool count_images) {
  AnnotationOutcome outcome;
  if (targets.coco_file.isEmpty() && targets.voc_folder.isEmpty()) return outcome;
  const QString root =
      targets.coco_file.isEmpty() ? targets.voc_folder : QFileInfo(targets.coco_file).path();
  for (const QString& folder : {root, targets.voc_folder}) {
    if (!folder.isEmpty() && !QDir().mkpath(folder)) {
      outcome.ok = false;
      outcome.error = QStringLiteral("Cannot create the folder\n%1").arg(folder);
      return outcome;
    }
  }
  BatchOutput output(root);
  const int class_count = static_cast<int>(classes.size());
  CocoWriter coco(classes);
  QSet<QString> voc_names;  // a.jpg and a.png would share a.xml

  const auto read = [&](int i) {  // worker thread
    const AnnotationSource& source = sources[static_cast<size_t>(i)];
    ReadImage done;
    if (control != nullptr && control->stop_requested()) {
      done.skipped = true;
      return done;
    }
    const QString image_name = file_name_of(source.image_path);
    thread_local DecodeScratch scratch;
    // Only the size is needed: a JPEG is decoded at an eighth of it.
    const SourceImage decoded =
        read_source_file(source.image_path, &scratch, [](QSize) { return QSize(1, 1); });
    if (!decoded.full_size.isValid()) {
      done.failure = image_name + QStringLiteral(": ") + decoded.error;
      return done;
    }
    QByteArray label;
    QString reason;
    if (read_whole_file(source.label_path, label, &reason) == ReadStatus::Failed) {
      done.failure = image_name + QStringLiteral(": cannot read ") +
                     file_name_of(source.label_path) + QStringLiteral(": ") + reason;
      return done;
    }
    ImageShapes image;
    image.file_name = image_name;
    image.size = decoded.full_size;
    image.depth = decoded.image.empty() ? 3 : decoded.image.channels();
    done.image = shapes_for_export(std::move(image), label, class_count,
                                   file_name_of(source.label_path), done.tally);
    done.tally.images = 1;
    if (!targets.voc_folder.isEmpty()) {
      done.voc = voc_xml(done.image, classes, QFileInfo(source.image_path).dir().dirName(),
                         done.tally.polygons_as_boxes);
    }
    return done;
  };
  const auto stop = [&](const QString& error) {
    outcome.ok = false;
    outcome.error = error;
    if (control != nullptr) control->request_stop();
  };
  std::atomic<bool> failed{false};
  JobOptions options;
  options.stop = &failed;
  if (control != nullptr) {
    options.stop = control->stop_flag();
    if (count_images) attach_control(options, control);
  }
  const JobEnd end = run_job(
      static_cast<int>(sources.size()), read,
      [&](int, ReadImage&& done) {
        if (done.skipped || !outcome.ok) return;
        if (!done.failure.isEmpty()) {
          outcome.failures << done.failure;
          return;
        }
        JobPass pass(control);
        if (!pass) {
          outcome.cancelled = true;
          return;
        }
        if (!targets.voc_folder.isEmpty()) {
          const QString name = file_stem(done.image.file_name) + QStringLiteral(".xml");
          if (voc_names.contains(name)) {
            outcome.failures << done.image.file_name + QStringLiteral(": ") + name +
                                    QStringLiteral(" is another image's VOC file");
            return;
          }
          voc_names.insert(name);
          const QString path = targets.voc_folder + QLatin1Char('/') + name;
          const QString error = output.write(path, done.voc);
          if (!error.isEmpty()) {
            stop(QStringLiteral("Cannot write\n%1\n\n%2").arg(path, error));
            failed = true;
            return;
          }
        }
        if (count_images) pass.count(1);
        coco.add(done.image);
        done.tally.shapes = static_cast<int>(done.image.shapes.size());
        outcome.tally.add(done.tally);
      },
      [&](int i, const QString& reason) {
        outcome.failures << file_name_of(sources[static_cast<size_t>(i)].image_path) +
                                QStringLiteral(": ") + reason;
      },
      options);
  if (!outcome.ok) return outcome;
  if (end.stopped || outcome.cancelled) {
    outcome.cancelled = true;
    return outcome;
  }
  if (!targets.coco_file.isEmpty()) {
    const JobPass pass(control);
    if (!pass) {
      outcome.cancelled = true;
      return outcome;
    }
    const QString error = output.write(targets.coco_file, coco.json());
    if (!error.isEmpty()) {
      outcome.ok = false;
      outcome.error = QStringLiteral("Cannot write\n%1\n\n%2").arg(targets.coco_file, error);
      return outcome;
    }
  }
  const QString error = output.finish();
  if (!error.isEmpty()) {
    outcome.ok = false;
    outcome.error = QStringLiteral("Cannot write\n%1\n\n%2").arg(root, error);
  }
  return outcome;
}

QString conversion_notes_text(const ConversionTally& tally) {
  QString text;
  if (tally.polygons_as_boxes > 0) {
    text += QStringLiteral(
                "\n\nVOC holds boxes only: %1 polygon(s) were written as their "
                "bounding boxes.")
                .arg(tally.polygons_as_boxes);
  }
  if (tally.lines_left_out > 0) {
    text += QStringLiteral("\n\n%1 label line(s) could not be converted and were left out:")
                .arg(tally.lines_left_out) +
            failure_listing(tally.notes, 10);
  }
  return text;
}

}  // namespace orvane
