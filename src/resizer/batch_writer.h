// The resizer's batch: each queue entry decoded upright, resized (Lanczos),
// turned clockwise, encoded in the chosen format at the chosen DPI (under a
// size ceiling when asked) and written as "<name>_scaled<ext>".
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "imaging/source_image.h"
#include "labels/label_carry.h"
#include "labels/label_output.h"
#include "resizer/resize_math.h"

namespace orvane {

class JobControl;

// What the tab's widgets say, read once before the run.
struct BatchSettings {
  SizeFields size;
  double dpi = 300.0;
  int rotation = 0;                                          // 0, 90, 180 or 270, clockwise
  QString format_choice = QStringLiteral("Match Original");  // or "JPEG", "PNG", "WEBP"
  bool limit_size = false;                                   // "Enable Target Size Constraint"
  QString target_kb_text = QStringLiteral("500");
};

// The same as numbers, parsed once before the run.
struct ResizeSettings {
  TargetSize size;
  double dpi = 300.0;
  int rotation = 0;
  QString format_choice = QStringLiteral("Match Original");
  std::optional<double> max_bytes;  // the size ceiling, when there is one
  QString target_kb_text;           // as typed, for the closing message
};

// The settings as numbers, or the one message (the parse error) that says
// which text is not a number.
struct ParsedBatchSettings {
  std::optional<ResizeSettings> settings;
  QString error;
};
ParsedBatchSettings parse_batch_settings(const BatchSettings& fields);

// The output file name for a source: base name + "_scaled" + the source's
// extension as written for "Match Original", else "." + the choice in lower
// case (".jpeg", ".png", ".webp").
QString output_file_name(const QString& source_path, const QString& format_choice);

// The encoder for a source: its own format for "Match Original" (JPEG when
// its format is unknown), else the choice.
ImageFormat output_format(ImageFormat source_format, const QString& format_choice);

// One entry's output, computed without touching the output folder.
struct PreparedOutput {
  QString output_path;
  QByteArray bytes;         // the file's content; empty when `error` is set
  QString error;            // why the entry cannot be written
  bool over_limit = false;  // even quality 5 is above the size ceiling
  // The source's labels, turned with the image, for "<name>_scaled.txt".
  std::optional<OutputLabels> labels;
  QString label_error;  // the source's label file could not be read
  int lines_not_carried = 0;
};

// Decodes, resizes, rotates and encodes one source, and turns the shapes of
// its label file, if any, with it (`classes`: its folder's class list). Any
// thread.
PreparedOutput prepare_output(const QString& source_path, const ResizeSettings& settings,
                              const QString& out_dir, const SourceClasses& classes = {});

struct BatchReport {
  int total = 0;
  int written = 0;
  QStringList failures;          // "<file name>: <reason>", in queue order
  int over_limit = 0;            // written, but above the ceiling even at quality 5
  QStringList over_limit_names;  // their file names, in queue order
  QString flush_error;           // why the written files may not all have reached the disk
  bool cancelled = false;        // stopped by its control before every entry was done
  int labels_written = 0;        // "<name>_scaled.txt" files written beside the images
  int labels_removed = 0;        // those of an earlier run beside images now without labels
  QStringList label_problems;    // "<file>: <reason>" for labels that were not carried
};

// Runs the batch over `queue` into `out_dir`, several entries at once, with
// the outcome of doing them in order: files are written in queue order (the
// later of two entries with one output name wins, and the earlier one counts
// as failed), each atomically, and
// flushed to the disk once at the end; each failure prints one
// "Resizer Error: " line on standard output in queue order, and `progress`
// receives the number of finished entries after each one, on the calling
// thread. A file that this run did not write is replaced only outside the
// folders of the sources, and only as an earlier run's output (see
// BatchLabelOutput); otherwise that entry fails. With a `control`,
// the batch stops when it is cancelled, writes each entry under a pass and
// counts the images written into its tally.
BatchReport run_resize_batch(const QStringList& queue, const ResizeSettings& settings,
                             const QString& out_dir,
                             const std::function<void(int done)>& progress = {}, int threads = 0,
                             JobControl* control = nullptr);

// The closing message: the files written, up to five failures with their
// reasons, how many stayed above the ceiling, and a failed final flush.
QString batch_summary(const BatchReport& report, const ResizeSettings& settings);

}  // namespace orvane
