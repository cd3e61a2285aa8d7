// COCO and Pascal VOC from YOLO label files: a COCO instances file for a set of
// images, and one VOC XML file per image. The label files are read as the
// annotator reads them (`parse_label_file`); lines it would not show (ids not in
// classes.txt, values outside 0..1, malformed lines) are left out, counted and
// named per file, never guessed at.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "labels/label_file.h"

namespace orvane {

class JobControl;

// The counts a closing message names.
struct ConversionTally {
  int images = 0;             // images described
  int shapes = 0;             // shapes written (COCO annotations, or VOC objects)
  int polygons_as_boxes = 0;  // VOC: polygons written as their bounding boxes
  int lines_left_out = 0;     // label lines not converted
  // Per label file with lines left out: "a.txt: 2 of 5 lines left out: ...".
  QStringList notes;

  void add(const ConversionTally& other);
};

// One image with its shapes, in pixels of the upright image.
struct ImageShapes {
  QString file_name;  // the image's name as the annotation files give it
  QSize size;         // upright, as the annotator shows it
  int depth = 3;      // colour channels, for VOC's <depth>
  std::vector<LabelShape> shapes;
};

// The shapes of `label_bytes` for `image` (whose file_name and size are set)
// with `class_count` classes. Lines that do not become shapes, and shapes
// without an area (fewer than three points, no width or no height: the
// engine's converter drops them and COCO readers refuse them), are counted in
// `tally` and named under `label_name`. Any thread.
ImageShapes shapes_for_export(ImageShapes image, QByteArrayView label_bytes, int class_count,
                              const QString& label_name, ConversionTally& tally);

// A COCO instances file built image by image: image and annotation ids count
// from 1 in the order added, category ids are 1 + the position in classes.txt
// (COCO readers take 0 for "no category"; the engine's converter, asked not to
// remap the 91 COCO ids, subtracts 1).
class CocoWriter {
 public:
  explicit CocoWriter(const QStringList& classes);
  ~CocoWriter();
  CocoWriter(const CocoWriter&) = delete;
  CocoWriter& operator=(const CocoWriter&) = delete;

  void add(const ImageShapes& image);
  int images() const;
  int annotations() const;
  // The whole file, UTF-8.
  QByteArray json() const;

 private:
  struct Data;
  std::unique_ptr<Data> data_;
};

// The VOC XML of one image: each shape as its bounding box in pixels (pixel
// edges counted from 1, as VOC does, as decimals). Adds to
// `polygons_as_boxes` the polygons that were more than their box.
// `folder_name`: the name of the image's folder, for <folder>.
QByteArray voc_xml(const ImageShapes& image, const QStringList& classes, const QString& folder_name,
                   int& polygons_as_boxes);

// --- writing a set of images' annotation files ---

struct AnnotationSource {
  QString image_path;
  QString label_path;
};

struct AnnotationTargets {
  QString coco_file;   // the COCO file to write; empty: none
  QString voc_folder;  // the folder of the VOC files (<image stem>.xml); empty: none
};

struct AnnotationOutcome {
  bool ok = true;
  QString error;  // what stopped the writing, for the user
  bool cancelled = false;
  ConversionTally tally;
  // Images left out, "<image>: <reason>" (their size or label file unreadable).
  QStringList failures;
};

// Reads each source's upright size and labels in parallel and writes the
// annotation files: every VOC file as its image comes, then the COCO file
// once all images are read (a cancel writes none), then one flush of the file
// system. Each write is under a pass of `control`; with `count_images`, each
// image whose files are written counts as an item of its tally and the
// control hears the progress (otherwise the images are the caller's items).
// Runs on the job's thread.
AnnotationOutcome write_annotation_files(const std::vector<AnnotationSource>& sources,
                                         const AnnotationTargets& targets,
                                         const QStringList& classes, JobControl* control = nullptr,
                                         bool count_images = false);

// "1 label line could not be converted..." and the VOC note, for a closing
// message; empty when there is nothing to say.
QString conversion_notes_text(const ConversionTally& tally);

}  // namespace orvane
