#include "support/shape_pixels.h"

#include <opencv2/imgproc.hpp>

void paint_polygon(cv::Mat& mask, const QPolygonF& polygon, int value) {
  constexpr int kShift = 8;
  std::vector<cv::Point> points;
  for (const QPointF& p : polygon) {
    points.emplace_back(cvRound((p.x() - 0.5) * (1 << kShift)),
                        cvRound((p.y() - 0.5) * (1 << kShift)));
  }
  cv::fillPoly(mask, std::vector<std::vector<cv::Point>>{points}, cv::Scalar(value), cv::LINE_8,
               kShift);
}

double painted_iou(const cv::Mat& truth, const std::vector<QPolygonF>& shapes,
                   const cv::Mat& within) {
  cv::Mat drawn(truth.size(), CV_8UC1, cv::Scalar(0));
  for (const QPolygonF& shape : shapes) paint_polygon(drawn, shape);
  cv::Mat solid = truth != 0;
  if (!within.empty()) {
    solid &= within;
    drawn &= within;
  }
  const int either = cv::countNonZero(solid | drawn);
  return either == 0 ? 0.0 : double(cv::countNonZero(solid & drawn)) / either;
}

cv::Mat colour_mask(const cv::Mat& image, const cv::Scalar& colour) {
  std::vector<cv::Mat> channels;
  cv::split(image, channels);
  cv::Mat mask(image.size(), CV_8UC1, cv::Scalar(255));
  for (int c = 0; c < 3; ++c) {
    mask &= colour[c] > 128 ? channels[size_t(c)] > 128 : channels[size_t(c)] < 128;
  }
  return mask;
}
