// Label files: one text file beside each image, one line per shape: the class
// id, then x y per vertex normalised to the image size (YOLO segmentation
// layout). Lines that do not become shapes are carried along untouched so that
// rewriting a file never destroys what another tool put there.
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <QPolygonF>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <vector>

namespace orvane {

// One shape of a label file, in image pixels.
struct LabelShape {
  int class_id = 0;
  QPolygonF points;
  QString type;  // "Rectangle" (4 vertices) or "Polygon"
};

struct LabelFileContent {
  std::vector<LabelShape> shapes;
  // Lines that did not become shapes, byte for byte without their line end,
  // in file order: ids outside the class list, short lines, unreadable lines.
  // Blank lines are dropped.
  QByteArrayList kept_lines;
  // Why a line could not be read (the first such line), or why the file could
  // not be read; empty when all went well.
  QString error;
  // Set by read_label_file only: whether the file exists, whether it exists
  // but could not be read (its content is unknown: it must be neither
  // replaced nor deleted), and its bytes as read.
  bool exists = false;
  bool unreadable = false;
  QByteArray file_bytes;
};

// Normalised coordinates beyond this magnitude (a thousand image sizes away)
// could not be drawn or edited sensibly; such lines are kept as written.
inline constexpr double kMaxNormalisedCoordinate = 1000.0;

// Parses label-file bytes for an image of `width` x `height` pixels whose class
// list holds `class_count` names.
//
// A line becomes a shape when it holds an integer class id in 0..class_count-1
// followed by an even number (at least 2) of finite values within
// +-kMaxNormalisedCoordinate. Exactly four values (`class cx cy w h`, the
// detection layout) are a box and become its four corners. Every other
// non-blank line is kept verbatim. A malformed line (not an integer id, a value
// that is not a number, an odd count) sets `error` and ends the reading: it and
// all later lines are kept as they are.
// Line ends may be LF, CRLF or CR.
LabelFileContent parse_label_file(QByteArrayView bytes, int class_count, int width, int height);

// Reads and parses the label file at `path`; a missing file is simply empty.
// Only regular files up to kMaxTextFileBytes are read.
LabelFileContent read_label_file(const QString& path, int class_count, int width, int height);

// The label-file text: one line per shape (class id, then " %.6f %.6f" per
// vertex, each coordinate divided by the image size and clamped to 0..1),
// then each kept line, every line ending with a line feed.
QByteArray format_label_file(const std::vector<LabelShape>& shapes, int width, int height,
                             const QByteArrayList& kept_lines = {});

// Replaces the label file at `path` with `content` atomically, or deletes it
// when `content` holds nothing but white space. Returns the reason of a
// failure, or an empty text.
QString write_label_file(const QString& path, const QByteArray& content);

}  // namespace orvane
