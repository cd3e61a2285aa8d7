// Lanczos-3 resampling whose support widens with the reduction factor, as
// Pillow, ImageMagick and libvips do it, so a photo shrunk many times does not
// alias (OpenCV's INTER_LANCZOS4 keeps a fixed 8 x 8 kernel and does).
#pragma once

#include <opencv2/core.hpp>

namespace orvane {

// `src` resized to width x height: 8-bit, 1 to 4 channels, each channel
// filtered on its own (alpha is not premultiplied). Coefficients, fixed-point
// precision and pass order are Pillow's, so the result is Pillow's LANCZOS.
// Throws cv::Exception for other pixel types or sizes below 1.
cv::Mat lanczos_resize(const cv::Mat& src, int width, int height);

}  // namespace orvane
