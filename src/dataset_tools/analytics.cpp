#include "dataset_tools/analytics.h"

#include <QHash>
#include <algorithm>
#include <mutex>
#include <string>

#include "common/parallel_ranges.h"
#include "fileio/file_read.h"
#include "labels/label_paths.h"
#include "labels/label_text.h"

namespace orvane {

using namespace label_text;

ClassCounter::ClassCounter(const QStringList& classes)
    : classes_(classes), by_id_(static_cast<size_t>(classes.size()), 0) {}

void ClassCounter::add_label_text(std::string_view label_text) {
  std::vector<std::string_view> fields;
  for_each_line(label_text, [&](std::string_view line) {
    split_fields(line, fields);
    if (fields.empty()) return;
    long long id;
    if (parse_class_id(fields.front(), id) != IdParse::kOk) return;
    if (id < 0 || id >= static_cast<long long>(by_id_.size())) return;
    int& count = by_id_[static_cast<size_t>(id)];
    if (count == 0) first_met_.push_back(static_cast<int>(id));
    ++count;
  });
}

void ClassCounter::merge(const ClassCounter& later) {
  for (int id : later.first_met_) {
    int& count = by_id_[static_cast<size_t>(id)];
    if (count == 0) first_met_.push_back(id);
    count += later.by_id_[static_cast<size_t>(id)];
  }
}

std::vector<ClassCount> ClassCounter::counts() const {
  std::vector<ClassCount> result;
  QHash<QString, size_t> row_of_name;
  for (int id : first_met_) {
    const QString& name = classes_[id];
    const auto found = row_of_name.constFind(name);
    if (found != row_of_name.cend()) {
      result[*found].count += by_id_[static_cast<size_t>(id)];
    } else {
      row_of_name.insert(name, result.size());
      result.push_back({name, by_id_[static_cast<size_t>(id)]});
    }
  }
  return result;
}

std::vector<ClassCount> sorted_by_count(std::vector<ClassCount> counts) {
  std::stable_sort(counts.begin(), counts.end(),
                   [](const ClassCount& a, const ClassCount& b) { return a.count > b.count; });
  return counts;
}

std::vector<ClassCount> count_dataset_classes(const QStringList& image_paths,
                                              const QStringList& classes) {
  const int n = static_cast<int>(image_paths.size());
  // One counter per contiguous range of images; merging them in range order
  // keeps the first-met order of a single pass.
  std::vector<std::pair<int, ClassCounter>> partial;
  std::mutex partial_mutex;
  parallel_ranges(n, [&](int first, int last) {  // on pool threads
    ClassCounter counter(classes);
    std::string bytes;
    for (int i = first; i < last; ++i) {
      const QString label = label_path_for_image(image_paths[i]);
      if (!is_class_list_path(label) && read_whole_file(label, bytes) == ReadStatus::Ok) {
        counter.add_label_text(bytes);
      }
    }
    std::lock_guard lock(partial_mutex);
    partial.emplace_back(first, std::move(counter));
  });
  std::sort(partial.begin(), partial.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  ClassCounter total(classes);
  for (const auto& [first, counter] : partial) total.merge(counter);
  return sorted_by_count(total.counts());
}

}  // namespace orvane
