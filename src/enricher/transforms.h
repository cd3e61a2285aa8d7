// The enricher's manual transforms over 8-bit BGR images: crop by two
// corners, straightening ("warp") of a four-corner region, and rotation that
// enlarges the canvas so nothing is cut off; and the same transforms, and the
// simulated augmentation frame, of an image together with its shapes.
#pragma once

#include <QPointF>
#include <QString>
#include <array>
#include <opencv2/core.hpp>
#include <optional>
#include <vector>

#include "enricher/augment.h"
#include "labels/label_carry.h"

namespace orvane {

// An image and the shapes of its label file, in pixels of that image. Each
// transform below makes a new value of both, so the shapes always belong to
// the pixels beside them. The functions taking one run on any thread.
struct ShapedImage {
  cv::Mat image;  // empty: none
  std::vector<CarriedShape> shapes;
};

// A shape keeps going with its image through a crop, warp or rotation while
// at least this part of it stays inside.
inline constexpr double kKeepFraction = 0.25;

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

// What warp_quad will do with the corners on an image of `size`, without the
// pixels: the transform and the result's size, or why it refuses them.
struct WarpPlan {
  cv::Matx33d transform = cv::Matx33d::eye();
  cv::Size size;
  QString error;  // empty: the corners are taken
};
WarpPlan plan_warp(const std::array<QPointF, 4>& corners, cv::Size size);

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

// The part of `from` inside `rect` (within the image), copied, with the
// shapes clipped to it.
ShapedImage crop_shaped(const ShapedImage& from, cv::Rect rect);
// `from` straightened as `plan` (made for its size) says, shapes and all.
ShapedImage warp_shaped(const ShapedImage& from, const WarpPlan& plan);
// `from` rotated as rotate_expand does, shapes and all. Throws what OpenCV's
// warp throws (a side of 32767 pixels or more, too little memory).
ShapedImage rotate_shaped(const ShapedImage& from, double angle);
// The augmented frame of `base` that `draws` make, with the base's shapes
// carried as a variant's are. Throws as rotate_shaped does.
ShapedImage simulate_frame(const ShapedImage& base, const AugDraws& draws);

}  // namespace orvane
