// libFuzzer target for the Pascal VOC reader of the import (read_voc) and the
// conversion of what it accepts (voc_image_lines).
//
// Properties checked on every input:
// - a refusal has a reason and leaves nothing behind; an accepted file's
//   objects have a name, and boxes whose coordinates are 0 … the limit with
//   max not below min; its image name, if any, stays inside its folder;
// - every label line written has a known class id and coordinates of six
//   decimals in 0 … 1, on the file's own size or a size of its own.
#include <QByteArrayView>
#include <QStringList>
#include <cstdint>

#include "dataset_tools/voc_import.h"
#include "import_readers_fuzz.h"

using namespace orvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  VocAnnotation voc;
  QString error;
  if (!read_voc(QByteArrayView(data, qsizetype(size)), voc, error)) {
    import_check(!error.isEmpty() && voc.objects.empty() && voc.filename.isEmpty());
    return 0;
  }
  import_check(voc.filename.isEmpty() || unsafe_name_reason(voc.filename).isEmpty());
  QStringList names;
  for (const VocObject& o : voc.objects) {
    import_check(!o.name.isEmpty());
    import_check(coordinate_ok(o.xmin) && coordinate_ok(o.ymin) && coordinate_ok(o.xmax) &&
                 coordinate_ok(o.ymax) && o.xmax >= o.xmin && o.ymax >= o.ymin);
    if (!names.contains(o.name)) names << o.name;
  }
  const int w = voc.width > 0 ? voc.width : 640, h = voc.height > 0 ? voc.height : 480;
  for (const bool keep : {true, false}) {
    check_lines(voc_image_lines(voc, w, h, VocOptions{keep, keep},
                                [&](const QString& n) { return int(names.indexOf(n)); }),
                names.size());
  }
  return 0;
}
