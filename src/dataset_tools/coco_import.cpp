// Reading COCO instances JSON for the import.
#include "dataset_tools/coco_import.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <opencv2/imgproc.hpp>
#include <unordered_map>

#include "imaging/image_io.h"
#include "labels/class_list.h"

namespace orvane {

namespace {

using Json = nlohmann::json;

// The first fault of the file, with the entry it is in.
struct Refusal {
  QString text;
};

[[noreturn]] void refuse(const QString& where, const QString& why) {
  throw Refusal{where.isEmpty() ? why : where + QStringLiteral(": ") + why};
}

// Nesting deeper than any COCO file has is refused before parsing.
constexpr int kMaxDepth = 32;

bool nesting_ok(std::string_view text) {
  int depth = 0;
  bool in_string = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (in_string) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxDepth) return false;
    } else if (c == ']' || c == '}') {
      --depth;
    }
  }
  return true;
}

const Json& member(const Json& object, const char* key, const QString& where) {
  const auto it = object.find(key);
  if (it == object.end()) refuse(where, QStringLiteral("\"%1\" is missing").arg(key));
  return *it;
}

qint64 integer(const Json& value, const char* key, const QString& where) {
  if (value.is_number_integer() && !value.is_number_unsigned()) return value.get<qint64>();
  if (value.is_number_unsigned() && value.get<uint64_t>() <= uint64_t(INT64_MAX)) {
    return qint64(value.get<uint64_t>());
  }
  refuse(where, QStringLiteral("\"%1\" is not an integer").arg(key));
}

double coordinate(const Json& value, const QString& where, const char* what) {
  if (!value.is_number())
    refuse(where, QStringLiteral("%1 holds a value that is not a number").arg(what));
  const double v = value.get<double>();
  if (!coordinate_ok(v)) {
    refuse(where, QStringLiteral("%1 holds %2, outside 0 … %3")
                      .arg(what)
                      .arg(v)
                      .arg(kMaxCoordinate, 0, 'f', 0));
  }
  return v;
}

QString text_of(const Json& value, const char* key, const QString& where) {
  if (!value.is_string()) refuse(where, QStringLiteral("\"%1\" is not a string").arg(key));
  const std::string& s = value.get_ref<const std::string&>();
  return QString::fromUtf8(s.data(), qsizetype(s.size()));
}

const Json& array_member(const Json& root, const char* key) {
  const Json& value = member(root, key, {});
  if (!value.is_array()) refuse({}, QStringLiteral("\"%1\" is not a list").arg(key));
  return value;
}

// COCO's compressed counts: 6-bit groups from '0', each run as a difference
// to the one two before it.
std::vector<uint32_t> compressed_counts(const std::string& s, const QString& where) {
  std::vector<int64_t> runs;
  size_t p = 0;
  while (p < s.size()) {
    int64_t x = 0;
    int k = 0;
    bool more = true;
    while (more) {
      if (p >= s.size() || k > 6) refuse(where, QStringLiteral("the mask's counts are cut short"));
      const int c = int(static_cast<unsigned char>(s[p])) - 48;
      if (c < 0 || c > 63)
        refuse(where, QStringLiteral("the mask's counts hold a foreign character"));
      x |= int64_t(c & 0x1f) << (5 * k);
      more = (c & 0x20) != 0;
      ++p;
      ++k;
      if (!more && (c & 0x10)) x |= ~int64_t{0} << (5 * k);
    }
    if (runs.size() > 2) x += runs[runs.size() - 2];
    if (x < 0 || x > INT32_MAX) refuse(where, QStringLiteral("the mask's counts are out of range"));
    runs.push_back(x);
  }
  return {runs.begin(), runs.end()};
}

CocoRle read_rle(const Json& seg, const CocoImage& image, const QString& where) {
  const Json& size = member(seg, "size", where);
  if (!size.is_array() || size.size() != 2)
    refuse(where, QStringLiteral("the mask's size is not [height, width]"));
  CocoRle rle;
  const qint64 h = integer(size[0], "size", where), w = integer(size[1], "size", where);
  if (h != image.height || w != image.width) {
    refuse(where, QStringLiteral("the mask is %1 × %2 but its image is %3 × %4")
                      .arg(w)
                      .arg(h)
                      .arg(image.width)
                      .arg(image.height));
  }
  rle.height = int(h);
  rle.width = int(w);
  const Json& counts = member(seg, "counts", where);
  if (counts.is_string()) {
    rle.counts = compressed_counts(counts.get_ref<const std::string&>(), where);
  } else if (counts.is_array()) {
    rle.counts.reserve(counts.size());
    for (const Json& c : counts) {
      const qint64 v = integer(c, "counts", where);
      if (v < 0 || v > INT32_MAX)
        refuse(where, QStringLiteral("the mask's counts are out of range"));
      rle.counts.push_back(uint32_t(v));
    }
  } else {
    refuse(where, QStringLiteral("the mask's counts are neither a list nor a string"));
  }
  uint64_t total = 0;
  for (uint32_t c : rle.counts) total += c;
  if (total > uint64_t(h) * uint64_t(w))
    refuse(where, QStringLiteral("the mask's counts run past its end"));
  return rle;
}

void read_segmentation(const Json& seg, CocoObject& object, const CocoImage& image,
                       const QString& where) {
  if (seg.is_object()) {
    object.rle = read_rle(seg, image, where);
    return;
  }
  if (!seg.is_array())
    refuse(where, QStringLiteral("\"segmentation\" is neither a list nor a mask"));
  for (const Json& poly : seg) {
    if (!poly.is_array() || poly.size() % 2 != 0) {
      refuse(where, QStringLiteral("a polygon is not a list of x, y pairs"));
    }
    Ring ring;
    ring.reserve(poly.size() / 2);
    for (size_t i = 0; i < poly.size(); i += 2) {
      ring.push_back(
          {coordinate(poly[i], where, "a polygon"), coordinate(poly[i + 1], where, "a polygon")});
    }
    object.polygons.push_back(std::move(ring));
  }
}

void read_root(const Json& root, CocoDataset& out) {
  if (!root.is_object()) refuse({}, QStringLiteral("the file does not hold a JSON object"));

  // Categories: ids to classes by name, in the file's order.
  std::unordered_map<qint64, int> class_of_category;
  const Json& categories = array_member(root, "categories");
  for (size_t i = 0; i < categories.size(); ++i) {
    const QString where = QStringLiteral("categories[%1]").arg(i);
    const Json& c = categories[i];
    if (!c.is_object()) refuse(where, QStringLiteral("not an object"));
    const qint64 id = integer(member(c, "id", where), "id", where);
    const QString raw = text_of(member(c, "name", where), "name", where);
    const QString name = clean_class_name(raw);
    if (name.isEmpty() || name.contains(QLatin1Char('\n')) || name.contains(QLatin1Char('\r'))) {
      refuse(where, QStringLiteral("the name \"%1\" cannot be a class name").arg(raw));
    }
    int cls = int(out.classes.indexOf(name));
    if (cls < 0) {
      cls = int(out.classes.size());
      out.classes << name;
    }
    if (!class_of_category.emplace(id, cls).second) {
      refuse(where, QStringLiteral("the category id %1 is used twice").arg(id));
    }
  }

  std::unordered_map<qint64, size_t> image_at;
  const Json& images = array_member(root, "images");
  out.images.reserve(images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    const QString where = QStringLiteral("images[%1]").arg(i);
    const Json& im = images[i];
    if (!im.is_object()) refuse(where, QStringLiteral("not an object"));
    const qint64 id = integer(member(im, "id", where), "id", where);
    CocoImage image;
    image.file_name = text_of(member(im, "file_name", where), "file_name", where);
    const QString unsafe = unsafe_name_reason(image.file_name);
    if (!unsafe.isEmpty()) refuse(where, unsafe);
    const qint64 w = integer(member(im, "width", where), "width", where);
    const qint64 h = integer(member(im, "height", where), "height", where);
    if (w < 1 || h < 1 || w > kMaxCoordinate || h > kMaxCoordinate || w * h > kMaxImagePixels) {
      refuse(where, QStringLiteral("the size %1 × %2 is not one of an image").arg(w).arg(h));
    }
    image.width = int(w);
    image.height = int(h);
    if (!image_at.emplace(id, out.images.size()).second) {
      refuse(where, QStringLiteral("the image id %1 is used twice").arg(id));
    }
    out.images.push_back(std::move(image));
  }

  const auto annotations = root.find("annotations");
  if (annotations == root.end()) return;
  if (!annotations->is_array()) refuse({}, QStringLiteral("\"annotations\" is not a list"));
  for (size_t i = 0; i < annotations->size(); ++i) {
    const QString where = QStringLiteral("annotations[%1]").arg(i);
    const Json& a = (*annotations)[i];
    if (!a.is_object()) refuse(where, QStringLiteral("not an object"));
    const qint64 image_id = integer(member(a, "image_id", where), "image_id", where);
    const auto image = image_at.find(image_id);
    if (image == image_at.end())
      refuse(where, QStringLiteral("no image has the id %1").arg(image_id));
    const qint64 category_id = integer(member(a, "category_id", where), "category_id", where);
    const auto cls = class_of_category.find(category_id);
    if (cls == class_of_category.end()) {
      refuse(where, QStringLiteral("no category has the id %1").arg(category_id));
    }
    CocoImage& target = out.images[image->second];
    CocoObject object;
    object.class_id = cls->second;
    if (const auto bbox = a.find("bbox"); bbox != a.end() && !bbox->is_null()) {
      if (!bbox->is_array() || bbox->size() != 4)
        refuse(where, QStringLiteral("\"bbox\" is not [x, y, width, height]"));
      object.bbox = PixelBox{
          coordinate((*bbox)[0], where, "\"bbox\""), coordinate((*bbox)[1], where, "\"bbox\""),
          coordinate((*bbox)[2], where, "\"bbox\""), coordinate((*bbox)[3], where, "\"bbox\"")};
    }
    if (const auto seg = a.find("segmentation"); seg != a.end() && !seg->is_null()) {
      read_segmentation(*seg, object, target, where);
    }
    target.objects.push_back(std::move(object));
  }
}

}  // namespace

bool read_coco(std::string_view json, CocoDataset& out, QString& error) {
  out = {};
  if (!nesting_ok(json)) {
    error = QStringLiteral("The file is nested deeper than a COCO file is.");
    return false;
  }
  try {
    const Json root = Json::parse(json.begin(), json.end());
    read_root(root, out);
    return true;
  } catch (const Json::exception& e) {
    error = QStringLiteral("The file is not valid JSON: %1").arg(QString::fromUtf8(e.what()));
  } catch (const Refusal& r) {
    error = r.text;
  }
  out = {};
  return false;
}

std::vector<Ring> rle_outer_rings(const CocoRle& rle) {
  // Runs go down the columns: filled row by row into the transposed mask.
  cv::Mat1b columns(rle.width, rle.height, uchar(0));
  uchar* data = columns.ptr<uchar>();
  const size_t total = size_t(rle.width) * size_t(rle.height);
  size_t at = 0;
  for (size_t i = 0; i < rle.counts.size() && at < total; ++i) {
    const size_t run = std::min<size_t>(rle.counts[i], total - at);
    if (i % 2 == 1) std::fill(data + at, data + at + run, uchar(255));
    at += run;
  }
  cv::Mat1b mask;
  cv::transpose(columns, mask);
  std::vector<std::vector<cv::Point>> contours;
  cv::findContours(mask, contours, cv::RETR_EXTERNAL, cv::CHAIN_APPROX_SIMPLE);
  std::vector<std::pair<double, size_t>> order;
  for (size_t i = 0; i < contours.size(); ++i) order.emplace_back(-cv::contourArea(contours[i]), i);
  std::sort(order.begin(), order.end());
  std::vector<Ring> rings;
  for (const auto& [area, i] : order) {
    Ring ring;
    for (const cv::Point& p : contours[i]) ring.push_back({p.x + 0.5, p.y + 0.5});
    rings.push_back(std::move(ring));
  }
  return rings;
}

ImageLines coco_image_lines(const CocoImage& image, int width, int height,
                            const ShapeOptions& options, const std::vector<int>& class_ids) {
  ImageLines lines;
  for (const CocoObject& object : image.objects) {
    const int cls = class_ids.at(size_t(object.class_id));
    std::vector<Ring> rings;
    if (object.rle) {
      rings = rle_outer_rings(*object.rle);
    } else if (!object.polygons.empty()) {
      rings = object.polygons;
    } else if (object.bbox) {
      rings.push_back(box_ring(*object.bbox));
    }
    if (rings.empty()) {
      ++lines.zero_area;
    } else if (rings.size() == 1) {
      add_ring_line(lines, cls, rings[0], width, height);
    } else if (options.join_polygons) {
      const int before = lines.shapes;
      add_ring_line(lines, cls, join_rings(std::move(rings)), width, height);
      if (lines.shapes > before) ++lines.merged;
    } else {
      for (const Ring& ring : rings) add_ring_line(lines, cls, ring, width, height);
    }
  }
  return lines;
}

}  // namespace orvane
