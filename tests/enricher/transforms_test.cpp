// Crop, warp and rotation of the enricher.
#include "enricher/transforms.h"

#include <gtest/gtest.h>

#include <opencv2/imgproc.hpp>

namespace orvane {
namespace {

TEST(Transforms, CropRectangleFromAnyTwoCornersClampedToTheImage) {
  const cv::Size size(200, 100);
  const struct {
    QPointF a, b;
    std::optional<cv::Rect> rect;
  } cases[] = {
      {{120.7, 40.2}, {20.3, 90.9}, cv::Rect(20, 40, 100, 50)},
      {{-30, -5}, {10.9, 10.2}, cv::Rect(0, 0, 10, 10)},   // not from the far end
      {{150, 50}, {500, 400}, cv::Rect(150, 50, 50, 50)},  // clamped to the edge
      {{10.2, 5}, {10.8, 50}, std::nullopt},               // zero width after truncation
      {{-10, -10}, {-20, 50}, std::nullopt},               // both left of the image
  };
  for (const auto& c : cases) EXPECT_EQ(crop_rect(c.a, c.b, size), c.rect);
}

TEST(Transforms, WarpStraightensATiltedSheet) {
  // A white sheet tilted on black: corners TL, TR, BR, BL.
  cv::Mat image(300, 300, CV_8UC3, cv::Scalar(0, 0, 0));
  const std::vector<cv::Point> sheet = {{60, 40}, {220, 70}, {205, 250}, {40, 220}};
  cv::fillConvexPoly(image, sheet, cv::Scalar(255, 255, 255));
  const WarpResult result =
      warp_quad(image, {QPointF(60, 40), QPointF(220, 70), QPointF(205, 250), QPointF(40, 220)});
  ASSERT_TRUE(result.error.isEmpty());
  // Width: the longer of |TR - TL| = 162.8 and |BR - BL| = 167.7; height: of 180.6 and 181.1.
  EXPECT_EQ(result.image.size(), cv::Size(167, 181));
  EXPECT_GT(cv::mean(result.image)[0], 240);  // all sheet, no background
}

TEST(Transforms, WarpRefusesCornersThatCannotBeStraightened) {
  const cv::Mat image(100, 100, CV_8UC3, cv::Scalar(1, 2, 3));
  const std::array<QPointF, 4> cases[] = {
      {QPointF(10, 10), QPointF(10, 10), QPointF(10, 10), QPointF(10, 10)},  // one point
      {QPointF(10, 10), QPointF(50, 50), QPointF(90, 90), QPointF(10, 90)},  // three on a line
      {QPointF(10, 10), QPointF(90, 10), QPointF(10, 90), QPointF(90, 90)},  // crossed edges
  };
  for (const auto& corners : cases) {
    const WarpResult result = warp_quad(image, corners);
    EXPECT_TRUE(result.image.empty());
    EXPECT_FALSE(result.error.isEmpty());
  }
}

TEST(Transforms, RotationEnlargesTheCanvas) {
  cv::Mat image(100, 200, CV_8UC3, cv::Scalar(0, 0, 0));
  image(cv::Rect(0, 0, 20, 20)).setTo(cv::Scalar(255, 255, 255));  // top-left marker
  EXPECT_EQ(rotate_expand(image, 45).size(), cv::Size(212, 212));
  const cv::Mat cw = rotate_expand(image, -90);
  ASSERT_EQ(cw.size(), cv::Size(100, 200));
  // Turned clockwise, the top-left corner goes to the top right.
  EXPECT_GT(cw.at<cv::Vec3b>(5, 94)[0], 200);
  EXPECT_LT(cw.at<cv::Vec3b>(194, 5)[0], 50);
  const cv::Mat ccw = rotate_expand(image, 90);
  EXPECT_GT(ccw.at<cv::Vec3b>(194, 5)[0], 200);
}

}  // namespace
}  // namespace orvane
