// Writing images out: encoding by file extension and a checked write of the
// bytes, so a batch can count only what really reached the disk. Encoding is
// thread-safe and may run on worker threads.
#pragma once

#include <QString>
#include <opencv2/core.hpp>
#include <vector>

namespace orvane {

struct EncodedBytes {
  std::vector<uchar> bytes;  // empty on failure
  QString error;             // why encoding failed
};

// Encodes an 8-bit image in the format its extension names (".jpg", ".PNG",
// ...), with the encoder's default settings (JPEG quality 95).
EncodedBytes encode_image(const cv::Mat& image, const QString& extension);

// Writes `bytes` to `path`, replacing the file; returns "" or the reason it
// failed (a short or failed write included).
QString write_bytes(const QString& path, const std::vector<uchar>& bytes);

}  // namespace orvane
