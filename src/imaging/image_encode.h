// Encoding images to bytes in memory, with the encoder quality and the
// resolution stored in the file: JFIF density for JPEG, pHYs for PNG,
// pixels per metre for BMP (WEBP has no resolution field).
#pragma once

#include <QByteArray>
#include <QString>
#include <opencv2/core.hpp>

#include "imaging/source_image.h"

namespace orvane {

// The format's name as users see it: "JPEG", "PNG", "WEBP", "BMP".
QString format_name(ImageFormat format);

struct EncodedImage {
  QByteArray bytes;  // empty on failure
  QString error;
};

inline constexpr int kDefaultQuality = -1;

// Encodes an 8-bit grey, BGR or BGRA image. `quality` (1 to 100) applies to
// JPEG and WEBP; kDefaultQuality gives each encoder's usual default (75 for
// JPEG, 80 for WEBP). PNG and BMP ignore it. JPEG refuses an image with
// alpha: callers decide what to drop. A dpi that rounds to 0 stores none.
// Safe to call from several threads at once.
EncodedImage encode_image(const cv::Mat& image, ImageFormat format, int quality, double dpi);

// The format a file extension names (".jpg", ".JPEG", ".png", ".bmp", ".webp"
// in any case); Unknown for others.
ImageFormat format_for_extension(const QString& extension);

// Encodes with the settings OpenCV's writer uses when given none, which is
// what tiles and variants are written with: JPEG at quality 95 (4:2:0
// chroma), PNG at zlib's fastest level, WEBP lossless; no resolution stored.
// Safe to call from several threads at once.
EncodedImage encode_with_default_settings(const cv::Mat& image, ImageFormat format);

}  // namespace orvane
