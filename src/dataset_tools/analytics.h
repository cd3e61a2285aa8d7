// Class counts of the annotated objects of a dataset, for the class
// distribution dialog.
#pragma once

#include <QString>
#include <QStringList>
#include <string_view>
#include <vector>

namespace orvane {

struct ClassCount {
  QString name;
  int count = 0;
};

// Counts objects per class. Classes appear in the order their first object is
// met; a name listed twice in the class list is one class.
class ClassCounter {
 public:
  explicit ClassCounter(const QStringList& classes);

  // Counts the lines of one label file. The first field of a line is its class
  // id; lines with an id that is not an integer, negative, or beyond the class
  // list count nothing, and blank lines are skipped.
  void add_label_text(std::string_view label_text);
  // Adds the counts of a counter over the same class list that read later files.
  void merge(const ClassCounter& later);

  // Counts in first-met order, classes without objects left out.
  std::vector<ClassCount> counts() const;

 private:
  QStringList classes_;
  std::vector<int> by_id_;      // count per class id
  std::vector<int> first_met_;  // class ids in the order first counted
};

// Largest count first; equal counts keep their first-met order.
std::vector<ClassCount> sorted_by_count(std::vector<ClassCount> counts);

// Reads the label file of every image in order (in parallel, merged in order)
// and returns the sorted counts. Images without a readable label file add
// nothing.
std::vector<ClassCount> count_dataset_classes(const QStringList& image_paths,
                                              const QStringList& classes);

}  // namespace orvane
