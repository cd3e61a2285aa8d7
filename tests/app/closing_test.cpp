// Closing the window while a background job runs.
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/main_window.h"
#include "imaging/source_image.h"
#include "resizer/resizer_tab.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

using namespace orvane;

namespace {

// Asked first: No keeps the window and the job; Yes stops the job without a
// closing message, leaves only whole files, and closes. With no job running
// nothing is asked.
TEST(Closing, WhileAJobRunsAsksFirst) {
  QTemporaryDir dir;
  const QString out = dir.filePath("out");
  QDir().mkpath(out);
  OrvaneStudio window;
  auto* dialogs = new ScriptedDialogs;  // owned by the window
  window.set_dialogs(std::unique_ptr<Dialogs>(dialogs));
  ResizerTab& resizer = *window.tab_resizer;
  const QByteArray picture = smooth_picture(3000, 2000, ".jpg");
  QStringList queue;
  for (int i = 0; i < 30; ++i) {
    queue << dir.filePath(QStringLiteral("in/p%1.jpg").arg(i));
    write_file(queue.back(), picture);
  }
  dialogs->open_file_lists.push_back(queue);
  resizer.btn_add_files->click();
  resizer.entry_resize_w->setText("2999");
  dialogs->directories.push_back(out);
  resizer.btn_run_resizer->click();
  window.show();
  ASSERT_TRUE(window.job_running());
  // Some images are written before the window is closed.
  ASSERT_TRUE(QTest::qWaitFor([&] { return resizer.progress_resizer->value() >= 1; }, 60000));
  ASSERT_TRUE(window.job_running());

  EXPECT_FALSE(window.close());  // answered No
  EXPECT_TRUE(window.isVisible());
  EXPECT_TRUE(window.job_running());
  const DialogCall* asked = dialogs->last("question");
  ASSERT_NE(asked, nullptr);
  EXPECT_EQ(asked->title, "Quit");
  EXPECT_EQ(asked->text, "A job is still running. Stop it and quit?");

  dialogs->answers.push_back(true);
  EXPECT_TRUE(window.close());
  EXPECT_FALSE(window.isVisible());
  EXPECT_FALSE(window.job_running());
  EXPECT_TRUE(dialogs->messages().empty());
  ASSERT_TRUE(resizer.stop_job(QDeadlineTimer(QDeadlineTimer::Forever)));  // the dropped ones end
  const QStringList written = folder_entries(out);
  EXPECT_FALSE(written.isEmpty());
  EXPECT_LT(written.size(), 30);
  for (const QString& name : written) {
    EXPECT_EQ(read_source_file(out + "/" + name).image.cols, 2999) << name.toStdString();
  }

  window.show();
  EXPECT_TRUE(window.close());
  EXPECT_EQ(dialogs->count("question"), 2);
}

}  // namespace
