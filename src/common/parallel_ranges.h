// A parallel loop over index ranges, for work whose results are stored by
// index (reading many small files).
#pragma once

#include <functional>

namespace orvane {

// Runs body(first, last) over [0, count) in a few contiguous ranges on the
// global thread pool and returns when all are done. Each range is handed to
// exactly one call, so results stored by index need no locking.
void parallel_ranges(int count, const std::function<void(int first, int last)>& body);

}  // namespace orvane
