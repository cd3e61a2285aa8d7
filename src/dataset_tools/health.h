// The dataset health check: images without a label file, label files without
// an image, and near-duplicate shapes inside one label file, with the text of
// the report shown to the user.
#pragma once

#include <QString>
#include <QStringList>
#include <string_view>

namespace orvane {

class JobControl;

// The top level of a dataset folder, split by kind. Names are sorted so that
// the report's samples do not depend on the file system's listing order.
struct DatasetListing {
  QStringList images;        // ".png", ".jpg", ".jpeg", ".webp", ".bmp", any case
  QStringList labels;        // ".txt" in any case, except "classes.txt"
  int unreadable_names = 0;  // entries left out: names not valid UTF-8
};

bool is_health_image_name(const QString& file_name);
bool is_health_label_name(const QString& file_name);

// Lists `folder` once. False, with the system's reason in `error`, when the
// folder cannot be listed (removed or unreadable since it was loaded).
bool list_dataset_folder(const QString& folder, DatasetListing& listing, QString& error);

// Number of shape pairs of one label file whose boxes overlap with an IoU
// above 0.9. Lines of five fields are boxes (class cx cy w h); longer lines are
// polygons; shorter ones are ignored. A field that is not a number ends the
// file with no pairs; two shapes whose union has no area end it with the
// pairs found so far.
qint64 count_duplicate_pairs(std::string_view label_text);

// Label files named as samples in the report.
inline constexpr int kOverlapSamples = 3;

struct HealthReport {
  QStringList missing;       // image names without a label file, in listing order
  int orphaned = 0;          // label files with no image of the same base name
  qint64 overlap_count = 0;  // duplicate pairs over all label files
  // "<label name> (IoU > 90%)" for the first label files with duplicates, in
  // listing order, at most kOverlapSamples of them.
  QStringList overlap_samples;
  int unreadable_names = 0;  // entries left out: names not valid UTF-8
  bool cancelled = false;    // stopped by its control before every label file was read
};

// Reads the label files of `listing` (in parallel) and fills the report.
// Unreadable label files contribute no overlaps. With a `control`, the label
// files read so far are its progress, and no file is read once it is
// cancelled.
HealthReport check_dataset_health(const QString& folder, const DatasetListing& listing,
                                  JobControl* control = nullptr);

// `text` as Python's repr() writes a string: single quotes, or double quotes
// when the text holds a single quote and no double quote.
QString python_repr(const QString& text);
// ['a.jpg', 'b.jpg']
QString python_list(const QStringList& items);

// The message of the "Health Check" box.
QString health_report_text(const HealthReport& report);

}  // namespace orvane
