// File-system helpers of the dataset tools: the label file of an image, base
// names, whole-file reads of many small files, and a parallel loop for them.
#pragma once

#include <QString>
#include <functional>
#include <string>

namespace dataset_io {

// The image path with the last extension of its file name replaced by ".txt"
// (/data/cats/img_01.jpg -> /data/cats/img_01.txt). A file name whose only dot
// is its first character has no extension, as in ".hidden" -> ".hidden.txt".
QString label_path_of(const QString& image_path);

// The file name without its last extension, by the same rule.
QString name_without_extension(const QString& file_name);

enum class ReadStatus { Ok, Missing, Failed };

// Reads the whole file into `bytes`. `error` receives the system's reason on
// failure (Missing when the file does not exist).
ReadStatus read_whole_file(const QString& path, std::string& bytes, QString* error = nullptr);

// Runs body(first, last) over [0, count) in a few contiguous ranges on the
// global thread pool and returns when all are done. Each range is handed to
// exactly one call, so results stored by index need no locking.
void parallel_ranges(int count, const std::function<void(int first, int last)>& body);

}  // namespace dataset_io
