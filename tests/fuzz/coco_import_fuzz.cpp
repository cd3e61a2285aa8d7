// libFuzzer target for the COCO reader of the import (read_coco) and the
// conversion of what it accepts (coco_image_lines, both ways of writing an
// object of several polygons, RLE masks of a modest size).
//
// Properties checked on every input:
// - a refusal has a reason and leaves nothing behind; an accepted file's
//   objects name its classes, their coordinates are finite, 0 … the limit,
//   and its images' names stay inside their folder;
// - every label line written has a known class id and coordinates of six
//   decimals in 0 … 1.
#include <cstdint>
#include <string_view>

#include "dataset_tools/coco_import.h"
#include "import_readers_fuzz.h"

using namespace orvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CocoDataset coco;
  QString error;
  if (!read_coco(std::string_view(reinterpret_cast<const char*>(data), size), coco, error)) {
    import_check(!error.isEmpty() && coco.images.empty() && coco.classes.isEmpty());
    return 0;
  }
  std::vector<int> ids;
  for (int i = 0; i < coco.classes.size(); ++i) ids.push_back(i);
  for (CocoImage& image : coco.images) {
    import_check(unsafe_name_reason(image.file_name).isEmpty());
    for (CocoObject& object : image.objects) {
      import_check(object.class_id >= 0 && object.class_id < coco.classes.size());
      for (const Ring& ring : object.polygons) {
        for (const Point2& p : ring) import_check(coordinate_ok(p.x) && coordinate_ok(p.y));
      }
      // Masks of millions of pixels are right but slow to fuzz.
      if (object.rle && qint64(object.rle->width) * object.rle->height > (1 << 16)) {
        object.rle.reset();
      }
    }
    for (const bool join : {true, false}) {
      check_lines(coco_image_lines(image, image.width, image.height, ShapeOptions{join}, ids),
                  coco.classes.size());
    }
  }
  return 0;
}
