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

// The engine's line after each iteration, in each release's wording, counted once whole.
TEST(TuneProgress, CountsFinishedIterationsFromTheEnginesLines) {
  const struct {
    std::vector<QString> pieces;
    int finished;
  } cases[] = {
      {{"Tuner: 1/5 iterations complete ✅ (3.21s)\n"}, 1},
      {{"Tuner: 2/5 iterations complete (all failed) ❌ (3.2s)\n"}, 2},
      {{"Tuner: 3/5 iterations comp", "lete (2/3 succeeded) ⚠️ (9.1s)\nTuner: Best"}, 3},
      {{"Tuner: 4/5 iterations complete ✅ (1.0s)"}, 0},  // not a whole line yet
      {{"1/3  trial\n3/3  trial\nTuner: Best fitness=0.5 observed at iteration 2\n"}, 0},
      {{"Tuner: 2/5 iterations complete\n", "Tuner: 1/5 iterations complete\n"}, 2},
      {{QString(10000, 'x'), "\nTuner: 1/5 iterations complete ✅\n"}, 1},
  };
  for (const auto& c : cases) {
    TuneProgress progress;
    bool rose = false;
    for (const QString& piece : c.pieces) rose |= progress.feed(piece);
    EXPECT_EQ(progress.finished(), c.finished) << c.pieces.front().left(60).toStdString();
    EXPECT_EQ(rose, c.finished > 0);
  }
}

// The time a search still needs: from its first epoch until a trial has ended, then from the
// trials; the first epoch's time is the first whole row of a new run folder's results.csv.
TEST(TuneEstimate, FromTheFirstEpochThenFromTheTrials) {
  // 5 trials × 10 epochs of 40 s, 100 s gone; then 1500 s a trial, three to go.
  EXPECT_EQ(time_left_text(*search_seconds_left(5, 10, 0, 40.0, 100)), "about 32 min left");
  EXPECT_EQ(time_left_text(*search_seconds_left(5, 10, 2, 40.0, 3000)), "about 1 h 15 min left");
  EXPECT_EQ(search_seconds_left(5, 10, 0, std::nullopt, 100), std::nullopt);
  QTemporaryDir dir;
  write_file(dir.filePath("older/results.csv"), "epoch,time\n1,5\n");
  const QStringList before = list_run_folders(dir.path());
  write_file(dir.filePath("train/results.csv"), "epoch,time,fitness\n1,12.5");
  EXPECT_EQ(first_epoch_seconds(dir.path(), before), std::nullopt) << "a row still being written";
  write_file(dir.filePath("train/results.csv"), "epoch, time ,fitness\n1,12.5,0.4\n2,25,0.5\n");
  EXPECT_EQ(first_epoch_seconds(dir.path(), before), 12.5);
}

}  // namespace
