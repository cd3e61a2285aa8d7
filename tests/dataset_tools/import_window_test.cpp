// "Import COCO / VOC..." in the annotator's dataset column: the dialog's
// defaults, the question before replacing, the job and its report.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "annotator/annotator_tab.h"
#include "app/main_window.h"
#include "dataset_tools/import_dialog.h"
#include "support/job_wait.h"
#include "support/scripted_dialogs.h"
#include "support/test_files.h"

using namespace orvane;

TEST(ImportWindow, AsksBeforeReplacingThenReportsInTheBackground) {
  OrvaneStudio window;
  auto scripted = std::make_unique<ScriptedDialogs>();
  ScriptedDialogs* dialogs = scripted.get();
  window.set_dialogs(std::move(scripted));
  window.tabs->setCurrentWidget(window.tab_workspace);  // its messages show at once
  AnnotatorTab& tab = *window.tab_workspace;
  QTemporaryDir dir;
  const QString data = dir.filePath(QStringLiteral("data"));
  write_image(data + "/a.png", 100, 200);
  write_file(data + "/a.txt", "0 0.5 0.5 0.6 0.6\n");
  const QString json = dir.filePath(QStringLiteral("coco.json"));
  write_file(json, R"({"images":[{"id":1,"file_name":"a.png","width":100,"height":200}],)"
                   R"("categories":[{"id":3,"name":"cat"}],)"
                   R"("annotations":[{"image_id":1,"category_id":3,"bbox":[10,20,30,40]}]})");
  tab.image_folder = data;

  // The defaults, a refusal without a source, then the user's choices.
  const auto answer = [&](bool replace) {
    dialogs->exec_answers.push_back([=](QDialog& dialog) {
      auto& d = dynamic_cast<ImportDialog&>(dialog);
      EXPECT_EQ(d.entry_images->text(), data);
      EXPECT_EQ(d.combo_target->currentIndex(), 0);
      EXPECT_FALSE(d.chk_replace->isChecked());
      EXPECT_FALSE(d.chk_separate->isChecked());
      EXPECT_TRUE(d.chk_difficult->isChecked() && d.chk_truncated->isChecked());
      d.validate();
      EXPECT_EQ(d.result(), QDialog::Rejected);
      d.entry_source->setText(json);
      d.chk_replace->setChecked(replace);
      d.validate();
      return d.result();
    });
  };
  answer(true);
  dialogs->answers.push_back(false);  // No to replacing: nothing runs
  tab.btn_import_dataset->click();
  EXPECT_FALSE(tab.work().running());
  EXPECT_EQ(read_file(data + "/a.txt"), "0 0.5 0.5 0.6 0.6\n");

  answer(true);
  dialogs->answers.push_back(true);
  tab.btn_import_dataset->click();
  EXPECT_EQ(tab.btn_import_dataset->text(), QStringLiteral("Cancel"));
  ASSERT_TRUE(wait_for_job(tab));
  EXPECT_EQ(read_file(data + "/a.txt"),
            "0 0.100000 0.100000 0.400000 0.100000 0.400000 0.300000 0.100000 0.300000\n");
  const std::vector<DialogCall> calls = dialogs->messages();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.back().kind + "|" + calls.back().title,
            QStringLiteral("information|Import Complete"));
  EXPECT_TRUE(calls.back().text.startsWith(
      QStringLiteral("Images labelled: 1 of 1\nShapes written: 1\nShapes merged: 0")))
      << calls.back().text.toStdString();
  EXPECT_EQ(dialogs->count(QStringLiteral("warning")), 2);  // the two refusals without a source
}
