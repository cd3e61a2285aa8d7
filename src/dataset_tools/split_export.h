// Export of a dataset as a train/val/test tree: the random split, the
// polygon-to-box conversion of label files, the data.yaml manifest, and the
// copying itself.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "dataset_tools/coco_voc_export.h"

namespace orvane {

class JobControl;

// --- the split ---

struct SplitSizes {
  int train = 0;
  int val = 0;
  int test = 0;
};

// train = floor(n * train_ratio), val = floor(n * val_ratio), each product in
// double precision; test takes the rest, rounding remainders included.
SplitSizes split_sizes(int n, double train_ratio, double val_ratio);

struct LabelledImage {
  QString image_path;
  QString label_path;
};

// The images of `image_paths` whose label file exists, in list order.
std::vector<LabelledImage> collect_annotated_pairs(const QStringList& image_paths);

using PairShuffle = std::function<void(std::vector<LabelledImage>&)>;

// Shuffles with the one random generator of the process, seeded from the
// system's entropy source on first use, so each export draws a new order.
void shuffle_with_process_generator(std::vector<LabelledImage>& pairs);

inline constexpr std::array<const char*, 3> kSplitParts = {"train", "val", "test"};

struct SplitAssignment {
  std::array<std::vector<LabelledImage>, 3> parts;  // train, val, test
};

// Shuffles `pairs` with `shuffle`, then cuts them by split_sizes().
SplitAssignment assign_split(std::vector<LabelledImage> pairs, double train_ratio, double val_ratio,
                             const PairShuffle& shuffle);

// --- label conversion ---

// Appends the box line of one label line ("class cx cy w h", six decimals)
// to `out`. Polygons become their bounding box; five-field lines are boxes
// already and are re-printed. False (nothing appended) for a line of fewer
// than three fields or with a coordinate that is not a finite number.
bool append_box_line(std::string_view line, std::string& out);

struct BoxConversion {
  std::string text;
  int left_out = 0;  // non-blank lines that could not be converted
};

BoxConversion convert_label_to_boxes(std::string_view label_text);

// --- data.yaml ---

// `value` as a YAML scalar that every YAML reader takes for exactly this text:
// unaltered when it is safe as a plain scalar, else double-quoted with escapes.
QString yaml_scalar(const QString& value);

// The manifest for an export into `absolute_output_folder`.
QString data_yaml_text(const QString& absolute_output_folder, const QStringList& classes);

// The bytes of data.yaml for an export into `output_folder` (made absolute).
QByteArray manifest_for(const QString& output_folder, const QStringList& classes);

// --- the export ---

enum class LabelFormat { Detection, Segmentation };

// Annotation files written beside the YOLO labels, from the source labels:
// annotations/instances_<part>.json (COCO) and <part>/Annotations/<image
// stem>.xml (VOC).
struct AlsoWrite {
  bool coco = false;
  bool voc = false;
};

struct ExportOutcome {
  bool ok = true;
  QString error;  // what failed, the file and the system's reason, for the user
  int images_written = 0;
  int images_total = 0;    // the pairs of the assignment
  int lines_left_out = 0;  // label lines a Detection export could not convert
  // Pairs left out while the others were exported, "<image>: <reason>": an
  // image whose label path is a folder or another file that is no regular one.
  QStringList failures;
  bool cancelled = false;           // stopped by its control: no data.yaml was written
  ConversionTally annotations;      // of the COCO and VOC files
  QStringList annotation_failures;  // images they do not describe, "<image>: <reason>"
};

// Writes the tree below `output_folder`: all six part folders, the images with
// their timestamps and permission bits, their labels (copied for Segmentation,
// converted for Detection; a label file that has vanished is skipped), and
// data.yaml. An image whose label path is no regular file is left out and
// listed in the failures. Files left half-written by an export that was killed
// are removed first. Copies of the exported files left in another part by an
// earlier export are removed only once every pair is written and flushed, so a
// cancel or a failure leaves the earlier tree whole; nothing else there is
// touched. Stops at the first other failure. The COCO and VOC files asked for
// describe the pairs exported, after they are copied. With a `control`, the export stops
// when it is cancelled, and copies each pair, removes each earlier copy and
// writes data.yaml under a pass, counting the pairs exported into its tally.
ExportOutcome export_split_dataset(const QString& output_folder, const SplitAssignment& assignment,
                                   LabelFormat format, const QStringList& classes,
                                   JobControl* control = nullptr, AlsoWrite also = {});

// The closing message's listing of the pairs left out ("\n\n1 of 3 images
// could not be exported:\n..."), or an empty text when there are none.
QString export_failures_text(const ExportOutcome& outcome);

}  // namespace orvane
