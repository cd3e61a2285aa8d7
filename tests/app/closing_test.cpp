// Closing the window while background work runs.
#include <gtest/gtest.h>

#include <QDir>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "app/main_window.h"
#include "engine/engine_watch.h"
#include "engine/standin.h"
#include "imaging/source_image.h"
#include "inference/inference_tab.h"
#include "resizer/resizer_tab.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

using namespace orvane;

// Asked first: No keeps the window and the job; Yes stops the job without a
// closing message, leaves only whole files, and closes. With no job running
// nothing is asked.
TEST(Closing, WhileAJobRunsAsksFirst) {
  QTemporaryDir dir;
  OrvaneStudio window;
  auto* dialogs = new ScriptedDialogs;  // owned by the window
  window.set_dialogs(std::unique_ptr<Dialogs>(dialogs));
  ResizerTab& resizer = *window.tab_resizer;
  const QByteArray picture = smooth_picture(3000, 2000, ".jpg");
  QStringList queue;
  for (int i = 0; i < 30; ++i)
    write_file(queue.emplace_back(dir.filePath("p%1.jpg").arg(i)), picture);
  dialogs->open_file_lists.push_back(queue);
  resizer.btn_add_files->click();
  resizer.entry_resize_w->setText("2999");
  const QString out = dir.filePath("out");
  QDir().mkpath(out);
  dialogs->directories.push_back(out);
  resizer.btn_run_resizer->click();
  window.show();
  ASSERT_TRUE(QTest::qWaitFor([&] { return resizer.progress_resizer->value() >= 1; }, 60000));

  EXPECT_FALSE(window.close());  // answered No
  EXPECT_TRUE(window.job_running());
  ASSERT_EQ(dialogs->count("question"), 1);
  EXPECT_EQ(dialogs->last("question")->title + "|" + dialogs->last("question")->text,
            "Quit|A job is still running. Stop it and quit?");

  dialogs->answers.push_back(true);
  EXPECT_TRUE(window.close());
  EXPECT_FALSE(window.job_running());
  EXPECT_TRUE(dialogs->messages().empty());
  ASSERT_TRUE(
      resizer.work().stop(QDeadlineTimer(QDeadlineTimer::Forever)));  // the dropped ones end
  const QStringList written = folder_entries(out);
  EXPECT_FALSE(written.isEmpty());
  for (const QString& name : written) {
    EXPECT_EQ(read_source_file(out + "/" + name).image.cols, 2999) << name.toStdString();
  }

  window.show();
  EXPECT_TRUE(window.close());
  EXPECT_EQ(dialogs->count("question"), 2);
}

// Every kind of background work counts, a model export among them: closing
// asks first, and Yes ends its engine process at once.
TEST(Closing, WhileAModelExportRunsAsksFirst) {
  QTemporaryDir dir;
  const QString previous_dir = QDir::currentPath();
  QDir::setCurrent(dir.path());
  std::unique_ptr<PythonEngine> engine = make_standin_engine();
  ASSERT_TRUE(engine->wait_for_probe({}));  // its process is not counted below
  OrvaneStudio window(std::move(engine));
  auto* dialogs = new ScriptedDialogs;  // owned by the window
  window.set_dialogs(std::unique_ptr<Dialogs>(dialogs));
  write_standin_model("best.pt", {{"never_answer", true}});
  window.tab_inference->entry_inf_weights->setText("best.pt");
  engine_watch::EngineProcesses processes;
  window.tab_inference->run_model_export();
  ASSERT_TRUE(processes.note_until(2));  // the bridge and the child it waits on
  window.show();

  EXPECT_FALSE(window.close());  // answered No
  EXPECT_EQ(dialogs->count("question"), 1);
  EXPECT_TRUE(window.job_running());
  dialogs->answers.push_back(true);
  EXPECT_TRUE(engine_watch::returns_promptly([&] { EXPECT_TRUE(window.close()); }));
  EXPECT_EQ(processes.left_after(engine_watch::kPromptlyMs), std::vector<pid_t>{});
  EXPECT_TRUE(dialogs->messages().empty());
  QDir::setCurrent(previous_dir);
}
