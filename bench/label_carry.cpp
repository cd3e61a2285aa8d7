// Clipping long polygons to a frame: the time clip_shapes takes on shapes the
// splitter and the enricher's Preview meet at a tile border.
//   label_carry [--runs N]
// Prints, for each case, the points, the pieces carried, their area and the
// fastest and median of N runs (each case runs at most 20 s in all).
#include "labels/label_carry.h"

#include <QElapsedTimer>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <vector>

using orvane::CarriedShape;

namespace {

QPolygonF circle(QPointF centre, double radius, int points) {
  QPolygonF out;
  out.reserve(points);
  for (int i = 0; i < points; ++i) {
    const double a = 2 * std::numbers::pi * i / points;
    out.append(centre + radius * QPointF(std::cos(a), std::sin(a)));
  }
  return out;
}

// A traced outline: a blob with 500 lobes on whole pixels, the steps and
// dents a contour tracer leaves on a ragged object.
QPolygonF traced_outline(QPointF centre, double radius, int points) {
  QPolygonF out;
  out.reserve(points);
  unsigned seed = 12345;
  for (int i = 0; i < points; ++i) {
    const double a = 2 * std::numbers::pi * i / points;
    seed = seed * 1103515245u + 12345u;
    const double dent = ((seed >> 16) % 3) * 0.5;  // 0, 0.5 or 1 px
    const double r = radius + 40 * std::sin(500 * a) + 6 * std::sin(37 * a) - dent;
    out.append(QPointF(std::round(centre.x() + r * std::cos(a)),
                       std::round(centre.y() + r * std::sin(a))));
  }
  return out;
}

// A comb whose `teeth` point up from a back along y = 100..120.
QPolygonF comb(int teeth) {
  QPolygonF out;
  out.append(QPointF(0, 120));
  for (int t = 0; t < teeth; ++t) {
    const double x = 4.0 * t;
    out << QPointF(x, 0) << QPointF(x + 2, 0) << QPointF(x + 2, 100) << QPointF(x + 4, 100);
  }
  out.last().setY(120);
  return out;
}

double area(const QPolygonF& p) {
  double twice = 0;
  for (qsizetype i = 0; i < p.size(); ++i) {
    const QPointF& a = p[i];
    const QPointF& b = p[(i + 1) % p.size()];
    twice += a.x() * b.y() - b.x() * a.y();
  }
  return std::abs(twice) / 2;
}

void run(const char* name, const QPolygonF& polygon, const QRectF& frame, int runs) {
  const std::vector<CarriedShape> shapes = {{0, polygon, false}};
  std::vector<double> ms;
  std::vector<CarriedShape> carried;
  double total = 0;
  for (int i = 0; i < runs && total < 20000; ++i) {
    QElapsedTimer timer;
    timer.start();
    carried = orvane::clip_shapes(shapes, frame, 0.0, 0.0);
    ms.push_back(timer.nsecsElapsed() / 1e6);
    total += ms.back();
  }
  double kept = 0;
  for (const CarriedShape& shape : carried) kept += area(shape.points);
  std::sort(ms.begin(), ms.end());
  std::printf(
      "%-34s %7lld points %5zu pieces area %12.1f  best %9.2f ms  median %9.2f ms (%zu runs)\n",
      name, static_cast<long long>(polygon.size()), carried.size(), kept, ms.front(),
      ms[ms.size() / 2], ms.size());
}

}  // namespace

int main(int argc, char** argv) {
  int runs = 5;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
      runs = std::max(1, std::atoi(argv[++i]));
  }
  const QPolygonF round = circle({2000, 2000}, 1500, 100000);
  run("circle, frame through its middle", round, QRectF(2000, 0, 4000, 4000), runs);
  // The tile border x = 5000 runs through the lobes at the outline's right end.
  const QPolygonF traced = traced_outline({2000, 2000}, 3000, 115000);
  run("traced outline, tile left of border", traced, QRectF(0, 0, 5000, 5000), runs);
  run("traced outline, tile right of border", traced, QRectF(5000, 0, 5000, 5000), runs);
  run("comb of 5000 teeth, cut across", comb(5000), QRectF(-10, -10, 30000, 60), runs);
  return 0;
}
