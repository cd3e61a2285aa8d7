#include "imaging/image_io.h"

#include <QtGlobal>
#include <limits>
#include <new>
#include <opencv2/imgproc.hpp>

#include "fileio/file_read.h"
#include "imaging/source_image.h"

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN,
              "Format_RGB32 holds B, G, R, A bytes only on little-endian machines");

namespace orvane {

QString too_many_pixels_text(qint64 width, qint64 height) {
  return QStringLiteral("%1 x %2 pixels is more than the limit of %3 megapixels")
      .arg(width)
      .arg(height)
      .arg(kMaxImagePixels / 1'000'000);
}

bool jpeg_is_complete(const QByteArray& bytes) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
  const qsizetype n = bytes.size();
  if (n < 2 || b[0] != 0xFF || b[1] != 0xD8) return true;
  qsizetype pos = 2;
  while (true) {
    // Next marker: 0xFF, any fill bytes, then the marker code.
    while (pos < n && b[pos] != 0xFF) ++pos;
    while (pos < n && b[pos] == 0xFF) ++pos;
    if (pos >= n) return false;
    const unsigned char marker = b[pos++];
    if (marker == 0xD9) return true;                                     // end of image
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue;  // no length
    if (pos + 2 > n) return false;
    const int length = (b[pos] << 8) | b[pos + 1];
    if (length < 2) return false;
    pos += length;
    if (pos > n) return false;
    if (marker != 0xDA) continue;
    // Entropy-coded data after a start of scan: 0xFF is followed by 0x00
    // (a stuffed byte) or a restart marker; anything else is the next marker.
    while (true) {
      const void* ff = std::memchr(b + pos, 0xFF, static_cast<std::size_t>(n - pos));
      if (ff == nullptr) return false;
      pos = static_cast<const unsigned char*>(ff) - b;
      if (pos + 1 >= n) return false;
      const unsigned char next = b[pos + 1];
      if (next == 0x00 || (next >= 0xD0 && next <= 0xD7)) {
        pos += 2;
        continue;
      }
      break;  // back to the marker loop
    }
  }
}

DecodedImage decode_image_bytes(const QByteArray& bytes) {
  // One decoder for the whole program: upright, size and truncation checked,
  // JPEG through TurboJPEG; the views want three-channel BGR.
  orvane::SourceImage source = orvane::decode_source_bytes(bytes);
  DecodedImage result;
  result.error = source.error;
  if (!source.image.empty()) {
    try {
      result.image = orvane::as_bgr(source.image);
    } catch (const std::bad_alloc&) {
      result.error = QStringLiteral("not enough memory to decode it");
    }
  }
  return result;
}

DecodedImage read_image_file(const QString& path) {
  QByteArray bytes;
  DecodedImage result;
  if (read_whole_file(path, bytes, &result.error, std::numeric_limits<int>::max()) !=
      ReadStatus::Ok) {
    return result;
  }
  return decode_image_bytes(bytes);
}

QImage bgr_to_qimage(const cv::Mat& image) {
  if (image.empty() || image.depth() != CV_8U) return {};
  int code = 0;
  switch (image.channels()) {
    case 1:
      code = cv::COLOR_GRAY2BGRA;
      break;
    case 3:
      code = cv::COLOR_BGR2BGRA;
      break;
    case 4:
      code = cv::COLOR_BGRA2BGR;  // alpha must become 0xFF, see below
      break;
    default:
      return {};
  }
  QImage out(image.cols, image.rows, QImage::Format_RGB32);
  if (out.isNull()) return {};
  // Write straight into the QImage's buffer: one pass, no intermediate copy.
  cv::Mat target(image.rows, image.cols, CV_8UC4, out.bits(),
                 static_cast<std::size_t>(out.bytesPerLine()));
  if (code == cv::COLOR_BGRA2BGR) {
    cv::Mat bgr;
    cv::cvtColor(image, bgr, code);
    cv::cvtColor(bgr, target, cv::COLOR_BGR2BGRA);
  } else {
    cv::cvtColor(image, target, code);
  }
  return out;
}

QPixmap bgr_to_pixmap(const cv::Mat& image) {
  QImage converted = bgr_to_qimage(image);
  if (converted.isNull()) return {};
  return QPixmap::fromImage(std::move(converted));
}

QPixmap bgr_pixmap_sharing(const cv::Mat& image) {
  if (image.type() != CV_8UC3 || image.empty()) return bgr_to_pixmap(image);
  // The QImage reads the Mat's buffer; a Mat header on the heap holds a
  // reference to it until the image (and so the pixmap) lets go.
  auto* keeper = new cv::Mat(image);
  QImage wrapped(
      static_cast<const uchar*>(keeper->data), keeper->cols, keeper->rows,
      static_cast<qsizetype>(keeper->step), QImage::Format_BGR888,
      [](void* mat) { delete static_cast<cv::Mat*>(mat); }, keeper);
  return QPixmap::fromImage(std::move(wrapped), Qt::NoFormatConversion);
}

}  // namespace orvane
