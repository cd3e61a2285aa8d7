// Labels that travel with their image: the shapes of a source's label file,
// moved with its pixels when the image is cut into tiles, turned or warped,
// clipped to the new frame and written beside the new image.
#pragma once

#include <QByteArray>
#include <QPolygonF>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>
#include <opencv2/core.hpp>
#include <vector>

namespace orvane {

struct CarriedShape {
  int class_id = 0;
  QPolygonF points;  // in pixels of the image the shape belongs to
  bool box = false;  // a "class cx cy w h" line, written as one again
};

// The class list of a source folder, read once for all its images.
struct SourceClasses {
  bool found = false;  // the folder has a classes.txt
  QStringList names;   // its names (empty without one)
  QString error;       // why an existing classes.txt could not be read
};

SourceClasses read_source_classes(const QString& folder);

struct SourceLabels {
  bool found = false;  // the image has a label file
  QString error;       // the label file could not be read: nothing is carried
  std::vector<CarriedShape> shapes;
  int lines_not_taken = 0;  // non-blank lines that are not shapes (kept aside, not carried)
};

// The shapes of the label file beside `image_path` (same stem, ".txt") for an
// image of `size` pixels, read as the annotator reads it. Ids beyond the
// folder's class list are not taken; without a class list every id is.
// Any thread.
SourceLabels read_source_labels(const QString& image_path, QSize size,
                                const SourceClasses& classes);

// The shapes as they lie in the part `frame` of their image: moved so that
// the frame's top-left corner is the origin and cut at its edges (a polygon
// cut in two becomes two shapes). A shape of which less than `keep_fraction`
// of its area lies inside is dropped, as is a piece under `min_size` pixels
// wide or high. Any thread.
std::vector<CarriedShape> clip_shapes(const std::vector<CarriedShape>& shapes, const QRectF& frame,
                                      double keep_fraction, double min_size = 2.0);

// The shapes moved by the projective `transform` (a 3x3 matrix from source to
// target pixels). A box stays a box only where the transform keeps it an
// axis-aligned rectangle; otherwise it becomes a four-point polygon, which
// follows the pixels. Any thread.
std::vector<CarriedShape> transform_shapes(const std::vector<CarriedShape>& shapes,
                                           const cv::Matx33d& transform);

// The shapes moved by an image warp with OpenCV's matrix `pixel_transform`
// (which maps pixel centres, where shapes lie on pixel edges) into an image
// of `size`, and clipped to it as clip_shapes does. Any thread.
std::vector<CarriedShape> warp_shapes(const std::vector<CarriedShape>& shapes,
                                      const cv::Matx33d& pixel_transform, QSize size,
                                      double keep_fraction);
// An affine warp's 2x3 matrix as the 3x3 one of the same transform.
cv::Matx33d projective(const cv::Matx23d& affine);

// The label-file text for an image of `size`: a polygon as its vertices, a box
// as "class cx cy w h", normalised and clamped to 0..1, six decimals, each
// line ending with a line feed. Any thread.
QByteArray format_carried_shapes(const std::vector<CarriedShape>& shapes, QSize size);

// Makes sure `folder`'s classes.txt holds `classes`: creates it when it is
// missing, under a name no other entry holds by then; an existing one is never
// changed. One created meanwhile by another writer is read and taken as if it
// had been there. Returns an empty text when the labels may go there, else why
// not (an existing list with other names, or a failed write).
// `before_create` runs between finding none and creating it (tests let
// another writer in there).
QString ensure_class_list(const QString& folder, const QStringList& classes,
                          const std::function<void()>& before_create = {});

// The closing message's note on carried labels: "Labels carried: <files>
// label files written beside the <beside>.", the label files of an earlier
// run removed, and the problems, of which the first `listed` are named.
// Empty when there is none of them.
QString carried_labels_text(int files, const QString& beside, const QStringList& problems,
                            int listed, int removed = 0);

}  // namespace orvane
