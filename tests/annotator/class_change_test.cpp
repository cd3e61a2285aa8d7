#include <QCoreApplication>
#include <QDeadlineTimer>

#include "annotator/class_dialog.h"
#include "annotator_fixture.h"
#include "support/job_wait.h"

namespace orvane {
namespace {

using ClassChangeTest = AnnotatorTest;

// Runs the event loop until `done` holds (the plan's job, then the queued
// writing job) or a minute has passed.
template <class Done>
bool settle(AnnotatorTab& tab, Done done) {
  const QDeadlineTimer limit(60000);
  while (!done() && !limit.hasExpired()) {
    wait_for_job(tab);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return done();
}

// A merge asked for in the dialog: shown first, written after Yes, the shown
// image's shapes read again; declined, nothing changes; undone, every file is
// as before.
TEST_F(ClassChangeTest, MergeShowsThePlanWritesReloadsAndUndoesAsOneStep) {
  images({"a.png", "b.png"});
  const QByteArray tri = QByteArray(kTriangleLine).mid(1);
  put("classes.txt", "cat\ndog\n");
  put("a.txt", "1" + tri);
  put("b.txt", "0" + tri + "7 junk\n");
  load(dir.path());
  ASSERT_EQ(shapes(), QStringList{"dog|Polygon"});
  const auto merge_cat_into_dog = [this] {
    dialogs->exec_answers.push_back([](QDialog& dialog) {
      auto& classes = static_cast<ClassDialog&>(dialog);
      classes.list_classes->setCurrentRow(0);
      classes.combo_merge_into->setCurrentIndex(1);
      classes.btn_merge->click();
      return dialog.result();
    });
  };

  merge_cat_into_dog();
  dialogs->answers.push_back(false);
  tab->btn_manage_classes->click();
  ASSERT_TRUE(settle(*tab, [this] { return dialogs->count("question") == 1; }));
  EXPECT_TRUE(dialogs->last("question")->text.contains("Merge \"cat\" into \"dog\"?"));
  EXPECT_TRUE(dialogs->last("question")->text.contains("1 shape in 1 file."));
  ASSERT_TRUE(wait_for_job(*tab));
  EXPECT_EQ(read_file(path("classes.txt")), "cat\ndog\n");
  EXPECT_FALSE(tab->btn_undo_class_change->isEnabled());  // nothing to undo after the job

  merge_cat_into_dog();
  dialogs->answers.push_back(true);
  tab->btn_manage_classes->click();
  ASSERT_TRUE(settle(*tab, [this] { return tab->btn_undo_class_change->isEnabled(); }));
  EXPECT_EQ(read_file(path("classes.txt")), "dog\n");
  EXPECT_EQ(read_file(path("a.txt")), "0" + tri);
  EXPECT_EQ(read_file(path("b.txt")), "0" + tri + "7 junk\n");
  EXPECT_EQ(tab->classes, QStringList{"dog"});
  EXPECT_EQ(shapes(), QStringList{"dog|Polygon"});

  dialogs->answers.push_back(true);
  tab->btn_undo_class_change->click();
  ASSERT_TRUE(settle(*tab, [this] { return !tab->btn_undo_class_change->isEnabled(); }));
  ASSERT_TRUE(wait_for_job(*tab));
  EXPECT_EQ(read_file(path("classes.txt")), "cat\ndog\n");
  EXPECT_EQ(read_file(path("a.txt")), "1" + tri);
  EXPECT_EQ(read_file(path("b.txt")), "0" + tri + "7 junk\n");
  EXPECT_EQ(tab->classes, (QStringList{"cat", "dog"}));
  EXPECT_EQ(shapes(), QStringList{"dog|Polygon"});
  EXPECT_EQ(dialogs->count("critical"), 0);
}

}  // namespace
}  // namespace orvane
