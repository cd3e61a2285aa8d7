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
#include <array>
#include <vector>

namespace orvane {

// One shape of a label file, in image pixels.
struct LabelShape {
  int class_id = 0;
  QPolygonF points;
  QString type;           // "Rectangle" (4 vertices) or "Polygon"
  bool box_line = false;  // read from a "class cx cy w h" line
  // Set by the editor: the shape is one of the lines of the file it is
  // written to, as last read or written (false: added since).
  bool from_file = false;
};

// Why a non-blank line of a label file is not shown as a shape.
enum class UnshownReason {
  kTooShort,      // fewer than three fields
  kNotClassId,    // the first field is not an integer
  kUnknownClass,  // an id outside the class list (negative ones included)
  kOddCount,      // an odd number of coordinate values
  kNotNumber,     // a value that is not a decimal number
  kOutsideImage,  // a value outside 0..1, NaN or infinite: pixel units, for one
};
inline constexpr std::size_t kUnshownReasons = 6;
// How many lines were not shown, by reason.
using UnshownCounts = std::array<int, kUnshownReasons>;

// Why lines of one reason were not shown: "with values outside 0…1".
const char* unshown_reason_text(std::size_t reason);

// "2 of 7 lines not shown (kept as they are): 1 with values outside 0…1, 1
// with a class id not in classes.txt"; empty when every line was shown.
QString describe_unshown_lines(const UnshownCounts& unshown, int shown);

struct LabelFileContent {
  std::vector<LabelShape> shapes;
  // Lines that did not become shapes, byte for byte without their line end,
  // in file order: ids outside the class list, short lines, unreadable lines,
  // values outside the image. Blank lines are dropped.
  QByteArrayList kept_lines;
  UnshownCounts unshown{};
  // Why a line could not be read (the first such line: an id that is not an
  // integer, a value that is not a number, an odd count), or why the file
  // could not be read; empty when all went well.
  QString error;
  // Set by read_label_file only: whether the file exists, whether it exists
  // but could not be read (its content is unknown: it must be neither
  // replaced nor deleted), and its bytes as read.
  bool exists = false;
  bool unreadable = false;
  QByteArray file_bytes;
};

// Parses label-file bytes for an image of `width` x `height` pixels whose class
// list holds `class_count` names.
//
// A line becomes a shape when it holds an integer class id in 0..class_count-1
// followed by an even number (at least 2) of values within 0..1. Exactly four
// values (`class cx cy w h`, the detection layout) are a box and become its
// four corners. Every other non-blank line is kept verbatim, and counted by
// why: a value outside 0..1 (a file in pixel units, NaN, inf) would be
// clamped when the shape is written, so its line is never made a shape. A
// malformed line sets `error` (the first only); the lines after it are read
// all the same. Line ends may be LF, CRLF or CR.
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
// when `content` holds nothing but white space. A `path` that is a symbolic
// link is written through: its final target is replaced (atomically, beside
// the target), the link stays; deleting removes the link only. Returns the
// reason of a failure, or an empty text.
QString write_label_file(const QString& path, const QByteArray& content);

}  // namespace orvane
