// The augmentation chain of the enricher: contrast and brightness, a gamma
// curve, an optional random perspective skew and a small rotation, with the
// strengths drawn from the user's ranges by a random source passed in, and the
// batch that writes many variants of one image.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <opencv2/core.hpp>
#include <vector>

#include "labels/label_carry.h"

namespace orvane {

class JobControl;

// Returns a uniform number in [0, 1) per call.
using UniformSource = std::function<double()>;

// A uniform source backed by a generator seeded from the system's entropy.
UniformSource make_uniform_source();

// U(a, b) = a + (b - a) * r; also fine when a > b.
double draw_uniform(const UniformSource& random, double a, double b);

struct AugRanges {
  double b_min = -30, b_max = 30;   // brightness offset
  double c_min = 0.8, c_max = 1.2;  // contrast factor
  double r_min = -15, r_max = 15;   // rotation, degrees
  double l_min = 0.8, l_max = 1.2;  // gamma
  double w_min = 0, w_max = 5;      // perspective skew, percent of the size
};

// The random values of one variant, drawn in the order alpha, beta, gamma,
// [p, then the eight corner offsets], angle.
struct AugDraws {
  double alpha = 1, beta = 0, gamma = 1;
  bool skew = false;  // only when the warp maximum is above 0
  double p = 0;
  std::array<cv::Point2f, 4> corners{};  // skewed top-left, top-right, bottom-right, bottom-left
  double angle = 0;
};

AugDraws draw_augmentation(const AugRanges& ranges, cv::Size size, const UniformSource& random);

// The 256-entry table of the photometric steps: |v * alpha + beta| rounded and
// clamped to 0 ... 255, then the gamma curve (entries truncated).
std::array<uchar, 256> tone_table(double alpha, double beta, double gamma);

// Applies the drawn values to a copy of `base` (8-bit, 3 channels); thread-safe.
cv::Mat render_augmentation(const cv::Mat& base, const AugDraws& draws);

// Working images of one renderer. Reused from variant to variant, so a large
// image's buffers are not allocated (and their pages faulted in) each time.
struct AugScratch {
  cv::Mat toned, skewed, rotated;
};
// As render_augmentation, into the scratch images; the result is `rotated`.
const cv::Mat& render_augmentation(const cv::Mat& base, const AugDraws& draws, AugScratch& scratch);

// Where render_augmentation moves the pixels of an image of `size`: the
// skew, then the rotation (OpenCV's pixel-centre coordinates).
cv::Matx33d augmentation_transform(const AugDraws& draws, cv::Size size);

// A variant's share of the base's shapes: moved with its pixels, clipped to
// its frame, and dropped when less than a quarter of a shape stays inside.
std::vector<CarriedShape> variant_shapes(const std::vector<CarriedShape>& shapes,
                                         const AugDraws& draws, cv::Size size);

// Draws and renders one variant.
cv::Mat augment_image(const cv::Mat& base, const AugRanges& ranges, const UniformSource& random);

// "warped_enriched_<ts>_var_<k>.jpg".
QString variant_file_name(qint64 ts, int k);
// "warped_enriched_<ts>_var_<k>.txt".
QString variant_label_name(qint64 ts, int k);

// The base image's labels, carried by every variant.
struct VariantLabels {
  std::vector<CarriedShape> shapes;  // in pixels of the base image
  QStringList classes;               // the source folder's class list
};

struct EnrichOutcome {
  int saved = 0;         // variants written
  QStringList failures;  // "<file>: <reason>" for each variant that was not written
  int label_files = 0;   // label files written beside variants
  // "<file>: <reason>" for labels not carried: a classes.txt in the way, a
  // label file that could not be written.
  QStringList label_problems;
  QString flush_error;     // the final flush failed: the variants may not all be on the disk
  bool cancelled = false;  // stopped by its control before every variant was done
};

// Writes n variants of `base` to out_dir (which must exist) as JPEG files
// named by variant_file_name(ts, k). Every variant's values are drawn first,
// in order; the variants are then rendered and encoded in parallel and
// written in order on the calling thread. A variant that cannot be rendered
// (a side beyond what OpenCV's warps take, too little memory) is a failure
// like one that cannot be written.
EnrichOutcome enrich_batch(const cv::Mat& base, const AugRanges& ranges, int n,
                           const UniformSource& random, const QString& out_dir, qint64 ts);

// The values of n variants of an image of `size`, drawn in order.
std::vector<AugDraws> draw_variants(const AugRanges& ranges, int n, cv::Size size,
                                    const UniformSource& random);

// The batch with its values drawn already (the drawing stays on the thread
// that owns the random source): variant k + 1 from draws[k]. With a
// `control`, the batch stops when it is cancelled, checked between variants,
// writes each variant under a pass and counts it into its tally. With
// `labels`, each variant written gets its label file beside it (the
// variant's name with ".txt"), and the folder the base's classes.txt, made
// in the pass of the first variant written.
EnrichOutcome enrich_batch(const cv::Mat& base, const std::vector<AugDraws>& draws,
                           const QString& out_dir, qint64 ts, JobControl* control = nullptr,
                           const VariantLabels* labels = nullptr);

}  // namespace orvane
