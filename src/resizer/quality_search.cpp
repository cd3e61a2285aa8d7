#include "resizer/quality_search.h"

namespace orvane {

QualitySearch quality_search(const std::function<qint64(int)>& size_at, double limit) {
  QualitySearch search;
  int low = 5;
  int high = 95;
  while (low <= high) {
    const int mid = (low + high) / 2;
    search.probes.push_back(mid);
    if (double(size_at(mid)) <= limit) {
      search.best = mid;
      search.fits = true;
      low = mid + 1;
    } else {
      high = mid - 1;
    }
  }
  return search;
}

}  // namespace orvane
