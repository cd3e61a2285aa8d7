#include "splitter/tile_grid.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <cmath>
#include <memory>

#include "common/background_job.h"
#include "common/job_runner.h"
#include "fileio/batch_output.h"
#include "fileio/folder_listing.h"
#include "imaging/image_encode.h"
#include "imaging/image_extensions.h"
#include "imaging/source_image.h"
#include "labels/label_carry.h"
#include "labels/label_output.h"
#include "labels/label_paths.h"

namespace orvane {

QStringList grid_modes(int parts) {
  QStringList modes;
  for (int i = 1; i <= parts; ++i) {
    if (parts % i == 0) modes.append(QStringLiteral("%1 Rows x %2 Cols").arg(i).arg(parts / i));
  }
  return modes;
}

std::optional<GridSize> parse_grid_mode(const QString& mode) {
  static const QRegularExpression pattern(QStringLiteral("^(\\d+) Rows x (\\d+) Cols$"));
  const QRegularExpressionMatch match = pattern.match(mode);
  if (!match.hasMatch()) return std::nullopt;
  GridSize grid{match.captured(1).toInt(), match.captured(2).toInt()};
  if (grid.rows < 1 || grid.cols < 1) return std::nullopt;
  return grid;
}

std::vector<cv::Rect> tile_rects(int width, int height, GridSize grid) {
  const int th = height / grid.rows;
  const int tw = width / grid.cols;
  std::vector<cv::Rect> rects;
  rects.reserve(static_cast<size_t>(grid.rows) * grid.cols);
  for (int r = 0; r < grid.rows; ++r) {
    const int y0 = r * th;
    const int y1 = r == grid.rows - 1 ? height : (r + 1) * th;
    for (int c = 0; c < grid.cols; ++c) {
      const int x0 = c * tw;
      const int x1 = c == grid.cols - 1 ? width : (c + 1) * tw;
      rects.emplace_back(x0, y0, x1 - x0, y1 - y0);
    }
  }
  return rects;
}

int part_pad_width(int parts) { return static_cast<int>(QString::number(parts).size()); }

QString part_index_text(int index, int parts) {
  return QStringLiteral("%1").arg(index, part_pad_width(parts), 10, QLatin1Char('0'));
}

QString tile_file_name(const QString& base, const QString& idx, const QString& ext) {
  return base + QStringLiteral("_part_") + idx + ext;
}

namespace {

// The regular files directly in `folder`.
QStringList folder_files(const QString& folder) {
  return regular_files(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
}

// The images among `entries`, extension by extension, each once.
QStringList split_images_among(const QStringList& entries) {
  QStringList files;
  QSet<QString> seen;
  for (const QString& ext : image_extensions(ImageJob::kSplitter)) {
    for (const QString& path : entries) {
      if (path.endsWith(ext, Qt::CaseInsensitive) && !seen.contains(path)) {
        seen.insert(path);
        files.append(path);
      }
    }
  }
  return files;
}

}  // namespace

QStringList gather_split_images(const QString& folder) {
  return split_images_among(folder_files(folder));
}

bool folder_has_labels(const QString& folder) {
  const QStringList entries = folder_files(folder);
  const QStringList images = split_images_among(entries);
  const QSet<QString> files(entries.begin(), entries.end());
  return std::any_of(images.begin(), images.end(), [&](const QString& image) {
    const QString label = label_path_for_image(image);
    return !is_class_list_path(label) && files.contains(label);
  });
}

namespace {

// Images being cut or waiting to be written at once. Only their encoded tiles
// are kept, so the window can be wide enough to ride out a slow image.
constexpr int kImageWindow = 12;

struct EncodedTile {
  QString folder;  // below the output folder: "" or "part_<idx>"
  QString name;
  EncodedImage encoded;
  QByteArray labels;  // the tile's label file, when its source has one
};

struct CutImage {
  std::vector<EncodedTile> tiles;
  QString error;  // why the image could not be read
  bool labelled = false;
  QString label_error;  // the source's label file could not be read
  int lines_not_carried = 0;
};

// Failures listed in the closing message, of each kind; the rest are counted.
constexpr int kListedFailures = 10;

// Decodes one image and encodes its tiles, in the format the file's extension
// names. Runs on a worker thread; `scratch` holds the decoded pixels.
CutImage cut_image(const QString& path, const SplitSettings& settings, const SourceClasses& classes,
                   DecodeScratch& scratch) {
  CutImage cut;
  const SourceImage decoded = read_source_file(path, &scratch);
  if (decoded.image.empty()) {
    cut.error = decoded.error;
    return cut;
  }
  const cv::Mat image = as_bgr(decoded.image);
  const QFileInfo info(path);
  const QString name = info.fileName();
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  const QString base = dot < 0 ? name : name.left(dot);
  const QString ext = dot < 0 ? QString() : name.mid(dot);
  const ImageFormat format = format_for_extension(ext);
  const int parts = settings.grid.rows * settings.grid.cols;
  const std::vector<cv::Rect> rects =
      tile_rects(image.cols, image.rows, settings.grid, settings.overlap_percent);
  const SourceLabels labels =
      read_source_labels(path, QSize(decoded.image.cols, decoded.image.rows), classes);
  cut.labelled = labels.found;
  cut.label_error = labels.error;
  cut.lines_not_carried = labels.lines_not_taken;
  const bool carry = labels.found && labels.error.isEmpty();
  for (size_t i = 0; i < rects.size(); ++i) {
    if (rects[i].empty()) continue;
    const QString idx = part_index_text(static_cast<int>(i) + 1, parts);
    EncodedTile tile;
    tile.folder = settings.subfolders ? QStringLiteral("part_") + idx : QString();
    tile.name = tile_file_name(base, idx, ext);
    tile.encoded = encode_with_default_settings(image(rects[i]), format);
    if (carry) {
      const cv::Rect& r = rects[i];
      tile.labels =
          format_carried_shapes(clip_shapes(labels.shapes, QRectF(r.x, r.y, r.width, r.height),
                                            settings.keep_percent / 100.0),
                                QSize(r.width, r.height));
    }
    cut.tiles.push_back(std::move(tile));
  }
  return cut;
}

}  // namespace

std::vector<cv::Rect> tile_rects(int width, int height, GridSize grid, int overlap_percent) {
  std::vector<cv::Rect> rects = tile_rects(width, height, grid);
  if (overlap_percent <= 0) return rects;
  const cv::Rect image(0, 0, width, height);
  for (cv::Rect& rect : rects) {
    const int mx = int(std::lround(rect.width * overlap_percent / 200.0));
    const int my = int(std::lround(rect.height * overlap_percent / 200.0));
    rect = cv::Rect(rect.x - mx, rect.y - my, rect.width + 2 * mx, rect.height + 2 * my) & image;
  }
  return rects;
}

SplitOutcome split_images(const QStringList& files, const SplitSettings& settings,
                          JobControl* control) {
  SplitOutcome outcome;
  outcome.total = static_cast<int>(files.size());
  const QDir out(settings.out_dir);
  if (!QDir().mkpath(settings.out_dir)) {
    outcome.folder_error = QStringLiteral("The output folder %1 could not be created.")
                               .arg(QDir::toNativeSeparators(settings.out_dir));
    return outcome;
  }
  BatchOutput output(settings.out_dir);
  BatchLabelOutput labels(output, files);
  QSet<QString> made;  // subfolders known to exist
  ScratchPool<DecodeScratch> scratch_pool;
  JobOptions options;
  options.window = kImageWindow;
  attach_control(options, control);
  const auto image_failed = [&](int i, const QString& reason) {
    outcome.image_failures.append(file_name_of(files[i]) + QStringLiteral(": ") + reason);
  };
  const JobEnd end = run_job(
      outcome.total,
      [&](int i) {  // worker thread
        std::unique_ptr<DecodeScratch> scratch = scratch_pool.take();
        CutImage cut = cut_image(files[i], settings, labels.source_classes(files[i]), *scratch);
        scratch_pool.give_back(std::move(scratch));
        return cut;
      },
      [&](int i, CutImage cut) {
        JobPass pass(control);
        if (!pass) return;  // called off: nothing more is written
        if (!cut.error.isEmpty()) return image_failed(i, cut.error);
        labels.note_source(files[i], cut.label_error, cut.lines_not_carried);
        const QStringList classes = labels.source_classes(files[i]).names;
        const bool carry = cut.labelled && cut.label_error.isEmpty();
        int written = 0;
        for (EncodedTile& tile : cut.tiles) {
          QString error = tile.encoded.error;
          const QString folder = tile.folder.isEmpty() ? out.path() : out.filePath(tile.folder);
          const QString path = QDir(folder).filePath(tile.name);
          if (error.isEmpty() && !made.contains(folder)) {
            if (QDir().mkpath(folder)) {
              made.insert(folder);
            } else {
              error = QStringLiteral("the folder could not be created");
            }
          }
          if (error.isEmpty()) {
            const OutputLabels tile_labels{std::move(tile.labels), classes};
            const OutputWrite write =
                labels.write(path, tile.encoded.bytes, carry ? &tile_labels : nullptr);
            error = write.refused.isEmpty() ? write.error : write.refused;
          }
          if (error.isEmpty()) {
            ++outcome.tiles;
            ++written;
          } else {
            outcome.failures.append(QDir::toNativeSeparators(path) + QStringLiteral(": ") + error);
          }
        }
        if (written > 0) ++outcome.images;
        pass.count(written > 0 ? 1 : 0, written);
      },
      image_failed, options);
  outcome.cancelled = end.stopped;
  outcome.flush_error = output.finish();
  outcome.label_files = labels.files_written();
  outcome.labels_removed = labels.files_removed();
  outcome.label_problems = labels.problems();
  return outcome;
}

QString split_failure_text(const SplitOutcome& outcome) {
  QString text;
  if (!outcome.image_failures.isEmpty()) {
    text += QStringLiteral("\n\n%1 of %2 images could not be split:")
                .arg(outcome.image_failures.size())
                .arg(outcome.total) +
            failure_listing(outcome.image_failures, kListedFailures);
  }
  if (!outcome.failures.isEmpty()) {
    text += QStringLiteral("\n\n%1 tile(s) could not be written:").arg(outcome.failures.size()) +
            failure_listing(outcome.failures, kListedFailures);
  }
  if (!outcome.flush_error.isEmpty()) {
    text += QStringLiteral("\n\n") + flush_failure_text(outcome.flush_error);
  }
  return text;
}

QString split_label_text(const SplitOutcome& outcome) {
  return carried_labels_text(outcome.label_files, QStringLiteral("tiles"), outcome.label_problems,
                             kListedFailures, outcome.labels_removed);
}

}  // namespace orvane
