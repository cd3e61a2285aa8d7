// Decoding of source images for jobs that write images again (the resizer):
// unlike decode_image_bytes, alpha and grey are kept and 16-bit samples become
// 8-bit, so a PNG with transparency stays transparent. The image is upright
// (EXIF orientation applied), and the same header-size limit and truncation
// check apply. JPEG goes through libjpeg-turbo's TurboJPEG interface.
#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>
#include <functional>
#include <opencv2/core.hpp>
#include <vector>

namespace orvane {

enum class ImageFormat { Unknown, Jpeg, Png, Webp, Bmp };

// The format the bytes are in, from their signature.
ImageFormat sniff_format(const QByteArray& bytes);

struct SourceImage {
  cv::Mat image;  // CV_8UC1 (grey), CV_8UC3 (BGR) or CV_8UC4 (BGRA); empty on failure
  ImageFormat format = ImageFormat::Unknown;
  QString error;    // why the image could not be decoded
  QSize full_size;  // the upright size the file holds (larger than `image` when shrunk on load)
};

// Given the upright size a file holds, the size the caller will resample the
// image to (invalid for none). A JPEG is then decoded at 1/2, 1/4 or 1/8 scale
// in the DCT domain when that still leaves at least twice the target in each
// direction, as libvips shrinks on load: the final Lanczos result stays within
// about 50 dB PSNR of a full decode while the costliest step gets cheaper.
using TargetForSize = std::function<QSize(QSize)>;

// Buffers a thread can keep from one image to the next, so a batch does not
// ask the system for fresh memory (and page faults) for every file.
struct DecodeScratch {
  QByteArray file;
  std::vector<uchar> pixels;
};

// With `scratch`, the image may live in scratch->pixels: it is valid until
// the scratch is used again or destroyed.
SourceImage decode_source_bytes(const QByteArray& bytes, DecodeScratch* scratch = nullptr,
                                const TargetForSize& target_for = {});
// Reads a regular file (or a link to one) only, as read_image_file does.
SourceImage read_source_file(const QString& path, DecodeScratch* scratch = nullptr,
                             const TargetForSize& target_for = {});

// The upright size (EXIF orientation applied, as decoding gives it) that
// image bytes hold, from their header alone: a file's first few hundred
// kilobytes usually serve. Invalid, with the reason in `error`, when the
// header cannot be read from these bytes.
QSize upright_image_size(const QByteArray& bytes, QString* error = nullptr);

// The EXIF orientation (1 to 8) of JPEG bytes; 1 when absent or unreadable.
int jpeg_exif_orientation(const QByteArray& bytes);

// The image as 8-bit three-channel BGR, as jobs that write colour images want
// it: grey is expanded and alpha dropped (not blended); BGR and an empty
// image are returned as they are.
cv::Mat as_bgr(const cv::Mat& image);

// `image` turned by an EXIF orientation value so it stands upright.
cv::Mat apply_exif_orientation(const cv::Mat& image, int orientation);

}  // namespace orvane
