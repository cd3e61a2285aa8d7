#include "imaging/image_encode.h"

#include <turbojpeg.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <opencv2/imgcodecs.hpp>  // the IMWRITE_ constants only
#include <vector>

#include "imaging/codecs.h"

namespace orvane {
namespace {

struct TjDeleter {
  void operator()(void* handle) const { tjDestroy(handle); }
};

tjhandle compressor() {
  thread_local std::unique_ptr<void, TjDeleter> handle(tjInitCompress());
  return handle.get();
}

void put16(QByteArray& b, qsizetype at, uint16_t v) {
  b[at] = char(v >> 8);
  b[at + 1] = char(v & 0xFF);
}

void put32be(char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = char(v >> (24 - 8 * i));
}

void put32le(QByteArray& b, qsizetype at, int32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = char(uint32_t(v) >> (8 * i));
}

uint32_t crc32(const char* data, size_t n) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[i] = c;
    }
    return t;
  }();
  uint32_t c = 0xFFFFFFFFu;
  for (size_t i = 0; i < n; ++i) c = table[(c ^ uint8_t(data[i])) & 0xFF] ^ (c >> 8);
  return c ^ 0xFFFFFFFFu;
}

EncodedImage encode_jpeg(const cv::Mat& image, int quality, double dpi) {
  EncodedImage result;
  if (image.channels() != 1 && image.channels() != 3) {
    result.error = QStringLiteral("cannot write an image with alpha as JPEG");
    return result;
  }
  tjhandle tj = compressor();
  if (tj == nullptr) {
    result.error = QStringLiteral("no JPEG encoder");
    return result;
  }
  const bool grey = image.channels() == 1;
  unsigned char* out = nullptr;
  unsigned long size = 0;
  const int q = quality == kDefaultQuality ? 75 : std::clamp(quality, 1, 100);
  // The accurate integer DCT, libjpeg's own default (TurboJPEG's is the fast
  // one): the bytes are those of any libjpeg writer at the same quality, and
  // with SIMD it costs no more here.
  if (tjCompress2(tj, image.data, image.cols, int(image.step), image.rows,
                  grey ? TJPF_GRAY : TJPF_BGR, &out, &size, grey ? TJSAMP_GRAY : TJSAMP_420, q,
                  TJFLAG_ACCURATEDCT) != 0) {
    result.error = QString::fromUtf8(tjGetErrorStr2(tj));
    tjFree(out);
    return result;
  }
  result.bytes = QByteArray(reinterpret_cast<const char*>(out), qsizetype(size));
  tjFree(out);
  // libjpeg writes a JFIF header with a 1:1 aspect and no unit; store the
  // resolution in it (unit 1 = dots per inch), as other writers do.
  const long density = std::lround(dpi);
  if (density > 0 && result.bytes.size() > 18 && result.bytes.mid(2, 2) == "\xFF\xE0" &&
      result.bytes.mid(6, 5) == QByteArray("JFIF\0", 5)) {
    result.bytes[13] = 1;
    put16(result.bytes, 14, uint16_t(std::min(density, 65535L)));
    put16(result.bytes, 16, uint16_t(std::min(density, 65535L)));
  }
  return result;
}

EncodedImage encode_with_opencv(const cv::Mat& image, const char* ext,
                                const std::vector<int>& params) {
  EncodedImage result;
  std::vector<uchar> buffer;
  if (!codecs_encode(ext, image, params, buffer, result.error)) return result;
  result.bytes = QByteArray(reinterpret_cast<const char*>(buffer.data()), qsizetype(buffer.size()));
  return result;
}

EncodedImage encode_png(const cv::Mat& image, double dpi) {
  // Level 6 with the default strategy: zlib's usual balance.
  EncodedImage result = encode_with_opencv(
      image, ".png",
      {cv::IMWRITE_PNG_COMPRESSION, 6, cv::IMWRITE_PNG_STRATEGY, cv::IMWRITE_PNG_STRATEGY_DEFAULT});
  const long per_metre = std::lround(dpi / 0.0254);
  if (result.bytes.size() < 33 || per_metre <= 0 || per_metre > 0x7FFFFFFF) return result;
  // pHYs right after IHDR (8-byte signature + 25-byte IHDR chunk).
  char chunk[21];
  put32be(chunk, 9);
  std::memcpy(chunk + 4, "pHYs", 4);
  put32be(chunk + 8, uint32_t(per_metre));
  put32be(chunk + 12, uint32_t(per_metre));
  chunk[16] = 1;  // unit: metre
  put32be(chunk + 17, crc32(chunk + 4, 13));
  result.bytes.insert(33, chunk, sizeof chunk);
  return result;
}

EncodedImage encode_bmp(const cv::Mat& image, double dpi) {
  EncodedImage result = encode_with_opencv(image, ".bmp", {});
  const long per_metre = std::lround(dpi / 0.0254);
  if (result.bytes.size() >= 54 && per_metre > 0 && per_metre <= 0x7FFFFFFF) {
    put32le(result.bytes, 38, int32_t(per_metre));
    put32le(result.bytes, 42, int32_t(per_metre));
  }
  return result;
}

}  // namespace

QString format_name(ImageFormat format) {
  switch (format) {
    case ImageFormat::Jpeg:
      return QStringLiteral("JPEG");
    case ImageFormat::Png:
      return QStringLiteral("PNG");
    case ImageFormat::Webp:
      return QStringLiteral("WEBP");
    case ImageFormat::Bmp:
      return QStringLiteral("BMP");
    case ImageFormat::Unknown:
      break;
  }
  return {};
}

EncodedImage encode_image(const cv::Mat& image, ImageFormat format, int quality, double dpi) {
  if (image.empty() || image.depth() != CV_8U || image.channels() == 2 || image.channels() > 4) {
    return {{}, QStringLiteral("cannot encode this kind of image")};
  }
  switch (format) {
    case ImageFormat::Jpeg:
      return encode_jpeg(image, quality, dpi);
    case ImageFormat::Png:
      return encode_png(image, dpi);
    case ImageFormat::Webp: {
      const int q = quality == kDefaultQuality ? 80 : std::clamp(quality, 1, 100);
      return encode_with_opencv(image, ".webp", {cv::IMWRITE_WEBP_QUALITY, q});
    }
    case ImageFormat::Bmp:
      return encode_bmp(image, dpi);
    case ImageFormat::Unknown:
      break;
  }
  return {{}, QStringLiteral("unknown output format")};
}

ImageFormat format_for_extension(const QString& extension) {
  const QString ext = extension.toLower();
  if (ext == QLatin1String(".jpg") || ext == QLatin1String(".jpeg")) return ImageFormat::Jpeg;
  if (ext == QLatin1String(".png")) return ImageFormat::Png;
  if (ext == QLatin1String(".webp")) return ImageFormat::Webp;
  if (ext == QLatin1String(".bmp")) return ImageFormat::Bmp;
  return ImageFormat::Unknown;
}

EncodedImage encode_with_default_settings(const cv::Mat& image, ImageFormat format) {
  if (image.empty() || image.depth() != CV_8U || image.channels() == 2 || image.channels() > 4) {
    return {{}, QStringLiteral("cannot encode this kind of image")};
  }
  try {
    switch (format) {
      case ImageFormat::Jpeg:
        return encode_jpeg(image, 95, 0);
      case ImageFormat::Png:
        return encode_with_opencv(image, ".png", {});
      case ImageFormat::Webp:
        return encode_with_opencv(image, ".webp", {});
      case ImageFormat::Bmp:
        return encode_bmp(image, 0);
      case ImageFormat::Unknown:
        break;
    }
  } catch (const std::bad_alloc&) {
    return {{}, QStringLiteral("not enough memory to encode it")};
  }
  return {{}, QStringLiteral("unknown output format")};
}

}  // namespace orvane
