#include "dataset_tools/analytics.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "support/test_files.h"

using namespace orvane;

namespace {

using Counts = std::vector<std::pair<QString, int>>;

Counts pairs_of(const std::vector<ClassCount>& counts) {
  Counts result;
  for (const ClassCount& c : counts) result.emplace_back(c.name, c.count);
  return result;
}

TEST(Analytics, CountsPerLabelTextAndStableSort) {
  const std::tuple<const char*, std::string, Counts> cases[] = {
      {"first-met order", "2 0.1 0.1\n0 0.1 0.1\n2 0 0\n", {{"c", 2}, {"a", 1}}},
      {"ids beyond the list", "7 0.1 0.2\n3 0 0\n1 0 0\n", {{"b", 1}}},
      {"negative ids", "-1 0 0\n-3 0 0\n", {}},
      {"non-integer ids skip only their line", "x 0 0\n1.0 0 0\n0x1 0\n+1 0 0\n", {{"b", 1}}},
      {"blank lines and CRLF", "\r\n  \r\n0 0.5 0.5\r\n0\r\n", {{"a", 2}}},
      {"huge id", "99999999999999999999 0 0\n", {}},
  };
  for (const auto& [what, text, counts] : cases) {
    ClassCounter counter(QStringList{"a", "b", "c"});
    counter.add_label_text(text);
    EXPECT_EQ(pairs_of(counter.counts()), counts) << what;
  }
  ClassCounter repeated(QStringList{"cat", "dog", "cat"});  // a repeated name is one class
  repeated.add_label_text("1\n2\n0\n");
  EXPECT_EQ(pairs_of(repeated.counts()), (Counts{{"dog", 1}, {"cat", 2}}));

  const std::vector<ClassCount> unsorted = {{"a", 5}, {"b", 12}, {"c", 5}, {"d", 12}, {"e", 1}};
  EXPECT_EQ(pairs_of(sorted_by_count(unsorted)),
            (Counts{{"b", 12}, {"d", 12}, {"a", 5}, {"c", 5}, {"e", 1}}));
}

TEST(Analytics, DatasetCountsKeepFirstMetOrderAcrossManyFiles) {
  // Enough images that the parallel reading splits them into several ranges.
  QTemporaryDir dir;
  QStringList images;
  for (int i = 0; i < 300; ++i) {
    const QString base = dir.filePath(QStringLiteral("img%1").arg(i, 3, 10, QLatin1Char('0')));
    images.append(base + ".jpg");
    if (i % 7 == 3) continue;  // no label file
    // Class 2 first appears in image 0, class 1 only in the last images,
    // class 0 from image 150 on.
    write_file(base + ".txt", QByteArray(i < 150 ? "2 0.1 0.1\n" : "0 0.1 0.1\n") +
                                  (i >= 297 ? "1 0.1 0.1\n" : ""));
  }
  EXPECT_EQ(pairs_of(count_dataset_classes(images, {"zero", "one", "two"})),
            (Counts{{"two", 129}, {"zero", 128}, {"one", 2}}));
}

}  // namespace
