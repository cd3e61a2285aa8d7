// The augmentation chain: the order of the draws, the pixel rules and the batch.
#include "enricher/augment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <deque>
#include <opencv2/imgcodecs.hpp>

#include "imaging/image_encode.h"
#include "support/test_files.h"

namespace orvane {
namespace {

// Returns 0, 1/64, 2/64, ... so every draw is recognisable.
UniformSource counting_source(int* calls) {
  return [calls] { return (*calls)++ / 64.0; };
}

TEST(Augment, DrawsInTheFixedOrder) {
  AugRanges ranges;
  ranges.c_min = 1, ranges.c_max = 2;
  ranges.b_min = 0, ranges.b_max = 64;
  ranges.l_min = 1, ranges.l_max = 65;
  ranges.w_min = 0, ranges.w_max = 64;
  ranges.r_min = 0, ranges.r_max = 64;
  int calls = 0;
  const AugDraws d = draw_augmentation(ranges, cv::Size(100, 200), counting_source(&calls));
  EXPECT_EQ(calls, 13);
  EXPECT_DOUBLE_EQ(d.alpha, 1.0);
  EXPECT_DOUBLE_EQ(d.beta, 1.0);
  EXPECT_DOUBLE_EQ(d.gamma, 3.0);
  EXPECT_DOUBLE_EQ(d.p, 0.03);  // 3 %: dx = 3, dy = 6
  // Corner offsets: x then y, corners top-left, top-right, bottom-right, bottom-left.
  const double dx = 3, dy = 6;
  const cv::Point2f base[4] = {{0, 0}, {100, 0}, {100, 200}, {0, 200}};
  for (int i = 0; i < 4; ++i) {
    const double rx = (4 + 2 * i) / 64.0, ry = (5 + 2 * i) / 64.0;
    EXPECT_FLOAT_EQ(d.corners[i].x, static_cast<float>(base[i].x - dx + 2 * dx * rx)) << i;
    EXPECT_FLOAT_EQ(d.corners[i].y, static_cast<float>(base[i].y - dy + 2 * dy * ry)) << i;
  }
  EXPECT_DOUBLE_EQ(d.angle, 12.0);

  // The skew is decided by the maximum alone: 5 ... 0 draws no skew.
  ranges.w_min = 5, ranges.w_max = 0;
  calls = 0;
  EXPECT_FALSE(draw_augmentation(ranges, cv::Size(100, 200), counting_source(&calls)).skew);
  EXPECT_EQ(calls, 4);
}

TEST(Augment, ToneTableFollowsContrastBrightnessAndGamma) {
  const struct {
    double alpha, beta, gamma;
    int in, out;
  } cases[] = {
      {1, 0, 0.5, 64, 16},  {1, 0, 2.0, 64, 127},  {1.2, 30, 1, 200, 255},
      {1.2, 30, 1, 10, 42}, {1, -30, 1, 10, 20},  // |10 - 30|
      {1, 0, 0.5, 0, 0},    {1, 0, 0.5, 255, 255},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(tone_table(c.alpha, c.beta, c.gamma)[c.in], c.out)
        << c.alpha << " " << c.beta << " " << c.gamma << " " << c.in;
  }
}

cv::Mat noise_image(int w, int h) {
  cv::Mat image(h, w, CV_8UC3);
  cv::randu(image, 0, 256);
  return image;
}

TEST(Augment, NeutralRangesGiveTheBaseImage) {
  const AugRanges neutral{0, 0, 1, 1, 0, 0, 1, 1, 0, 0};
  const cv::Mat base = noise_image(37, 23);
  const cv::Mat out = augment_image(base, neutral, make_uniform_source());
  EXPECT_EQ(cv::norm(out, base, cv::NORM_INF), 0.0);
}

TEST(Augment, BatchDrawsInOrderWritesNamedFilesAndCountsHonestly) {
  QTemporaryDir dir;
  const cv::Mat base = noise_image(64, 48);
  const AugRanges ranges;
  int calls = 0;
  const EnrichOutcome ok = enrich_batch(base, ranges, 5, counting_source(&calls), dir.path(), 1700);
  EXPECT_EQ(ok.saved, 5);
  EXPECT_EQ(calls, 5 * 13);
  // Each file is the variant of the k-th set of draws, whatever thread made it.
  calls = 0;
  const UniformSource replay = counting_source(&calls);
  for (int k = 1; k <= 5; ++k) {
    const cv::Mat expected =
        render_augmentation(base, draw_augmentation(ranges, base.size(), replay));
    EXPECT_EQ(read_file(dir.filePath(variant_file_name(1700, k))),
              encode_with_default_settings(expected, ImageFormat::Jpeg).bytes)
        << k;
  }
  EXPECT_EQ(variant_file_name(1700, 3), "warped_enriched_1700_var_3.jpg");

  ASSERT_TRUE(QFile::remove(dir.filePath("warped_enriched_1700_var_2.jpg")));
  ASSERT_TRUE(QDir(dir.path()).mkpath("warped_enriched_1700_var_2.jpg"));
  const EnrichOutcome failed =
      enrich_batch(base, ranges, 3, make_uniform_source(), dir.path(), 1700);
  EXPECT_EQ(failed.saved, 2);
  ASSERT_EQ(failed.failures.size(), 1);
  EXPECT_TRUE(failed.failures[0].contains("warped_enriched_1700_var_2.jpg: "));
}

}  // namespace
}  // namespace orvane
