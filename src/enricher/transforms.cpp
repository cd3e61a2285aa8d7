#include "enricher/transforms.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

namespace orvane {

namespace {

QPointF clamped(const QPointF& p, cv::Size image) {
  return {std::clamp(p.x(), 0.0, static_cast<double>(image.width)),
          std::clamp(p.y(), 0.0, static_cast<double>(image.height))};
}

double cross(const cv::Point2f& o, const cv::Point2f& a, const cv::Point2f& b) {
  return static_cast<double>(a.x - o.x) * (b.y - o.y) -
         static_cast<double>(a.y - o.y) * (b.x - o.x);
}

// Whether the corners, in order, bound a convex quadrilateral with no three
// on a line (turning the same way at every corner).
bool is_convex(const std::array<cv::Point2f, 4>& q) {
  int positive = 0;
  int negative = 0;
  for (int i = 0; i < 4; ++i) {
    const double turn = cross(q[i], q[(i + 1) % 4], q[(i + 2) % 4]);
    if (std::abs(turn) < 1e-6) return false;
    (turn > 0 ? positive : negative) += 1;
  }
  return positive == 4 || negative == 4;
}

}  // namespace

std::optional<cv::Rect> crop_rect(const QPointF& p1, const QPointF& p2, cv::Size image) {
  const QPointF a = clamped(p1, image);
  const QPointF b = clamped(p2, image);
  const int x1 = static_cast<int>(std::min(a.x(), b.x()));
  const int x2 = static_cast<int>(std::max(a.x(), b.x()));
  const int y1 = static_cast<int>(std::min(a.y(), b.y()));
  const int y2 = static_cast<int>(std::max(a.y(), b.y()));
  if (x2 <= x1 || y2 <= y1) return std::nullopt;
  return cv::Rect(x1, y1, x2 - x1, y2 - y1);
}

WarpPlan plan_warp(const std::array<QPointF, 4>& corners, cv::Size size) {
  WarpPlan plan;
  std::array<cv::Point2f, 4> src;
  for (size_t i = 0; i < 4; ++i) {
    const QPointF p = clamped(corners[i], size);
    src[i] = cv::Point2f(static_cast<float>(p.x()), static_cast<float>(p.y()));
  }
  const float width_a = static_cast<float>(cv::norm(src[2] - src[3]));
  const float width_b = static_cast<float>(cv::norm(src[1] - src[0]));
  const float height_a = static_cast<float>(cv::norm(src[1] - src[2]));
  const float height_b = static_cast<float>(cv::norm(src[0] - src[3]));
  const int w = std::max(static_cast<int>(width_a), static_cast<int>(width_b));
  const int h = std::max(static_cast<int>(height_a), static_cast<int>(height_b));
  if (w < 1 || h < 1) {
    plan.error = QStringLiteral("The warp points are too close together.");
    return plan;
  }
  if (!is_convex(src)) {
    plan.error = QStringLiteral(
        "The four warp points must be the corners of the region, clicked in the order "
        "top-left, top-right, bottom-right, bottom-left.");
    return plan;
  }
  const std::array<cv::Point2f, 4> dst = {cv::Point2f(0, 0), cv::Point2f(w - 1.0f, 0),
                                          cv::Point2f(w - 1.0f, h - 1.0f),
                                          cv::Point2f(0, h - 1.0f)};
  plan.transform = cv::getPerspectiveTransform(src.data(), dst.data());
  plan.size = cv::Size(w, h);
  return plan;
}

WarpResult warp_quad(const cv::Mat& image, const std::array<QPointF, 4>& corners) {
  const WarpPlan plan = plan_warp(corners, image.size());
  WarpResult result;
  result.error = plan.error;
  if (!plan.error.isEmpty()) return result;
  result.transform = plan.transform;
  cv::warpPerspective(image, result.image, cv::Mat(result.transform), plan.size);
  return result;
}

ExpandingRotation expanding_rotation(cv::Size size, double angle) {
  const int cx = size.width / 2;
  const int cy = size.height / 2;
  cv::Matx23d m = cv::getRotationMatrix2D_(
      cv::Point2f(static_cast<float>(cx), static_cast<float>(cy)), angle, 1.0);
  const double cos = std::abs(m(0, 0));
  const double sin = std::abs(m(0, 1));
  const int new_w = static_cast<int>(size.height * sin + size.width * cos);
  const int new_h = static_cast<int>(size.height * cos + size.width * sin);
  m(0, 2) += new_w / 2.0 - cx;
  m(1, 2) += new_h / 2.0 - cy;
  return {m, cv::Size(new_w, new_h)};
}

cv::Mat rotate_expand(const cv::Mat& image, double angle) {
  const ExpandingRotation rotation = expanding_rotation(image.size(), angle);
  cv::Mat rotated;
  cv::warpAffine(image, rotated, cv::Mat(rotation.matrix), rotation.size, cv::INTER_CUBIC,
                 cv::BORDER_REPLICATE);
  return rotated;
}

ShapedImage crop_shaped(const ShapedImage& from, cv::Rect rect) {
  return {from.image(rect).clone(),
          clip_shapes(from.shapes, QRectF(rect.x, rect.y, rect.width, rect.height), kKeepFraction)};
}

ShapedImage warp_shaped(const ShapedImage& from, const WarpPlan& plan) {
  ShapedImage to;
  cv::warpPerspective(from.image, to.image, cv::Mat(plan.transform), plan.size);
  to.shapes = warp_shapes(from.shapes, plan.transform, QSize(plan.size.width, plan.size.height),
                          kKeepFraction);
  return to;
}

ShapedImage rotate_shaped(const ShapedImage& from, double angle) {
  const ExpandingRotation rotation = expanding_rotation(from.image.size(), angle);
  ShapedImage to;
  to.image = rotate_expand(from.image, angle);
  to.shapes = warp_shapes(from.shapes, projective(rotation.matrix),
                          QSize(rotation.size.width, rotation.size.height), kKeepFraction);
  return to;
}

ShapedImage simulate_frame(const ShapedImage& base, const AugDraws& draws) {
  ShapedImage frame;
  frame.image = render_augmentation(base.image, draws);
  frame.shapes = variant_shapes(base.shapes, draws, frame.image.size());
  return frame;
}

}  // namespace orvane
