// The tile splitter's logic: grid modes from a number of parts, tile
// rectangles with the remainder in the last row and column, zero-padded part
// indices and tile names, the folder's image files, and the batch that cuts
// and writes the tiles.
#pragma once

#include <QString>
#include <QStringList>
#include <opencv2/core.hpp>
#include <optional>
#include <vector>

namespace orvane {

class JobControl;

struct GridSize {
  int rows = 1;
  int cols = 1;
};

// "{R} Rows x {C} Cols" for every divisor R of `parts`, from one row upwards.
QStringList grid_modes(int parts);
// R and C of a grid-mode text; nothing when the text is not a grid mode.
std::optional<GridSize> parse_grid_mode(const QString& mode);

// The tiles of a width x height image, row by row from the top left. Every
// tile is (height / rows) x (width / cols); the last row and column take the
// remainder. Tiles of an image smaller than the grid may be empty.
std::vector<cv::Rect> tile_rects(int width, int height, GridSize grid);
// The same tiles, each grown at its inner edges by half of `overlap_percent`
// of its own size, so that neighbours share that part of a tile; 0 gives the
// grid above.
std::vector<cv::Rect> tile_rects(int width, int height, GridSize grid, int overlap_percent);

// Number of decimal digits of `parts`: the width part indices are padded to.
int part_pad_width(int parts);
// The part index as text, zero-filled on the left to part_pad_width(parts).
QString part_index_text(int index, int parts);
// base + "_part_" + idx + ext.
QString tile_file_name(const QString& base, const QString& idx, const QString& ext);

// The image files directly in `folder` (".jpg", ".jpeg", ".png", ".bmp",
// ".webp" in any case; regular files and links to them only), gathered
// extension by extension in that order, each in name order, every file once.
QStringList gather_split_images(const QString& folder);
// Whether an image of `folder` has a label file beside it; one listing. Any
// thread.
bool folder_has_labels(const QString& folder);

struct SplitSettings {
  QString out_dir;
  GridSize grid;
  bool subfolders = true;
  int overlap_percent = 0;  // 0 ... 50
  // A labelled source's shape goes into a tile when at least this part of
  // its area lies inside.
  int keep_percent = 25;
};

struct SplitOutcome {
  int total = 0;               // image files given
  int images = 0;              // images with at least one tile written
  int tiles = 0;               // tiles written
  QStringList failures;        // "<file>: <reason>" for each tile that was not written
  QStringList image_failures;  // "<file name>: <reason>" for each image that could not be cut
  QString folder_error;        // the output folder could not be created: nothing was written
  QString flush_error;         // the final flush failed: the tiles may not all be on the disk
  bool cancelled = false;      // stopped by its control before every image was done
  int label_files = 0;         // label files written beside tiles
  int labels_removed = 0;      // those of an earlier run beside tiles now without labels
  QStringList label_problems;  // "<file>: <reason>": labels not carried, or not whole
};

// Cuts every image into the grid and writes its tiles to settings.out_dir
// (created with its parents), as <base>_part_<idx><ext>, in "part_<idx>"
// folders when settings.subfolders. An image that cannot be read or cut is
// named with its reason and not counted; empty tiles are neither written nor
// counted. A tile whose name is taken by a file this run may not replace
// (see BatchLabelOutput: in the sources' folder, anything there) is refused
// and named. A source with a label file beside it gives each tile a label
// file of the tile's stem with the shapes clipped to it (empty for a tile
// without shapes), and each folder that receives them a classes.txt, never
// changed once there. Several images are decoded and encoded at once; files are written
// in order on the calling thread. With a `control`, the batch stops when it
// is cancelled, writes each image's tiles under a pass and counts the images
// split and the tiles written into its tally.
SplitOutcome split_images(const QStringList& files, const SplitSettings& settings,
                          JobControl* control = nullptr);

// The closing message's text after the first line, for failures: the images
// that could not be cut and the tiles that could not be written, ten of each
// listed. Empty when nothing failed.
QString split_failure_text(const SplitOutcome& outcome);

// The closing message's note on carried labels: how many label files were
// written, and the labels that were not carried or not whole. Empty for a
// folder without label files.
QString split_label_text(const SplitOutcome& outcome);

}  // namespace orvane
