// Image files in and out of memory: decoding from the file's bytes (so paths
// with any characters work) into 8-bit three-channel BGR, with the EXIF
// orientation applied as the training engine's reader applies it, and the
// conversion of such images for display.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QPixmap>
#include <QString>
#include <opencv2/core.hpp>

namespace orvane {

// Images above this many pixels are refused: decoding them would take
// gigabytes and many seconds.
inline constexpr qint64 kMaxImagePixels = 200'000'000;
// "W x H pixels is more than the limit of N megapixels": why such an image is refused.
QString too_many_pixels_text(qint64 width, qint64 height);

struct DecodedImage {
  cv::Mat image;  // CV_8UC3, BGR; empty on failure
  QString error;  // why the image could not be decoded
};

// Decodes encoded image bytes (JPEG, PNG, WebP, BMP, JPEG 2000, TIFF). The size
// is read from the format's header first, so a huge image is refused before it
// is decoded; bytes of any other format are refused. A JPEG
// that ends before its end-of-image marker is refused as truncated.
DecodedImage decode_image_bytes(const QByteArray& bytes);

// Reads the file at `path` and decodes it. Only a regular file (or a link to
// one) is read: a FIFO, device or socket is refused, never waited on.
DecodedImage read_image_file(const QString& path);

// Whether JPEG bytes reach their end-of-image marker (true for bytes that are
// not a JPEG at all: other decoders catch their own truncation).
bool jpeg_is_complete(const QByteArray& bytes);

// The 8-bit BGR (or grey, or BGRA) image as a QImage in Format_RGB32, filled
// by one colour conversion; a null image for other pixel types.
QImage bgr_to_qimage(const cv::Mat& image);

// The image as a pixmap for display (converted; the pixmap owns its pixels).
QPixmap bgr_to_pixmap(const cv::Mat& image);

// A pixmap that shows an 8-bit BGR image's own pixels, with neither a copy nor
// a conversion; it keeps the pixel buffer alive. The caller must not change
// those pixels afterwards (replacing the cv::Mat as a whole is fine). Other
// pixel types are converted as by bgr_to_pixmap.
QPixmap bgr_pixmap_sharing(const cv::Mat& image);

}  // namespace orvane
