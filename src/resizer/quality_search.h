// The search for the highest encoder quality whose output fits a size limit.
#pragma once

#include <QtGlobal>
#include <functional>
#include <vector>

namespace orvane {

struct QualitySearch {
  int best = 5;             // highest quality in 5..95 that fit; 5 when none did
  bool fits = false;        // whether the output at `best` is within the limit
  std::vector<int> probes;  // qualities tried, in order (the first is 50)
};

// Binary search over 5..95 assuming the size grows with the quality: probes
// (low + high) / 2, moving up when size_at(q) <= limit and down otherwise,
// at most 7 probes. `size_at` encodes at quality q and returns the size.
QualitySearch quality_search(const std::function<qint64(int)>& size_at, double limit);

}  // namespace orvane
