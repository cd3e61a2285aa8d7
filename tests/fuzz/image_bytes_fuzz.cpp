// libFuzzer target for the bytes of an image file as the program decodes
// them: decode_source_bytes (format sniffing, the header-size limit, the
// truncation check, TurboJPEG, the EXIF orientation) and, through the codecs
// module, the other formats.
//
// Properties checked on every input:
// - jpeg_exif_orientation gives 1..8, whatever the bytes;
// - a decode gives either an empty image with an error text, or an 8-bit
//   grey, BGR or BGRA image without one, of at most kMaxImagePixels pixels,
//   whose full size is its own size, and the format its signature names;
// - a JPEG that decodes has the size TurboJPEG reads from its header, turned
//   by its orientation; a PNG that decodes has the size of its IHDR chunk;
// - a JPEG decoded again into a reused scratch buffer with a target size
//   (the resizer's shrink on load) succeeds or fails alike, at 1/1, 1/2, 1/4
//   or 1/8 of the full size, shrunk only while at least twice the target,
//   and gives the same pixels when not shrunk.
//
// The last byte picks the target size of that second decode.
#include <turbojpeg.h>

#include <QByteArray>
#include <QSize>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>
#include <vector>

#include "imaging/codecs.h"
#include "imaging/image_io.h"
#include "imaging/source_image.h"

using namespace orvane;

namespace {

void check(bool ok) {
  if (!ok) __builtin_trap();
}

uint32_t big32(const unsigned char* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

QSize image_size(const cv::Mat& image) { return {image.cols, image.rows}; }

// The upright size TurboJPEG reads from the header; invalid when it reads none.
// A handle of its own for each call, so nothing is left from the last input.
QSize jpeg_header_size(const QByteArray& bytes) {
  tjhandle tj = tjInitDecompress();
  int width = 0, height = 0, subsampling = 0, colorspace = 0;
  const int failed = tjDecompressHeader3(
      tj, reinterpret_cast<const unsigned char*>(bytes.constData()),
      static_cast<unsigned long>(bytes.size()), &width, &height, &subsampling, &colorspace);
  tjDestroy(tj);
  if (failed != 0) return {};
  return jpeg_exif_orientation(bytes) >= 5 ? QSize(height, width) : QSize(width, height);
}

void check_decoded(const QByteArray& bytes, const SourceImage& decoded) {
  check(decoded.format == sniff_format(bytes));
  if (decoded.image.empty()) {
    check(!decoded.error.isEmpty());
    return;
  }
  check(decoded.error.isEmpty());
  const int type = decoded.image.type();
  check(type == CV_8UC1 || type == CV_8UC3 || type == CV_8UC4);
  check(qint64(decoded.image.cols) * decoded.image.rows <= kMaxImagePixels);
  check(decoded.full_size == image_size(decoded.image));
  check(as_bgr(decoded.image).type() == CV_8UC3);
  if (decoded.format == ImageFormat::Jpeg) {
    check(decoded.full_size == jpeg_header_size(bytes));
  } else if (decoded.format == ImageFormat::Png && bytes.size() >= 24) {
    const auto* ihdr = reinterpret_cast<const unsigned char*>(bytes.constData()) + 16;
    check(decoded.full_size == QSize(int(big32(ihdr)), int(big32(ihdr + 4))));
  }
}

// The second decode of a JPEG, shrunk on load towards a fraction of its size.
void check_shrunk(const QByteArray& bytes, const SourceImage& plain, unsigned char pick) {
  static DecodeScratch scratch;  // reused from one input to the next, as a batch does
  const int fraction = 1 + pick % 12;
  QSize asked;
  const SourceImage shrunk = decode_source_bytes(bytes, &scratch, [&](QSize full) {
    asked = QSize(std::max(1, full.width() / fraction), std::max(1, full.height() / fraction));
    return asked;
  });
  check(shrunk.image.empty() == plain.image.empty());
  check(shrunk.error == plain.error);
  if (shrunk.image.empty()) return;
  check(shrunk.full_size == plain.full_size);
  const QSize got = image_size(shrunk.image);
  bool one_of_the_scales = false;
  for (int denom : {1, 2, 4, 8}) {
    const QSize scaled((plain.full_size.width() + denom - 1) / denom,
                       (plain.full_size.height() + denom - 1) / denom);
    one_of_the_scales |= got == scaled;
  }
  check(one_of_the_scales);
  if (got == plain.full_size) {
    // TurboJPEG's colour conversion is deterministic: the same pixels.
    check(shrunk.image.type() == plain.image.type());
    check(cv::norm(shrunk.image, plain.image, cv::NORM_INF) == 0);
  } else if (asked.isValid()) {
    check(got.width() >= 2 * asked.width() && got.height() >= 2 * asked.height());
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The decoders' complaints about damaged files would bury the fuzzer's
  // lines: OpenCV's log and what imdecode writes to std::cerr. The fuzzer and
  // the sanitizers write to the stderr file, which stays open.
  cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
  std::cerr.setstate(std::ios_base::badbit);
  // Without the module only JPEG would be decoded: say so rather than fuzz less.
  std::vector<unsigned char> encoded;
  QString error;
  if (!codecs_encode(".bmp", cv::Mat(1, 1, CV_8UC3, cv::Scalar(1, 2, 3)), {}, encoded, error)) {
    std::fprintf(stderr, "image_bytes_fuzz: %s\n", error.toLocal8Bit().constData());
    std::abort();
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes =
      QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const int orientation = jpeg_exif_orientation(bytes);
  check(orientation >= 1 && orientation <= 8);
  const SourceImage plain = decode_source_bytes(bytes);
  check_decoded(bytes, plain);
  if (plain.format == ImageFormat::Jpeg) check_shrunk(bytes, plain, data[size - 1]);
  return 0;
}
