#include "common/parallel_ranges.h"

#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>
#include <algorithm>
#include <vector>

namespace orvane {

void parallel_ranges(int count, const std::function<void(int, int)>& body) {
  if (count <= 0) return;
  const int threads = std::max(1, QThreadPool::globalInstance()->maxThreadCount());
  // A few ranges per thread even out files of uneven size.
  const int pieces = std::min(count, threads * 8);
  if (pieces <= 1 || count < 64) {
    body(0, count);
    return;
  }
  std::vector<int> starts(static_cast<size_t>(pieces));
  for (int i = 0; i < pieces; ++i) starts[static_cast<size_t>(i)] = i;
  QtConcurrent::blockingMap(starts, [&](int piece) {
    const int first = static_cast<int>(static_cast<long long>(count) * piece / pieces);
    const int last = static_cast<int>(static_cast<long long>(count) * (piece + 1) / pieces);
    body(first, last);
  });
}

}  // namespace orvane
