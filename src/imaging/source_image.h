// Decoding of source images for jobs that write images again (the resizer):
// unlike decode_image_bytes, alpha and grey are kept and 16-bit samples become
// 8-bit, so a PNG with transparency stays transparent. The image is upright
// (EXIF orientation applied), and the same header-size limit and truncation
// check apply. JPEG goes through libjpeg-turbo's TurboJPEG interface.
#pragma once

#include <QByteArray>
#include <QString>
#include <opencv2/core.hpp>
#include <vector>

namespace orvane {

enum class ImageFormat { Unknown, Jpeg, Png, Webp, Bmp };

// The format the bytes are in, from their signature.
ImageFormat sniff_format(const QByteArray& bytes);

struct SourceImage {
  cv::Mat image;  // CV_8UC1 (grey), CV_8UC3 (BGR) or CV_8UC4 (BGRA); empty on failure
  ImageFormat format = ImageFormat::Unknown;
  QString error;  // why the image could not be decoded
};

// Buffers a thread can keep from one image to the next, so a batch does not
// ask the system for fresh memory (and page faults) for every file.
struct DecodeScratch {
  QByteArray file;
  std::vector<uchar> pixels;
};

// With `scratch`, the image may live in scratch->pixels: it is valid until
// the scratch is used again or destroyed.
SourceImage decode_source_bytes(const QByteArray& bytes, DecodeScratch* scratch = nullptr);
SourceImage read_source_file(const QString& path, DecodeScratch* scratch = nullptr);

// The EXIF orientation (1 to 8) of JPEG bytes; 1 when absent or unreadable.
int jpeg_exif_orientation(const QByteArray& bytes);

// `image` turned by an EXIF orientation value so it stands upright.
cv::Mat apply_exif_orientation(const cv::Mat& image, int orientation);

}  // namespace orvane
