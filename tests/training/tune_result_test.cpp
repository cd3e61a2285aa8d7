// Choosing and reading the AutoML search's result file.
#include "training/tune_result.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "support/test_files.h"

using namespace orvane;

namespace {

TEST(TuneResult, OnlyAFileThisSearchWroteCounts) {
  QTemporaryDir dir;
  const QString old_file = dir.filePath("old_tune/best_hyperparameters.yaml");
  write_file(old_file, "lr0: 0.5\n");
  const TuneFiles before = list_tune_results(dir.path());
  EXPECT_EQ(before.size(), 1);
  EXPECT_EQ(newest_tune_result(dir.path(), before), QString()) << "an older search's file";

  const QString first = dir.filePath("a/deep/best_hyperparameters.yaml");
  write_file(first, "lr0: 0.1\n");
  write_file(dir.filePath("a/other.yaml"), "lr0: 0.2\n");
  EXPECT_EQ(newest_tune_result(dir.path(), before), first);

  // A file this search rewrote counts too.
  QFile f(old_file);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("lr0: 0.7\n");
  f.flush();  // written before the time is set, so the write does not reset it
  f.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
  f.close();
  ASSERT_TRUE(QFile::remove(first));
  EXPECT_EQ(newest_tune_result(dir.path(), before), old_file);
  EXPECT_EQ(newest_tune_result(dir.filePath("missing"), {}), QString());
}

TEST(TuneResult, ReadsTheTopLevelMapAndRefusesAnythingElse) {
  QTemporaryDir dir;
  const QString path = dir.filePath("best_hyperparameters.yaml");
  write_file(path, "# 5/5 iterations complete\nlr0: 0.00873\nlrf: '0.5'\nmosaic: 1\n");
  const QVariantMap values = read_tune_result(path);
  EXPECT_EQ(values.value("lr0").toString(), "0.00873");
  EXPECT_EQ(values.value("lrf").toString(), "0.5");
  EXPECT_EQ(values.size(), 3);

  for (const QByteArray& bad : {QByteArray(""), QByteArray("- 1\n- 2\n"), QByteArray("just text\n"),
                                QByteArray("lr0: [1, 2\n")}) {
    write_file(path, bad);
    EXPECT_THROW(read_tune_result(path), std::runtime_error) << bad.toStdString();
  }
  EXPECT_THROW(read_tune_result(dir.filePath("none.yaml")), std::runtime_error);
}

}  // namespace
