// Shapes read from another labelling format on their way into YOLO label
// lines: the checks every importer shares (file names, coordinates), the
// engine's joining of several polygons into one, and the counts the import's
// report gives. Pure logic, any thread.
#pragma once

#include <QString>
#include <string>
#include <vector>

namespace orvane {

// Coordinates and sizes above this many pixels are refused as broken input.
inline constexpr double kMaxCoordinate = 1'000'000;

struct Point2 {
  double x = 0;
  double y = 0;
};
using Ring = std::vector<Point2>;

struct PixelBox {  // from the top-left corner, in pixels
  double x = 0;
  double y = 0;
  double w = 0;
  double h = 0;
};

// Why the reason of refusing a file name, or an empty text for a name that
// stays inside its folder: not empty, relative, no "." or ".." part, no
// backslash or NUL.
QString unsafe_name_reason(const QString& name);

// A coordinate as the importers accept it: finite, 0 … kMaxCoordinate.
bool coordinate_ok(double value);

// Joins several rings into one as the YOLO engine's COCO converter does
// (merge_multi_segment): neighbours are linked at their nearest points and the
// outline walks there and back.
Ring join_rings(std::vector<Ring> rings);

struct ShapeOptions {
  bool join_polygons = true;  // several polygons of one object: one line, else one line each
};

// What one image's conversion gave.
struct ImageLines {
  std::string text;  // label lines, each ended by a line feed
  int shapes = 0;    // lines in `text`
  int merged = 0;    // objects of several polygons written as one line
  int zero_area = 0;
  int outside = 0;                // no part inside the image
  int excluded = 0;               // left out by choice (VOC difficult or truncated)
  std::vector<int> class_shapes;  // lines per class id (sized to the largest id + 1)
};

// Appends the line of `ring` (pixels) for `class_id` to `lines`, normalised to
// `width` × `height` and clamped to 0 … 1, six decimals; or counts it as zero
// area or outside.
void add_ring_line(ImageLines& lines, int class_id, const Ring& ring, int width, int height);
// The ring of a box: its four corners from the top left, clockwise.
Ring box_ring(const PixelBox& box);

}  // namespace orvane
