// Reading COCO instances JSON for the import: images, categories and objects
// (boxes, polygons, RLE masks), every value checked before anything is
// written, and one image's objects as YOLO label lines. Pure logic, any
// thread.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dataset_tools/import_shapes.h"

namespace orvane {

// A COCO file above this size is refused before it is read: its parsed form
// takes several times its size in memory.
inline constexpr qint64 kMaxCocoJsonBytes = qint64{1} << 30;

// A run-length encoded mask: runs alternate from 0s, column by column.
struct CocoRle {
  int height = 0;
  int width = 0;
  std::vector<uint32_t> counts;
};

struct CocoObject {
  int class_id = 0;  // position of its category's name in CocoDataset::classes
  std::optional<PixelBox> bbox;
  std::vector<Ring> polygons;  // in pixels
  std::optional<CocoRle> rle;
};

struct CocoImage {
  QString file_name;  // relative to the images folder, checked: no "..", not absolute
  int width = 0;      // as the JSON says
  int height = 0;
  std::vector<CocoObject> objects;
};

struct CocoDataset {
  QStringList classes;  // category names in the order of the file, a repeated name once
  std::vector<CocoImage> images;
};

// Parses and checks a whole COCO file. False, with the first fault in
// `error` (which names the entry), for malformed JSON, a missing or wrongly
// typed field, duplicate image or category ids, an annotation naming an id
// that does not exist, a coordinate that is not finite, negative or above
// kMaxCoordinate, an unsafe file name; `out` is then empty.
bool read_coco(std::string_view json, CocoDataset& out, QString& error);

// The outer contours of a mask, through the centres of its boundary pixels,
// largest first.
std::vector<Ring> rle_outer_rings(const CocoRle& rle);

// One image's objects as label lines on an image of `width` × `height`.
ImageLines coco_image_lines(const CocoImage& image, int width, int height,
                            const ShapeOptions& options, const std::vector<int>& class_ids);

}  // namespace orvane
