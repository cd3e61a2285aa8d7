// The import of a COCO or Pascal VOC dataset as YOLO label files: the whole
// source is read and checked first (a fault anywhere writes nothing), then
// each image's label file is written beside it, or beside its copy in another
// folder. A label file already there is kept unless the user chose to replace
// it. Runs on a background job's thread.
#pragma once

#include <QString>
#include <QStringList>

#include "dataset_tools/import_shapes.h"
#include "dataset_tools/voc_import.h"

namespace orvane {

class JobControl;

enum class ImportSource { kCoco, kVoc };

struct ImportSettings {
  ImportSource source = ImportSource::kCoco;
  QString source_path;    // the COCO JSON file, or the folder of VOC XML files
  QString images_folder;  // where the source's images are
  // Where the label files go: the images folder itself, or another folder
  // that receives a copy of each labelled image.
  QString output_folder;
  bool replace_existing = false;  // replace label files that are already there
  ShapeOptions shapes;
  VocOptions voc;
};

struct ImportReport {
  QString error;  // the source was refused: nothing was written
  bool cancelled = false;
  int images = 0;    // images the source describes
  int labelled = 0;  // label files written
  int shapes = 0;    // lines written
  int merged = 0;    // objects of several polygons written as one line
  int kept_existing = 0;
  int unknown_images = 0;  // not found in the images folder
  int zero_area = 0;
  int outside = 0;
  int excluded = 0;           // VOC difficult or truncated, left out by choice
  QStringList size_differs;   // "<image>: 640 × 480 in the source, 480 × 640 in the image"
  QStringList failures;       // "<file>: <reason>"
  QStringList empty_classes;  // source categories that gave no line
  QStringList classes;        // the source's class names, in its order
};

// Reads the source, then writes the label files. With a `control`, the
// images done are its progress and each image's files are written under a
// pass. Off the GUI thread.
ImportReport import_dataset(const ImportSettings& settings, JobControl* control = nullptr);

// The closing message.
QString import_report_text(const ImportReport& report);

}  // namespace orvane
