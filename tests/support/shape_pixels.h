// Carried shapes checked against pixels: a shape's polygon painted as a mask,
// and how well it covers the pixels of its colour.
#pragma once

#include <QPolygonF>
#include <opencv2/core.hpp>
#include <vector>

// Paints `polygon` (label coordinates: along pixel edges) into the 8-bit
// `mask` with `value`, as OpenCV fills polygons along pixel centres.
void paint_polygon(cv::Mat& mask, const QPolygonF& polygon, int value = 255);

// Intersection over union of the non-zero pixels of `truth` and the
// `shapes` painted on a mask of its size, both counted only where `within`
// is non-zero (everywhere when it is empty); 0 when both are empty.
double painted_iou(const cv::Mat& truth, const std::vector<QPolygonF>& shapes,
                   const cv::Mat& within = {});

// The pixels of a saturated BGR colour in `image`, after blending at edges
// and JPEG: the colour's channels above 128, the others below.
cv::Mat colour_mask(const cv::Mat& image, const cv::Scalar& colour);
