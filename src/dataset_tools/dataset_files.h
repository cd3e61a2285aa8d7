// File-system helpers of the dataset tools: whole-file reads of many small
// files, and a parallel loop for them.
#pragma once

#include <QString>
#include <functional>
#include <string>

namespace dataset_io {

enum class ReadStatus { Ok, Missing, Failed };

// Reads the whole file into `bytes`. `error` receives the system's reason on
// failure (Missing when the file does not exist).
ReadStatus read_whole_file(const QString& path, std::string& bytes, QString* error = nullptr);

// Runs body(first, last) over [0, count) in a few contiguous ranges on the
// global thread pool and returns when all are done. Each range is handed to
// exactly one call, so results stored by index need no locking.
void parallel_ranges(int count, const std::function<void(int first, int last)>& body);

}  // namespace dataset_io
