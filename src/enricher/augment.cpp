#include "enricher/augment.h"

#include <QDir>
#include <cmath>
#include <memory>
#include <opencv2/imgproc.hpp>
#include <random>
#include <vector>

#include "common/background_job.h"
#include "common/job_runner.h"
#include "fileio/batch_output.h"
#include "imaging/image_encode.h"
#include "labels/label_output.h"

namespace orvane {

UniformSource make_uniform_source() {
  auto engine = std::make_shared<std::mt19937_64>(std::random_device{}());
  return [engine] { return std::generate_canonical<double, 53>(*engine); };
}

double draw_uniform(const UniformSource& random, double a, double b) {
  return a + (b - a) * random();
}

AugDraws draw_augmentation(const AugRanges& ranges, cv::Size size, const UniformSource& random) {
  AugDraws d;
  d.alpha = draw_uniform(random, ranges.c_min, ranges.c_max);
  d.beta = draw_uniform(random, ranges.b_min, ranges.b_max);
  d.gamma = draw_uniform(random, ranges.l_min, ranges.l_max);
  if (ranges.w_max > 0) {
    d.skew = true;
    d.p = draw_uniform(random, ranges.w_min, ranges.w_max) / 100.0;
    const double w = size.width;
    const double h = size.height;
    const double dx = w * d.p;
    const double dy = h * d.p;
    const double base_x[4] = {0, w, w, 0};
    const double base_y[4] = {0, 0, h, h};
    for (size_t i = 0; i < 4; ++i) {
      const double x = base_x[i] + draw_uniform(random, -dx, dx);
      const double y = base_y[i] + draw_uniform(random, -dy, dy);
      d.corners[i] = cv::Point2f(static_cast<float>(x), static_cast<float>(y));
    }
  }
  d.angle = draw_uniform(random, ranges.r_min, ranges.r_max);
  return d;
}

std::array<uchar, 256> tone_table(double alpha, double beta, double gamma) {
  // Contrast and brightness through OpenCV's own conversion, so each value is
  // rounded exactly as a whole image would be.
  cv::Mat ramp(1, 256, CV_8UC1);
  for (int i = 0; i < 256; ++i) ramp.at<uchar>(0, i) = static_cast<uchar>(i);
  cv::Mat scaled;
  cv::convertScaleAbs(ramp, scaled, alpha, beta);
  const double inv = 1.0 / gamma;
  std::array<uchar, 256> table{};
  for (int i = 0; i < 256; ++i) {
    const double g = std::pow(scaled.at<uchar>(0, i) / 255.0, inv) * 255;
    table[static_cast<size_t>(i)] = static_cast<uchar>(g);
  }
  return table;
}

namespace {

// The perspective skew: the image's corners to the drawn ones.
cv::Matx33d skew_matrix(const AugDraws& draws, cv::Size size) {
  const auto w = static_cast<float>(size.width);
  const auto h = static_cast<float>(size.height);
  const cv::Point2f src[4] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
  return cv::getPerspectiveTransform(src, draws.corners.data());
}

cv::Matx23d rotation_matrix(const AugDraws& draws, cv::Size size) {
  return cv::getRotationMatrix2D_(
      cv::Point2f(static_cast<float>(size.width / 2), static_cast<float>(size.height / 2)),
      draws.angle, 1.0);
}

}  // namespace

const cv::Mat& render_augmentation(const cv::Mat& base, const AugDraws& draws,
                                   AugScratch& scratch) {
  const cv::Size size = base.size();
  // Both per-value steps in one pass: the table composes them.
  const std::array<uchar, 256> table = tone_table(draws.alpha, draws.beta, draws.gamma);
  cv::LUT(base, cv::Mat(1, 256, CV_8UC1, const_cast<uchar*>(table.data())), scratch.toned);
  const cv::Mat* img = &scratch.toned;
  if (draws.skew) {
    cv::warpPerspective(*img, scratch.skewed, cv::Mat(skew_matrix(draws, size)), size,
                        cv::INTER_LINEAR, cv::BORDER_REPLICATE);
    img = &scratch.skewed;
  }
  cv::warpAffine(*img, scratch.rotated, cv::Mat(rotation_matrix(draws, size)), size,
                 cv::INTER_LINEAR, cv::BORDER_REPLICATE);
  return scratch.rotated;
}

cv::Matx33d augmentation_transform(const AugDraws& draws, cv::Size size) {
  const cv::Matx33d rotation = projective(rotation_matrix(draws, size));
  return draws.skew ? rotation * skew_matrix(draws, size) : rotation;
}

std::vector<CarriedShape> variant_shapes(const std::vector<CarriedShape>& shapes,
                                         const AugDraws& draws, cv::Size size) {
  constexpr double kKeepFraction = 0.25;
  return warp_shapes(shapes, augmentation_transform(draws, size), QSize(size.width, size.height),
                     kKeepFraction);
}

cv::Mat render_augmentation(const cv::Mat& base, const AugDraws& draws) {
  AugScratch scratch;
  render_augmentation(base, draws, scratch);
  return scratch.rotated;
}

cv::Mat augment_image(const cv::Mat& base, const AugRanges& ranges, const UniformSource& random) {
  return render_augmentation(base, draw_augmentation(ranges, base.size(), random));
}

QString variant_file_name(qint64 ts, int k) {
  return QStringLiteral("warped_enriched_%1_var_%2.jpg").arg(ts).arg(k);
}

QString variant_label_name(qint64 ts, int k) {
  return QStringLiteral("warped_enriched_%1_var_%2.txt").arg(ts).arg(k);
}

std::vector<AugDraws> draw_variants(const AugRanges& ranges, int n, cv::Size size,
                                    const UniformSource& random) {
  std::vector<AugDraws> draws;
  draws.reserve(static_cast<size_t>(std::max(n, 0)));
  for (int k = 0; k < n; ++k) draws.push_back(draw_augmentation(ranges, size, random));
  return draws;
}

EnrichOutcome enrich_batch(const cv::Mat& base, const AugRanges& ranges, int n,
                           const UniformSource& random, const QString& out_dir, qint64 ts) {
  return enrich_batch(base, draw_variants(ranges, n, base.size(), random), out_dir, ts);
}

EnrichOutcome enrich_batch(const cv::Mat& base, const std::vector<AugDraws>& draws,
                           const QString& out_dir, qint64 ts, JobControl* control,
                           const VariantLabels* labels) {
  EnrichOutcome outcome;
  const QDir out(out_dir);
  BatchOutput output(out_dir);
  const auto failed = [&](int k, const QString& reason) {
    outcome.failures.append(QDir::toNativeSeparators(out.filePath(variant_file_name(ts, k + 1))) +
                            QStringLiteral(": ") + reason);
  };
  BatchLabelOutput label_output(output, {});
  struct Variant {
    EncodedImage encoded;
    OutputLabels labels;
  };
  ScratchPool<AugScratch> scratch_pool;
  JobOptions options;
  attach_control(options, control);
  const JobEnd end = run_job(
      static_cast<int>(draws.size()),
      [&](int k) {  // worker thread
        const AugDraws& drawn = draws[static_cast<size_t>(k)];
        std::unique_ptr<AugScratch> scratch = scratch_pool.take();
        Variant variant{encode_with_default_settings(render_augmentation(base, drawn, *scratch),
                                                     ImageFormat::Jpeg),
                        {}};
        scratch_pool.give_back(std::move(scratch));
        if (labels) {
          variant.labels = {
              format_carried_shapes(variant_shapes(labels->shapes, drawn, base.size()),
                                    QSize(base.cols, base.rows)),
              labels->classes};
        }
        return variant;
      },
      [&](int k, Variant variant) {
        JobPass pass(control);
        if (!pass) return;  // called off: nothing more is written
        QString error = variant.encoded.error;
        if (error.isEmpty()) {
          const OutputWrite write =
              label_output.write(out.filePath(variant_file_name(ts, k + 1)), variant.encoded.bytes,
                                 labels ? &variant.labels : nullptr);
          error = write.refused.isEmpty() ? write.error : write.refused;
        }
        if (!error.isEmpty()) return failed(k, error);
        ++outcome.saved;
        pass.count(1);
      },
      failed, options);
  outcome.cancelled = end.stopped;
  outcome.flush_error = output.finish();
  outcome.label_files = label_output.files_written();
  outcome.label_problems = label_output.problems();
  return outcome;
}

}  // namespace orvane
