// Reading Pascal VOC annotation XML for the import: the image's name and
// size, and each object's class, box and difficult/truncated flags, every
// value checked before anything is written. Pure logic, any thread.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <vector>

#include "dataset_tools/import_shapes.h"

namespace orvane {

// A VOC file above this size is refused before it is read.
inline constexpr qint64 kMaxVocXmlBytes = qint64{16} << 20;

struct VocObject {
  QString name;  // the class name, cleaned as classes.txt keeps names
  // As written: 1-based pixel positions, xmax and ymax included.
  double xmin = 0, ymin = 0, xmax = 0, ymax = 0;
  bool difficult = false;
  bool truncated = false;
};

struct VocAnnotation {
  QString filename;  // empty when the file names none
  int width = 0;     // 0 when the file gives no size (some tools write 0)
  int height = 0;
  std::vector<VocObject> objects;
};

// Parses and checks one VOC file. False, with the first fault in `error`,
// for malformed XML, a root other than <annotation>, an object without a
// name or box, a coordinate that is not a number, negative, above
// kMaxCoordinate or with its max below its min, an unsafe file name.
bool read_voc(QByteArrayView xml, VocAnnotation& out, QString& error);

struct VocOptions {
  bool difficult = true;  // import objects marked difficult
  bool truncated = true;  // import objects marked truncated
};

// The objects as box lines on an image of `width` × `height`, their class ids
// looked up by `class_id_of(name)`. The box covers xmin − 1 … xmax − 1, as the
// YOLO engine's VOC conversion reads it.
template <class ClassIdOf>
ImageLines voc_image_lines(const VocAnnotation& voc, int width, int height,
                           const VocOptions& options, ClassIdOf&& class_id_of) {
  ImageLines lines;
  for (const VocObject& object : voc.objects) {
    if ((object.difficult && !options.difficult) || (object.truncated && !options.truncated)) {
      ++lines.excluded;
      continue;
    }
    const PixelBox box{object.xmin - 1, object.ymin - 1, object.xmax - object.xmin,
                       object.ymax - object.ymin};
    add_ring_line(lines, class_id_of(object.name), box_ring(box), width, height);
  }
  return lines;
}

}  // namespace orvane
