// The enricher's manual transforms over 8-bit BGR images: crop by two
// corners, straightening ("warp") of a four-corner region, and rotation that
// enlarges the canvas so nothing is cut off.
#pragma once

#include <QPointF>
#include <QString>
#include <array>
#include <opencv2/core.hpp>
#include <optional>

namespace orvane {

// The rectangle between two clicked opposite corners: each point is clamped to
// the image (0 ... width, 0 ... height), then truncated toward zero; the end
// row and column are excluded. Nothing when it has no width or height.
std::optional<cv::Rect> crop_rect(const QPointF& p1, const QPointF& p2, cv::Size image);

struct WarpResult {
  cv::Mat image;  // empty when refused
  QString error;  // why the corners were refused
  // Where the warp moved each pixel: from the image's to the result's pixel
  // centres, as OpenCV's warps count them.
  cv::Matx33d transform = cv::Matx33d::eye();
};

// Straightens the region whose corners were clicked top-left, top-right,
// bottom-right, bottom-left (points clamped to the image) into an upright
// W x H image, W and H the longer of the opposite edges. Refused when W or H
// is below 1 or the corners do not form a convex quadrilateral (three on a
// line, crossed edges): no perspective transform straightens those.
WarpResult warp_quad(const cv::Mat& image, const std::array<QPointF, 4>& corners);

// A rotation by `angle` degrees (positive counter-clockwise) about the
// centre of an image of `size`, and the enlarged canvas that holds all of it.
struct ExpandingRotation {
  cv::Matx23d matrix;  // pixel centres of the image to those of the canvas
  cv::Size size;
};
ExpandingRotation expanding_rotation(cv::Size size, double angle);

// Rotates by `angle` degrees (positive counter-clockwise) about the centre,
// enlarging the canvas to hold the whole picture (bicubic, replicated border).
cv::Mat rotate_expand(const cv::Mat& image, double angle);

}  // namespace orvane
