#include "splitter/tile_grid.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <exception>
#include <memory>
#include <mutex>

#include "common/ordered_parallel.h"
#include "fileio/atomic_write.h"
#include "imaging/image_encode.h"
#include "imaging/image_extensions.h"
#include "imaging/source_image.h"

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

QStringList gather_split_images(const QString& folder) {
  const QFileInfoList entries =
      QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
  QStringList files;
  QSet<QString> seen;
  for (const QString& ext : image_extensions(ImageJob::kSplitter)) {
    for (const QFileInfo& entry : entries) {
      const QString path = entry.absoluteFilePath();
      if (entry.fileName().endsWith(ext, Qt::CaseInsensitive) && !seen.contains(path)) {
        seen.insert(path);
        files.append(path);
      }
    }
  }
  return files;
}

namespace {

// Images being cut or waiting to be written at once. Only their encoded tiles
// are kept, so the window can be wide enough to ride out a slow image.
constexpr int kImageWindow = 12;

struct EncodedTile {
  QString folder;  // below the output folder: "" or "part_<idx>"
  QString name;
  EncodedImage encoded;
};

// Decodes one image and encodes its tiles, in the format the file's extension
// names. Runs on a worker thread; `scratch` holds the decoded pixels.
std::vector<EncodedTile> cut_image(const QString& path, const SplitSettings& settings,
                                   DecodeScratch& scratch) {
  std::vector<EncodedTile> tiles;
  cv::Mat image;
  try {
    const SourceImage decoded = read_source_file(path, &scratch);
    if (decoded.image.empty()) return tiles;
    image = as_bgr(decoded.image);
  } catch (const std::exception&) {
    return tiles;  // out of memory: skipped like any image that cannot be read
  }
  const QFileInfo info(path);
  const QString name = info.fileName();
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  const QString base = dot < 0 ? name : name.left(dot);
  const QString ext = dot < 0 ? QString() : name.mid(dot);
  const ImageFormat format = format_for_extension(ext);
  const int parts = settings.grid.rows * settings.grid.cols;
  const std::vector<cv::Rect> rects = tile_rects(image.cols, image.rows, settings.grid);
  for (size_t i = 0; i < rects.size(); ++i) {
    if (rects[i].empty()) continue;
    const QString idx = part_index_text(static_cast<int>(i) + 1, parts);
    EncodedTile tile;
    tile.folder = settings.subfolders ? QStringLiteral("part_") + idx : QString();
    tile.name = tile_file_name(base, idx, ext);
    tile.encoded = encode_with_default_settings(image(rects[i]), format);
    tiles.push_back(std::move(tile));
  }
  return tiles;
}

}  // namespace

SplitOutcome split_images(const QStringList& files, const SplitSettings& settings) {
  SplitOutcome outcome;
  outcome.images = static_cast<int>(files.size());
  const QDir out(settings.out_dir);
  if (!QDir().mkpath(settings.out_dir)) {
    outcome.folder_error = QStringLiteral("The output folder %1 could not be created.")
                               .arg(QDir::toNativeSeparators(settings.out_dir));
    return outcome;
  }
  QSet<QString> made;  // subfolders known to exist
  // Decoding buffers, handed from image to image so each worker reuses its own.
  std::mutex scratch_mutex;
  std::vector<std::unique_ptr<DecodeScratch>> idle_scratch;
  ordered_parallel(
      static_cast<int>(files.size()),
      [&](int i) {  // worker thread
        std::unique_ptr<DecodeScratch> scratch;
        {
          const std::lock_guard lock(scratch_mutex);
          if (idle_scratch.empty()) {
            scratch = std::make_unique<DecodeScratch>();
          } else {
            scratch = std::move(idle_scratch.back());
            idle_scratch.pop_back();
          }
        }
        std::vector<EncodedTile> tiles = cut_image(files[i], settings, *scratch);
        const std::lock_guard lock(scratch_mutex);
        idle_scratch.push_back(std::move(scratch));
        return tiles;
      },
      [&](int, std::vector<EncodedTile> tiles) {
        for (EncodedTile& tile : tiles) {
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
          // Atomic, so a stopped run leaves no half-written tile; flushing
          // each tile to the disk would cost more than the rest of the job.
          if (error.isEmpty()) {
            error = write_file_atomically(path, tile.encoded.bytes, ExistingFile::kReplace,
                                          Sync::kLater);
          }
          if (error.isEmpty()) {
            ++outcome.tiles;
          } else {
            outcome.failures.append(QDir::toNativeSeparators(path) + QStringLiteral(": ") + error);
          }
        }
      },
      0, kImageWindow);
  return outcome;
}

}  // namespace orvane
