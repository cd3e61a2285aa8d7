#include "imaging/source_image.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>  // the IMREAD_ constants only
#include <opencv2/imgproc.hpp>
#include <optional>

#include "fileio/file_read.h"
#include "imaging/codecs.h"
#include "imaging/image_io.h"

namespace orvane {
namespace {

struct TjDeleter {
  void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, TjDeleter>;

// A fresh decompressor for every call (making one costs next to nothing
// beside a decode).
// A kept one carries state from file to file: the tables a file defines stay
// for the next (which, lacking its own Huffman tables as motion-JPEG frames
// do, would decode with them instead of the standard ones), and a header it
// failed to read leaves it part way through, so that the next file's header
// reads as 0 x 0 pixels or as a second frame.
TjHandle new_decompressor() { return TjHandle(tjInitDecompress()); }

uint16_t read16(const unsigned char* p, bool big_endian) {
  return big_endian ? uint16_t(p[0] << 8 | p[1]) : uint16_t(p[1] << 8 | p[0]);
}

uint32_t read32(const unsigned char* p, bool big_endian) {
  return big_endian ? uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]
                    : uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
}

// The orientation tag of a TIFF block (the body of an Exif APP1 segment).
int tiff_orientation(const unsigned char* t, size_t n) {
  if (n < 8) return 1;
  bool big;
  if (t[0] == 'M' && t[1] == 'M') {
    big = true;
  } else if (t[0] == 'I' && t[1] == 'I') {
    big = false;
  } else {
    return 1;
  }
  const uint32_t ifd = read32(t + 4, big);
  if (ifd > n - 2) return 1;
  const int entries = read16(t + ifd, big);
  for (int i = 0; i < entries; ++i) {
    const size_t e = ifd + 2 + size_t(i) * 12;
    if (e + 12 > n) return 1;
    if (read16(t + e, big) == 0x0112) {
      const int value = read16(t + e + 8, big);
      return value >= 1 && value <= 8 ? value : 1;
    }
  }
  return 1;
}

bool last_row_holds(const cv::Mat& image, uchar value) {
  const uchar* row = image.ptr(image.rows - 1);
  return std::all_of(row, row + size_t(image.cols) * image.elemSize(),
                     [value](uchar b) { return b == value; });
}

// Decodes JPEG bytes into `into`, allocated at the decoded size and type;
// empty when the image is whole, else why it is not. Warnings (stray bytes
// between markers, a scan cut short) leave a usable image, as in every other
// libjpeg reader. But TurboJPEG reports an error that follows a warning as a
// warning too, and the rows after such an error are never written. Rows are
// written top to bottom, so the image is whole when its last row was: when
// that row no longer holds the zeros put there first, or, for a last row that
// is black, the 0xFF put there for a second decode.
QString decompress_jpeg(const QByteArray& bytes, cv::Mat& into, int pixel_format) {
  QString error;
  const auto decode = [&](cv::Mat& image, uchar fill) {
    image.row(image.rows - 1).setTo(cv::Scalar::all(fill));
    const TjHandle handle = new_decompressor();
    tjhandle tj = handle.get();
    if (tj == nullptr) {
      error = QStringLiteral("no JPEG decoder");
      return false;
    }
    if (tjDecompress2(tj, reinterpret_cast<const unsigned char*>(bytes.constData()),
                      static_cast<unsigned long>(bytes.size()), image.data, image.cols,
                      int(image.step), image.rows, pixel_format, 0) == 0) {
      return true;
    }
    const bool warned = tjGetErrorCode(tj) == TJERR_WARNING;
    error = QString::fromUtf8(tjGetErrorStr2(tj));
    return warned;
  };
  if (!decode(into, 0x00)) return error;
  if (error.isEmpty() || !last_row_holds(into, 0x00)) return {};
  cv::Mat again(into.size(), into.type());
  decode(again, 0xFF);
  return last_row_holds(again, 0xFF) ? error : QString();
}

// The decoded size for a JPEG of width x height (as stored) when the caller
// will resample it to `target` (upright; invalid for none).
QSize jpeg_decode_size(int width, int height, bool turned, QSize target) {
  if (!target.isValid() || target.isEmpty()) return {width, height};
  if (turned) target.transpose();
  for (int denom : {8, 4, 2}) {
    const int w = (width + denom - 1) / denom;
    const int h = (height + denom - 1) / denom;
    if (w >= 2 * target.width() && h >= 2 * target.height()) return {w, h};
  }
  return {width, height};
}

SourceImage decode_jpeg(const QByteArray& bytes, DecodeScratch* scratch,
                        const TargetForSize& target_for) {
  SourceImage result;
  result.format = ImageFormat::Jpeg;
  const TjHandle handle = new_decompressor();
  tjhandle tj = handle.get();
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
  const auto size = static_cast<unsigned long>(bytes.size());
  int width = 0, height = 0, subsampling = 0, colorspace = 0;
  if (tj == nullptr ||
      tjDecompressHeader3(tj, data, size, &width, &height, &subsampling, &colorspace) != 0) {
    result.error = tj ? QString::fromUtf8(tjGetErrorStr2(tj)) : QStringLiteral("no JPEG decoder");
    return result;
  }
  if (width <= 0 || height <= 0) {  // tables only (an abbreviated stream of tables, no frame)
    result.error = QStringLiteral("the file holds no image");
    return result;
  }
  if (qint64(width) * height > kMaxImagePixels) {
    result.error = too_many_pixels_text(width, height);
    return result;
  }
  if (!jpeg_is_complete(bytes)) {
    result.error = QStringLiteral("the file is truncated");
    return result;
  }
  if (colorspace == TJCS_CMYK || colorspace == TJCS_YCCK) {
    // TurboJPEG gives no BGR for these; libjpeg through OpenCV converts them.
    const cv::Mat encoded(1, int(bytes.size()), CV_8UC1, const_cast<char*>(bytes.constData()));
    QString error;
    result.image = codecs_decode(encoded, cv::IMREAD_COLOR | cv::IMREAD_IGNORE_ORIENTATION, error);
    if (result.image.empty()) {
      result.error = error.isEmpty() ? QStringLiteral("not a readable JPEG") : error;
    }
    return result;
  }
  const bool turned = jpeg_exif_orientation(bytes) >= 5;
  result.full_size = turned ? QSize(height, width) : QSize(width, height);
  const QSize decoded =
      jpeg_decode_size(width, height, turned, target_for ? target_for(result.full_size) : QSize());
  width = decoded.width();
  height = decoded.height();
  const bool grey = colorspace == TJCS_GRAY;
  const int type = grey ? CV_8UC1 : CV_8UC3;
  if (scratch != nullptr) {
    const size_t needed = size_t(width) * height * CV_ELEM_SIZE(type);
    if (scratch->pixels.size() < needed) scratch->pixels.resize(needed);
    result.image = cv::Mat(height, width, type, scratch->pixels.data());
  } else {
    result.image.create(height, width, type);
  }
  result.error = decompress_jpeg(bytes, result.image, grey ? TJPF_GRAY : TJPF_BGR);
  if (!result.error.isEmpty()) result.image.release();
  return result;
}

// Width and height as a file's own header gives them to the decoder OpenCV
// picks for its bytes (by the same signatures), before any pixel is decoded:
// the pixel limit must hold before the decoder allocates. Formats without a
// header read here are not decoded at all.
struct HeaderSize {
  qint64 width = 0;
  qint64 height = 0;
};

std::optional<HeaderSize> j2k_codestream_size(const unsigned char* b, size_t n) {
  // SOC, then the SIZ segment: Lsiz, Rsiz, Xsiz, Ysiz, XOsiz, YOsiz.
  if (n < 24 || b[0] != 0xFF || b[1] != 0x4F || b[2] != 0xFF || b[3] != 0x51) return std::nullopt;
  const qint64 x = read32(b + 8, true), y = read32(b + 12, true);
  const qint64 x0 = read32(b + 16, true), y0 = read32(b + 20, true);
  if (x0 >= x || y0 >= y) return std::nullopt;
  return HeaderSize{x - x0, y - y0};
}

// A JP2 file: the codestream box ("jp2c") holds the size the decoder uses.
std::optional<HeaderSize> jp2_size(const unsigned char* b, size_t n) {
  size_t pos = 0;
  while (pos + 8 <= n) {
    uint64_t length = read32(b + pos, true);
    size_t header = 8;
    if (length == 1) {
      if (pos + 16 > n) return std::nullopt;
      length = uint64_t(read32(b + pos + 8, true)) << 32 | read32(b + pos + 12, true);
      header = 16;
    } else if (length == 0) {
      length = n - pos;
    }
    if (length < header || length > n - pos) return std::nullopt;
    if (std::memcmp(b + pos + 4, "jp2c", 4) == 0) {
      return j2k_codestream_size(b + pos + header, size_t(length) - header);
    }
    pos += size_t(length);
  }
  return std::nullopt;
}

std::optional<HeaderSize> tiff_size(const unsigned char* t, size_t n) {
  if (n < 8) return std::nullopt;
  const bool big = t[0] == 'M';
  const uint32_t ifd = read32(t + 4, big);
  if (ifd > n - 2) return std::nullopt;
  const int entries = read16(t + ifd, big);
  qint64 width = 0, height = 0;
  for (int i = 0; i < entries; ++i) {
    const size_t e = ifd + 2 + size_t(i) * 12;
    if (e + 12 > n) return std::nullopt;
    const int tag = read16(t + e, big);
    const int type = read16(t + e + 2, big);
    if (tag != 256 && tag != 257) continue;
    qint64 value;
    if (type == 3) {
      value = read16(t + e + 8, big);
    } else if (type == 4) {
      value = read32(t + e + 8, big);
    } else {
      return std::nullopt;
    }
    (tag == 256 ? width : height) = value;
  }
  if (width <= 0 || height <= 0) return std::nullopt;
  return HeaderSize{width, height};
}

std::optional<HeaderSize> webp_size(const unsigned char* b, size_t n) {
  if (n < 30) return std::nullopt;
  const auto le24 = [b](size_t at) {
    return qint64(b[at]) | qint64(b[at + 1]) << 8 | qint64(b[at + 2]) << 16;
  };
  if (std::memcmp(b + 12, "VP8 ", 4) == 0) {
    if (b[23] != 0x9D || b[24] != 0x01 || b[25] != 0x2A) return std::nullopt;
    return HeaderSize{read16(b + 26, false) & 0x3FFF, read16(b + 28, false) & 0x3FFF};
  }
  if (std::memcmp(b + 12, "VP8L", 4) == 0) {
    if (b[20] != 0x2F) return std::nullopt;
    const uint32_t bits = read32(b + 21, false);
    return HeaderSize{qint64(bits & 0x3FFF) + 1, qint64((bits >> 14) & 0x3FFF) + 1};
  }
  if (std::memcmp(b + 12, "VP8X", 4) == 0) return HeaderSize{le24(24) + 1, le24(27) + 1};
  return std::nullopt;
}

std::optional<HeaderSize> bmp_size(const unsigned char* b, size_t n) {
  if (n < 26) return std::nullopt;
  const uint32_t header = read32(b + 14, false);
  if (header == 12) return HeaderSize{read16(b + 18, false), read16(b + 20, false)};
  if (header < 36) return std::nullopt;
  const qint64 width = int32_t(read32(b + 18, false));
  const qint64 height = int32_t(read32(b + 22, false));
  return HeaderSize{std::abs(width), std::abs(height)};
}

std::optional<HeaderSize> header_size(const QByteArray& bytes, ImageFormat format) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
  const size_t n = size_t(bytes.size());
  switch (format) {
    case ImageFormat::Png:
      // IHDR comes first; reading it directly also covers files whose later
      // chunks are missing.
      if (n < 24) return std::nullopt;
      return HeaderSize{read32(b + 16, true), read32(b + 20, true)};
    case ImageFormat::Webp:
      return webp_size(b, n);
    case ImageFormat::Bmp:
      return bmp_size(b, n);
    case ImageFormat::Jpeg:  // read by TurboJPEG before this
      return std::nullopt;
    case ImageFormat::Unknown:
      break;
  }
  if (bytes.startsWith("\xFF\x4F\xFF\x51")) return j2k_codestream_size(b, n);
  if (bytes.startsWith(QByteArray("\0\0\0\x0CjP  \r\n\x87\n", 12))) return jp2_size(b, n);
  if (bytes.startsWith(QByteArray("II*\0", 4)) || bytes.startsWith(QByteArray("MM\0*", 4))) {
    return tiff_size(b, n);
  }
  return std::nullopt;
}

SourceImage decode_other(const QByteArray& bytes, ImageFormat format) {
  SourceImage result;
  result.format = format;
  const std::optional<HeaderSize> size = header_size(bytes, format);
  if (!size || size->width <= 0 || size->height <= 0) {
    result.error = QStringLiteral("not a readable image, or the file is damaged");
    return result;
  }
  // Each side on its own first: two 32-bit sides can multiply past 64 bits.
  if (size->width > kMaxImagePixels || size->height > kMaxImagePixels ||
      size->width * size->height > kMaxImagePixels) {
    result.error = too_many_pixels_text(size->width, size->height);
    return result;
  }
  const cv::Mat encoded(1, int(bytes.size()), CV_8UC1, const_cast<char*>(bytes.constData()));
  QString error;
  cv::Mat image = codecs_decode(encoded, cv::IMREAD_UNCHANGED, error);
  if (image.empty()) {
    result.error =
        error.isEmpty() ? QStringLiteral("not a readable image, or the file is damaged") : error;
    return result;
  }
  if (image.depth() == CV_16U) {
    image.convertTo(image, CV_8U, 1.0 / 257.0);
  } else if (image.depth() != CV_8U) {
    result.error = QStringLiteral("unsupported sample type");
    return result;
  }
  if (image.channels() == 2) {
    // Grey with alpha: OpenCV does not hand these out, but keep the rule plain.
    std::vector<cv::Mat> planes;
    cv::split(image, planes);
    cv::merge(std::vector<cv::Mat>{planes[0], planes[0], planes[0], planes[1]}, image);
  }
  result.image = image;
  return result;
}

}  // namespace

QSize upright_image_size(const QByteArray& bytes, QString* error) {
  const auto fail = [error](const QString& why) {
    if (error) *error = why;
    return QSize();
  };
  const ImageFormat format = sniff_format(bytes);
  if (format == ImageFormat::Jpeg) {
    const TjHandle handle = new_decompressor();
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (!handle ||
        tjDecompressHeader3(handle.get(), reinterpret_cast<const unsigned char*>(bytes.constData()),
                            static_cast<unsigned long>(bytes.size()), &width, &height, &subsampling,
                            &colorspace) != 0 ||
        width <= 0 || height <= 0) {
      return fail(QStringLiteral("not a readable JPEG header"));
    }
    return jpeg_exif_orientation(bytes) >= 5 ? QSize(height, width) : QSize(width, height);
  }
  const std::optional<HeaderSize> size = header_size(bytes, format);
  if (!size || size->width <= 0 || size->height <= 0 || size->width > kMaxImagePixels ||
      size->height > kMaxImagePixels) {
    return fail(QStringLiteral("not a readable image header"));
  }
  return QSize(int(size->width), int(size->height));
}

ImageFormat sniff_format(const QByteArray& bytes) {
  if (bytes.startsWith("\xFF\xD8\xFF")) return ImageFormat::Jpeg;
  if (bytes.startsWith("\x89PNG\r\n\x1A\n")) return ImageFormat::Png;
  if (bytes.size() >= 12 && bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP")
    return ImageFormat::Webp;
  if (bytes.startsWith("BM")) return ImageFormat::Bmp;
  return ImageFormat::Unknown;
}

int jpeg_exif_orientation(const QByteArray& bytes) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
  const size_t n = size_t(bytes.size());
  if (n < 4 || b[0] != 0xFF || b[1] != 0xD8) return 1;
  size_t pos = 2;
  while (pos + 4 <= n && b[pos] == 0xFF) {
    const unsigned char marker = b[pos + 1];
    if (marker == 0xDA || marker == 0xD9) break;  // image data: no more metadata
    const size_t length = size_t(b[pos + 2]) << 8 | b[pos + 3];
    if (length < 2 || pos + 2 + length > n) break;
    const unsigned char* body = b + pos + 4;
    if (marker == 0xE1 && length >= 8 && std::memcmp(body, "Exif\0\0", 6) == 0) {
      return tiff_orientation(body + 6, length - 8);
    }
    pos += 2 + length;
  }
  return 1;
}

cv::Mat as_bgr(const cv::Mat& image) {
  if (image.empty()) return image;
  cv::Mat out;
  switch (image.channels()) {
    case 1:
      cv::cvtColor(image, out, cv::COLOR_GRAY2BGR);
      return out;
    case 4:
      cv::cvtColor(image, out, cv::COLOR_BGRA2BGR);
      return out;
    default:
      return image;
  }
}

cv::Mat apply_exif_orientation(const cv::Mat& image, int orientation) {
  cv::Mat out;
  switch (orientation) {
    case 2:
      cv::flip(image, out, 1);
      return out;
    case 3:
      cv::rotate(image, out, cv::ROTATE_180);
      return out;
    case 4:
      cv::flip(image, out, 0);
      return out;
    case 5:
      cv::transpose(image, out);
      return out;
    case 6:
      cv::rotate(image, out, cv::ROTATE_90_CLOCKWISE);
      return out;
    case 7:
      cv::rotate(image, out, cv::ROTATE_90_COUNTERCLOCKWISE);
      cv::flip(out, out, 1);
      return out;
    case 8:
      cv::rotate(image, out, cv::ROTATE_90_COUNTERCLOCKWISE);
      return out;
    default:
      return image;
  }
}

SourceImage decode_source_bytes(const QByteArray& bytes, DecodeScratch* scratch,
                                const TargetForSize& target_for) {
  SourceImage result;
  if (bytes.isEmpty()) {
    result.error = QStringLiteral("the file is empty");
    return result;
  }
  if (bytes.size() > std::numeric_limits<int>::max()) {
    result.error = QStringLiteral("the file is too large");
    return result;
  }
  const ImageFormat format = sniff_format(bytes);
  try {
    if (format == ImageFormat::Jpeg) {
      result = decode_jpeg(bytes, scratch, target_for);
      if (!result.image.empty()) {
        result.image = apply_exif_orientation(result.image, jpeg_exif_orientation(bytes));
      }
    } else {
      result = decode_other(bytes, format);
    }
  } catch (const cv::Exception& e) {
    result.image.release();
    result.error = QString::fromStdString(e.err);
  } catch (const std::bad_alloc&) {
    result.image.release();
    result.error = QStringLiteral("not enough memory to decode it");
  }
  if (!result.image.empty() && !result.full_size.isValid()) {
    result.full_size = QSize(result.image.cols, result.image.rows);
  }
  return result;
}

SourceImage read_source_file(const QString& path, DecodeScratch* scratch,
                             const TargetForSize& target_for) {
  QByteArray own;
  QByteArray& bytes = scratch != nullptr ? scratch->file : own;
  // Regular files only: a FIFO under an image's name would block the read.
  SourceImage result;
  if (read_whole_file(path, bytes, &result.error, std::numeric_limits<int>::max()) !=
      ReadStatus::Ok) {
    return result;
  }
  return decode_source_bytes(bytes, scratch, target_for);
}

}  // namespace orvane
