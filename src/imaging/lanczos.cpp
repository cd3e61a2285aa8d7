#include "imaging/lanczos.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace orvane {
namespace {

constexpr int kPrecisionBits = 32 - 8 - 2;
constexpr double kSupport = 3.0;

double sinc(double x) {
  if (x == 0.0) return 1.0;
  x *= M_PI;
  return std::sin(x) / x;
}

double lanczos3(double x) {
  if (-kSupport <= x && x < kSupport) return sinc(x) * sinc(x / kSupport);
  return 0.0;
}

// For each output position: the first input position it reads, how many it
// reads, and that many fixed-point weights summing to 1 << kPrecisionBits.
struct Coefficients {
  int taps = 0;  // weights stored per output position
  std::vector<int> first;
  std::vector<int> count;
  std::vector<int32_t> weights;
};

Coefficients coefficients(int in_size, int out_size) {
  const double scale = double(in_size) / out_size;
  const double filter_scale = std::max(scale, 1.0);
  const double support = kSupport * filter_scale;
  Coefficients c;
  c.taps = int(std::ceil(support)) * 2 + 1;
  c.first.resize(out_size);
  c.count.resize(out_size);
  c.weights.assign(size_t(out_size) * c.taps, 0);
  std::vector<double> k(c.taps);
  for (int xx = 0; xx < out_size; ++xx) {
    const double center = (xx + 0.5) * scale;
    const int xmin = std::max(int(center - support + 0.5), 0);
    const int xmax = std::min(int(center + support + 0.5), in_size) - xmin;
    double sum = 0.0;
    for (int x = 0; x < xmax; ++x) {
      k[x] = lanczos3((x + xmin - center + 0.5) / filter_scale);
      sum += k[x];
    }
    int32_t* w = &c.weights[size_t(xx) * c.taps];
    for (int x = 0; x < xmax; ++x) {
      const double v = sum != 0.0 ? k[x] / sum : k[x];
      w[x] = v < 0 ? int(-0.5 + v * (1 << kPrecisionBits)) : int(0.5 + v * (1 << kPrecisionBits));
    }
    c.first[xx] = xmin;
    c.count[xx] = xmax;
  }
  return c;
}

inline uint8_t clip8(int32_t v) {
  v >>= kPrecisionBits;
  return uint8_t(v < 0 ? 0 : (v > 255 ? 255 : v));
}

// One output row of the vertical pass: every byte of the row is independent,
// so the loops vectorise (AVX2 where the processor has it).
__attribute__((target_clones("avx2", "default"))) void vertical_row(const uint8_t* const* rows,
                                                                    const int32_t* weights,
                                                                    int count, int length,
                                                                    int32_t* acc, uint8_t* out) {
  std::fill(acc, acc + length, 1 << (kPrecisionBits - 1));
  for (int t = 0; t < count; ++t) {
    const uint8_t* row = rows[t];
    const int32_t w = weights[t];
    for (int i = 0; i < length; ++i) acc[i] += int32_t(row[i]) * w;
  }
  for (int i = 0; i < length; ++i) out[i] = clip8(acc[i]);
}

// Rows of `src` combined by `c` into the rows of `out` (out.rows == c.first.size()).
void vertical_pass(const cv::Mat& src, const Coefficients& c, cv::Mat& out,
                   std::vector<int32_t>& acc) {
  const int length = src.cols * src.channels();
  acc.resize(length);
  std::vector<const uint8_t*> rows(c.taps);
  for (int y = 0; y < out.rows; ++y) {
    for (int t = 0; t < c.count[y]; ++t) rows[t] = src.ptr<uint8_t>(c.first[y] + t);
    vertical_row(rows.data(), &c.weights[size_t(y) * c.taps], c.count[y], length, acc.data(),
                 out.ptr<uint8_t>(y));
  }
}

// The horizontal pass as a vertical pass over transposed strips of rows: both
// passes then read whole rows and vectorise, and a strip stays in cache.
cv::Mat horizontal_pass(const cv::Mat& src, int width) {
  constexpr int kStrip = 64;
  const Coefficients c = coefficients(src.cols, width);
  cv::Mat out(src.rows, width, src.type());
  cv::Mat turned, filtered;
  std::vector<int32_t> acc;
  for (int y = 0; y < src.rows; y += kStrip) {
    const int rows = std::min(kStrip, src.rows - y);
    cv::transpose(src.rowRange(y, y + rows), turned);
    filtered.create(width, rows, src.type());
    vertical_pass(turned, c, filtered, acc);
    cv::Mat target = out.rowRange(y, y + rows);
    cv::transpose(filtered, target);
  }
  return out;
}

}  // namespace

cv::Mat lanczos_resize(const cv::Mat& src, int width, int height) {
  CV_Assert(src.depth() == CV_8U && src.channels() >= 1 && src.channels() <= 4);
  CV_Assert(width > 0 && height > 0 && !src.empty());
  cv::Mat result = src;
  // Horizontal first, with the intermediate rounded to 8 bits, as Pillow
  // does: where the filter overshoots at hard edges the order matters.
  if (width != src.cols) result = horizontal_pass(src, width);
  if (height != src.rows) {
    const Coefficients c = coefficients(result.rows, height);
    cv::Mat out(height, result.cols, result.type());
    std::vector<int32_t> acc;
    vertical_pass(result, c, out, acc);
    result = out;
  }
  if (result.data == src.data) result = src.clone();
  return result;
}

}  // namespace orvane
